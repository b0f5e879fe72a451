// TMainForm1: the main window's design, its creation event (the start-up)
// and the two ways the program ends.
#include "AboutBox.h"
#include "DlgGroupProg.h"
#include "LogText.h"
#include "MainForm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

namespace korlin {

namespace {
const QColor kSkyBlue(166, 202, 240);
}

TMainForm1::TMainForm1(Services& services, QWidget* parent) : QMainWindow(parent), services_(services)
{
    setObjectName(QStringLiteral("MainForm1"));
    setWindowTitle(QString::fromUtf8(kCaption));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kSkyBlue);
    setPalette(pal);
    setAutoFillBackground(true);
    QFont f(QStringLiteral("Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    setFont(f);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->resize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    buildMenus();
    buildStatusBar();
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    move(0, 0);
    settings_.Width = width();
    settings_.Height = height();
}

TMainForm1::~TMainForm1() = default;

QAction* TMainForm1::action(const std::string& name) const
{
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

QMenu* TMainForm1::menu(const std::string& name) const
{
    const auto it = menus_.find(name);
    return it == menus_.end() ? nullptr : it->second;
}

void TMainForm1::buildStatusBar()
{
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    panel0_ = new QLabel(QStringLiteral("Массив не загружен."), bar);
    panel0_->setObjectName(QStringLiteral("Panel0"));
    panel0_->setFixedWidth(180);
    panel1_ = new QLabel(QStringLiteral("Файл не загружен."), bar);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel1_->setFixedWidth(150);
    bar->addWidget(panel0_);
    bar->addWidget(panel1_);
    setStatusBar(bar);
}

void TMainForm1::applyGeometry()
{
    if (settings_.Width > 0 && settings_.Height > 0)
        resize(settings_.Width, settings_.Height);
    move(settings_.Left, settings_.Top);
}

void TMainForm1::captureGeometry()
{
    settings_.Width = width();
    settings_.Height = height();
    settings_.Top = y();
    settings_.Left = x();
}

void TMainForm1::allocateBuffers()
{
    if (buffers_)
        return;
    buffers_ = std::make_unique<SharedBuffers>();
    ++buffersAllocated_;
}

void TMainForm1::releaseBuffers()
{
    if (!buffers_)
        return; // never released twice
    buffers_.reset();
    ++buffersReleased_;
}

void TMainForm1::endApplication()
{
    terminated_ = true;
    if (services_.terminate)
        services_.terminate();
}

// The start-up sequence: it runs once, before the window is shown.
void TMainForm1::FormCreate()
{
    // 1. The log's first line; the caption tells that the trace is written.
    if (ProgramWide::DebugMode == 1) {
        services_.log.LogMessage(logtext::SessionStart, services_.locale.dateTimeText(services_.StartTime));
        setWindowTitle(windowTitle() + QStringLiteral("Запись лог. файла"));
    }
    // 4. Fields and buffers.
    settings_.AgentOn = true;
    settings_.StartShowNone = false;
    settings_.StartShowSlu = false;
    settings_.ScanerValue = 0;
    allocateBuffers();
    // 5. The settings object and the setpoint defaults.
    IniFile = std::make_unique<ProfileFile>(services_.windowsDir / kIniName);
    settings_.KanMin = 1;
    settings_.KanMax = 108;
    settings_.UstMin = 2.0;
    settings_.UstMax = 30.0;
    // 6. The settings file, when it exists.
    if (IniFile->exists()) {
        readStartupSettings(*IniFile, settings_, services_.locale);
        applyGeometry();
        action("N24")->setVisible(settings_.N24Visible);
    }
    // 7.
    clampComNumber(settings_);

    // 9.-11. Without a port layer neither port opens.
    services_.wide.NoMipPorts = 2;

    // 12. Outcome: both ports failed to open.
    const bool editor = services_.dialogs.askYesNo(
        "Не могу открыть порты COM1 и COM2 !!!Желаете работать  в режиме редактора програмных массивов, нажмите "
        "<ДА>. Будете работать с МИП, включите его, нажмите <НЕТ> и перезапустите прогррамму.",
        "Определитесь с дальнейшими действиями!");
    if (!editor) {
        endApplication();
        return;
    }
    menu("N9")->menuAction()->setVisible(false);
    menu("N10")->menuAction()->setVisible(false);
    for (const char* n : {"N23", "N12", "N13", "Group_prog", "N21"})
        action(n)->setEnabled(false);
    resize(500, height());
    menu("N1")->menuAction()->setVisible(false);
    services_.wide.EditorOnly = 1;

    // 13. Editor-only mode.
    for (const char* n : {"N23", "ReadProg9327", "Group_prog"})
        action(n)->setVisible(false);
    setWindowTitle(QStringLiteral("Korlin  (МИП не найден)."));

    // 16. The main window is shown last.
    show();
}

// Closing the window: the exit, then the last log line unless the agent took over.
void TMainForm1::closeEvent(QCloseEvent* e)
{
    if (!exiting_)
        FormClose();
    e->accept();
}

void TMainForm1::FormClose()
{
    Exit1Click();
    if (!endedByAgent_)
        services_.log.LogMessage(logtext::SessionEnd, services_.locale.dateTimeText(services_.StartTime));
}

void TMainForm1::Exit1Click()
{
    if (exiting_)
        return;
    exiting_ = true;
    // 1. Every setting, with the window's present position and size.
    INIFileClick();
    // 2.
    IniFile.reset();
    // 3. The agent in the program's place.
    if (settings_.AgentOn) {
        if (services_.agent.startInPlace()) {
            endedByAgent_ = true;
            terminated_ = true;
            return;
        }
        services_.dialogs.showMessage("Не могу запустить Tavrel.exe !!!");
    }
    // 4., 5.
    releaseBuffers();
    endApplication();
}

void TMainForm1::INIFileClick()
{
    if (!IniFile)
        return;
    captureGeometry();
    if (!writeAllSettings(*IniFile, settings_, services_.programPath, services_.locale)) {
        // Reported once per run; the exit goes on.
        if (!settingsErrorShown_) {
            settingsErrorShown_ = true;
            const std::string why = IniFile->path().string() + ": " + IniFile->lastError();
            services_.log.LogMessage(logtext::SettingsNotWritten, why);
            services_.dialogs.messageBox("Не удалось записать файл настроек " + why, "Файл настроек");
        }
    }
    action("N24")->setVisible(readScaner(*IniFile));
    IniFile->flush();
}

void TMainForm1::ButonOptionDlgClick()
{
    auto* dlg = new TDlgGroupProg(settings_, services_, this);
    dlg->openOptions(services_.wide.EditorOnly == 1, IniFile ? IniFile.get() : nullptr);
}

// Help and launchers.
void TMainForm1::AboutExecute()
{
    auto* box = new TAboutBox(this);
    box->show();
}

void TMainForm1::N11Click() { services_.shell.help(1); }
void TMainForm1::Tabl_typ_datchikClick() { services_.shell.help(6); }
void TMainForm1::N2Click() { services_.shell.help(11); }
void TMainForm1::Kaliculator_1Click() { services_.shell.startProgram("Pyrlen.exe"); }
void TMainForm1::Kalkulator_2Click() { services_.shell.startProgram("Ohmvit.exe"); }
void TMainForm1::TypeBClick() { services_.shell.openDocument("Help9327/Tabl/emfb_c.pdf"); }
void TMainForm1::TypeCClick() { services_.shell.openDocument("Help9327/Tabl/emfc_c.pdf"); }
void TMainForm1::TypeEClick() { services_.shell.openDocument("Help9327/Tabl/emfe_c.pdf"); }
void TMainForm1::TipeJClick() { services_.shell.openDocument("Help9327/Tabl/emfj_c.pdf"); }
void TMainForm1::TypeKClick() { services_.shell.openDocument("Help9327/Tabl/emfk_c.pdf"); }
void TMainForm1::TypeNClick() { services_.shell.openDocument("Help9327/Tabl/emfn_c.pdf"); }
void TMainForm1::TypeRClick() { services_.shell.openDocument("Help9327/Tabl/emfr_c.pdf"); }
void TMainForm1::TypeSClick() { services_.shell.openDocument("Help9327/Tabl/emfs_c.pdf"); }
void TMainForm1::TypeTClick() { services_.shell.openDocument("Help9327/Tabl/emft_c.pdf"); }

} // namespace korlin

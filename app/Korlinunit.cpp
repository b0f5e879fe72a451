// TMainForm1: the main window's design, its creation event (the start-up)
// and the two ways the program ends.
#include "AboutBox.h"
#include "DlgGroupProg.h"
#include "Formprogress.h"
#include "LogText.h"
#include "MainForm.h"

#include "ClosedPort.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>

#include <fstream>

namespace korlin {

namespace {
const QColor kSkyBlue(166, 202, 240);

template <class W>
W* placed(W* w, const char* name, int left, int top, int width, int height)
{
    w->setObjectName(QString::fromUtf8(name));
    w->setGeometry(left, top, width, height);
    return w;
}
} // namespace

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
    f.setPixelSize(11); // "MS Sans Serif", 11 pixels
    setFont(f);

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("ClientArea"));
    client_->resize(kClientWidth, kClientHeight);
    setCentralWidget(client_);

    buildMenus();
    buildStatusBar();
    buildDeviceBox(client_);
    buildMemos(client_);
    buildWorkingChannels(client_);
    buildServiceChannels(client_);
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

void TMainForm1::buildDeviceBox(QWidget* client)
{
    GroupBox1 = placed(new QGroupBox(QStringLiteral("Мониторинг Ш9327 в основном режиме."), client), "GroupBox1", 8, 4,
                       446, 76);
    QFont bold = font();
    bold.setBold(true);
    for (QLabel** label : {&LabelSostojanie, &Label3}) {
        *label = new QLabel(GroupBox1);
        (*label)->setFont(bold);
        (*label)->setAutoFillBackground(true);
        QPalette p = (*label)->palette();
        p.setColor(QPalette::WindowText, QColor(0, 0, 255));
        p.setColor(QPalette::Window, kSkyBlue);
        (*label)->setPalette(p);
    }
    LabelSostojanie->setObjectName(QStringLiteral("LabelSostojanie"));
    LabelSostojanie->setText(QStringLiteral("Состояние МИП"));
    LabelSostojanie->setGeometry(10, 20, 426, 20);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setText(QStringLiteral("Магистральный адрес."));
    Label3->setGeometry(10, 46, 426, 20);

    Label_kan_data = placed(new QLabel(client), "Label_kan_data", 462, 8, 482, 57);
    QFont big(QStringLiteral("Arial"));
    big.setPixelSize(50);
    Label_kan_data->setFont(big);
    Label_kan_data->hide();
}

void TMainForm1::buildMemos(QWidget* client)
{
    const struct {
        QPlainTextEdit** memo;
        const char* name;
        int left, width;
    } memos[] = {
        {&MemoPickups, "MemoPickups", 8, 193}, {&MemoAO, "MemoAO", 207, 177}, {&Memo1, "Memo1", 392, 193},
        {&MemoPR, "MemoPR", 592, 193},         {&MemoRO, "MemoRO", 792, 193},
    };
    QFont f = font();
    f.setBold(true);
    f.setPixelSize(16);
    for (const auto& m : memos) {
        *m.memo = placed(new QPlainTextEdit(client), m.name, m.left, 100, m.width, 480);
        (*m.memo)->setFont(f);
        QPalette p = (*m.memo)->palette();
        p.setColor(QPalette::Text, QColor(128, 0, 0)); // maroon
        (*m.memo)->setPalette(p);
        (*m.memo)->hide();
    }
    PanelButtonAr = placed(new QWidget(client), "PanelButtonAr", 256, 184, 89, 273);
    PanelButtonAr->hide();
}

// Start-up step "Splash N[, text]": the position, the text, and a repaint
// when the text changes (the bar repaints itself).
void TMainForm1::splashStep(int position, const char* text)
{
    splashPositions_.push_back(position);
    if (!splash_)
        return;
    splash_->setPosition(position);
    if (text) {
        splash_->setText(QString::fromUtf8(text));
        splash_->repaintNow();
    }
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
    if (TimerCiklRabCan)
        TimerCiklRabCan->stop();
    if (TimerMODBUS)
        TimerMODBUS->stop();
    if (services_.terminate)
        services_.terminate();
}

void TMainForm1::showBox(const std::string& text, const std::string& caption)
{
    services_.dialogs.messageBox(text, caption);
}

// The start-up sequence: it runs once, before the window is shown.
void TMainForm1::FormCreate()
{
    // 1. The log's first line; the caption tells that the trace is written.
    if (ProgramWide::DebugMode == 1) {
        services_.log.LogMessage(logtext::SessionStart, services_.locale.dateTimeText(services_.StartTime));
        setWindowTitle(windowTitle() + QStringLiteral("Запись лог. файла"));
    }
    // 2. The port's I/O state starts empty.
    portState_ = {};
    // 3. The splash.
    auto splash = std::make_unique<TForm2>();
    splash_ = splash.get();
    splash_->show();
    splashStep(5, "Инициализация приложения");
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
    // 7. (The ports are tried COM1 first whatever it says.)
    clampComNumber(settings_);
    // 8.
    splashStep(10, "Поиск преобразователей");
    // 9. COM1.
    const bool com1Opened = openPortAndSearch(1);
    if (terminated_)
        return;
    // 10.
    splashStep(30);
    // 11. COM2 when COM1 gave nothing.
    bool com2Opened = false, com2Tried = false;
    if (services_.wide.NoMipPorts == 1) {
        com2Tried = true;
        if (hComm)
            hComm->close();
        com2Opened = openPortAndSearch(2);
        if (terminated_)
            return;
        splashStep(40);
    }
    // 12. Outcome.
    if (!com1Opened && com2Tried && !com2Opened) {
        const bool editor = services_.dialogs.askYesNo(
            "Не могу открыть порты COM1 и COM2 !!!Желаете работать  в режиме редактора програмных массивов, "
            "нажмите <ДА>. Будете работать с МИП, включите его, нажмите <НЕТ> и перезапустите прогррамму.",
            "Определитесь с дальнейшими действиями!");
        if (!editor) {
            splash.reset();
            splash_ = nullptr;
            endApplication();
            return;
        }
        menu("N9")->menuAction()->setVisible(false);
        menu("N10")->menuAction()->setVisible(false);
        for (const char* n : {"N23", "N12", "N13", "Group_prog", "N21"})
            action(n)->setEnabled(false);
        GroupBox1->hide();
        resize(500, height());
        Memo1->move(144, Memo1->y());
        menu("N1")->menuAction()->setVisible(false);
        services_.wide.EditorOnly = 1;
    } else {
        menu("N28")->menuAction()->setVisible(false);
        if (services_.wide.NoMipPorts == 2) {
            menu("N9")->menuAction()->setVisible(false);
            menu("N10")->menuAction()->setVisible(false);
            for (const char* n : {"N23", "N12", "N13", "N21", "Group_prog", "VievAllSubArray"})
                action(n)->setEnabled(false);
            GroupBox1->hide();
            menu("N1")->menuAction()->setVisible(false);
            services_.wide.EditorOnly = 1;
        }
    }
    if (services_.wide.EditorOnly == 1) {
        // 13. Editor-only mode.
        for (const char* n : {"N23", "ReadProg9327", "Group_prog"})
            action(n)->setVisible(false);
        setWindowTitle(QStringLiteral("Korlin  (МИП не найден)."));
    } else {
        // 14. Working start.
        workingStart();
        if (terminated_)
            return;
    }
    // 15. The standard sensor text.
    readCheckFile();
    // 16.
    splashStep(100);
    services_.clock.sleepMs(500);
    splash->hide();
    splash.reset();
    splash_ = nullptr;
    show();
}

// Opens COM<com> and, when it opens, searches the МИП on it.  Returns whether it opened.
bool TMainForm1::openPortAndSearch(int com)
{
    const std::string name = "COM" + std::to_string(com);
    hComm = services_.ports ? services_.ports->open(name) : nullptr;
    if (!hComm)
        hComm = std::make_unique<ClosedPort>(name + ": нет последовательных портов");
    if (!hComm->isOpen()) {
        services_.log.LogMessage(com == 1 ? logtext::Com1Failed : logtext::Com2Failed);
        const std::string why = hComm->openError();
        // A port that is there but may not be opened: say why once, in the log and to the user.
        if (!why.empty() && why.find("dialout") != std::string::npos && !portReasonShown_) {
            portReasonShown_ = true;
            services_.log.LogMessage(logtext::PortReason, why);
            showBox(why, "Порт " + name);
        }
        services_.wide.NoMipPorts += 1;
        return false;
    }
    if (com == 1) {
        services_.log.LogMessage(logtext::Com1Opened);
        GroupBoxComPort->setTitle(QStringLiteral("Порт COM1"));
    } else {
        GroupBoxComPort->setTitle(QStringLiteral("Порт COM2"));
        services_.log.LogMessage(logtext::Com2Opened);
    }
    SearshMipComClick();
    return true;
}

void TMainForm1::workingStart()
{
    SearshMagAdrClick();
    splashStep(50, "Чтение программы из МИП");
    Button_MIP_SostojanieClick();
    if (!settings_.ModbusMode)
        Read_prog_array_MIPClick();
    splashStep(70, "Конфигурирование программы");
    Strukt_array_editClick();
    if (!settings_.ModbusMode) {
        prog_array_destruktClick();
        if (terminated_)
            return;
    }
    panel0_->setText(QStringLiteral("Программа из Ш9327"));
    splashStep(75);
    if (!settings_.ModbusMode) {
        kan_tip_datchik1_864Click();
        if (terminated_)
            return;
    }
    splashStep(80, "Установка режима измерения.");
    services_.clock.sleepMs(4000);
    if (!settings_.StartShowNone) {
        services_.clock.sleepMs(2000);
        if (settings_.StartShowSlu) {
            // The service-channel view is not part of this program yet: nothing is shown.
        } else if (settings_.ModbusMode) {
            MODBUS108ClickClick();
        } else {
            out_rab_kanClick();
        }
    }
}

// The check file: its first 700 bytes at most go to PickupsRef.
void TMainForm1::readCheckFile()
{
    std::ifstream in(kCheckFile, std::ios::binary);
    if (!in) {
        showBox("Ошибка открытия проверочного файла pv34.shc!!!", "Открытие файла программы");
        return;
    }
    auto& ref = buffers_->PickupsRef;
    in.read(reinterpret_cast<char*>(ref.data()), std::streamsize(ref.size()));
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
            showBox("Не удалось записать файл настроек " + why, "Файл настроек");
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

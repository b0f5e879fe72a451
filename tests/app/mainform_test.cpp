#include "AppFixture.h"

#include "Cp1251.h"
#include "DlgGroupProg.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QTabWidget>

namespace korlin::testing {

void AppFixture::writeIni(const std::string& utf8Text)
{
    std::string bytes;
    for (char c : toCp1251(utf8Text)) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    std::ofstream(iniPath(), std::ios::binary) << bytes;
}

std::string AppFixture::logText() const { return fromCp1251(slurp(dir.path / "9327debug.log")); }

namespace {


TDlgGroupProg* openDialog(TMainForm1& form)
{
    form.ButonOptionDlgClick();
    auto list = form.findChildren<TDlgGroupProg*>();
    return list.isEmpty() ? nullptr : list.last();
}

} // namespace

TEST_F(AppFixture, FirstRunWritesEverySettingInItsOrder)
{
    auto form = start();
    form->Exit1Click();
    const std::string h = std::to_string(form->height());
    EXPECT_EQ(iniText(iniPath()),
              "[Files]\r\nmain=/opt/korlin/korlin\r\n"
              "[Параметры]\r\nWidth=500\r\nHeight=" + h + "\r\nTop=0\r\nLeft=0\r\n"
              "COM=1\r\nMODBUS=0\r\nAdresMIP=0\r\nканалы=0\r\nканалы1=0\r\n"
              "[QNX]\r\nScaner=0\r\n"
              "[Уставки]\r\nmin=2\r\nmax=30\r\nkan_min=1\r\nkan_max=108\r\n"
              "[Агент]\r\nвкл=-1\r\n");
}

TEST_F(AppFixture, StartUpReadsTheFileAndWritesItBack)
{
    writeIni("[Параметры]\nWidth=900\nHeight=700\nTop=20\nLeft=30\nCOM=7\nMODBUS=-1\nAdresMIP=5\n"
             "каналы=0\nканалы1=True\n[QNX]\nScaner=1\n[Уставки]\nmin=2,5\nmax=35\nkan_min=3\nkan_max=50\n"
             "[Агент]\nвкл=0\n");
    auto form = start();
    const AppSettings& s = form->settings();
    EXPECT_EQ(s.ComNumber, 1); // 7 is forced to 1
    EXPECT_TRUE(s.ModbusMode);
    EXPECT_EQ(s.MagAdr, 5);
    EXPECT_EQ(s.UstMin, 2.5);
    EXPECT_EQ(s.UstMax, 35.0);
    EXPECT_EQ(s.KanMin, 3);
    EXPECT_EQ(s.KanMax, 50);
    EXPECT_FALSE(s.AgentOn);
    EXPECT_FALSE(s.StartShowNone);
    EXPECT_TRUE(s.StartShowSlu);
    EXPECT_TRUE(form->action("N24")->isVisible()); // hand-set Scaner=1 shows the scanner save
    EXPECT_EQ(form->y(), 20);
    EXPECT_EQ(form->x(), 30);

    form->Exit1Click();
    const std::string ini = iniText(iniPath());
    for (const char* line : {"COM=1\r\n", "MODBUS=-1\r\n", "AdresMIP=5\r\n", "Scaner=0\r\n", "min=2,5\r\n",
                             "max=35\r\n", "каналы1=-1\r\n", "вкл=0\r\n"})
        EXPECT_NE(ini.find(line), std::string::npos) << line;
    EXPECT_FALSE(form->action("N24")->isVisible()); // the write set Scaner back to 0
}

TEST_F(AppFixture, AMalformedOrMissingKeyKeepsItsDefault)
{
    writeIni("[Параметры]\nCOM=two\nAdresMIP=\nMODBUS=maybe\n[Уставки]\nmin=2.5\nkan_max=1e3\n[Агент]\nвкл=yes\n");
    auto form = start();
    const AppSettings& s = form->settings();
    EXPECT_EQ(s.ComNumber, 1);
    EXPECT_EQ(s.MagAdr, 0);
    EXPECT_FALSE(s.ModbusMode);
    EXPECT_EQ(s.UstMin, 2.0); // a point is no separator under the comma locale
    EXPECT_EQ(s.UstMax, 30.0);
    EXPECT_EQ(s.KanMax, 108);
    EXPECT_TRUE(s.AgentOn);
}

TEST_F(AppFixture, AnUnwritableSettingsFileIsReportedOnceAndTheExitGoesOn)
{
    services.windowsDir = dir.path / "gone";
    auto form = start();
    form->settings().AgentOn = false;
    form->Exit1Click();
    ASSERT_EQ(dialogs.texts().size(), 3u); // the start-up question, the check file, and our one message
    EXPECT_NE(dialogs.texts()[2].find("Не удалось записать файл настроек"), std::string::npos);
    EXPECT_NE(logText().find("\r\n    Не удалось записать файл настроек: "), std::string::npos);
    EXPECT_EQ(form->buffersReleased(), 1);
    EXPECT_EQ(terminateCalls, 1);
}

TEST_F(AppFixture, OptionsAcceptedReachTheFileAtExit)
{
    auto form = start();
    TDlgGroupProg* dlg = openDialog(*form);
    ASSERT_NE(dlg, nullptr);
    dlg->RadioButtonZagSlu->setChecked(true);
    dlg->CheckBoxAgent->setChecked(false);
    dlg->ButtonOptionOkClick();
    EXPECT_FALSE(fs::exists(iniPath())); // "Принять." writes nothing
    form->Exit1Click();
    const std::string ini = iniText(iniPath());
    EXPECT_NE(ini.find("каналы=0\r\n"), std::string::npos);
    EXPECT_NE(ini.find("каналы1=-1\r\n"), std::string::npos);
    EXPECT_NE(ini.find("вкл=0\r\n"), std::string::npos);
    EXPECT_EQ(agent.starts, 0);
}

TEST_F(AppFixture, ReopeningTheOptionsShowsTheFilesChoiceAgain)
{
    writeIni("[Параметры]\nканалы=0\nканалы1=0\n[Агент]\nвкл=-1\n");
    auto form = start();
    TDlgGroupProg* dlg = openDialog(*form);
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->RadioButtonZagRab->isChecked());
    // The editor mode leaves only the options tab.
    EXPECT_FALSE(dlg->Option->isTabVisible(TDlgGroupProg::TabGroupProg));
    EXPECT_FALSE(dlg->Option->isTabVisible(TDlgGroupProg::TabUstawki));
    EXPECT_EQ(dlg->Option->currentIndex(), TDlgGroupProg::TabOptions);
    EXPECT_EQ(dlg->UstawkaKanDoEdit->text(), QStringLiteral("108"));
    EXPECT_EQ(dlg->EditMinUstawka->text(), QStringLiteral("2"));

    dlg->RadioButtonZagNo->setChecked(true);
    dlg->ButtonOptionOkClick();
    EXPECT_TRUE(form->settings().StartShowNone);
    dlg->ButtonOptionCancelClick();

    TDlgGroupProg* again = openDialog(*form);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, dlg); // a new dialog each time
    EXPECT_TRUE(again->RadioButtonZagRab->isChecked());
    EXPECT_FALSE(form->settings().StartShowNone); // the accepted choice is lost
    again->ButtonOptionHelplClick();
    EXPECT_EQ(shell.calls.back(), "help 7");
}

TEST_F(AppFixture, TheLogHoldsTheStartAndEndLinesWithTheSameTime)
{
    auto form = start();
    form->settings().AgentOn = false;
    form->close(); // the window's close button
    EXPECT_EQ(logText(), "\r\nНачало сеанса отладки. 09.12.2024 15:36:04"
                         "\r\n    Невозможно открыть порт СОМ1.\r\n    Невозможно открыть порт СОМ2."
                         "\r\nЗавершение программы. 09.12.2024 15:36:04");
    EXPECT_EQ(form->buffersReleased(), 1);
    EXPECT_EQ(terminateCalls, 1);
}

TEST_F(AppFixture, TwoRunsAppendToTheSameLog)
{
    for (int run = 0; run < 2; ++run) {
        services.wide = {}; // each run is a process of its own
        auto form = start();
        form->settings().AgentOn = false;
        form->close();
    }
    const std::string one = "\r\nНачало сеанса отладки. 09.12.2024 15:36:04"
                            "\r\n    Невозможно открыть порт СОМ1.\r\n    Невозможно открыть порт СОМ2."
                            "\r\nЗавершение программы. 09.12.2024 15:36:04";
    EXPECT_EQ(logText(), one + one);
}

TEST_F(AppFixture, AnUnwritableLogDoesNotStopTheProgram)
{
    fs::create_directories(dir.path / "9327debug.log"); // cannot be opened as a file
    auto form = start();
    EXPECT_TRUE(form->isVisible());
    form->settings().AgentOn = false;
    form->close();
    EXPECT_EQ(terminateCalls, 1);
}

struct ShutdownCase {
    const char* name;
    bool agentOn;
    bool agentStarts;
    bool byClose;
    bool lastLine;
    bool agentMessage;
    int released;
};

class Shutdown : public AppFixture, public ::testing::WithParamInterface<ShutdownCase> {};

TEST_P(Shutdown, FollowsItsPath)
{
    const ShutdownCase& c = GetParam();
    agent.startSucceeds = c.agentStarts;
    auto form = start();
    form->settings().AgentOn = c.agentOn;
    if (c.byClose)
        form->close();
    else
        form->action("Exit1")->trigger();

    EXPECT_TRUE(fs::exists(iniPath())); // the settings are always written first
    EXPECT_EQ(logText().find("Завершение программы.") != std::string::npos, c.lastLine);
    const auto texts = dialogs.texts();
    const bool msg = std::find(texts.begin(), texts.end(), "Не могу запустить Tavrel.exe !!!") != texts.end();
    EXPECT_EQ(msg, c.agentMessage);
    EXPECT_EQ(agent.starts, c.agentOn ? 1 : 0);
    EXPECT_EQ(form->buffersReleased(), c.released);
    EXPECT_EQ(form->endedByAgent(), c.agentOn && c.agentStarts);
    // A second close (the window going away) runs nothing again.
    form->close();
    EXPECT_EQ(form->buffersReleased(), c.released);
    EXPECT_EQ(agent.starts, c.agentOn ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Shutdown,
    ::testing::Values(ShutdownCase{"AgentStartsOnClose", true, true, true, false, false, 0},
                      ShutdownCase{"AgentMissingOnClose", true, false, true, true, true, 1},
                      ShutdownCase{"AgentMissingByMenu", true, false, false, false, true, 1},
                      ShutdownCase{"NoAgentOnClose", false, false, true, true, false, 1},
                      ShutdownCase{"NoAgentByMenu", false, false, false, false, false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppFixture, TheMenuBarInItsOrder)
{
    auto form = start();
    QStringList titles;
    for (QAction* a : form->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"File", "Служебные", "Запрос каналов.", "Программирование МИП.",
                                   "Установка магистрального адреса.", "Настройки.", "Установка времени.", "Help",
                                   "Поиск неисправностей."}));
    EXPECT_FALSE(form->menu("N28")->menuAction()->isVisible());
    EXPECT_FALSE(form->menu("N8")->menuAction()->isEnabled());
    EXPECT_EQ(form->menu("N10")->actions().size(), 32);
    EXPECT_EQ(form->action("SetMagAdr_32")->text(), QStringLiteral("32"));
    EXPECT_EQ(form->action("OpenFile")->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
}

TEST_F(AppFixture, TheWindowAsDesigned)
{
    TMainForm1 form(services);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Korlin."));
    EXPECT_EQ(form.width(), TMainForm1::kClientWidth);
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(166, 202, 240));
    EXPECT_EQ(form.font().pixelSize(), 11);
    EXPECT_EQ(form.statusPanel(0)->text(), QStringLiteral("Массив не загружен."));
    EXPECT_EQ(form.statusPanel(1)->text(), QStringLiteral("Файл не загружен."));
}

TEST_F(AppFixture, EditorModeWithoutPortsAsksAndHidesTheDeviceMenus)
{
    auto form = start();
    ASSERT_EQ(dialogs.events.size(), 2u);
    EXPECT_EQ(dialogs.events[0].kind, DialogEvent::Question);
    EXPECT_EQ(dialogs.events[1].text, "Ошибка открытия проверочного файла pv34.shc!!!");
    EXPECT_EQ(dialogs.events[1].caption, "Открытие файла программы");
    EXPECT_EQ(form->Memo1->x(), 144);
    EXPECT_EQ(dialogs.events[0].caption, "Определитесь с дальнейшими действиями!");
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Korlin  (МИП не найден)."));
    EXPECT_EQ(form->width(), 500);
    EXPECT_FALSE(form->menu("N9")->menuAction()->isVisible());
    EXPECT_FALSE(form->menu("N10")->menuAction()->isVisible());
    EXPECT_FALSE(form->menu("N1")->menuAction()->isVisible());
    EXPECT_FALSE(form->action("N23")->isVisible());
    EXPECT_FALSE(form->action("ReadProg9327")->isVisible());
    EXPECT_TRUE(form->action("VievAllSubArray")->isEnabled());
    EXPECT_EQ(services.wide.EditorOnly, 1);
    EXPECT_EQ(form->buffersAllocated(), 1);
}

TEST_F(AppFixture, AnsweringNoEndsTheProgram)
{
    dialogs.yesNoAnswers.push_back(false);
    TMainForm1 form(services);
    form.FormCreate();
    EXPECT_TRUE(form.terminated());
    EXPECT_FALSE(form.isVisible());
}

TEST_F(AppFixture, HelpCommandsOpenTheirContextsAndFiles)
{
    auto form = start();
    form->action("N11")->trigger();
    form->action("Tabl_typ_datchik")->trigger();
    form->action("N2")->trigger();
    form->action("Kaliculator_1")->trigger();
    form->action("TypeK")->trigger();
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"help 1", "help 6", "help 11", "start Pyrlen.exe",
                                                     "open Help9327/Tabl/emfk_c.pdf"}));
}

} // namespace korlin::testing

#include "AboutBox.h"
#include "Formprogress.h"
#include "HelpWindow.h"
#include "Unitformwait.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QPointer>
#include <QApplication>

namespace korlin::testing {

TEST_F(AppFixture, AboutBoxesAreModelessAndCloseOnAnyKeyOrClick)
{
    auto form = start();
    form->action("A1")->trigger();
    form->action("A1")->trigger();
    auto boxes = form->findChildren<TAboutBox*>();
    ASSERT_EQ(boxes.size(), 2);
    for (auto* b : boxes)
        EXPECT_FALSE(b->isModal());
    QPointer<TAboutBox> first = boxes[0], second = boxes[1];
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(first, &key);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(second->Panel1, &press);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(second.isNull());
}

TEST(AuxWindows, SplashProgressAndWaitWindowWidth)
{
    TForm2 splash;
    splash.setText(QStringLiteral("Поиск преобразователей"));
    splash.setPosition(10);
    splash.setPosition(splash.position() + 2);
    EXPECT_EQ(splash.position(), 12);
    splash.setPosition(140);
    EXPECT_EQ(splash.ProgressBar1->value(), 100); // shown as full
    EXPECT_EQ(splash.position(), 140);

    TFormWait wait;
    EXPECT_TRUE(wait.isVisible());
    EXPECT_EQ(wait.Label1->text(), QStringLiteral("Ждите !"));
    const QString text = QStringLiteral("Ждите загрузки програмного массива в пеобразователь!");
    wait.setText(text);
    EXPECT_GE(wait.width(), QFontMetrics(wait.Label1->font()).horizontalAdvance(text));
    EXPECT_EQ(wait.windowTitle(), QStringLiteral("Работа программы!"));
}

TEST(AuxWindows, HelpOpensAtTheTopicOrShowsNothing)
{
    TempDir dir;
    HelpWindow help;
    EXPECT_FALSE(help.showContext(dir.path / "Help9327" / "S9327.hlp", 7));
    EXPECT_FALSE(help.isVisible());
    fs::create_directories(dir.path / "Help9327");
    std::ofstream(dir.path / "Help9327" / "S9327.html") << "<html><body><h1 id='context-7'>Опции</h1></body></html>";
    EXPECT_TRUE(help.showContext(dir.path / "Help9327" / "S9327.hlp", 7));
    EXPECT_EQ(help.source().fragment(), QStringLiteral("context-7"));
}

TEST(AuxWindows, TheShippedHelpHasEveryContext)
{
    const fs::path page = fs::path(KORLIN_SOURCE_DIR) / "Help9327" / "S9327.html";
    const std::string html = slurp(page);
    for (int context : {1, 3, 4, 5, 6, 7, 8, 11})
        EXPECT_NE(html.find("id=\"" + helpAnchor(context).toStdString() + "\""), std::string::npos) << context;
}

} // namespace korlin::testing

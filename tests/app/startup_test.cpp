// The whole start-up against simulated converters on the virtual clock.
#include "AppFixture.h"

#include "Cp1251.h"
#include "UpDown.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QPushButton>

namespace korlin::testing {

namespace {

// The log's lines (without the leading CR LF of each).
std::vector<std::string> logLines(const std::string& log)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while ((at = log.find("\r\n", at)) != std::string::npos) {
        at += 2;
        const size_t next = log.find("\r\n", at);
        lines.push_back(log.substr(at, next == std::string::npos ? std::string::npos : next - at));
    }
    return lines;
}

std::string text(const QLineEdit* w) { return w ? w->text().toStdString() : "<none>"; }

} // namespace

class StartUp : public AppFixture {
protected:
    std::unique_ptr<TMainForm1> run()
    {
        auto form = std::make_unique<TMainForm1>(services);
        form->FormCreate();
        return form;
    }
    std::vector<std::string> lines() const { return logLines(logText()); }
};

TEST_F(StartUp, SettingsAddressFiveMeasuringGivesTheTypicalTrace)
{
    writeIni("[Параметры]\nAdresMIP=5\n");
    writeCheckFile();
    converterOn(1, sim::ConverterConfig::native(5).measuring().channel(1, 235));
    auto form = run();
    ASSERT_FALSE(form->terminated());
    const std::vector<std::string> expected = {
        "Начало сеанса отладки. 09.12.2024 15:36:04",
        "    Открыт порт СОМ1.",
        "    Начало поиска МИП.",
        "    Найден МИП по INI в основном режиме с адресом 5",
        "    Поиск по магистральному адресу.",
        "    Магистральный адрес 5",
        "    Вывод состояния МИП.",
        "    Мип находится в режиме измерений.",
        "    Создание массива окон вывода рабочих каналов.",
    };
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(form->settings().MagAdr, 5);
    EXPECT_FALSE(form->settings().ModbusMode);
    EXPECT_EQ(form->Label3->text(), QStringLiteral("Магистральный адрес МИП № 5"));
    EXPECT_EQ(form->LabelSostojanie->text(), QStringLiteral("Мип находится в режиме измерений."));
    EXPECT_EQ(form->statusPanel(0)->text(), QStringLiteral("Программа из Ш9327"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Korlin.Запись лог. файла"));
    EXPECT_TRUE(form->isVisible());
    // The working channels are shown, polled on page 1.
    EXPECT_TRUE(form->GroupBoxAllRabCan->isVisible());
    EXPECT_TRUE(form->GroupBoxAllRabCan->title().startsWith(QStringLiteral("Рабочие каналы,     Время опроса  ")));
    ASSERT_NE(form->R(1), nullptr);
    EXPECT_EQ(text(form->R(1)), "1  0,235   mA"); // a current channel, comma locale
    EXPECT_FALSE(form->menu("N28")->menuAction()->isVisible());
    EXPECT_EQ(form->S(296) != nullptr, true);
    EXPECT_EQ(form->Sl(80) != nullptr, true);
    // The check file reached the reference and no box was shown.
    EXPECT_EQ(form->buffers()->PickupsRef[661], '1');
    EXPECT_TRUE(dialogs.texts().empty());
    // The splash went through its positions.
    EXPECT_EQ(form->splashPositions(), (std::vector<int>{5, 10, 30, 50, 70, 75, 80, 100}));
    EXPECT_EQ(form->splash(), nullptr);
}

TEST_F(StartUp, FirstRunFindsTheMipByTheAddressCycle)
{
    writeCheckFile();
    auto& conv = converterOn(1, sim::ConverterConfig::native(3).measuring());
    auto form = run();
    EXPECT_EQ(form->settings().MagAdr, 3);
    EXPECT_EQ(form->Label3->text(), QStringLiteral("Магистральный адрес МИП № 3"));
    const auto l = lines();
    EXPECT_NE(std::find(l.begin(), l.end(), "    Найден МИП поиском в цикле в основном режиме."), l.end());
    EXPECT_NE(std::find(l.begin(), l.end(), "    Магистральный адрес 3"), l.end());
    // The queries of the search: 0xC0 first, then 0xC1, 0xC2, 0xC3.
    std::vector<uint8_t> firsts;
    for (const auto& b : conv.line().hostBytes())
        if (b.value >= 0xC0 && firsts.size() < 4)
            firsts.push_back(b.value);
    EXPECT_EQ(firsts, (std::vector<uint8_t>{0xC0, 0xC1, 0xC2, 0xC3}));
    EXPECT_TRUE(form->GroupBoxAllRabCan->isVisible());
    // Three splash steps of 2 before the МИП at 3 answered.
    EXPECT_EQ(form->splashPositions()[2], 30);
    form->settings().AgentOn = false;
    form->close();
    EXPECT_NE(iniText(iniPath()).find("AdresMIP=3\r\n"), std::string::npos);
}

TEST_F(StartUp, ShowNothingSkipsTheFirstDisplayAndItsWait)
{
    writeIni("[Параметры]\nAdresMIP=5\nканалы=-1\n");
    writeCheckFile();
    converterOn(1, sim::ConverterConfig::native(5));
    auto form = run();
    const int64_t nothing = clock.nowUs();
    EXPECT_FALSE(form->GroupBoxAllRabCan->isVisible());

    // The same start showing the working channels takes the 2 s wait and the poll's 2 s more.
    services.wide = {};
    VirtualClock other({2024, 12, 9, 15, 36, 4});
    Services s2{other, dialogs, shell, log, agent};
    s2.windowsDir = dir.path / "second";
    fs::create_directories(s2.windowsDir);
    SimulatedPortOpener ports2;
    sim::SimLine conv2(other, sim::ConverterConfig::native(5));
    ports2.attach("COM1", conv2.line());
    ports2.fail("COM2", "absent");
    s2.ports = &ports2;
    s2.locale = services.locale;
    std::ofstream(s2.windowsDir / kIniName) << "[Параметры]\r\nAdresMIP=5\r\n";
    TMainForm1 shown(s2);
    shown.FormCreate();
    EXPECT_TRUE(shown.GroupBoxAllRabCan->isVisible());
    EXPECT_GE(other.nowUs() - nothing, 4'000'000);
}

TEST_F(StartUp, AModbusMipIsFoundAndShownWithoutTheProgram)
{
    writeIni("[Параметры]\nAdresMIP=7\n");
    writeCheckFile();
    converterOn(1, sim::ConverterConfig::modbus(7).measuring().channel(5, 235));
    auto form = run();
    EXPECT_TRUE(form->settings().ModbusMode);
    EXPECT_EQ(form->settings().MagAdr, 7);
    EXPECT_EQ(form->GroupBox1->title(), QStringLiteral("Мониторинг Ш9327 в режиме MODBUS."));
    EXPECT_FALSE(form->menu("N3")->menuAction()->isEnabled());
    EXPECT_EQ(form->statusPanel(0)->text(), QStringLiteral("Программа из Ш9327"));
    EXPECT_EQ(form->S(1), nullptr); // no parameter or service windows in MODBUS mode
    const auto l = lines();
    EXPECT_EQ(std::find(l.begin(), l.end(), "    Поиск по магистральному адресу."), l.end());
    EXPECT_TRUE(form->GroupBoxAllRabCan->isVisible());
    EXPECT_EQ(text(form->R(5)), "5   235");
    form->settings().AgentOn = false;
    form->close();
    const std::string ini = iniText(iniPath());
    EXPECT_NE(ini.find("MODBUS=-1\r\n"), std::string::npos);
    EXPECT_NE(ini.find("AdresMIP=7\r\n"), std::string::npos);
}

TEST_F(StartUp, BothPortsWithoutAMipGiveTheEditorWithoutAQuestion)
{
    writeCheckFile();
    silentLineOn(1);
    silentLineOn(2);
    auto form = run();
    EXPECT_EQ(services.wide.NoMipPorts, 2);
    EXPECT_EQ(services.wide.EditorOnly, 1);
    EXPECT_TRUE(dialogs.events.empty());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Korlin  (МИП не найден)."));
    EXPECT_EQ(form->width(), TMainForm1::kClientWidth);
    EXPECT_FALSE(form->action("VievAllSubArray")->isEnabled());
    EXPECT_FALSE(form->menu("N1")->menuAction()->isVisible());
    EXPECT_FALSE(form->GroupBox1->isVisible());
    // Each empty port costs the whole search: about 16 s of virtual time.
    EXPECT_GT(clock.nowUs(), 2 * 15'000'000);
    EXPECT_LT(clock.nowUs(), 2 * 18'000'000);
    EXPECT_EQ(com1->line().hostBytes().size(), 2u * 32 + 2 + 8 * 33);
}

TEST_F(StartUp, Com1AbsentAndTheMipOnCom2)
{
    writeIni("[Параметры]\nAdresMIP=5\n");
    writeCheckFile();
    converterOn(2, sim::ConverterConfig::native(5));
    auto form = run();
    const auto l = lines();
    ASSERT_GE(l.size(), 3u);
    EXPECT_EQ(l[1], "    Невозможно открыть порт СОМ1.");
    EXPECT_EQ(l[2], "    Открыт порт COM2.");
    EXPECT_EQ(form->GroupBoxComPort->title(), QStringLiteral("Порт COM2"));
    EXPECT_EQ(services.wide.NoMipPorts, 1);
    EXPECT_EQ(services.wide.EditorOnly, 0);
    EXPECT_EQ(form->splashPositions(), (std::vector<int>{5, 10, 30, 40, 50, 70, 75, 80, 100}));
}

TEST_F(StartUp, AProgramWithAWrongChecksumEndsTheProgram)
{
    writeIni("[Параметры]\nAdresMIP=5\n");
    auto cfg = sim::ConverterConfig::native(5);
    cfg.faults.badChecksum = true;
    converterOn(1, cfg);
    auto form = run();
    EXPECT_TRUE(form->terminated());
    EXPECT_FALSE(form->isVisible());
    ASSERT_FALSE(dialogs.events.empty());
    EXPECT_EQ(dialogs.events.back().text,
              "Ошибка контрольной суммы принятого программного массива! Закрываю программу!");
    EXPECT_EQ(dialogs.events.back().caption, "Предупреждение!!!");
}

TEST_F(StartUp, ALongCheckFileGivesItsFirst700Bytes)
{
    std::string bytes(800, 'x');
    bytes[699] = 'y';
    writeCheckFile(bytes);
    auto form = start();
    EXPECT_EQ(form->buffers()->PickupsRef[699], 'y');
    EXPECT_EQ(dialogs.texts().size(), 1u); // only the question
}

TEST_F(StartUp, StateLabelForEveryStatus)
{
    struct Case { uint8_t status; const char* label; QColor font, background; } cases[] = {
        {129, "Мип находится в режиме измерений.", QColor(0, 0, 255), QColor(166, 202, 240)},
        {138, "Мип находится в режиме ожидания.", QColor(0, 0, 255), QColor(166, 202, 240)},
        {137, "Мип находится в ручном режиме.", QColor(255, 0, 0), QColor(255, 255, 0)},
        {131, "Ошибка ответа МИП о состоянии. ", QColor(255, 0, 0), QColor(255, 255, 0)},
    };
    writeIni("[Параметры]\nAdresMIP=5\nканалы=-1\n");
    writeCheckFile();
    auto& conv = converterOn(1, sim::ConverterConfig::native(5));
    auto form = run();
    for (const auto& c : cases) {
        conv.model().setStatus(c.status);
        dialogs.events.clear();
        form->Button_MIP_SostojanieClick();
        EXPECT_EQ(form->LabelSostojanie->text().toStdString(), c.label);
        EXPECT_EQ(form->LabelSostojanie->palette().color(QPalette::WindowText), c.font);
        EXPECT_EQ(form->LabelSostojanie->palette().color(QPalette::Window), c.background);
        const bool beeped = !dialogs.events.empty() && dialogs.events.back().kind == DialogEvent::SoundPlayed;
        EXPECT_EQ(beeped, c.status != 129) << int(c.status);
    }
    EXPECT_NE(logText().find("\r\n    Ошибка ответа МИП о состоянии 131"), std::string::npos);
}

TEST_F(StartUp, AddressChangeAndClockFromTheMenus)
{
    writeIni("[Параметры]\nAdresMIP=5\nканалы=-1\n");
    writeCheckFile();
    auto& conv = converterOn(1, sim::ConverterConfig::native(5));
    auto form = run();
    form->action("SetMagAdr_9")->trigger();
    EXPECT_EQ(form->settings().MagAdr, 9);
    EXPECT_EQ(conv.model().address(), 9);
    EXPECT_EQ(form->Label3->text(), QStringLiteral("Магистральный адрес МИП № 9"));

    // A converter that does not answer: MagAdr stays, the box is shown.
    conv.model().config().faults.silent = true;
    dialogs.events.clear();
    form->action("SetMagAdr_12")->trigger();
    EXPECT_EQ(form->settings().MagAdr, 9);
    ASSERT_EQ(dialogs.texts().size(), 1u);
    EXPECT_EQ(dialogs.texts()[0], "Не изменился магистральный адрес!!!");
    conv.model().config().faults.silent = false;

    const DateTime before = clock.localTime();
    form->action("Write_Time")->trigger();
    const DateTime set = conv.model().clockAt(clock.nowUs());
    EXPECT_EQ(set.year, before.year);
    EXPECT_EQ(set.hour, before.hour);
}

TEST_F(StartUp, CyclicPollingStartsStopsAndKeepsCounting)
{
    writeIni("[Параметры]\nAdresMIP=5\n");
    writeCheckFile();
    converterOn(1, sim::ConverterConfig::native(5));
    auto form = run();
    ASSERT_TRUE(form->GroupBoxAllRabCan->isVisible());
    form->DisabledCiklRabCanClick();
    EXPECT_TRUE(form->RabCycleOn());
    EXPECT_TRUE(form->TimerCiklRabCan->isActive());
    EXPECT_EQ(form->DisabledCiklRabCan->text(), QStringLiteral("Стоп."));
    EXPECT_FALSE(form->menu("File1")->menuAction()->isEnabled());
    EXPECT_TRUE(form->action("ButonOptionDlg")->isEnabled());
    form->TimerCiklRabCanTimer();
    form->TimerCiklRabCanTimer();
    EXPECT_EQ(form->LabeledEdit1->text(), QStringLiteral("2"));
    form->DisabledCiklRabCanClick();
    EXPECT_FALSE(form->TimerCiklRabCan->isActive());
    EXPECT_EQ(form->LabeledEdit1->text(), QString());
    EXPECT_FALSE(form->LabeledEdit1->isEnabled());
    EXPECT_EQ(form->DisabledCiklRabCan->text(), QStringLiteral("Старт."));
    form->DisabledCiklRabCanClick();
    form->TimerCiklRabCanTimer();
    EXPECT_EQ(form->PollCount(), 3);
    EXPECT_EQ(form->LabeledEdit1->text(), QStringLiteral("3"));

    // The period: 5000 ms until the first release on the up-down.
    EXPECT_EQ(form->TimerCiklRabCan->interval(), 5000);
    form->UpDownRabCan->step(1);
    form->UpDownRabCanMouseUp();
    EXPECT_EQ(form->TimerCiklRabCan->interval(), 7000);
    EXPECT_EQ(form->LabeledEdit2->text(), QStringLiteral("7"));
}

TEST_F(StartUp, APressOnAChannelWindowSelectsItForTheBigLabel)
{
    writeIni("[Параметры]\nAdresMIP=5\n");
    writeCheckFile();
    converterOn(1, sim::ConverterConfig::native(5).channel(7, 300));
    auto form = run();
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton}) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), b, b, Qt::NoModifier);
        QApplication::sendEvent(form->R(7), &press);
        EXPECT_EQ(form->SelKan(), 7);
        QMouseEvent other(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), b, b, Qt::NoModifier);
        QApplication::sendEvent(form->R(3), &other);
        EXPECT_EQ(form->SelKan(), 3);
    }
    EXPECT_FALSE(form->action("Ustawka_OFF")->isEnabled()); // setpoint checking is off
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->R(7), &press);
    EXPECT_EQ(form->action("Popup_num_err_ust")->text(), QStringLiteral("Кол. ошибок = 0"));
    form->N5Click();
    EXPECT_TRUE(form->Label_kan_data->isVisible());
    EXPECT_EQ(form->Label_kan_data->text(), form->R(7)->text() + QStringLiteral("    0"));
    // The next poll refreshes it.
    form->out_rab_kanClick();
    EXPECT_EQ(form->Label_kan_data->text(), form->R(7)->text() + QStringLiteral("    0"));
}

} // namespace korlin::testing

namespace korlin::testing {

// Every row of the outcome of the two ports.
struct PortsCase {
    const char* name;
    int com1; // 0 absent, 1 opens without a МИП, 2 a МИП at 5
    int com2;
    int NoMipPorts;
    bool editor;
    bool question;
    int workingPort; // 0 none
};

class PortOutcome : public AppFixture, public ::testing::WithParamInterface<PortsCase> {};

TEST_P(PortOutcome, DecidesTheMode)
{
    const PortsCase& c = GetParam();
    writeIni("[Параметры]\nAdresMIP=5\nканалы=-1\n");
    writeCheckFile();
    for (int com : {1, 2}) {
        const int what = com == 1 ? c.com1 : c.com2;
        if (what == 1)
            silentLineOn(com);
        else if (what == 2)
            converterOn(com, sim::ConverterConfig::native(5));
    }
    dialogs.yesNoAnswers.push_back(true);
    TMainForm1 form(services);
    form.FormCreate();
    EXPECT_EQ(services.wide.NoMipPorts, c.NoMipPorts);
    EXPECT_EQ(services.wide.EditorOnly == 1, c.editor);
    const bool asked = !dialogs.events.empty() && dialogs.events[0].kind == DialogEvent::Question;
    EXPECT_EQ(asked, c.question);
    EXPECT_EQ(form.windowTitle() == QStringLiteral("Korlin  (МИП не найден)."), c.editor);
    if (c.workingPort)
        EXPECT_EQ(form.GroupBoxComPort->title(), QStringLiteral("Порт COM%1").arg(c.workingPort));
    // COM2 is tried only when COM1 gave nothing.
    const bool com2Tried = std::find(ports.opened.begin(), ports.opened.end(), "COM2") != ports.opened.end();
    EXPECT_EQ(com2Tried, c.com1 != 2);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PortOutcome,
    ::testing::Values(PortsCase{"MipOnCom1", 2, 0, 0, false, false, 1},
                      PortsCase{"EmptyCom1MipOnCom2", 1, 2, 1, false, false, 2},
                      PortsCase{"NoCom1MipOnCom2", 0, 2, 1, false, false, 2},
                      PortsCase{"BothEmpty", 1, 1, 2, true, false, 0},
                      PortsCase{"EmptyCom1NoCom2", 1, 0, 2, true, false, 0},
                      PortsCase{"NoCom1EmptyCom2", 0, 1, 2, true, false, 0},
                      PortsCase{"NeitherOpens", 0, 0, 2, true, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartUp, TheWindowsStandWhereDesigned)
{
    writeIni("[Параметры]\nAdresMIP=5\nканалы=-1\n");
    writeCheckFile();
    converterOn(1, sim::ConverterConfig::native(5));
    auto form = run();
    struct Place { QLineEdit* w; int left, top; QWidget* parent; } places[] = {
        {form->R(10), 10, 223, form->TabSheetMIP1}, {form->R(19), 120, 10, form->TabSheetMIP1},
        {form->R(108), 560, 399, form->TabSheetMIP1}, {form->R(109), 10, 10, form->TabSheetMIP2},
        {form->S(28), 129, 110, form->centralWidget()}, {form->S(296), 840, 610, form->centralWidget()},
        {form->Sl(11), 135, 10, form->TabSheetSluCan_1},
    };
    for (const auto& p : places) {
        ASSERT_NE(p.w, nullptr);
        EXPECT_EQ(p.w->x(), p.left) << p.w->objectName().toStdString();
        EXPECT_EQ(p.w->y(), p.top) << p.w->objectName().toStdString();
        EXPECT_EQ(p.w->parentWidget(), p.parent) << p.w->objectName().toStdString();
    }
    EXPECT_EQ(form->R(1)->width(), 105);
    EXPECT_FALSE(form->R(1)->hasFrame());
    EXPECT_FALSE(form->S(1)->isVisible());
}

TEST_F(StartUp, APollSendsItsFrameAndPausesTwice)
{
    writeIni("[Параметры]\nAdresMIP=5\nканалы=-1\n");
    writeCheckFile();
    auto& conv = converterOn(1, sim::ConverterConfig::native(5));
    auto form = run();
    conv.line().clearTrace();
    const int64_t t0 = clock.nowUs();
    form->action("MainMenuRabCan")->trigger();
    const auto steps = conv.line().steps();
    ASSERT_FALSE(steps.empty());
    EXPECT_NE(std::find(steps.begin(), steps.end(), "W C5 02"), steps.end());
    EXPECT_GE(clock.nowUs() - t0, 2'000'000); // the two 1000 ms pauses
    EXPECT_LT(clock.nowUs() - t0, 2'100'000);
    EXPECT_EQ(form->EditIntBit->text(), QStringLiteral("898"));
    EXPECT_EQ(form->EditErrorCOM->text(), QStringLiteral("0"));
    EXPECT_TRUE(form->GroupBoxAllRabCan->isVisible());
}

} // namespace korlin::testing

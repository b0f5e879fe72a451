// TMainForm1: the working-channel windows, the poll and the cycle.  The
// decoding is in monitor/; these create the windows and paint the results.
#include "MainForm.h"
#include "UpDown.h"

#include "../monitor/LogText.h"
#include "Funci.h"
#include "ModbusChannels.h"
#include "WorkingChannels.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

namespace korlin {

namespace {

template <class W>
W* placed(W* w, const char* name, int left, int top, int width, int height)
{
    w->setObjectName(QString::fromUtf8(name));
    w->setGeometry(left, top, width, height);
    return w;
}

QColor qcolour(const Rgb& c) { return QColor(c.r, c.g, c.b); }

// Text colour and background of an edit; "standard" is the desktop's own.
void paintWindow(QLineEdit* w, const WindowColour& text, const WindowColour& background)
{
    const QPalette standard = QApplication::palette(w);
    QPalette p = w->palette();
    p.setColor(QPalette::Text, text.standard ? standard.color(QPalette::Text) : qcolour(text.rgb));
    p.setColor(QPalette::Base, background.standard ? standard.color(QPalette::Base) : qcolour(background.rgb));
    w->setPalette(p);
}

QLineEdit* labeledEdit(QWidget* parent, const char* name, const char* label, int left, int top, int width)
{
    auto* edit = placed(new QLineEdit(parent), name, left, top, width, 21);
    auto* l = new QLabel(QString::fromUtf8(label), parent);
    l->adjustSize();
    l->move(left - l->width() - 4, top + 3);
    return edit;
}

} // namespace

void TMainForm1::buildWorkingChannels(QWidget* client)
{
    GroupBoxAllRabCan = placed(new QGroupBox(QStringLiteral("Рабочие каналы."), client), "GroupBoxAllRabCan", 21, 84, 985, 497);
    GroupBoxAllRabCan->hide();
    PageControlRabCan = placed(new QTabWidget(GroupBoxAllRabCan), "PageControlRabCan", 19, 16, 681, 457);
    TabSheetMIP1 = new QWidget;
    TabSheetMIP1->setObjectName(QStringLiteral("TabSheetMIP1"));
    TabSheetMIP2 = new QWidget;
    TabSheetMIP2->setObjectName(QStringLiteral("TabSheetMIP2"));
    PageControlRabCan->addTab(TabSheetMIP1, QStringLiteral("Основной[1]."));
    PageControlRabCan->addTab(TabSheetMIP2, QStringLiteral("Дополнительный [2]."));
    // The second page shows values but takes no mouse input.
    TabSheetMIP2->setAttribute(Qt::WA_TransparentForMouseEvents);

    GroupBoxUstawki = placed(new QGroupBox(QStringLiteral("Уставки."), GroupBoxAllRabCan), "GroupBoxUstawki", 713, 119, 260, 194);
    placed(new QPushButton(QStringLiteral("Включить."), GroupBoxUstawki), "UstawkiUprawlenie", 32, 14, 73, 21);
    placed(new QPushButton(QStringLiteral("Сброс."), GroupBoxUstawki), "ButtonEraseError", 129, 13, 65, 22);
    auto* errKan = placed(new QCheckBox(QStringLiteral("Включить ошибки  каналов."), GroupBoxUstawki), "CheckBoxErrorKan", 11, 41, 174, 17);
    errKan->setEnabled(false);
    placed(new QLabel(QStringLiteral("Общее кол-во сраб. уставок."), GroupBoxUstawki), "LabelErrorUstawka", 11, 67, 180, 17);
    EditUstawki = placed(new QLineEdit(GroupBoxUstawki), "EditUstawki", 193, 64, 49, 21);
    EditUstawki->setReadOnly(true);
    placed(new QLabel(QStringLiteral("Ошибки каналов."), GroupBoxUstawki), "LabelErrorKan", 11, 90, 180, 17);
    EditErrorKan = placed(new QLineEdit(GroupBoxUstawki), "EditErrorKan", 193, 91, 49, 21);
    EditErrorKan->setReadOnly(true);
    EditErrorKan->setEnabled(false);
    placed(new QLabel(QStringLiteral("Уставка min."), GroupBoxUstawki), "Label1", 12, 121, 120, 17);
    placed(new QLineEdit(GroupBoxUstawki), "EditUstavka_min", 193, 118, 49, 21);
    placed(new QLabel(QStringLiteral("Уставка max."), GroupBoxUstawki), "Label2", 11, 152, 120, 17);
    placed(new QLineEdit(GroupBoxUstawki), "EditUstavka_max", 193, 145, 49, 21);

    GroupBoxCikl = placed(new QGroupBox(QStringLiteral("Циклический опрос."), GroupBoxAllRabCan), "GroupBoxCikl", 713, 32, 260, 81);
    DisabledCiklRabCan = placed(new QPushButton(QStringLiteral("Старт"), GroupBoxCikl), "DisabledCiklRabCan", 3, 15, 41, 58);
    QFont bold = DisabledCiklRabCan->font();
    bold.setBold(true);
    DisabledCiklRabCan->setFont(bold);
    DisabledCiklRabCan->setCursor(Qt::PointingHandCursor);
    connect(DisabledCiklRabCan, &QPushButton::clicked, this, &TMainForm1::DisabledCiklRabCanClick);
    LabeledEdit1 = labeledEdit(GroupBoxCikl, "LabeledEdit1", "Кол-во опросов.                     ", 208, 18, 49);
    LabeledEdit1->setReadOnly(true);
    LabeledEdit1->setText(QStringLiteral("0"));
    LabeledEdit2 = labeledEdit(GroupBoxCikl, "LabeledEdit2", "Время опроса (сек).               ", 209, 45, 25);
    LabeledEdit2->setReadOnly(true);
    UpDownRabCan = new UpDown(LabeledEdit2, RabCyclePeriod::kMinPosition, RabCyclePeriod::kMaxPosition,
                              RabCyclePeriod::kStartPosition, GroupBoxCikl);
    UpDownRabCan->setObjectName(QStringLiteral("UpDownRabCan"));
    UpDownRabCan->setGeometry(234, 45, 15, 21);
    UpDownRabCan->setPosition(RabCyclePeriod::kStartPosition);
    connect(UpDownRabCan, &UpDown::released, this, &TMainForm1::UpDownRabCanMouseUp);

    GroupBoxComPort = placed(new QGroupBox(QStringLiteral("COM порт."), GroupBoxAllRabCan), "GroupBoxComPort", 713, 320, 260, 80);
    EditErrorCOM = labeledEdit(GroupBoxComPort, "EditErrorCOM", "Ошибок связи.", 193, 20, 57);
    EditErrorCOM->setReadOnly(true);
    EditErrorCOM->setText(QStringLiteral("0"));
    EditIntBit = labeledEdit(GroupBoxComPort, "EditIntBit", "Считанных байт.", 193, 48, 57);
    EditIntBit->setReadOnly(true);

    LegendPanel = placed(new QWidget(GroupBoxAllRabCan), "Panel1", 706, 453, 265, 20);
    for (const LegendEntry& e : kColourLegend) {
        auto* l = placed(new QLabel(LegendPanel), std::string(e.label).c_str(), e.left, 2, 25, 15);
        l->setAutoFillBackground(true);
        QPalette p = l->palette();
        p.setColor(QPalette::Window, qcolour(e.colour));
        l->setPalette(p);
        l->setToolTip(QString::fromUtf8(e.hint.data(), int(e.hint.size())));
    }

    PopupMenuRabKan = new QMenu(this);
    PopupMenuRabKan->setObjectName(QStringLiteral("PopupMenuRabKan"));
    connect(addItem(PopupMenuRabKan, "N5", "Вывести на панель."), &QAction::triggered, this, &TMainForm1::N5Click);
    addItem(PopupMenuRabKan, "Ustawka_OFF", "Снять уставку.");
    addItem(PopupMenuRabKan, "Ustawka_ON", "Активировать уставку.");
    addItem(PopupMenuRabKan, "Popup_ustawka_min", "");
    addItem(PopupMenuRabKan, "Popup_ustawka_max", "");
    addItem(PopupMenuRabKan, "Popup_num_err_ust", "");

    TimerCiklRabCan = new QTimer(this);
    TimerCiklRabCan->setObjectName(QStringLiteral("TimerCiklRabCan"));
    TimerCiklRabCan->setInterval(RabCyclePeriod::kStartPeriodMs);
    connect(TimerCiklRabCan, &QTimer::timeout, this, &TMainForm1::TimerCiklRabCanTimer);
    TimerMODBUS = new QTimer(this);
    TimerMODBUS->setObjectName(QStringLiteral("TimerMODBUS"));
    TimerMODBUS->setInterval(RabCyclePeriod::kModbusPeriodMs);
    connect(TimerMODBUS, &QTimer::timeout, this, &TMainForm1::TimerMODBUSTimer);
}

void TMainForm1::buildServiceChannels(QWidget* client)
{
    GroupBoxAllSluCan = placed(new QGroupBox(QStringLiteral("Служебные каналы."), client), "GroupBoxAllSluCan", 91, 128, 833, 453);
    GroupBoxAllSluCan->hide();
    PageControlSluCan = placed(new QTabWidget(GroupBoxAllSluCan), "PageControlSluCan", 16, 24, 801, 265);
    TabSheetSluCan_1 = new QWidget;
    TabSheetSluCan_1->setObjectName(QStringLiteral("TabSheetSluCan_1"));
    auto* second = new QWidget;
    second->setObjectName(QStringLiteral("TabSheetSluCan_2"));
    PageControlSluCan->addTab(TabSheetSluCan_1, QStringLiteral("Основной[1]."));
    PageControlSluCan->addTab(second, QStringLiteral("Дополнительный [2]."));
}

QLineEdit* TMainForm1::R(int ch) const { return ch >= 1 && ch <= 216 ? RabCan_[size_t(ch)] : nullptr; }
QLineEdit* TMainForm1::S(int j) const { return j >= 1 && j <= int(ParamWindows_.size()) ? ParamWindows_[size_t(j - 1)] : nullptr; }
QLineEdit* TMainForm1::Sl(int j) const { return j >= 1 && j <= int(SluWindows_.size()) ? SluWindows_[size_t(j - 1)] : nullptr; }

void TMainForm1::Strukt_array_editClick()
{
    // The windows carry unique names: they are made once.
    if (RabCan_[1])
        return;
    services_.log.LogMessage(logtext::ChannelWindows);
    const int h = 21;
    for (int ch = 1; ch <= 216; ++ch) {
        const WindowPlace p = channelWindowPlaceOfChannel(ch);
        auto* w = placed(new QLineEdit(ch <= 108 ? TabSheetMIP1 : TabSheetMIP2), channelWindowName(ch).c_str(), p.left,
                         p.top, p.width, h);
        w->setFrame(false);
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        w->installEventFilter(this);
        connect(w, &QLineEdit::customContextMenuRequested, this,
                [this, w](const QPoint& at) { PopupMenuRabKan->popup(w->mapToGlobal(at)); });
        RabCan_[size_t(ch)] = w;
    }
    if (!settings_.ModbusMode) {
        for (int j = 1; j <= 296; ++j) {
            const WindowPlace p = parameterWindowPlace(j);
            auto* w = placed(new QLineEdit(client_), parameterWindowName(j).c_str(), p.left, p.top, p.width, 20);
            ParamWindows_.push_back(w);
        }
        for (QLineEdit* w : ParamWindows_)
            w->hide();
        for (int j = 1; j <= 80; ++j) {
            const WindowPlace p = serviceWindowPlace(j);
            auto* w = placed(new QLineEdit(TabSheetSluCan_1), serviceWindowName(j).c_str(), p.left, p.top, p.width, 20);
            w->setFrame(false);
            SluWindows_.push_back(w);
        }
    }
    GroupBoxAllRabCan->hide();
    GroupBoxAllSluCan->hide();
}

// Every mouse press on a channel window, whatever the button, comes first.
bool TMainForm1::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonPress)
        if (const auto ch = channelOfWindowName(o->objectName().toStdString()); ch && R(*ch) == o)
            NamePE_MouseDown(*ch);
    return QMainWindow::eventFilter(o, e);
}

void TMainForm1::NamePE_MouseDown(int channel)
{
    const SetpointState& sp = buffers_->setpoints;
    action("Ustawka_OFF")->setEnabled(sp.UstEnabled);
    action("Ustawka_ON")->setEnabled(sp.UstEnabled);
    SelKan_ = channel;
    const char sep = services_.locale.decimalSeparator;
    action("Popup_ustawka_min")->setText(QString::fromStdString("Знач.уст.min = " + formatGeneral(settings_.UstMin, sep)));
    action("Popup_ustawka_max")->setText(QString::fromStdString("Знач.уст.max = " + formatGeneral(settings_.UstMax, sep)));
    action("Popup_num_err_ust")->setText(QStringLiteral("Кол. ошибок = %1").arg(sp.UstCount[size_t(channel)]));
}

void TMainForm1::N5Click()
{
    QLineEdit* w = R(SelKan_);
    if (!w)
        return;
    Label_kan_data->setText(w->text() + QStringLiteral("    ") + QString::number(buffers_->setpoints.UstCount[size_t(SelKan_)]));
    QPalette p = Label_kan_data->palette();
    p.setColor(QPalette::WindowText, w->palette().color(QPalette::Text));
    Label_kan_data->setPalette(p);
    Label_kan_data->show();
}

void TMainForm1::out_rab_kanClick()
{
    if (!RabCan_[1])
        return; // no windows: no МИП was found
    // 1. The page and the time-outs, only with the cycle off.
    if (!RabCycleOn_) {
        const bool second = PageControlRabCan->currentWidget() == TabSheetMIP2;
        KanFirst_ = second ? rab::kPage2First : rab::kPage1First;
        KanLast_ = second ? rab::kPage2Last : rab::kPage1Last;
    }
    // 2. The exchange.
    Link l = link();
    const ReadOutcome r = nativeWorkingChannelPoll(l, bus::addressByte(settings_.MagAdr), buffers_->RabBuf, !RabCycleOn_);
    if (!r.completed)
        EditErrorCOM->setText(QString::number(EditErrorCOM->text().toInt() + 1));
    paintWorkingChannels();
}

// Steps 3 to 10 of the poll: RabBuf decoded into the windows of the page.
void TMainForm1::paintWorkingChannels()
{
    EditIntBit->setText(QString::number(portState_.BytesDone));
    SetpointState& sp = buffers_->setpoints;
    const WorkingPollInput in{buffers_->RabBuf, portState_.BytesDone, KanFirst_, KanLast_, buffers_->sensors.sensor_class,
                              RabText_, SelKan_, services_.locale.decimalSeparator};
    const WorkingPollResult res = decodeWorkingChannels(in, sp);
    RabText_ = res.RabText;
    GroupBoxAllRabCan->setTitle(QString::fromStdString(res.caption));
    for (int ch = KanFirst_; ch <= KanLast_; ++ch) {
        const ChannelView& v = res.window(ch);
        QLineEdit* w = R(ch);
        w->setText(QString::fromStdString(v.text));
        paintWindow(w, v.textColour, v.background);
    }
    if (res.bigLabel) {
        Label_kan_data->setText(QString::fromStdString(res.bigLabel->text));
        QPalette p = Label_kan_data->palette();
        p.setColor(QPalette::WindowText, res.bigLabel->textColour.standard ? QApplication::palette().color(QPalette::WindowText)
                                                                          : qcolour(res.bigLabel->textColour.rgb));
        Label_kan_data->setPalette(p);
    }
    if (res.kanErrCountShown)
        EditErrorKan->setText(QString::number(res.KanErrCount));
    if (res.setpoint.editUstawkiYellow) {
        QPalette p = EditUstawki->palette();
        p.setColor(QPalette::Base, QColor(255, 255, 0));
        EditUstawki->setPalette(p);
    }
    EditUstawki->setText(QString::number(res.UstTotal));
    if (res.beep)
        services_.dialogs.sound(Sound::Stop);
    // 10. The working channels to the front, with the cycle off.
    if (!RabCycleOn_) {
        for (QWidget* w : {static_cast<QWidget*>(Memo1), static_cast<QWidget*>(MemoPickups), static_cast<QWidget*>(MemoAO),
                           static_cast<QWidget*>(MemoPR), static_cast<QWidget*>(MemoRO), PanelButtonAr})
            w->hide();
        for (QLineEdit* w : ParamWindows_)
            w->hide();
        GroupBoxAllSluCan->hide();
        GroupBoxAllRabCan->show();
    }
}

void TMainForm1::MODBUS108ClickClick()
{
    if (!RabCan_[1])
        return;
    // 1. The page, at every poll.
    const bool second = PageControlRabCan->currentWidget() == TabSheetMIP2;
    KanFirst_ = second ? rab::kPage2First : rab::kPage1First;
    KanLast_ = second ? rab::kPage2Last : rab::kPage1Last;
    disc_.ModbusReq[3] = uint8_t(KanFirst_);
    // 2. With the cycle off: the request's fixed bytes and the group box.
    if (!RabCycleOn_) {
        disc_.ModbusReq[1] = 0x03;
        disc_.ModbusReq[2] = 0x00;
        disc_.ModbusReq[4] = 0x00;
        disc_.ModbusReq[5] = bus::modbus::kChannelsPerPage;
        GroupBoxAllRabCan->show();
    }
    // 3., 4.
    disc_.ModbusReq[0] = uint8_t(settings_.MagAdr);
    disc_.ModbusCrc = CRC16(disc_.ModbusReq.data(), 6);
    disc_.ModbusReq[6] = uint8_t(disc_.ModbusCrc >> 8);
    disc_.ModbusReq[7] = uint8_t(disc_.ModbusCrc & 0xFF);
    // 6. The count of the operation before.
    EditIntBit->setText(QString::number(portState_.BytesDone));
    Link l = link();
    modbusWorkingChannelPoll(l, disc_.ModbusReq, buffers_->RabBuf, !RabCycleOn_);
    const ModbusPollResult res =
        decodeModbusChannels(std::span<const uint8_t, modbusview::kAnswerSize>(buffers_->RabBuf.data(), modbusview::kAnswerSize),
                             KanFirst_, KanLast_);
    for (int ch = KanFirst_; ch <= KanLast_; ++ch) {
        const ModbusChannelView& v = res.window(ch);
        QLineEdit* w = R(ch);
        w->setText(QString::fromStdString(v.text));
        const WindowColour text = v.textColour ? *v.textColour : WindowColour::of(Rgb{uint8_t(w->palette().color(QPalette::Text).red()),
                                                                                   uint8_t(w->palette().color(QPalette::Text).green()),
                                                                                   uint8_t(w->palette().color(QPalette::Text).blue())});
        paintWindow(w, text, v.background);
    }
}

void TMainForm1::MainMenuRabCanClick()
{
    if (settings_.ModbusMode)
        MODBUS108ClickClick();
    else
        out_rab_kanClick();
}

void TMainForm1::setEnabledMenus(bool on)
{
    for (const char* n : {"File1", "N1", "N4", "N9", "N10"})
        menu(n)->menuAction()->setEnabled(on);
}

void TMainForm1::DisabledCiklRabCanClick()
{
    if (!RabCycleOn_) {
        RabCycleOn_ = true;
        setEnabledMenus(false);
        if (settings_.ModbusMode) {
            TimerMODBUS->start();
            TimerCiklRabCan->stop();
        } else {
            TimerCiklRabCan->start();
            TimerMODBUS->stop();
        }
        DisabledCiklRabCan->setText(QStringLiteral("Стоп."));
        LabeledEdit1->setEnabled(true);
    } else {
        RabCycleOn_ = false;
        setEnabledMenus(true);
        TimerCiklRabCan->stop();
        TimerMODBUS->stop();
        LabeledEdit1->setText(QString());
        DisabledCiklRabCan->setText(QStringLiteral("Старт."));
        LabeledEdit1->setEnabled(false);
    }
}

void TMainForm1::TimerCiklRabCanTimer()
{
    ++PollCount_;
    LabeledEdit1->setText(QString::number(PollCount_));
    out_rab_kanClick();
}

void TMainForm1::TimerMODBUSTimer()
{
    ++PollCount_;
    LabeledEdit1->setText(QString::number(PollCount_));
    MODBUS108ClickClick();
}

void TMainForm1::UpDownRabCanMouseUp()
{
    period_.position = UpDownRabCan->position();
    period_.mouseReleased();
    TimerCiklRabCan->setInterval(period_.periodMs);
}

} // namespace korlin

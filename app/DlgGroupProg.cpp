#include "DlgGroupProg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

namespace korlin {
namespace {

template <class W>
W* placed(W* w, const char* name, int left, int top, int width, int height)
{
    w->setObjectName(QString::fromUtf8(name));
    w->setGeometry(left, top, width, height);
    return w;
}

QString u(const char* s) { return QString::fromUtf8(s); }

} // namespace

TDlgGroupProg::TDlgGroupProg(AppSettings& settings, Services& services, QWidget* parent)
    : QDialog(parent), settings_(settings), services_(services)
{
    setObjectName(QStringLiteral("DlgGroupProg"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u("Уставки, опции, групповое программирование."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(kClientWidth, kClientHeight);
    setModal(false);

    Option = placed(new QTabWidget(this), "Option", 0, 0, kClientWidth, kClientHeight);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    Ustawki = new QWidget;
    Ustawki->setObjectName(QStringLiteral("Ustawki"));
    TabSheetOptions = new QWidget;
    TabSheetOptions->setObjectName(QStringLiteral("TabSheetOptions"));
    Option->addTab(TabSheet1, u("Груповое программирование."));
    Option->addTab(Ustawki, u("Уставки."));
    Option->addTab(TabSheetOptions, u("Опции."));
    buildGroupProgTab();
    buildUstawkiTab();
    buildOptionsTab();
    Option->setCurrentIndex(TabUstawki); // as designed
}

void TDlgGroupProg::buildGroupProgTab()
{
    auto* conv = placed(new QGroupBox(u("Номер преобразователя."), TabSheet1), "GroupBoxConverter", 8, 8, 220, 110);
    placed(new QRadioButton(u("Первый (основной)."), conv), "RadioButtonGroupProg1", 10, 20, 200, 20)->setChecked(true);
    placed(new QRadioButton(u("Второй."), conv), "RadioButtonGroupProg2", 10, 45, 200, 20);
    placed(new QRadioButton(u("Первый и второй."), conv), "RadioButtonGroupProg1_2", 10, 70, 200, 20);
    auto* type = placed(new QGroupBox(u("Тип датчика."), TabSheet1), "GroupBoxSensorType", 240, 8, 420, 210);
    const char* types[][2] = {
        {"RadioButtonGroupProg0_100", "Напряжение 0-100 мв"}, {"RadioButtonGroupProg0_5", "Ток 0-5 ма"},
        {"RadioButtonGroupProg4_20", "Ток 4-20 ма"},          {"RadioButtonGroupProgXA", "Термопара ХА  (К)"},
        {"RadioButtonGroupProgXK", "Термопара ХК  (L)"},      {"RadioButtonGroupProg50m", "ТСМ50   ( W=1,428) 16"},
        {"RadioButtonGroupProg100m", "ТСМ 100  ( W=1,428) 15"}, {"RadioButtonGroupProg50p", "ТСП 50    (W=1,391) 14"},
        {"RadioButtonGroupProg100p", "ТСП100 п  (W=1,391) 13"}, {"RadioButtonGroupProgTest", "Самопроверка."},
        {"RadioButtonGroupProg23", "ТСМ53(23)"},
    };
    for (int i = 0; i < 11; ++i) {
        auto* r = placed(new QRadioButton(u(types[i][1]), type), types[i][0], 10 + 205 * (i / 6), 20 + 30 * (i % 6), 195, 20);
        r->setChecked(i == 0);
    }
    placed(new QPushButton(u("Программировать."), TabSheet1), "OKBtn", 680, 20, 95, 25)->setDefault(true);
    connect(placed(new QPushButton(u("Закрыть."), TabSheet1), "CancelBtn", 680, 55, 95, 25), &QPushButton::clicked,
            this, &QDialog::close);
    connect(placed(new QPushButton(u("Справка."), TabSheet1), "HelpBtn", 680, 90, 95, 25), &QPushButton::clicked, this,
            [this] { services_.shell.help(8); });
}

void TDlgGroupProg::buildUstawkiTab()
{
    placed(new QLabel(u("Минимальное значение."), Ustawki), "LabelMin", 16, 20, 160, 20);
    EditMinUstawka = placed(new QLineEdit(u("1"), Ustawki), "EditMinUstawka", 180, 20, 80, 21);
    placed(new QLabel(u("Максимальное значение."), Ustawki), "LabelMax", 16, 50, 160, 20);
    EditMaxUstawka = placed(new QLineEdit(u("50"), Ustawki), "EditMaxUstawka", 180, 50, 80, 21);
    placed(new QLabel(u("Каналы от"), Ustawki), "LabelKanOt", 300, 20, 80, 20);
    UstawkaKanOtEdit = placed(new QLineEdit(u("1"), Ustawki), "UstawkaKanOtEdit", 380, 20, 60, 21);
    placed(new QLabel(u("Каналы до"), Ustawki), "LabelKanDo", 300, 50, 80, 20);
    UstawkaKanDoEdit = placed(new QLineEdit(u("108"), Ustawki), "UstawkaKanDoEdit", 380, 50, 60, 21);
    placed(new QPushButton(u("Принять уставки."), Ustawki), "UstawkiButton", 16, 100, 130, 25);
    placed(new QPushButton(u("Обнулить уставки."), Ustawki), "ClearUstawki", 160, 100, 130, 25);
    connect(placed(new QPushButton(u("Справка."), Ustawki), "HelpButtonUstawki", 304, 100, 95, 25),
            &QPushButton::clicked, this, [this] { services_.shell.help(8); });
    connect(placed(new QPushButton(u("Закрыть."), Ustawki), "ButtonCancel", 410, 100, 95, 25), &QPushButton::clicked,
            this, &QDialog::close);
}

void TDlgGroupProg::buildOptionsTab()
{
    CheckBoxAgent = placed(new QCheckBox(u("Сворачивать программу в трей (запуск агента)"), TabSheetOptions),
                           "CheckBoxAgent", 16, 16, 320, 20);
    CheckBoxAgent->setChecked(true);
    auto* group = placed(new QGroupBox(u("Отображать при заргузке программы."), TabSheetOptions), "RadioGroupZag", 16,
                         48, 320, 110);
    RadioButtonZagNo = placed(new QRadioButton(u("Ничего."), group), "RadioButtonZagNo", 12, 22, 280, 20);
    RadioButtonZagRab = placed(new QRadioButton(u("Рабочие каналы."), group), "RadioButtonZagRab", 12, 50, 280, 20);
    RadioButtonZagSlu = placed(new QRadioButton(u("Служебные каналы."), group), "RadioButtonZagSlu", 12, 78, 280, 20);
    ButtonOptionOk = placed(new QPushButton(u("Принять."), TabSheetOptions), "ButtonOptionOk", 16, 180, 95, 25);
    ButtonOptionCancel = placed(new QPushButton(u("Закрыть."), TabSheetOptions), "ButtonOptionCancel", 126, 180, 95, 25);
    ButtonOptionHelpl = placed(new QPushButton(u("Помощь."), TabSheetOptions), "ButtonOptionHelpl", 236, 180, 95, 25);
    connect(ButtonOptionOk, &QPushButton::clicked, this, &TDlgGroupProg::ButtonOptionOkClick);
    connect(ButtonOptionCancel, &QPushButton::clicked, this, &TDlgGroupProg::ButtonOptionCancelClick);
    connect(ButtonOptionHelpl, &QPushButton::clicked, this, &TDlgGroupProg::ButtonOptionHelplClick);
}

void TDlgGroupProg::openOptions(bool editorOnly, const ProfileFile* ini)
{
    show();
    if (editorOnly) {
        Option->setTabVisible(TabGroupProg, false);
        Option->setTabVisible(TabUstawki, false);
        Option->setCurrentIndex(TabOptions);
    }
    const char sep = services_.locale.decimalSeparator;
    UstawkaKanOtEdit->setText(QString::number(settings_.KanMin));
    UstawkaKanDoEdit->setText(QString::number(settings_.KanMax));
    EditMinUstawka->setText(QString::fromStdString(formatGeneral(settings_.UstMin, sep)));
    EditMaxUstawka->setText(QString::fromStdString(formatGeneral(settings_.UstMax, sep)));

    // The file's values replace those in memory, also ones accepted earlier.
    if (ini && ini->exists()) {
        auto readBool = [&](const char* sec, const char* key, bool& field) {
            if (const auto t = ini->read(sec, key))
                if (const auto v = parseTruth(*t))
                    field = *v;
        };
        readBool("Параметры", "каналы", settings_.StartShowNone);
        readBool("Параметры", "каналы1", settings_.StartShowSlu);
        readBool("Агент", "вкл", settings_.AgentOn);
        CheckBoxAgent->setChecked(settings_.AgentOn);
    }
    if (settings_.StartShowNone)
        RadioButtonZagNo->setChecked(true);
    else if (settings_.StartShowSlu)
        RadioButtonZagSlu->setChecked(true);
    else
        RadioButtonZagRab->setChecked(true);
}

void TDlgGroupProg::ButtonOptionOkClick()
{
    settings_.AgentOn = CheckBoxAgent->isChecked();
    if (RadioButtonZagNo->isChecked())
        settings_.StartShowNone = true;
    if (RadioButtonZagRab->isChecked()) {
        settings_.StartShowNone = false;
        settings_.StartShowSlu = false;
    }
    if (RadioButtonZagSlu->isChecked()) {
        settings_.StartShowNone = false;
        settings_.StartShowSlu = true;
    }
}

void TDlgGroupProg::ButtonOptionCancelClick() { close(); }

void TDlgGroupProg::ButtonOptionHelplClick() { services_.shell.help(7); }

} // namespace korlin

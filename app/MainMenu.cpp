// The main window's menu bar, in its designed order.  Items of commands that
// later parts of the program fill are here already, so the bar is whole.
#include "MainForm.h"

#include <QMenuBar>

namespace korlin {

QAction* TMainForm1::addItem(QMenu* m, const char* name, const char* caption)
{
    QAction* a = m->addAction(QString::fromUtf8(caption));
    a->setObjectName(QString::fromUtf8(name));
    actions_[name] = a;
    return a;
}

QMenu* TMainForm1::addMenu(QMenu* parent, const char* name, const char* caption)
{
    QMenu* m = parent ? parent->addMenu(QString::fromUtf8(caption)) : menuBar()->addMenu(QString::fromUtf8(caption));
    m->setObjectName(QString::fromUtf8(name));
    m->menuAction()->setObjectName(QString::fromUtf8(name));
    menus_[name] = m;
    actions_[name] = m->menuAction();
    return m;
}

void TMainForm1::buildMenus()
{
    // File
    QMenu* file = addMenu(nullptr, "File1", "File");
    addItem(file, "OpenFile", "Открыть массив для редактирования.")->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    addItem(file, "SaveNewArrayAs", "Сохранить новый прог. массив как...");
    addItem(file, "N24", "Сохранить файл для сканера QNX")->setVisible(false);
    file->addSeparator();
    connect(addItem(file, "Exit1", "Выйти из программы."), &QAction::triggered, this, &TMainForm1::Exit1Click);

    // The service menu: never shown; its commands are reached through others.
    QMenu* slu = addMenu(nullptr, "N28", "Служебные");
    connect(addItem(slu, "INIFile", "Работа с файлом INI"), &QAction::triggered, this, &TMainForm1::INIFileClick);
    addItem(slu, "SearshMipCom", "   Поиск МИП на портах команда(01).");
    addItem(slu, "SearshMagAdr", "   Поиск маг. адр.");
    addItem(slu, "Button_MIP_Sostojanie", "Вывод состояния МИП.");
    addItem(slu, "NewMagAdr", "Новый магистральный адрес.");
    addItem(slu, "Read_prog_array_MIP", "Чтение программы из МИП.");
    addItem(slu, "prog_array_destrukt", "Разложение prog_array.");
    addItem(slu, "ButtonSearschCRC", "prog_array расчёт CRC.");
    addItem(slu, "New_Write_Array", "Создание нового массива.");
    addItem(slu, "kan_tip_datchik1_864", "Канал-тип датчика 1-864.");
    addItem(slu, "Strukt_array_edit", "    Создание массивов окон каналов.");
    addItem(slu, "out_rab_kan", "    Вывод раб кан основной режим");
    addItem(slu, "MODBUS108Click", "    Вывод раб кан  MODBUS 108");
    addItem(slu, "N12", " Проверка окон Memo");
    addItem(slu, "N21", "    Сохранить массив из окон редактирования .");
    addItem(slu, "Button_Show_array", "Вывод в Мемо1.");
    addItem(slu, "Button_write_array", "    Сохранение подмассива из Мемо1.");
    addItem(slu, "SaveAllOtherMemo", "    Сохранение других подмассивов");
    QMenu* other = addMenu(slu, "N29", "    Создание подмассивов прочих окон.");
    addItem(other, "HOL", "Создание подмассива из окна HOL.");
    addItem(slu, "HOL1", "Неизвестно");
    addItem(slu, "PICKUPS2_34shc", "Создать файл проверки PICKUPS");
    addItem(slu, "verifipickupsPR1", "вывод verifi pickups в МемоPR")->setVisible(false);
    menus_["N28"]->menuAction()->setVisible(false);

    QMenu* chans = addMenu(nullptr, "N1", "Запрос каналов.");
    addItem(chans, "MainMenuRabCan", "Рабочие каналы.");
    QMenu* sluCh = addMenu(chans, "N3", "Служебные каналы.");
    addItem(sluCh, "AllSluCan", "Для двух приборов (1-188).");
    addItem(sluCh, "All_param_404", "Все параметры до 404.");

    QMenu* prog = addMenu(nullptr, "N4", "Программирование МИП.");
    addItem(prog, "ReadProg9327", "Прочитать программу из Ш9327.");
    addItem(prog, "N23", "Загрузить новый программный массив в преобразователь.");
    QMenu* edit = addMenu(prog, "N13", "Редактирование программы измерительных каналов Ш9327.");
    for (int n = 1; n <= 8; ++n) {
        const std::string name = "SI" + std::to_string(n);
        const std::string caption = "МИП" + std::to_string(n) + ".";
        addItem(edit, name.c_str(), caption.c_str());
    }
    addItem(prog, "VievAllSubArray", "Редактирование прочих массивов.");
    addItem(prog, "Group_prog", "Груповое программирование.");

    QMenu* addr = addMenu(nullptr, "N10", "Установка магистрального адреса.");
    for (int n = 1; n <= 32; ++n) {
        const std::string name = "SetMagAdr_" + std::to_string(n);
        addItem(addr, name.c_str(), std::to_string(n).c_str());
    }

    // "Настройки." is a command of its own on the bar.
    QAction* options = menuBar()->addAction(QStringLiteral("Настройки."));
    options->setObjectName(QStringLiteral("ButonOptionDlg"));
    actions_["ButonOptionDlg"] = options;
    connect(options, &QAction::triggered, this, &TMainForm1::ButonOptionDlgClick);

    QMenu* time = addMenu(nullptr, "N9", "Установка времени.");
    QAction* sync = addItem(time, "Write_Time", "Синхронизация с компьютером.");
    sync->setToolTip(QStringLiteral("Синхронизация с компьютером."));

    QMenu* help = addMenu(nullptr, "Help1", "Help");
    connect(addItem(help, "N11", "Справка."), &QAction::triggered, this, &TMainForm1::N11Click);
    connect(addItem(help, "Tabl_typ_datchik", "Таблица типов датчиков."), &QAction::triggered, this,
            &TMainForm1::Tabl_typ_datchikClick);
    connect(addItem(help, "N2", "Установка перемычек РК."), &QAction::triggered, this, &TMainForm1::N2Click);
    QMenu* utils = addMenu(help, "N6", "Утилиты.");
    connect(addItem(utils, "Kaliculator_1", "Калькулятор термодатчиков 1."), &QAction::triggered, this,
            &TMainForm1::Kaliculator_1Click);
    connect(addItem(utils, "Kalkulator_2", "Калькулятор 2."), &QAction::triggered, this,
            &TMainForm1::Kalkulator_2Click);
    QMenu* tables = addMenu(help, "N7", "Градуировочные таблицы термопар.");
    const struct {
        const char* name;
        const char* caption;
        void (TMainForm1::*slot)();
    } tableItems[] = {
        {"TypeB", "Платина30%Родий Платина60%Родий (Type B)", &TMainForm1::TypeBClick},
        {"TypeC", "Вольфрам5%Рений Вольфрам26%Рений (Type C)", &TMainForm1::TypeCClick},
        {"TypeE", "Хромель Константан (Type E)", &TMainForm1::TypeEClick},
        {"TipeJ", "Железо Константан (Type J)", &TMainForm1::TipeJClick},
        {"TypeK", "Хромель Алюмель (Type K)", &TMainForm1::TypeKClick},
        {"TypeN", "Никросил Нисил (Type N)", &TMainForm1::TypeNClick},
        {"TypeR", "Платина13%Родий Платина (Type R)", &TMainForm1::TypeRClick},
        {"TypeS", "Платина10%Родий Платина (Type S)", &TMainForm1::TypeSClick},
        {"TypeT", "Медь Константан (Type T)", &TMainForm1::TypeTClick},
    };
    for (const auto& t : tableItems)
        connect(addItem(tables, t.name, t.caption), &QAction::triggered, this, t.slot);
    connect(addItem(help, "A1", "О программе."), &QAction::triggered, this, &TMainForm1::AboutExecute);

    QMenu* faults = addMenu(nullptr, "N8", "Поиск неисправностей.");
    addItem(faults, "N14", "Пуск.");
    addItem(faults, "N15", "Стоп.");
    faults->menuAction()->setEnabled(false);

    const struct {
        const char* item;
        void (TMainForm1::*slot)();
    } commands[] = {
        {"OpenFile", &TMainForm1::OpenFileClick},
        {"SaveNewArrayAs", &TMainForm1::SaveNewArrayAsClick},
        {"N24", &TMainForm1::AFileSaveAsTARVIKExecute},
        {"SearshMipCom", &TMainForm1::SearshMipComClick},
        {"SearshMagAdr", &TMainForm1::SearshMagAdrClick},
        {"Button_MIP_Sostojanie", &TMainForm1::Button_MIP_SostojanieClick},
        {"NewMagAdr", &TMainForm1::NewMagAdrClick},
        {"Read_prog_array_MIP", &TMainForm1::Read_prog_array_MIPClick},
        {"prog_array_destrukt", &TMainForm1::prog_array_destruktClick},
        {"ButtonSearschCRC", &TMainForm1::ButtonSearschCRCClick},
        {"New_Write_Array", &TMainForm1::New_Write_ArrayClick},
        {"kan_tip_datchik1_864", &TMainForm1::kan_tip_datchik1_864Click},
        {"Strukt_array_edit", &TMainForm1::Strukt_array_editClick},
        {"out_rab_kan", &TMainForm1::out_rab_kanClick},
        {"MODBUS108Click", &TMainForm1::MODBUS108ClickClick},
        {"MainMenuRabCan", &TMainForm1::MainMenuRabCanClick},
        {"ReadProg9327", &TMainForm1::ReadProg9327Click},
        {"N23", &TMainForm1::N23Click},
        {"Write_Time", &TMainForm1::Write_TimeClick},
    };
    for (const auto& c : commands)
        connect(actions_.at(c.item), &QAction::triggered, this, c.slot);
    for (int n = 1; n <= 32; ++n)
        connect(actions_.at("SetMagAdr_" + std::to_string(n)), &QAction::triggered, this, [this, n] { SetMagAdrClick(n); });
}

} // namespace korlin

#pragma once
// Debug-log messages of the program array assembly, the program write and the
// sensor map (letter for letter; "заузки", "расчитана" and "Мемо1" with
// Cyrillic letters are the program's own).
#include <string_view>

namespace korlin::logtext {
inline constexpr std::string_view WriteStart = "\n\nНачало функции заузки программного массива в Ш9327.";
inline constexpr std::string_view BeforeTextCheck = "\n    Перед функцией проверки текста в Memo1(if(Memo1->Visible==true)).";
inline constexpr std::string_view BeforeMemoSave = "\n    Перед функцией сохранения массива из Мемо1(if(Memo1->Visible==true)).";
inline constexpr std::string_view BeforeSensorMap = "\n    Перед созданием массива канал-тип датчика 1-864.";
inline constexpr std::string_view AssemblyStart = "\n        Создание нового массива.";
inline constexpr std::string_view AssemblyCopied = "\n        Новый массив создан.";
inline constexpr std::string_view ChecksumStart = "\n        Расчёт контрольной суммы";
inline constexpr std::string_view ChecksumDone = "\n    Контрольная сумма расчитана.";
inline constexpr std::string_view HeadStart4 = "\n    Создание головы нового массива.";
inline constexpr std::string_view HeadStart8 = "\n        Создание головы нового массива.";
inline constexpr std::string_view AssemblyDone = "\n        Создание нового массива закончено.";
inline constexpr std::string_view SensorTypeError = "\nОшибка определения типа датчика.";
} // namespace korlin::logtext

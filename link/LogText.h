#pragma once
// Debug-log messages of device discovery and the state query (letter for letter).
#include <string_view>

namespace korlin::logtext {
inline constexpr std::string_view SearchStart = "\n    Начало поиска МИП.";
inline constexpr std::string_view FoundIniNative = "\n    Найден МИП по INI в основном режиме с адресом %s";
inline constexpr std::string_view FoundCycleNative = "\n    Найден МИП поиском в цикле в основном режиме.";
inline constexpr std::string_view SearchModbus = "\n    Поиск по MODBUS.";
inline constexpr std::string_view SearchModbusIni = "\n    Поиск на MODBUS по файлу INI.";
inline constexpr std::string_view FoundIniModbus = "\n    Найден МИП по INI в MODBUS с адресом  %s, IntToStr(MagAdr)";
inline constexpr std::string_view ModbusNotFound = "\n    По MODBUS МИП не найден.";
inline constexpr std::string_view AddressQuery = "\n    Поиск по магистральному адресу.";
inline constexpr std::string_view AddressIs = "\n    Магистральный адрес %s";
inline constexpr std::string_view StateQuery = "\n    Вывод состояния МИП.";
inline constexpr std::string_view State129 = "\n    Мип находится в режиме измерений.";
inline constexpr std::string_view State138 = "\n    Мип находится в режиме ожидания.";
inline constexpr std::string_view State130 = "\n    Мип ожидает ввод программы измерений.";
inline constexpr std::string_view State132 = "\n    Мип ожидает повтора ввода прграммы. Не совпадение числа байт.";
inline constexpr std::string_view State133 = "\n    Мип ожидает повтора ввода прграммы. Не совпадение контрольной суммы.";
inline constexpr std::string_view State135 = "\n    Мип ожидает повтора ввода прграммы. Длинна массива больше диска МИП.";
inline constexpr std::string_view State136 = "\n    Мип ожидает повтора ввода прграммы. Длинна массива больше ОЗУ МИП.";
inline constexpr std::string_view State137 = "\n    Мип находится в ручном режиме.";
inline constexpr std::string_view StateInvalid = "\n    Ошибка ответа МИП о состоянии %s";
} // namespace korlin::logtext

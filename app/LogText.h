#pragma once
// Debug-log messages of the application shell (letter for letter).  In the
// three port lines with "СОМ" the letters С, О, М are Cyrillic; in
// "Открыт порт COM2." they are Latin.
#include <string_view>

namespace korlin::logtext {
inline constexpr std::string_view SessionStart = "\nНачало сеанса отладки. %s";
inline constexpr std::string_view Com1Failed = "\n    Невозможно открыть порт СОМ1.";
inline constexpr std::string_view Com1Opened = "\n    Открыт порт СОМ1.";
inline constexpr std::string_view Com2Failed = "\n    Невозможно открыть порт СОМ2.";
inline constexpr std::string_view Com2Opened = "\n    Открыт порт COM2.";
inline constexpr std::string_view SessionEnd = "\nЗавершение программы. %s";
// Ours: the settings file could not be written at exit (the reason follows).
inline constexpr std::string_view SettingsNotWritten = "\n    Не удалось записать файл настроек: %s";
// Ours: why a port did not open (device path and reason), once per port.
inline constexpr std::string_view PortReason = "\n        %s";
} // namespace korlin::logtext

#pragma once
// Debug-log message of the channel windows.
#include <string_view>

namespace korlin::logtext {
inline constexpr std::string_view ChannelWindows = "\n    Создание массива окон вывода рабочих каналов.";
} // namespace korlin::logtext

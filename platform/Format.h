#pragma once
// Number and date texts in the user's locale, as the settings file, the
// channel windows and the debug log show them.
#include "Clock.h"

#include <optional>
#include <string>
#include <string_view>

namespace korlin {

struct Locale {
    char decimalSeparator = '.';
    // Qt-style patterns: the system's short date and long time formats.
    std::string shortDate = "dd.MM.yyyy";
    std::string longTime = "HH:mm:ss";

    static Locale system(); // from the desktop's locale
    static Locale russian() { return {',', "dd.MM.yyyy", "H:mm:ss"}; }

    // Short date, one space, long time.
    std::string dateTimeText(const DateTime& t) const;
};

// The shortest general form with up to 15 significant digits: 2 -> "2",
// 2.5 -> "2,5" with a comma separator, 0.001 -> "0,001".
std::string formatGeneral(double value, char decimalSeparator);

// Readers used for settings: nothing when the text does not convert.
std::optional<long long> parseInteger(std::string_view text);
// Any integer (non-zero = true) or the words True / False in any letter case.
std::optional<bool> parseTruth(std::string_view text);
// A real with the locale's separator (surrounding blanks allowed).
std::optional<double> parseReal(std::string_view text, char decimalSeparator);

inline const char* truthText(bool v) { return v ? "-1" : "0"; }

} // namespace korlin

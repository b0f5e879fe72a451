#include "Format.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace korlin {
namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

Locale Locale::system()
{
    const QLocale l = QLocale::system();
    Locale out;
    const QString dec = l.decimalPoint();
    out.decimalSeparator = dec.size() == 1 && dec[0].unicode() < 0x80 ? char(dec[0].unicode()) : '.';
    out.shortDate = l.dateFormat(QLocale::ShortFormat).toStdString();
    // The long time format without a time zone: "15:36:04".
    QString t = l.timeFormat(QLocale::LongFormat);
    t.remove(QLatin1Char('t'));
    out.longTime = t.trimmed().toStdString();
    return out;
}

std::string Locale::dateTimeText(const DateTime& t) const
{
    const QDateTime dt(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
    const QLocale c = QLocale::c();
    return (c.toString(dt.date(), QString::fromStdString(shortDate)) + QLatin1Char(' ')
            + c.toString(dt.time(), QString::fromStdString(longTime)))
        .toStdString();
}

std::string formatGeneral(double value, char decimalSeparator)
{
    if (value == 0)
        return "0"; // also for -0
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    std::string s = buf;
    // %G drops trailing zeros already; only the separator and the exponent's form differ.
    const size_t e = s.find('E');
    if (e != std::string::npos) {
        // 1.5E+20 -> 1,5E20 ; 1E-05 -> 1E-5
        std::string mant = s.substr(0, e);
        int exp = std::atoi(s.c_str() + e + 1);
        s = mant + "E" + (exp < 0 ? "-" : "") + std::to_string(std::abs(exp));
    }
    for (char& c : s)
        if (c == '.')
            c = decimalSeparator;
    return s;
}

std::optional<long long> parseInteger(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    long long v = 0;
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || p != text.data() + text.size() || text.empty())
        return std::nullopt;
    return v;
}

std::optional<bool> parseTruth(std::string_view text)
{
    if (const auto n = parseInteger(text))
        return *n != 0;
    text = trimmed(text);
    if (equalsNoCase(text, "true"))
        return true;
    if (equalsNoCase(text, "false"))
        return false;
    return std::nullopt;
}

std::optional<double> parseReal(std::string_view text, char decimalSeparator)
{
    text = trimmed(text);
    if (text.empty())
        return std::nullopt;
    std::string s(text);
    for (char& c : s) {
        if (c == decimalSeparator)
            c = '.';
        else if (c == '.' && decimalSeparator != '.')
            return std::nullopt; // a point is not a separator under a comma locale
    }
    double v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace korlin

#include "CsvLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace korlin::cli {

std::string csvField(std::string_view s)
{
    const bool blankEdge = !s.empty() && (s.front() == ' ' || s.back() == ' ' || s.front() == '\t' || s.back() == '\t');
    if (!blankEdge && s.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(s);
    std::string q = "\"";
    for (const char c : s) {
        if (c == '"')
            q += '"';
        q += c;
    }
    q += '"';
    return q;
}

std::string csvRow(const std::vector<std::string>& fields)
{
    std::string row;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            row += ',';
        row += csvField(fields[i]);
    }
    row += '\n';
    return row;
}

std::string isoTime(const DateTime& t)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

bool isNumber(std::string_view s)
{
    if (!s.empty() && s.front() == '-')
        s.remove_prefix(1);
    bool digit = false;
    for (const char c : s) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != '.' && c != ',')
            return false;
    }
    return digit;
}

} // namespace

std::string_view classUnit(int sensorClass)
{
    switch (sensorClass) {
    case 1: return "mA";
    case 2: return "C";
    case 3: return "B";
    case 4: return "mB";
    default: return {};
    }
}

std::string channelCell(std::string_view windowText)
{
    size_t i = 0;
    while (i < windowText.size() && windowText[i] >= '0' && windowText[i] <= '9')
        ++i;
    const std::string_view rest = trim(windowText.substr(i));
    // A measurement: the value, three spaces and the unit.
    if (const size_t gap = rest.rfind("   "); gap != std::string_view::npos) {
        const std::string_view value = trim(rest.substr(0, gap));
        const std::string_view unit = trim(rest.substr(gap));
        for (const int c : {1, 2, 3, 4})
            if (unit == classUnit(c) && isNumber(value))
                return std::string(value);
    }
    return std::string(rest);
}

bool CsvLog::append(const std::vector<std::string>& header, const std::vector<std::string>& row)
{
    std::error_code ec;
    const bool fresh = !std::filesystem::exists(path_, ec) || std::filesystem::file_size(path_, ec) == 0;
    std::FILE* f = std::fopen(path_.c_str(), "ab");
    if (!f) {
        error_ = std::strerror(errno);
        return false;
    }
    std::string text = fresh ? csvRow(header) : std::string();
    text += csvRow(row);
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const int err = errno;
    const bool closed = std::fclose(f) == 0;
    if (!ok || !closed) {
        error_ = std::strerror(ok ? errno : err);
        return false;
    }
    return true;
}

} // namespace korlin::cli

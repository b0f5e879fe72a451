#include "ProfileFile.h"

#include "Cp1251.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace korlin {
namespace {

unsigned char foldCase(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c >= 0xC0 && c <= 0xDF) // А..Я -> а..я
        return c + 32;
    if (c == 0xA8) // Ё
        return 0xB8;
    return c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    return true;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The file's lines, in Windows-1251, without their line ends.
std::vector<std::string> readLines(const std::filesystem::path& path, bool* found)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    *found = bool(in);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool isSection(std::string_view line, std::string_view* name)
{
    line = trim(line);
    if (line.size() < 2 || line.front() != '[')
        return false;
    const size_t close = line.find(']');
    if (close == std::string_view::npos)
        return false;
    *name = trim(line.substr(1, close - 1));
    return true;
}

bool isKey(std::string_view line, std::string_view key, std::string_view* value)
{
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || !sameName(trim(line.substr(0, eq)), key))
        return false;
    *value = trim(line.substr(eq + 1));
    return true;
}

} // namespace

bool ProfileFile::exists() const
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path_, ec);
}

std::optional<std::string> ProfileFile::read(std::string_view section, std::string_view key) const
{
    bool found = false;
    const auto lines = readLines(path_, &found);
    const std::string sec = toCp1251(section), k = toCp1251(key);
    bool inSection = false;
    for (const auto& line : lines) {
        std::string_view name, value;
        if (isSection(line, &name)) {
            inSection = sameName(name, sec);
        } else if (inSection && isKey(line, k, &value)) {
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
                value = value.substr(1, value.size() - 2);
            return fromCp1251(value);
        }
    }
    return std::nullopt;
}

bool ProfileFile::write(std::string_view section, std::string_view key, std::string_view value)
{
    bool found = false;
    auto lines = readLines(path_, &found);
    const std::string sec = toCp1251(section), k = toCp1251(key), v = toCp1251(value);
    const std::string newLine = k + "=" + v;

    // Find the section, and in it the key or the place after its last line.
    size_t secStart = lines.size(), insertAt = lines.size();
    bool inSection = false, done = false;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string_view name, old;
        if (isSection(lines[i], &name)) {
            if (inSection)
                break;
            if (sameName(name, sec)) {
                inSection = true;
                secStart = i;
                insertAt = i + 1;
            }
        } else if (inSection) {
            if (isKey(lines[i], k, &old)) {
                // The key keeps the spelling it has in the file.
                lines[i] = std::string(trim(std::string_view(lines[i]).substr(0, lines[i].find('=')))) + "=" + v;
                done = true;
            } else if (!trim(lines[i]).empty()) {
                insertAt = i + 1;
            }
        }
    }
    if (!done) {
        if (secStart == lines.size()) {
            lines.push_back("[" + sec + "]");
            lines.push_back(newLine);
        } else {
            lines.insert(lines.begin() + std::ptrdiff_t(insertAt), newLine);
        }
    }

    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";

    std::filesystem::path tmp = path_;
    tmp += ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) {
            lastError_ = std::strerror(errno);
            return false;
        }
        out.write(text.data(), std::streamsize(text.size()));
        out.flush();
        if (!out) {
            lastError_ = std::strerror(errno);
            std::error_code ec;
            std::filesystem::remove(tmp, ec);
            return false;
        }
    }
    if (::rename(tmp.c_str(), path_.c_str()) != 0) {
        lastError_ = std::strerror(errno);
        std::error_code ec;
        std::filesystem::remove(tmp, ec);
        return false;
    }
    lastError_.clear();
    return true;
}

} // namespace korlin

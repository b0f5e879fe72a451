#pragma once
// The CSV log of the working-channel polls: one row per poll, the PC time
// and the value or condition of every channel of the page.  The file is
// opened, appended to and closed for each row, so a log of many hours loses
// at most the row being written when the process is stopped.
#include "Clock.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace korlin::cli {

// A field as CSV needs it: quoted, with quotes doubled, when it holds a comma,
// a quote, a line break or leading or trailing blanks.
std::string csvField(std::string_view s);
// Fields joined by commas, ending in '\n'.
std::string csvRow(const std::vector<std::string>& fields);

// "2026-12-11T09:00:01"
std::string isoTime(const DateTime& t);

// The cell of one channel from its window text: the text after the channel
// number, trimmed; a measurement ("23.5   C") gives its number alone ("23.5").
std::string channelCell(std::string_view windowText);
// The unit a display class shows its values in ("C", "mA", "B", "mB"), empty
// for the classes without a value.
std::string_view classUnit(int sensorClass);

class CsvLog {
public:
    explicit CsvLog(std::filesystem::path path) : path_(std::move(path)) {}
    // Appends one row, after the header when the file is new or empty.
    // False when the file could not be written; error() then says why.
    bool append(const std::vector<std::string>& header, const std::vector<std::string>& row);
    const std::string& error() const { return error_; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::string error_;
};

} // namespace korlin::cli

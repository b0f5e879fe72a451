#pragma once
// A Windows profile (INI) file in Windows-1251: "[section]" lines and
// "key=value" lines, CR LF line ends.  Names are matched without regard to
// letter case (Latin and Cyrillic), as the Windows profile functions do.
// Sections and keys stay in the order they were first written; a new section
// goes to the end of the file, a new key to the end of its section.  Every
// read looks at the file as it is now and every write reaches the file at
// once (written to a temporary file beside it, then renamed over it, so a
// failed write never leaves half a file).
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace korlin {

class ProfileFile {
public:
    explicit ProfileFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& path() const { return path_; }
    bool exists() const;

    // Texts are UTF-8 on this side.  A missing file, section or key gives nothing.
    std::optional<std::string> read(std::string_view section, std::string_view key) const;
    // False when the file could not be written; lastError() then says why.
    bool write(std::string_view section, std::string_view key, std::string_view value);
    // Every write is already on disk; kept for the callers that flush.
    bool flush() const { return true; }

    const std::string& lastError() const { return lastError_; }

private:
    std::filesystem::path path_;
    std::string lastError_;
};

} // namespace korlin

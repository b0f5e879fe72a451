#pragma once
// The plain-text trace of the program's main steps.  Each message is a format
// with at most one "%s"; every "\n" in it is written as CR LF and the text in
// Windows-1251.  The file is opened, written and closed per message, so the
// trace survives a crash; a file that cannot be opened loses that message
// silently.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace korlin {

class DebugLog {
public:
    virtual ~DebugLog() = default;
    virtual void LogMessage(std::string_view format, std::string_view arg = {}) = 0;

    // The format with its first "%s" replaced by the argument.
    static std::string compose(std::string_view format, std::string_view arg);
};

class FileDebugLog final : public DebugLog {
public:
    explicit FileDebugLog(std::filesystem::path path) : path_(std::move(path)) {}
    void LogMessage(std::string_view format, std::string_view arg = {}) override;
    const std::filesystem::path& path() const { return path_; }
private:
    std::filesystem::path path_;
};

// Keeps the composed messages (UTF-8, "\n" as written by the caller).
class MemoryDebugLog final : public DebugLog {
public:
    void LogMessage(std::string_view format, std::string_view arg = {}) override
    {
        messages.push_back(compose(format, arg));
    }
    std::vector<std::string> messages;
};

} // namespace korlin

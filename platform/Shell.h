#pragma once
// Help by context number, documents opened with their default program, and
// other programs started by name.  No call goes through a shell command line,
// and a missing file or program shows nothing.
#include <functional>
#include <string>
#include <vector>

namespace korlin {

class Shell {
public:
    virtual ~Shell() = default;
    virtual void help(int context) = 0;
    virtual void openDocument(const std::string& path) = 0;
    virtual void startProgram(const std::string& name) = 0;
};

class DesktopShell final : public Shell {
public:
    // The help window belongs to the application; it is handed in here.
    explicit DesktopShell(std::function<void(int)> showHelp) : showHelp_(std::move(showHelp)) {}
    void help(int context) override { if (showHelp_) showHelp_(context); }
    void openDocument(const std::string& path) override;
    void startProgram(const std::string& name) override;
private:
    std::function<void(int)> showHelp_;
};

class RecordingShell final : public Shell {
public:
    void help(int context) override { calls.push_back("help " + std::to_string(context)); }
    void openDocument(const std::string& path) override { calls.push_back("open " + path); }
    void startProgram(const std::string& name) override { calls.push_back("start " + name); }
    std::vector<std::string> calls;
};

} // namespace korlin

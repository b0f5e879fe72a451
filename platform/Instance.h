#pragma once
// The single-instance lock and the tray agent, as the entry and the exit see them.
#include <filesystem>
#include <string>
#include <vector>

namespace korlin {

enum class LockResult {
    Acquired,       // go on
    AlreadyRunning, // another copy holds it: end silently
    InvalidName,    // the name belongs to something that is not a lock
};

class InstanceLock {
public:
    virtual ~InstanceLock() = default;
    // Held until the process ends; never released explicitly.
    virtual LockResult acquire(const std::string& name) = 0;
};

// An flock on a file of that name in the runtime directory
// ($XDG_RUNTIME_DIR, else /tmp).  The process end releases it.
class FileInstanceLock final : public InstanceLock {
public:
    explicit FileInstanceLock(std::filesystem::path dir = defaultDirectory()) : dir_(std::move(dir)) {}
    LockResult acquire(const std::string& name) override;
    static std::filesystem::path defaultDirectory();
private:
    std::filesystem::path dir_;
    int fd_ = -1;
};

class Agent {
public:
    virtual ~Agent() = default;
    // The agent runs (its window exists).
    virtual bool isRunning() = 0;
    // Starts the agent in this process's place.  Returns true only when the
    // program is to end now; false when the agent could not be started.
    virtual bool startInPlace() = 0;
};

// The agent is the program "Tavrel.exe" (or "Tavrel"): found among the running
// processes by name, started with exec and the program search path.
class ProcessAgent final : public Agent {
public:
    explicit ProcessAgent(std::filesystem::path procDir = "/proc") : procDir_(std::move(procDir)) {}
    bool isRunning() override;
    bool startInPlace() override;
    static const std::vector<std::string>& processNames();
private:
    std::filesystem::path procDir_;
};

} // namespace korlin

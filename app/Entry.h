#pragma once
// The program entry before the main window exists: the agent exclusion
// loop, the single-instance lock, the application's title, then the main
// window and the message loop.
#include "Instance.h"
#include "UserDialogs.h"

#include <functional>
#include <memory>

class QApplication;

namespace korlin {

class TMainForm1;

inline constexpr const char* kApplicationTitle = "Korlin";
inline constexpr const char* kApplicationHelpFile = "Help9327/S9327.HLP";
inline constexpr const char* kMutexName = "MyMutex";

struct EntryDeps {
    UserDialogs& dialogs;
    InstanceLock& lock;
    Agent& agent;
    // Creates the main window (not yet shown); its FormCreate runs the start-up.
    std::function<std::unique_ptr<TMainForm1>()> createMainForm;
    // Runs the message loop; a test may replace it.
    std::function<int()> runLoop;
};

// Returns the process's exit code (always 0).
int runEntry(QApplication& app, EntryDeps& deps);

} // namespace korlin

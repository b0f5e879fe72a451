#pragma once
// Everything the main window needs from outside, built once by the
// composition root (main.cpp) or by a test.
#include "Clock.h"
#include "DebugLog.h"
#include "Format.h"
#include "Instance.h"
#include "Shell.h"
#include "UserDialogs.h"

#include <filesystem>
#include <functional>
#include <string>

namespace korlin {

class PortOpener;

// The program-wide values (they live outside the main window).
struct ProgramWide {
    int NoMipPorts = 0;
    int EditorOnly = 0;
    static constexpr int DebugMode = 1; // the trace is always on
};

struct Services {
    Services(Clock& c, UserDialogs& d, Shell& s, DebugLog& l, Agent& a)
        : clock(c), dialogs(d), shell(s), log(l), agent(a) {}
    Clock& clock;
    UserDialogs& dialogs;
    Shell& shell;
    DebugLog& log;
    Agent& agent;
    PortOpener* ports = nullptr;     // COM1 / COM2
    Locale locale;
    std::filesystem::path windowsDir; // where S9327.ini lives
    std::string programPath;          // written as Files/main
    DateTime StartTime;               // taken once when the program starts
    // Ends the application: leaves the message loop, or keeps it from starting.
    std::function<void()> terminate;
    ProgramWide wide;
};

} // namespace korlin

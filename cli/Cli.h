#pragma once
// korlin-cli: the converter's link and program layers from the command line.
//
//   korlin-cli [--port PATH] [--address N] [--log] COMMAND [ARGS]
//
// The commands run the same logic the main window runs (search, state query,
// address change, clock setting, program read and write, working-channel
// poll) and the file checks of the program layer.  Everything the commands
// touch outside themselves comes in through CliEnv, so that the tests run
// them on the virtual clock over a simulated line.
//
// Exit status: 0 done; 2 usage error, a port that cannot be opened, a file
// that cannot be read or written; 3 no МИП found; 4 the МИП answered a state
// other than measuring or waiting, did not take the new address, or did not
// answer; 5 a program array refused (checksum, head lengths, size).
#include "Clock.h"
#include "DebugLog.h"
#include "SerialPort.h"
#include "UserDialogs.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace korlin::cli {

enum ExitCode : int {
    ExitOk = 0,
    ExitInternal = 1,
    ExitUsage = 2,
    ExitNotFound = 3,
    ExitDevice = 4,
    ExitBadProgram = 5,
};

inline constexpr const char* kDebugLogName = "9327debug.log";

struct CliEnv {
    CliEnv(std::ostream& o, std::ostream& e, PortOpener& p, Clock& c) : out(o), err(e), ports(p), clock(c) {}

    std::ostream& out;
    std::ostream& err;
    PortOpener& ports;
    Clock& clock;
    // Relative paths (FILE arguments, the debug log) are taken from here;
    // empty: the process's current directory.
    std::filesystem::path cwd;
    // Where S9327.ini is looked for; empty: $KORLIN_WINDIR, else
    // $XDG_CONFIG_HOME/korlin, else ~/.config/korlin.
    std::optional<std::filesystem::path> settingsDir;
    // The port opened without --port: "COM1", which the termios opener maps
    // to $KORLIN_COM1 (default /dev/ttyS0).
    std::string defaultPort = "COM1";
    // The message boxes of the logic; null: "caption: text" lines on err.
    UserDialogs* dialogs = nullptr;
    // Where --log writes; null: "9327debug.log" in cwd.  Without --log
    // nothing is logged.
    DebugLog* log = nullptr;
    // Asked between polls; true ends a poll run after the poll in progress.
    std::function<bool()> stopRequested;
    // Called when a poll run starts, so that the program can arm its
    // interrupt handler only for commands that end cleanly on it.
    std::function<void()> armStop;
};

// Runs one command line (without the program name).
int runCli(const std::vector<std::string>& args, CliEnv& env);

// The --help text.
std::string helpText();

// The settings directory as above, from the environment (not created).
std::filesystem::path settingsDirectory();
// AdresMIP of section "Параметры" of S9327.ini in dir; 0 when the file or the
// key is missing, does not convert or is outside 1..32.
int settingsAddress(const std::filesystem::path& dir);

} // namespace korlin::cli

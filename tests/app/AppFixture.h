#pragma once
// The application assembled with the test services: virtual clock, scripted
// dialogs, a recording shell, a fake agent and a temporary working directory.
#include "MainForm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace korlin::testing {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path = fs::temp_directory_path() /
                    ("korlin-app-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    TempDir() { fs::remove_all(path); fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
};

inline std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct FakeAgent : Agent {
    int runningChecks = 0; // isRunning() answers true this many times
    bool startSucceeds = false;
    int starts = 0;
    bool isRunning() override { return runningChecks > 0 ? (--runningChecks, true) : false; }
    bool startInPlace() override { ++starts; return startSucceeds; }
};

class AppFixture : public ::testing::Test {
protected:
    TempDir dir;
    VirtualClock clock{{2024, 12, 9, 15, 36, 4}};
    ScriptedDialogs dialogs;
    RecordingShell shell;
    FileDebugLog log{dir.path / "9327debug.log"};
    FakeAgent agent;
    Services services{clock, dialogs, shell, log, agent};
    int terminateCalls = 0;

    AppFixture()
    {
        services.locale = Locale::russian();
        services.windowsDir = dir.path;
        services.programPath = "/opt/korlin/korlin";
        services.StartTime = {2024, 12, 9, 15, 36, 4};
        services.terminate = [this] { ++terminateCalls; };
    }

    fs::path iniPath() const { return dir.path / kIniName; }
    void writeIni(const std::string& utf8Text);
    std::string logText() const; // the log decoded to UTF-8, CR LF kept

    // Runs the start-up; the question about the editor mode is answered Yes.
    std::unique_ptr<TMainForm1> start()
    {
        dialogs.yesNoAnswers.push_back(true);
        auto form = std::make_unique<TMainForm1>(services);
        form->FormCreate();
        return form;
    }
};

} // namespace korlin::testing

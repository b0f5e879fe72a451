#pragma once
// The application assembled with the test services: virtual clock, scripted
// dialogs, a recording shell, a fake agent and a temporary working directory.
#include "MainForm.h"

#include "Cp1251.h"

#include "SimLine.h"
#include "SimulatedLine.h"

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

inline std::string iniText(const fs::path& p) { return fromCp1251(slurp(p)); }

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
    SimulatedPortOpener ports;
    std::unique_ptr<sim::SimLine> com1, com2; // converters on the lines, when a test puts them there
    int terminateCalls = 0;
    fs::path oldCwd = fs::current_path();

    ~AppFixture() override { fs::current_path(oldCwd); }

    // A converter on COMn, on the fixture's virtual clock.
    sim::SimLine& converterOn(int com, sim::ConverterConfig cfg)
    {
        auto& slot = com == 1 ? com1 : com2;
        slot = std::make_unique<sim::SimLine>(clock, std::move(cfg));
        ports.attach("COM" + std::to_string(com), slot->line());
        return *slot;
    }
    // An empty line: the port opens, nothing answers.
    sim::SimLine& silentLineOn(int com) { return converterOn(com, sim::ConverterConfig::native(1).silent()); }
    // The check file of the working directory.
    void writeCheckFile(const std::string& bytes = std::string(662, '1'))
    {
        fs::create_directories(dir.path / "ProgFiles");
        std::ofstream(dir.path / "ProgFiles" / "pv34.shc", std::ios::binary) << bytes;
    }

    AppFixture()
    {
        fs::current_path(dir.path);
        services.ports = &ports;
        ports.fail("COM1", "/dev/ttyS0: No such file or directory");
        ports.fail("COM2", "/dev/ttyS1: No such file or directory");
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

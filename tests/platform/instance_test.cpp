#include "Instance.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

using namespace korlin;
namespace fs = std::filesystem;

namespace {
struct TempDir {
    fs::path path = fs::temp_directory_path() / ("korlin-inst-" + std::to_string(::getpid()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
};
} // namespace

TEST(FileInstanceLock, SecondHolderIsRefused)
{
    TempDir dir;
    FileInstanceLock first(dir.path), second(dir.path);
    EXPECT_EQ(first.acquire("MyMutex"), LockResult::Acquired);
    EXPECT_EQ(second.acquire("MyMutex"), LockResult::AlreadyRunning);
}

TEST(FileInstanceLock, ANameTakenByADirectoryIsInvalid)
{
    TempDir dir;
    fs::create_directories(dir.path / "MyMutex");
    FileInstanceLock lock(dir.path);
    EXPECT_EQ(lock.acquire("MyMutex"), LockResult::InvalidName);
}

TEST(ProcessAgent, FoundByProcessName)
{
    TempDir proc;
    auto addProcess = [&](const std::string& pid, const std::string& comm) {
        fs::create_directories(proc.path / pid);
        std::ofstream(proc.path / pid / "comm") << comm << "\n";
    };
    addProcess("12", "bash");
    addProcess("self", "Tavrel.exe"); // not a process number: ignored
    ProcessAgent agent(proc.path);
    EXPECT_FALSE(agent.isRunning());
    addProcess("345", "Tavrel.exe");
    EXPECT_TRUE(agent.isRunning());
}

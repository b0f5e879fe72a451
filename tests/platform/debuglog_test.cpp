#include "DebugLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace korlin;
namespace fs = std::filesystem;

namespace {
struct TempDir {
    fs::path path = fs::temp_directory_path() / ("korlin-log-" + std::to_string(::getpid()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
};
std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
} // namespace

TEST(DebugLog, WritesCrLfAndWindows1251AndAppends)
{
    TempDir dir;
    const fs::path file = dir.path / "9327debug.log";
    {
        FileDebugLog log(file);
        log.LogMessage("\nНачало сеанса отладки. %s", "09.12.2024 15:36:04");
        log.LogMessage("\n    Открыт порт СОМ1.");
    }
    FileDebugLog(file).LogMessage("\n    Открыт порт COM2."); // a second run appends
    const std::string expected = std::string("\r\n") + "\xCD\xE0\xF7\xE0\xEB\xEE \xF1\xE5\xE0\xED\xF1\xE0 "
                                 "\xEE\xF2\xEB\xE0\xE4\xEA\xE8. 09.12.2024 15:36:04" +
                                 "\r\n    \xCE\xF2\xEA\xF0\xFB\xF2 \xEF\xEE\xF0\xF2 \xD1\xCE\xCC" "1." +
                                 "\r\n    \xCE\xF2\xEA\xF0\xFB\xF2 \xEF\xEE\xF0\xF2 COM2.";
    EXPECT_EQ(slurp(file), expected);
}

TEST(DebugLog, ComposeReplacesOnlyTheFirstPlaceholder)
{
    EXPECT_EQ(DebugLog::compose("\n    Магистральный адрес %s", "5"), "\n    Магистральный адрес 5");
    EXPECT_EQ(DebugLog::compose("a %s, IntToStr(MagAdr)", "7"), "a 7, IntToStr(MagAdr)");
    EXPECT_EQ(DebugLog::compose("no placeholder", "x"), "no placeholder");
}

TEST(DebugLog, AnUnopenableFileLosesTheMessageSilently)
{
    TempDir dir;
    const fs::path file = dir.path / "9327debug.log";
    fs::create_directories(file); // a directory where the file should be
    FileDebugLog log(file);
    log.LogMessage("\nlost");
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_TRUE(fs::is_empty(file));
}

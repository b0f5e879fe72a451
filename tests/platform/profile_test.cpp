#include "ProfileFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace korlin;
namespace fs = std::filesystem;

namespace {
struct TempDir {
    fs::path path = fs::temp_directory_path() / ("korlin-ini-" + std::to_string(::getpid()) + "-" +
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

TEST(ProfileFile, KeepsTheOrderOfFirstWritesAndReplacesInPlace)
{
    TempDir dir;
    ProfileFile ini(dir.path / "S9327.ini");
    EXPECT_FALSE(ini.exists());
    ASSERT_TRUE(ini.write("Files", "main", "/usr/bin/korlin"));
    ASSERT_TRUE(ini.write("Параметры", "Width", "1014"));
    ASSERT_TRUE(ini.write("QNX", "Scaner", "0"));
    ASSERT_TRUE(ini.write("Параметры", "COM", "1"));   // back into an earlier section
    ASSERT_TRUE(ini.write("параметры", "WIDTH", "800")); // names match in any letter case
    EXPECT_TRUE(ini.exists());
    EXPECT_EQ(slurp(ini.path()), "[Files]\r\nmain=/usr/bin/korlin\r\n"
                                 "[\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB]\r\nWidth=800\r\nCOM=1\r\n"
                                 "[QNX]\r\nScaner=0\r\n");
    EXPECT_EQ(ini.read("ПАРАМЕТРЫ", "com"), "1");
    EXPECT_EQ(ini.read("Параметры", "Width"), "800");
}

TEST(ProfileFile, ReadsWhatAHandEditedFileHolds)
{
    TempDir dir;
    const fs::path p = dir.path / "S9327.ini";
    std::ofstream(p, std::ios::binary) << "; comment\n[QNX]\n  Scaner = 1  \n\n[\xC0\xE3\xE5\xED\xF2]\n\xE2\xEA\xEB=\"0\"\n";
    ProfileFile ini(p);
    EXPECT_EQ(ini.read("QNX", "Scaner"), "1");
    EXPECT_EQ(ini.read("Агент", "вкл"), "0");
    EXPECT_FALSE(ini.read("QNX", "missing"));
    EXPECT_FALSE(ini.read("Missing", "Scaner"));
    // A write keeps the rest of the file.
    ASSERT_TRUE(ini.write("QNX", "Extra", "x"));
    EXPECT_EQ(ini.read("Агент", "вкл"), "0");
    EXPECT_EQ(ini.read("QNX", "Extra"), "x");
}

TEST(ProfileFile, AFailedWriteSaysWhyAndLeavesNoFile)
{
    TempDir dir;
    ProfileFile ini(dir.path / "no-such-dir" / "S9327.ini");
    EXPECT_FALSE(ini.write("QNX", "Scaner", "0"));
    EXPECT_FALSE(ini.lastError().empty());
    EXPECT_FALSE(fs::exists(dir.path / "no-such-dir"));
}

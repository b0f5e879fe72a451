// The small parts of korlin-cli: CSV fields, channel cells, the command-line
// dialogs and the settings address.
#include "CliDialogs.h"
#include "CliFixture.h"
#include "CsvLog.h"

#include "WorkingChannels.h"

namespace korlin::cli::test {
namespace {

TEST(CliCsv, FieldsAreQuotedWhereNeeded)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"23.5", "23.5"},           {"", ""},
        {"НДАТ", "НДАТ"},           {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"two\nlines", "\"two\nlines\""},
        {" padded", "\" padded\""}, {"Нет в прог*", "Нет в прог*"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(csvField(c.in), c.out) << c.in;
    EXPECT_EQ(csvRow({"a", "b,c", ""}), "a,\"b,c\",\n");
}

TEST(CliCsv, ChannelCellIsTheValueOrTheCondition)
{
    const struct {
        std::string text;
        const char* cell;
    } cases[] = {
        {"12  23.5   C", "23.5"},
        {"7  -0.05   mB", "-0.05"},
        {"1  1   mA", "1"},
        {"3  2.5   B", "2.5"},
        {"30  НДАТ", "НДАТ"},
        {"31  НKХС", "НKХС"},
        {"5  Сух.конт.", "Сух.конт."},
        {"6  Тип не опр.", "Тип не опр."},
        {"4   Нет в прог.", "Нет в прог."},
        {"4   Нет в прог*", "Нет в прог*"},
        {"216", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(channelCell(c.text), c.cell) << c.text;
    // The texts the decoder writes give the same cells.
    EXPECT_EQ(channelCell("12" + measurementText(2, 235, '.')), "23.5");
    EXPECT_EQ(channelCell("9" + measurementText(4, -5, '.')), "-0.05");
}

TEST(CliCsv, IsoTimeAndUnits)
{
    EXPECT_EQ(isoTime({2009, 3, 1, 7, 5, 9}), "2009-03-01T07:05:09");
    EXPECT_EQ(classUnit(1), "mA");
    EXPECT_EQ(classUnit(2), "C");
    EXPECT_EQ(classUnit(3), "B");
    EXPECT_EQ(classUnit(4), "mB");
    EXPECT_EQ(classUnit(0), "");
    EXPECT_EQ(classUnit(5), "");
}

TEST(CliCsv, AppendWritesTheHeaderOnceAndReportsFailures)
{
    const fs::path dir = makeTempDir();
    CsvLog log(dir / "x.csv");
    ASSERT_TRUE(log.append({"time", "1"}, {"t1", "a,b"}));
    ASSERT_TRUE(log.append({"time", "1"}, {"t2", "c"}));
    EXPECT_EQ(readText(dir / "x.csv"), "time,1\nt1,\"a,b\"\nt2,c\n");

    CsvLog bad(dir / "no" / "such" / "dir.csv");
    EXPECT_FALSE(bad.append({"time"}, {"t"}));
    EXPECT_FALSE(bad.error().empty());
    fs::remove_all(dir);
}

TEST(CliDialogsTest, BoxesAreLinesOnTheErrorStream)
{
    std::ostringstream err;
    CliDialogs d(err);
    d.messageBox("Текст", "Заголовок");
    d.showMessage("Ошибка WriteFile");
    EXPECT_FALSE(d.askYesNo("Продолжить?", "Вопрос"));
    EXPECT_FALSE(d.openFile({}));
    EXPECT_FALSE(d.saveFile({}));
    d.sound(Sound::Stop);
    EXPECT_EQ(err.str(), "Заголовок: Текст\nkorlin-cli: Ошибка WriteFile\nВопрос: Продолжить? -> No\n");
}

TEST(CliDialogsTest, RepeatGuardThrowsOnTheNthIdenticalBox)
{
    ScriptedDialogs inner;
    RepeatGuard d(inner, 3);
    d.messageBox("a", "c");
    d.messageBox("a", "c");
    d.messageBox("b", "c"); // a different box starts the count again
    d.messageBox("a", "c");
    d.messageBox("a", "c");
    d.showMessage("a");     // not a box with a caption: passed on, not counted
    EXPECT_FALSE(d.askYesNo("q", "c"));
    try {
        d.messageBox("a", "c");
        ADD_FAILURE() << "no throw";
    } catch (const RepeatedBox& b) {
        EXPECT_EQ(b.text, "a");
        EXPECT_EQ(b.caption, "c");
    }
    // Every box reached the dialogs underneath, the last one included.
    EXPECT_EQ(inner.texts(), (std::vector<std::string>{"a", "a", "b", "a", "a", "a", "q", "a"}));
}

TEST(CliSettings, AddressFromTheSettingsFile)
{
    const fs::path dir = makeTempDir();
    EXPECT_EQ(settingsAddress(dir), 0) << "no file";
    ProfileFile ini(dir / "S9327.ini");
    const struct {
        const char* value;
        int address;
    } cases[] = {{"7", 7}, {" 32 ", 32}, {"0", 0}, {"33", 0}, {"-1", 0}, {"x", 0}};
    for (const auto& c : cases) {
        ASSERT_TRUE(ini.write("Параметры", "AdresMIP", c.value));
        EXPECT_EQ(settingsAddress(dir), c.address) << c.value;
    }
    // The section name is Windows-1251 in the file.
    const std::string raw = readText(dir / "S9327.ini");
    EXPECT_NE(raw.find("[\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB]"), std::string::npos);
    fs::remove_all(dir);
}

} // namespace
} // namespace korlin::cli::test

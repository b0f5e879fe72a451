#include "ProgramReport.h"

#include "Cp1251.h"
#include "ProgramFixtures.h"

#include <gtest/gtest.h>

namespace korlin {
namespace {

using test::Bytes;
using test::lines;

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(ProgramReport, CheckListsLengthsChecksumAndTypesPerMip)
{
    std::array<Bytes, kSlotCount> subs{};
    subs[0] = lines({"P", ""});
    subs[1] = lines({"1 1 5", "2 2 17", "3 3 113"});
    subs[2] = lines({"1 109 4x", "2 110 07"});
    subs[9] = {0};
    const Bytes a = test::rawArray(subs);

    const ProgramCheck c = checkProgramArray(a);
    EXPECT_TRUE(c.headComplete);
    EXPECT_TRUE(c.withinData);
    EXPECT_TRUE(c.checksumOk());
    EXPECT_TRUE(c.startOk);
    EXPECT_EQ(c.layout.len[1], subs[1].size());
    ASSERT_EQ(c.types[1].size(), 3u);
    EXPECT_EQ(c.types[1][0].value, 5);
    EXPECT_EQ(c.types[1][1].value, 17);
    EXPECT_EQ(c.types[1][2].kind, TypeFieldKind::ThreeDigit);
    ASSERT_EQ(c.types[2].size(), 2u); // the report goes on past a bad field
    EXPECT_EQ(c.types[2][0].kind, TypeFieldKind::BadChar);
    EXPECT_EQ(c.types[2][1].value, 7);

    const std::string text = formatCheckReport(c);
    EXPECT_TRUE(contains(text, "МИП1 (3): 5 17 >99\n")) << text;
    EXPECT_TRUE(contains(text, "МИП2 (2): ? 7\n")) << text;
    EXPECT_TRUE(contains(text, ": совпадает")) << text;
    EXPECT_TRUE(contains(text, "Общая длина в голове: " + std::to_string(a.size()))) << text;
}

TEST(ProgramReport, CheckReportsMismatchAndLengthsBeyondTheData)
{
    std::array<Bytes, kSlotCount> subs{};
    subs[1] = lines({"1 1 5"});
    Bytes a = test::rawArray(subs, uint16_t(1234));
    ProgramCheck c = checkProgramArray(a);
    EXPECT_FALSE(c.checksumOk());
    EXPECT_TRUE(contains(formatCheckReport(c), "в голове 1234 (0x04D2), расчитана "));
    EXPECT_TRUE(contains(formatCheckReport(c), "НЕ СОВПАДАЕТ"));

    a.resize(a.size() - 1);
    c = checkProgramArray(a);
    EXPECT_FALSE(c.withinData);
    EXPECT_FALSE(c.computed);
    EXPECT_TRUE(contains(formatCheckReport(c), "не расчитана"));

    c = checkProgramArray(Bytes(10, 0));
    EXPECT_FALSE(c.headComplete);
    EXPECT_TRUE(c.checksumOk()); // an empty program whatever is missing
}

TEST(ProgramReport, DumpGivesOneSectionPerSubArray)
{
    std::array<Bytes, kSlotCount> subs{};
    const std::string pickups = "\xCF\xE8\xEA"; // "Пик" in Windows-1251
    subs[0].insert(subs[0].end(), pickups.begin(), pickups.end());
    subs[0].push_back(0);
    subs[0].push_back(0);
    subs[1] = lines({"1 1 5"});
    subs[9] = {0};
    subs[13] = {'R', 'O', 0, 'x', '\\', 1};

    const std::string d = dumpSubArrays(test::rawArray(subs));
    EXPECT_TRUE(contains(d, "=== 0 Pickups: 5 байт, смещение 94 ===\nПик\n\n=== 1 МИП1")) << d;
    EXPECT_TRUE(contains(d, "=== 1 МИП1: 6 байт, смещение 99 ===\n1 1 5\n")) << d;
    EXPECT_TRUE(contains(d, "=== 13 RO: 6 байт")) << d;
    EXPECT_TRUE(contains(d, "RO\nx\\\\\\x01   (строка без завершающего 0)\n")) << d;
    EXPECT_FALSE(contains(d, "=== 10 ")) << d;
    std::size_t sections = 0;
    for (std::size_t at = d.find("=== "); at != std::string::npos; at = d.find("\n=== ", at + 1))
        ++sections;
    EXPECT_EQ(sections, 14u);
}

TEST(ProgramReport, DumpOfHeldSubArraysAndOfAShortArray)
{
    ProgramState s;
    s.subarray[12] = lines({toCp1251("PR- принтер."), "2"});
    s.subarray_len[12] = uint16_t(s.subarray[12].size());
    EXPECT_TRUE(contains(dumpSubArrays(s), "=== 12 PR: 15 байт ===\nPR- принтер.\n2\n=== 13 RO"));

    std::array<Bytes, kSlotCount> subs{};
    subs[1] = lines({"1 1 5", "2 2 5"});
    Bytes a = test::rawArray(subs);
    a.resize(a.size() - 6);
    const std::string d = dumpSubArrays(a);
    EXPECT_TRUE(contains(d, "1 1 5\n(6 байт за пределами данных)\n")) << d;
}

} // namespace
} // namespace korlin

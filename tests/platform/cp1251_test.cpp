#include "Cp1251.h"

#include <gtest/gtest.h>

#include <iconv.h>

using namespace korlin;

namespace {
// The C library's own table, an independent reference.
std::string iconvDecode(unsigned char c)
{
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    if (cd == iconv_t(-1))
        return "<no iconv>";
    char in[1] = {char(c)};
    char out[8] = {};
    char* ip = in;
    char* op = out;
    size_t il = 1, ol = sizeof out;
    const size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    return r == size_t(-1) ? "<unmapped>" : std::string(out, op);
}
} // namespace

TEST(Cp1251, EveryCodeRoundTrips)
{
    for (int c = 0; c < 256; ++c) {
        const std::string byte(1, char(c));
        EXPECT_EQ(toCp1251(fromCp1251(byte)), byte) << "code " << c;
    }
}

TEST(Cp1251, AgreesWithTheCLibraryForEveryAssignedCode)
{
    for (int c = 0; c < 256; ++c) {
        if (c == 0x98)
            continue; // unassigned in the code page
        EXPECT_EQ(fromCp1251(std::string(1, char(c))), iconvDecode(c)) << "code " << c;
    }
    EXPECT_EQ(iconvDecode(0x98), "<unmapped>");
}

TEST(Cp1251, KnownTexts)
{
    EXPECT_EQ(toCp1251("СОМ"), "\xD1\xCE\xCC");   // Cyrillic letters
    EXPECT_EQ(toCp1251("COM"), "COM");            // Latin letters
    EXPECT_EQ(toCp1251("Ёё№"), "\xA8\xB8\xB9");
    EXPECT_EQ(fromCp1251("\xCC\xC8\xCF"), "МИП");
}

TEST(Cp1251, UnmappedAndMalformedBecomeQuestionMarks)
{
    EXPECT_EQ(toCp1251("a\u00E9b"), "a?b");        // é is not in the code page
    EXPECT_EQ(toCp1251("\U0001F600"), "?");         // nor is an emoji
    EXPECT_EQ(toCp1251(std::string("x\xFFy")), "x?y"); // not UTF-8 at all
    EXPECT_EQ(toCp1251(std::string("\xD0")), "?");  // cut in the middle of a character
}

#include "Format.h"

#include <gtest/gtest.h>

using namespace korlin;

TEST(FormatGeneral, ShortestFormWithTheLocaleSeparator)
{
    struct Case { double v; char sep; const char* text; } cases[] = {
        {2.0, ',', "2"},       {30.0, '.', "30"},      {2.5, ',', "2,5"},       {2.5, '.', "2.5"},
        {-0.05, '.', "-0.05"}, {23.5, ',', "23,5"},    {-3276.2, '.', "-3276.2"}, {0.0, '.', "0"},
        {-0.0, '.', "0"},      {0.001, ',', "0,001"},  {123456789012345.0, '.', "123456789012345"},
        {0.1 + 0.2, '.', "0.3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatGeneral(c.v, c.sep), c.text) << c.v;
}

TEST(ParseSettingsValues, IntegersTruthValuesAndReals)
{
    EXPECT_EQ(parseInteger(" 42 "), 42);
    EXPECT_EQ(parseInteger("-1"), -1);
    EXPECT_FALSE(parseInteger("4x"));
    EXPECT_FALSE(parseInteger(""));

    EXPECT_EQ(parseTruth("-1"), true);
    EXPECT_EQ(parseTruth("0"), false);
    EXPECT_EQ(parseTruth("5"), true);
    EXPECT_EQ(parseTruth("TRUE"), true);
    EXPECT_EQ(parseTruth("fAlSe"), false);
    EXPECT_FALSE(parseTruth("yes"));

    EXPECT_EQ(parseReal("2,5", ','), 2.5);
    EXPECT_EQ(parseReal("2.5", '.'), 2.5);
    EXPECT_FALSE(parseReal("2.5", ','));
    EXPECT_FALSE(parseReal("abc", '.'));
    EXPECT_EQ(parseReal("30", ','), 30.0);
}

TEST(Locale, DateTimeTextIsShortDateSpaceLongTime)
{
    const Locale ru = Locale::russian();
    EXPECT_EQ(ru.dateTimeText({2024, 12, 9, 15, 36, 4}), "09.12.2024 15:36:04");
    Locale us{'.', "M/d/yy", "h:mm:ss AP"};
    EXPECT_EQ(us.dateTimeText({2024, 1, 2, 15, 6, 7}), "1/2/24 3:06:07 PM");
}

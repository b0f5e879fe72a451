#include "ChannelView.h"
#include "ChannelWindows.h"

#include <gtest/gtest.h>

#include <set>

namespace korlin {
namespace {

TEST(MonitorWindowPlaces, ChannelWindows)
{
    struct Case {
        int channel;
        WindowPlace place;
    };
    const Case cases[] = {
        {1, {10, 10, 105}},   {9, {10, 186, 105}},   {10, {10, 223, 105}}, {18, {10, 399, 105}},
        {19, {120, 10, 105}}, {108, {560, 399, 105}}, {109, {10, 10, 105}}, {127, {120, 10, 105}},
        {216, {560, 399, 105}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(channelWindowPlaceOfChannel(c.channel), c.place) << "R" << c.channel;
    EXPECT_EQ(channelWindowPlace(10), (WindowPlace{10, 223, 105}));
    EXPECT_THROW(channelWindowPlace(0), std::out_of_range);
    EXPECT_THROW(channelWindowPlace(109), std::out_of_range);
    EXPECT_THROW(channelWindowPlaceOfChannel(217), std::out_of_range);
}

TEST(MonitorWindowPlaces, ChannelWindowsOfAPageDoNotOverlap)
{
    constexpr int kEditHeight = 21;
    for (int a = 1; a <= 108; ++a)
        for (int b = a + 1; b <= 108; ++b) {
            const auto p = channelWindowPlace(a), q = channelWindowPlace(b);
            const bool apart = p.left + p.width <= q.left || q.left + q.width <= p.left
                || p.top + kEditHeight <= q.top || q.top + kEditHeight <= p.top;
            EXPECT_TRUE(apart) << a << " and " << b;
        }
}

TEST(MonitorWindowPlaces, ParameterAndServiceWindows)
{
    EXPECT_EQ(parameterWindowPlace(1), (WindowPlace{50, 110, 75}));
    EXPECT_EQ(parameterWindowPlace(27), (WindowPlace{50, 630, 75}));
    EXPECT_EQ(parameterWindowPlace(28), (WindowPlace{129, 110, 75}));
    EXPECT_EQ(parameterWindowPlace(271), (WindowPlace{840, 110, 75}));
    EXPECT_EQ(parameterWindowPlace(296), (WindowPlace{840, 610, 75}));
    EXPECT_THROW(parameterWindowPlace(297), std::out_of_range);

    EXPECT_EQ(serviceWindowPlace(1), (WindowPlace{25, 10, 105}));
    EXPECT_EQ(serviceWindowPlace(10), (WindowPlace{25, 190, 105}));
    EXPECT_EQ(serviceWindowPlace(11), (WindowPlace{135, 10, 105}));
    EXPECT_EQ(serviceWindowPlace(80), (WindowPlace{795, 190, 105}));
    EXPECT_THROW(serviceWindowPlace(81), std::out_of_range);
}

TEST(MonitorWindowNames, NamesAndSelectedChannel)
{
    EXPECT_EQ(channelWindowName(7), "R7");
    EXPECT_EQ(parameterWindowName(296), "S296");
    EXPECT_EQ(serviceWindowName(1), "Sl1");

    struct Case {
        const char* name;
        std::optional<int> channel;
    };
    const Case cases[] = {
        {"R7", 7},   {"R216", 216}, {"R109", 109},        {"R007", 7},          {"R0", std::nullopt},
        {"R217", std::nullopt},     {"R", std::nullopt},   {"R1000", std::nullopt}, {"S7", std::nullopt},
        {"Sl7", std::nullopt},      {"R1a", std::nullopt}, {"R-1", std::nullopt}, {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(channelOfWindowName(c.name), c.channel) << c.name;
}

TEST(MonitorColourLegend, LegendMatchesTheStateCodes)
{
    std::set<int> coded;
    int lastLeft = -1;
    for (const LegendEntry& e : kColourLegend) {
        EXPECT_GT(e.left, lastLeft);
        lastLeft = e.left;
        const auto& s = kStateCodeColours[size_t(e.stateCode)];
        ASSERT_TRUE(s.background) << e.label;
        EXPECT_EQ(*s.background, e.colour) << e.label;
        EXPECT_EQ(s.hint, e.hint) << e.label;
        EXPECT_TRUE(coded.insert(e.stateCode).second) << e.label;
    }
    for (int code = 0; code < 16; ++code)
        EXPECT_EQ(coded.count(code) == 1, kStateCodeColours[size_t(code)].background.has_value()) << code;
    EXPECT_EQ(kColourLegend[5].label, "Label6");
    EXPECT_EQ(kColourLegend[5].left + legend::kLabelWidth - kColourLegend[6].left, 6) << "the cream label overlaps";
}

TEST(MonitorCyclePeriod, PeriodChangesOnlyOnMouseRelease)
{
    RabCyclePeriod p;
    EXPECT_EQ(p.position, 6);
    EXPECT_EQ(p.periodMs, 5000) << "the box shows 6 but the timer keeps 5000 ms";
    p.step(+1);
    EXPECT_EQ(p.periodMs, 5000) << "a key press alone changes nothing";
    p.mouseReleased();
    EXPECT_EQ(p.periodMs, 7000);

    for (int i = 0; i < 100; ++i)
        p.step(-1);
    p.mouseReleased();
    EXPECT_EQ(p.position, 2);
    EXPECT_EQ(p.periodMs, 2000);
    for (int i = 0; i < 100; ++i)
        p.step(+1);
    p.mouseReleased();
    EXPECT_EQ(p.periodMs, 50000);
    EXPECT_EQ(RabCyclePeriod::kModbusPeriodMs, 5000);
}

} // namespace
} // namespace korlin

#include "Clock.h"

#include <gtest/gtest.h>

using namespace korlin;

TEST(VirtualClock, SleepAdvancesTimeAndWallClock)
{
    VirtualClock clock({2024, 12, 31, 23, 59, 58});
    clock.sleepMs(1500);
    EXPECT_EQ(clock.nowUs(), 1'500'000);
    EXPECT_EQ(clock.localTime(), (DateTime{2024, 12, 31, 23, 59, 59}));
    clock.sleepMs(600);
    EXPECT_EQ(clock.localTime(), (DateTime{2025, 1, 1, 0, 0, 0}));
}

TEST(VirtualClock, NegativeAdvanceIsIgnored)
{
    VirtualClock clock;
    clock.advanceUs(10);
    clock.advanceUs(-5);
    clock.advanceToUs(3);
    EXPECT_EQ(clock.nowUs(), 10);
}

TEST(AddSeconds, CrossesMonthsAndLeapDays)
{
    struct Case { DateTime from; int64_t s; DateTime to; } cases[] = {
        {{2024, 2, 28, 23, 59, 59}, 1, {2024, 2, 29, 0, 0, 0}},
        {{2023, 2, 28, 23, 59, 59}, 1, {2023, 3, 1, 0, 0, 0}},
        {{2009, 6, 30, 12, 0, 0}, 86400 * 2, {2009, 7, 2, 12, 0, 0}},
        {{2026, 1, 1, 0, 0, 0}, -1, {2025, 12, 31, 23, 59, 59}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(addSeconds(c.from, c.s), c.to);
}

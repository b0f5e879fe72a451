#include "ReadTimer.h"

#include <gtest/gtest.h>

namespace korlin {
namespace {

constexpr int64_t ms = 1000;

TEST(LinkReadTimer, TotalBoundsASilentRead)
{
    ReadTimer t(0, 1, {17, 10, 10, 0, 10});
    EXPECT_EQ(t.deadline(), 20 * ms);
    t.expire(19 * ms);
    EXPECT_FALSE(t.done());
    t.expire(20 * ms);
    EXPECT_TRUE(t.done());
    EXPECT_EQ(t.doneUs(), 20 * ms);
    EXPECT_EQ(t.count(), 0u);
}

TEST(LinkReadTimer, IntervalRunsFromTheFirstByteOnly)
{
    ReadTimer t(0, 10, {50, 0, 0, 0, 0});
    EXPECT_FALSE(t.deadline().has_value()); // no byte yet: waits
    EXPECT_TRUE(t.offer(300 * ms));
    EXPECT_TRUE(t.offer(350 * ms)); // a gap equal to the interval is still in time
    EXPECT_EQ(t.deadline(), 400 * ms);
    EXPECT_FALSE(t.offer(401 * ms)); // too late: stays in the queue
    EXPECT_TRUE(t.done());
    EXPECT_EQ(t.doneUs(), 400 * ms);
    EXPECT_EQ(t.count(), 2u);
}

TEST(LinkReadTimer, WaitingBytesCountFromTheStart)
{
    ReadTimer t(1000 * ms, 10, {500, 200, 0, 0, 0});
    EXPECT_TRUE(t.offer(10 * ms)); // arrived long before the read
    EXPECT_EQ(t.deadline(), 1500 * ms);
}

TEST(LinkReadTimer, CompletesAtTheLastRequestedByte)
{
    ReadTimer t(0, 2, {});
    EXPECT_TRUE(t.offer(5 * ms));
    EXPECT_TRUE(t.offer(7 * ms));
    EXPECT_TRUE(t.done());
    EXPECT_EQ(t.doneUs(), 7 * ms);
    EXPECT_FALSE(t.offer(8 * ms));
}

TEST(LinkReadTimer, NoByteLimitEndsOnlyASilentRead)
{
    ReadTimer silent(0, 10000, {500, 2000, 0, 0, 0}, 5000);
    EXPECT_EQ(silent.deadline(), 5000 * ms);
    ReadTimer talking(0, 10000, {500, 2000, 0, 0, 0}, 5000);
    EXPECT_TRUE(talking.offer(4900 * ms));
    EXPECT_TRUE(talking.offer(5300 * ms)); // past the limit: the interval rules now
    EXPECT_EQ(talking.deadline(), 5800 * ms);
}

TEST(LinkReadTimer, ZeroRequestAndImmediateMode)
{
    EXPECT_TRUE(ReadTimer(3, 0, {}).done());
    ReadTimer now(100, 5, {0xFFFFFFFFu, 0, 0, 0, 0});
    EXPECT_TRUE(now.offer(50)); // what waits is taken
    now.expire(100);
    EXPECT_TRUE(now.done());
    EXPECT_EQ(now.count(), 1u);
}

} // namespace
} // namespace korlin

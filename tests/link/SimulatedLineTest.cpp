#include "ScriptDevice.h"
#include "SimulatedLine.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>

namespace korlin {
namespace {

constexpr int64_t ms = 1000;

std::vector<uint8_t> iota(size_t n, uint8_t from = 1)
{
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), from);
    return v;
}

struct LineFixture : ::testing::Test {
    VirtualClock clock;
    test::ScriptDevice device;
    SimulatedLine line{clock, &device};
    std::array<uint8_t, 64> buf{};

    void write(std::vector<uint8_t> bytes) { ASSERT_TRUE(line.startWrite(bytes.data(), bytes.size())); }
};

using LinkSimulatedLine = LineFixture;

TEST_F(LinkSimulatedLine, SilentOneByteReadUnderSearchTimeoutsTakes20ms)
{
    line.setTimeouts({17, 10, 10, 0, 10});
    clock.advanceUs(7 * ms);
    ASSERT_TRUE(line.startRead(buf.data(), 1));
    uint32_t n = 99;
    EXPECT_FALSE(line.result(n, false));
    EXPECT_TRUE(line.result(n, true));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(clock.nowUs(), 27 * ms);
}

TEST_F(LinkSimulatedLine, HostBytesReachTheDeviceByteByByte)
{
    clock.advanceUs(3 * ms);
    write({0xC5, 0x01, 0x02});
    uint32_t n = 0;
    EXPECT_TRUE(line.result(n, true));
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(clock.nowUs(), 3 * ms + 3 * kByteTimeUs);
    const std::vector<TimedByte> expected = {
        {0xC5, 3 * ms + 1250}, {0x01, 3 * ms + 2500}, {0x02, 3 * ms + 3750}};
    EXPECT_EQ(line.hostBytes(), expected);
}

TEST_F(LinkSimulatedLine, WriteEndsAtItsTimeout)
{
    line.setTimeouts({0, 0, 0, 0, 10}); // 10 ms for 10 bytes that need 12.5 ms
    write(iota(10));
    uint32_t n = 0;
    EXPECT_TRUE(line.result(n, true));
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(clock.nowUs(), 10 * ms);
    clock.advanceUs(100 * ms);
    line.purge(0);
    EXPECT_EQ(line.hostBytes().size(), 8u); // the rest never went out
}

TEST_F(LinkSimulatedLine, IntervalCutsTheReadAndLeavesLaterBytesQueued)
{
    // 3 bytes, 30 ms of silence, 2 more.
    auto& rule = device.on({0xAA}, {1, 2, 3}, 2 * ms);
    rule.tail = {4, 5};
    rule.tailDelayUs = 30 * ms;
    line.setTimeouts({17, 0, 0, 0, 0});
    write({0xAA});
    ASSERT_TRUE(line.startRead(buf.data(), 10));
    uint32_t n = 0;
    EXPECT_TRUE(line.result(n, true));
    EXPECT_EQ(n, 3u);
    // Last of the three arrives at 1.25 + 2 + 3 * 1.25 ms; then 17 ms of silence.
    EXPECT_EQ(clock.nowUs(), 1250 + 2 * ms + 3 * kByteTimeUs + 17 * ms);
    EXPECT_EQ((std::vector<uint8_t>(buf.begin(), buf.begin() + 4)), (std::vector<uint8_t>{1, 2, 3, 0}));
    clock.advanceUs(50 * ms);
    EXPECT_EQ(line.queued(), 2u);
}

TEST_F(LinkSimulatedLine, TotalCutsASlowAnswer)
{
    auto& rule = device.on({0xAA}, iota(100), 0);
    rule.gapUs = 1000; // one byte every 2.25 ms
    line.setTimeouts({17, 2, 10, 0, 0});
    write({0xAA});
    ASSERT_TRUE(line.startRead(buf.data(), 50)); // total 110 ms
    uint32_t n = 0;
    EXPECT_TRUE(line.result(n, true));
    EXPECT_EQ(clock.nowUs(), 110 * ms);
    // Byte k arrives at 1.25 + 1.25 + k * 2.25 ms.
    EXPECT_EQ(n, uint32_t((110 * ms - 2500) / 2250 + 1));
}

TEST_F(LinkSimulatedLine, AllZeroTimeoutsWaitForEveryByte)
{
    device.on({0xAA}, iota(5), 300 * ms);
    write({0xAA});
    ASSERT_TRUE(line.startRead(buf.data(), 5));
    uint32_t n = 0;
    EXPECT_TRUE(line.result(n, true));
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(clock.nowUs(), 1250 + 300 * ms + 5 * kByteTimeUs);
}

TEST_F(LinkSimulatedLine, AWaitThatCouldNeverEndReturnsAtOnce)
{
    ASSERT_TRUE(line.startRead(buf.data(), 5)); // silent, no time-outs
    uint32_t n = 1;
    EXPECT_FALSE(line.result(n, true));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(clock.nowUs(), 0);
    EXPECT_FALSE(line.trace().back().ok);
}

TEST_F(LinkSimulatedLine, CheckWithoutWaitTellsWhatHasArrived)
{
    device.on({0xAA}, iota(20), 0);
    line.setTimeouts({500, 200, 0, 0, 0});
    write({0xAA});
    ASSERT_TRUE(line.startRead(buf.data(), 64));
    clock.advanceUs(1250 + 10 * kByteTimeUs); // ten bytes in
    uint32_t n = 0;
    EXPECT_FALSE(line.result(n, false));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(buf[9], 10);
    EXPECT_EQ(buf[10], 0);
    // A pending read keeps filling its buffer: a purge does not cancel it.
    clock.advanceUs(30 * ms);
    line.purge(PurgeBoth);
    EXPECT_EQ(buf[19], 20);
    clock.advanceUs(600 * ms);
    EXPECT_TRUE(line.result(n, false));
    EXPECT_EQ(n, 20u);
}

TEST_F(LinkSimulatedLine, PurgeDropsWaitingBytesButNotThoseOnTheWay)
{
    device.on({0xAA}, iota(10), 0);
    write({0xAA});
    clock.advanceUs(1250 + 4 * kByteTimeUs);
    line.purge(PurgeRx);
    EXPECT_EQ(line.queued(), 0u);
    clock.advanceUs(100 * ms);
    EXPECT_EQ(line.queued(), 6u);
}

TEST_F(LinkSimulatedLine, NewReadSettlesThePreviousOne)
{
    device.on({0xAA}, iota(3), 0);
    ASSERT_TRUE(line.startRead(buf.data(), 8)); // no time-outs: would wait for 8
    write({0xAA});
    clock.advanceUs(20 * ms);
    std::array<uint8_t, 8> other{};
    ASSERT_TRUE(line.startRead(other.data(), 8));
    EXPECT_EQ(buf[2], 3); // the first read kept what it took
    line.deviceSend(std::vector<uint8_t>{9}.data(), 1, clock.nowUs());
    clock.advanceUs(5 * ms);
    uint32_t n = 0;
    EXPECT_FALSE(line.result(n, false));
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(other[0], 9);
    EXPECT_EQ(line.bytesRead(), 4u);
}

TEST_F(LinkSimulatedLine, CharacterWaitCountsFromTheMask)
{
    EXPECT_FALSE(line.waitCharReceived(1000)); // no mask: at once
    EXPECT_EQ(clock.nowUs(), 0);
    line.setCommMask(EvRxChar);
    EXPECT_FALSE(line.waitCharReceived(50)); // silent: the bound
    EXPECT_EQ(clock.nowUs(), 50 * ms);
    device.on({0xAA}, {7, 8}, 3 * ms);
    write({0xAA});
    EXPECT_TRUE(line.waitCharReceived(1000));
    EXPECT_EQ(clock.nowUs(), 50 * ms + 1250 + 3 * ms + 1250);
    EXPECT_TRUE(line.waitCharReceived(1000)); // the second byte
    EXPECT_EQ(clock.nowUs(), 50 * ms + 1250 + 3 * ms + 2 * 1250);
}

TEST_F(LinkSimulatedLine, FailedLineRecordsButStartsNothing)
{
    line.failOpen("Порт COM1 не найден.");
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(line.openError(), "Порт COM1 не найден.");
    const uint8_t b = 0xC1;
    EXPECT_FALSE(line.startWrite(&b, 1));
    EXPECT_FALSE(line.startRead(buf.data(), 1));
    uint32_t n = 5;
    EXPECT_FALSE(line.result(n, true));
    EXPECT_EQ(n, 0u);
    line.clock().sleepMs(100);
    EXPECT_EQ(line.steps(), (std::vector<std::string>{"W C1", "R 1", "G", "S 100"}));
    EXPECT_FALSE(line.trace()[0].ok);
    EXPECT_TRUE(line.hostBytes().empty());
    EXPECT_EQ(clock.nowUs(), 100 * ms);
}

TEST(LinkSimulatedPortOpener, MapsNamesToLinesOrAbsentPorts)
{
    VirtualClock clock;
    SimulatedLine com1(clock);
    SimulatedPortOpener opener;
    opener.attach("COM1", com1);
    opener.fail("COM2", "Нет доступа к порту COM2 (/dev/ttyS1): пользователь не входит в группу dialout.");
    auto p1 = opener.open("COM1");
    auto p2 = opener.open("COM2");
    auto p3 = opener.open("/dev/ttyUSB0");
    EXPECT_TRUE(p1->isOpen());
    EXPECT_FALSE(p2->isOpen());
    EXPECT_NE(p2->openError().find("dialout"), std::string::npos);
    EXPECT_FALSE(p3->isOpen());
    EXPECT_NE(p3->openError().find("/dev/ttyUSB0"), std::string::npos);
    p1->purge(PurgeBoth);
    EXPECT_EQ(com1.steps(), (std::vector<std::string>{"P12"}));
    p1->close();
    EXPECT_FALSE(com1.isOpen());
    EXPECT_EQ(opener.opened, (std::vector<std::string>{"COM1", "COM2", "/dev/ttyUSB0"}));
}

} // namespace
} // namespace korlin

// The model behind the simulated line, driven by the program's own exchanges.
#include <gtest/gtest.h>

#include "Exchanges.h"
#include "SimLine.h"
#include "UserDialogs.h"

using namespace korlin;
using namespace korlin::sim;

namespace {

struct Rig {
    explicit Rig(ConverterConfig cfg) : s(std::move(cfg)) {}
    SimLine s;
    ScriptedDialogs dialogs;
    PortState state;
    Link link{s.line(), s.line().clock(), dialogs, state};
};

} // namespace

TEST(SimLine, StateAndAddressQueriesThroughTheExchanges)
{
    Rig r(ConverterConfig::native(5).waiting());
    configurePort(r.link);
    RxBuffer rx{};
    EXPECT_EQ(stateQueryNative(r.link, 0xC5, rx).received, 1u);
    EXPECT_EQ(rx[0], 138);
    EXPECT_EQ(addressQuery(r.link, 0xC5, rx).received, 1u);
    EXPECT_EQ(rx[0], 0xC5);
    rx = {};
    EXPECT_EQ(stateQueryNative(r.link, 0xC6, rx).received, 0u);
    EXPECT_TRUE(r.dialogs.events.empty());
}

TEST(SimLine, AddressChangeAndClockSetting)
{
    Rig r(ConverterConfig::native(5));
    configurePort(r.link);
    RxBuffer rx{};
    newBusAddress(r.link, 0xC5, 0xD0, rx);
    EXPECT_EQ(rx[0], 0xD0);
    EXPECT_EQ(r.s.model().address(), 16);
    EXPECT_EQ(r.s.model().status(), 129);

    r.s.clock().setLocalTime({2009, 3, 4, 10, 20, 59});
    const int64_t before = r.s.clock().nowUs();
    clockSetting(r.link, 0xD0);
    // The record said 10:20:60, sent about 0.6 s after the PC clock was read.
    const DateTime t = r.s.model().clockAt(before + 1000000);
    EXPECT_EQ(t, (DateTime{2009, 3, 4, 10, 21, 0}));
}

TEST(SimLine, ProgramReadWriteAndVerdict)
{
    Rig r(ConverterConfig::native(5));
    configurePort(r.link);
    auto prog = std::make_unique<ProgArray>();
    const auto outcome = programArrayRead(r.link, 0xC5, *prog);
    const auto expected = defaultProgram();
    ASSERT_EQ(outcome.received, expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), prog->begin()));

    // Written back with one sub-array byte changed and the checksum kept: 133.
    (*prog)[200] ^= 1;
    programArrayWrite(r.link, 0xC5, *prog, int(expected.size()));
    RxBuffer rx{};
    stateQueryNative(r.link, 0xC5, rx);
    EXPECT_EQ(rx[0], 133);
    // Restored: accepted.
    (*prog)[200] ^= 1;
    programArrayWrite(r.link, 0xC5, *prog, int(expected.size()));
    stateQueryNative(r.link, 0xC5, rx);
    EXPECT_EQ(rx[0], 129);
}

TEST(SimLine, WorkingChannelPollCompletesInTime)
{
    Rig r(ConverterConfig::native(5).channel(12, 235));
    configurePort(r.link);
    auto rab = std::make_unique<RabBuffer>();
    const auto o = nativeWorkingChannelPoll(r.link, 0xC5, *rab, true);
    EXPECT_TRUE(o.completed);
    EXPECT_EQ(o.received, 898u);
    EXPECT_EQ((*rab)[10 + 4 * 11], 12);
    EXPECT_EQ((*rab)[12 + 4 * 11], 235);

    // With slow bytes the read is still running at the check.
    r.s.model().config().faults.gapUs = 10000;
    EXPECT_FALSE(nativeWorkingChannelPoll(r.link, 0xC5, *rab, true).completed);
}

TEST(SimLine, ModbusStatusAndChannels)
{
    Rig r(ConverterConfig::modbus(5).channel(1, 4321));
    configurePort(r.link);
    setTimeouts(r.link, timeouts::Modbus);
    RxBuffer rx{};
    EXPECT_EQ(modbusSearchPerAddress(r.link, bus::modbus::readRequest(5, 4002, 1), rx).received, 7u);
    EXPECT_EQ(rx[4], 129);
    auto rab = std::make_unique<RabBuffer>();
    const auto o = modbusWorkingChannelPoll(r.link, bus::modbus::readRequest(5, 1, 108), *rab, true);
    EXPECT_EQ(o.received, 221u);
    EXPECT_EQ(((*rab)[3] << 8) | (*rab)[4], 4321);

    // A delayed answer misses the discovery read's 24 ms.
    r.s.model().config().faults.modbusDelayUs = 200000;
    rx = {};
    EXPECT_EQ(modbusSearchPerAddress(r.link, bus::modbus::readRequest(5, 4002, 1), rx).received, 0u);
}

// Every row of the exchange table on the simulated line: the steps in order,
// the bytes on the line, the virtual time of every step, the count the read
// received; and each row once more on a port that failed to open.
#include "Exchanges.h"
#include "ScriptDevice.h"
#include "SimulatedLine.h"

#include "UserDialogs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <numeric>
#include <string>

namespace korlin {
namespace {

constexpr int64_t ms = 1000;
constexpr uint8_t A = 0xC5; // bus address 5
constexpr uint8_t N = 0xC7; // new bus address 7

std::vector<uint8_t> iota(size_t n, uint8_t from = 1)
{
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), from);
    return v;
}

std::string w(const std::vector<uint8_t>& bytes)
{
    std::string s = "W";
    char b[4];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, " %02X", v);
        s += b;
    }
    return s;
}
template <size_t K>
std::string w(const std::array<uint8_t, K>& a) { return w(std::vector<uint8_t>(a.begin(), a.end())); }

const ModbusRequest kStatusReq = bus::modbus::readRequest(5, bus::modbus::kStatusRegister, 1);
const ModbusRequest kPage1Req = bus::modbus::readRequest(5, bus::modbus::kChannelsPage1, bus::modbus::kChannelsPerPage);

// A converter at address 5 that answers promptly (2 ms), unless told otherwise.
struct Bench {
    explicit Bench(bool answering = true)
    {
        if (!answering)
            return;
        device.on({A, 0x01}, {0x81});
        device.on({A, 0x21}, {A});
        device.on({N, 0x21}, {N});
        device.on({A, 0x1D}, iota(300));
        device.on({A, 0x02}, iota(100));
        device.on({A, 0x1C}, iota(50));
        device.on({kStatusReq.begin(), kStatusReq.end()}, {0x05, 0x03, 0x02, 0x00, 0x81, 0x00, 0x00});
        device.on({kPage1Req.begin(), kPage1Req.end()}, iota(221));
    }
    VirtualClock clock;
    test::ScriptDevice device;
    SimulatedLine line{clock, &device};
    ScriptedDialogs dialogs;
    PortState state;
    Link link{line, line.clock(), dialogs, state};
    RxBuffer RxBuf{};
    ProgArray prog_array{};
    ProgArray new_array{};
    RabBuffer RabBuf{};
    SluBuffer SluBuf{};
};

struct Row {
    const char* name;
    std::function<void(Bench&)> setup; // runs before, in no virtual time; not traced
    std::function<ReadOutcome(Bench&)> run;
    std::vector<std::string> steps;
    std::vector<int64_t> atUs; // each step's start, from the row's start
    int64_t endUs;
    uint32_t received;
    std::vector<std::string_view> failMessages;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

ReadOutcome none() { return {}; }

std::vector<Row> rows()
{
    const auto modbusTimeouts = [](Bench& b) { setTimeouts(b.link, timeouts::Modbus); };
    const auto pollTimeouts = [](Bench& b) { setTimeouts(b.link, timeouts::ProgramWrite); };
    const auto searched = [](Bench& b) { configurePort(b.link); };
    // A 2-byte frame is out 2.5 ms after its write; the answer byte follows
    // 2 ms after the frame's last byte and takes 1.25 ms.
    return {
        {"StateQueryNative", nullptr, [](Bench& b) { return stateQueryNative(b.link, A, b.RxBuf); },
         {"P12", "W C5 01", "S 100", "G", "S 100", "R 1", "S 100", "G"},
         {0, 0, 0, 100000, 100000, 200000, 200000, 300000}, 300000, 1,
         {msg::StateWrite, msg::StateRead}},
        {"IniSearchStateQuery", nullptr, [](Bench& b) { return iniSearchStateQuery(b.link, A, b.RxBuf); },
         {"P12", "W C5 01", "G", "S 200", "R 1", "G"},
         {0, 0, 0, 2500, 202500, 202500}, 202500, 1,
         {msg::IniWrite, msg::IniRead}},
        {"AddressCycleStateQuery", nullptr, [](Bench& b) { return addressCycleStateQuery(b.link, A, b.RxBuf); },
         {"P12", "W C5 01", "G", "S 200", "R 1"},
         {0, 0, 0, 2500, 202500}, 202500, 1,
         {msg::WriteFile, msg::CycleRead}},
        {"MeasuringModeCommand", nullptr, [](Bench& b) { measuringModeCommand(b.link, A); return none(); },
         {"P12", "W C5 23", "S 500"}, {0, 0, 0}, 500000, 0, {msg::WriteFile}},
        {"AddressQuery", nullptr, [](Bench& b) { return addressQuery(b.link, A, b.RxBuf); },
         {"P12", "W C5 21", "G", "S 100", "R 1", "S 100"},
         {0, 0, 0, 2500, 102500, 102500}, 202500, 1,
         {msg::WriteFile, msg::AddressRead}},
        // The answer comes at once, and the P8 two seconds later discards it.
        {"ModbusSearchAtSettings", modbusTimeouts,
         [](Bench& b) { return modbusSearchAtSettings(b.link, kStatusReq, b.RxBuf); },
         {"P12", "S 1000", w(kStatusReq), "S 1000", "S 1000", "M", "P8", "S 1000", "R 7", "S 1000", "G"},
         {0, 0, 1000000, 1000000, 2000000, 3000000, 3000000, 3000000, 4000000, 4000000, 5000000}, 5000000, 0,
         {msg::ModbusIniWrite, msg::ModbusIniRead}},
        {"ModbusSearchPerAddress", modbusTimeouts,
         [](Bench& b) { return modbusSearchPerAddress(b.link, kStatusReq, b.RxBuf); },
         {"P12", w(kStatusReq), "S 100", "M", "R 7", "G"},
         {0, 0, 0, 100000, 100000, 100000}, 100000, 7, {msg::WriteFile, msg::ModbusCycleRead}},
        // 300 bytes from 1505.75 ms, the last at 1879.5 ms, then 500 ms of silence.
        {"ProgramArrayRead", searched, [](Bench& b) { return programArrayRead(b.link, A, b.prog_array); },
         {"S 1500", "T 500/2000/10/0/10", "P12", "W C5 1D", "S 200", "R 10000", "G"},
         {0, 1500000, 1500000, 1500000, 1500000, 1700000, 1700000}, 2379500, 300,
         {msg::WriteFile, msg::ProgramReadRead}},
        // 1000 bytes take 1.25 s.
        {"ProgramArrayWrite", nullptr,
         [](Bench& b) { programArrayWrite(b.link, A, b.new_array, 1000); return none(); },
         {"T 500/200/0/10/10", "P4", "W C5 10", "G", "S 150", "P4", "W 1000", "G", "S 5000"},
         {0, 0, 0, 0, 2500, 152500, 152500, 152500, 1402500}, 6402500, 0,
         {msg::ProgramLoadWrite, msg::ProgramArrayWrite}},
        {"NewBusAddress", nullptr, [](Bench& b) { return newBusAddress(b.link, A, N, b.RxBuf); },
         {"T 5/10/0/0/0",
          "P4", "W C5 22", "G", "S 300",
          "P4", "W C5 20", "G", "S 300",
          "P4", "W C7", "G", "S 300",
          "P4", "W C7 23", "G", "S 300",
          "P12", "W C7 21", "G", "S 300", "R 1", "G", "S 6000"},
         {0,
          0, 0, 0, 2500,
          302500, 302500, 302500, 305000,
          605000, 605000, 605000, 606250,
          906250, 906250, 906250, 908750,
          1208750, 1208750, 1208750, 1211250, 1511250, 1511250, 1511250},
         7511250, 1,
         {msg::WriteFile, msg::WriteFile, msg::WriteFile, msg::WriteFile, msg::WriteFile, msg::NewAddressRead}},
        // The virtual clock starts at 2026-12-11 09:00:00.
        {"ClockSetting", nullptr, [](Bench& b) { clockSetting(b.link, A); return none(); },
         {"P4", "W C5 22", "G", "S 300",
          "P4", "W C5 24", "G", "S 300",
          "P4", "W 01 00 09 0B 0C EA 07", "G", "S 300",
          "P4", "W C5 23", "G", "S 7000"},
         {0, 0, 0, 2500,
          302500, 302500, 302500, 305000,
          605000, 605000, 605000, 613750,
          913750, 913750, 913750, 916250},
         7916250, 0, {msg::WriteFile, msg::WriteFile, msg::WriteFile, msg::WriteFile}},
        {"NativeWorkingChannelPoll", nullptr,
         [](Bench& b) { return nativeWorkingChannelPoll(b.link, A, b.RabBuf, true); },
         {"T 500/200/0/10/10", "P12", "W C5 02", "G", "S 1000", "R 900", "S 1000", "G0"},
         {0, 0, 0, 0, 2500, 1002500, 1002500, 2002500}, 2002500, 100,
         {msg::WorkingWrite, msg::WorkingRead}},
        // 50 bytes, the last at 67 ms, then 500 ms of silence.
        {"ServiceChannels", pollTimeouts, [](Bench& b) { return serviceChannels(b.link, A, b.SluBuf); },
         {"P12", "W C5 1C", "G", "R 9500", "G"}, {0, 0, 0, 2500, 2500}, 567000, 50,
         {msg::WriteFile, msg::ReadFile}},
        {"AllParameters", pollTimeouts, [](Bench& b) { return allParameters(b.link, A, b.SluBuf); },
         {"P12", "W C5 1C", "R 9500", "G", "G"}, {0, 0, 0, 0, 567000}, 567000, 50,
         {msg::WriteFile, msg::ReadFile}},
        // The first answer byte at 13.25 ms, the 221st at 288.25 ms.
        {"ModbusWorkingChannelPoll", nullptr,
         [](Bench& b) { return modbusWorkingChannelPoll(b.link, kPage1Req, b.RabBuf, true); },
         {"T 17/2/10/5/10", "P12", w(kPage1Req), "M", "E", "R 221", "G"},
         {0, 0, 0, 0, 0, 13250, 13250}, 288250, 221, {msg::WriteFile, msg::ModbusPollRead}},
    };
}

class LinkExchangeRow : public ::testing::TestWithParam<Row> {};

TEST_P(LinkExchangeRow, StepsBytesAndTimes)
{
    const Row& row = GetParam();
    Bench b;
    if (row.setup)
        row.setup(b);
    b.line.clearTrace();
    const int64_t t0 = b.clock.nowUs();
    const ReadOutcome r = row.run(b);
    ASSERT_EQ(b.line.steps(), row.steps);
    std::vector<int64_t> at;
    for (const LineEvent& e : b.line.trace()) {
        at.push_back(e.atUs - t0);
        EXPECT_TRUE(e.ok) << e.step() << " at " << e.atUs;
    }
    EXPECT_EQ(at, row.atUs);
    EXPECT_EQ(b.clock.nowUs() - t0, row.endUs);
    EXPECT_EQ(r.received, row.received);
    EXPECT_TRUE(b.dialogs.events.empty());
}

TEST_P(LinkExchangeRow, FailedPortShowsEachMessageOnceAndRunsToItsEnd)
{
    const Row& row = GetParam();
    Bench b;
    b.line.failOpen("Порт COM1 не найден.");
    if (row.setup)
        row.setup(b);
    b.line.clearTrace();
    const ReadOutcome r = row.run(b);
    EXPECT_EQ(b.line.steps(), row.steps);
    std::vector<std::string> expected(row.failMessages.begin(), row.failMessages.end());
    EXPECT_EQ(b.dialogs.texts(), expected);
    for (const DialogEvent& e : b.dialogs.events)
        EXPECT_EQ(e.kind, DialogEvent::Message);
    // Waits return at once; every pause is still made.
    int64_t pauses = 0;
    for (const LineEvent& e : b.line.trace())
        if (e.kind == LineEvent::Pause)
            pauses += int64_t(e.value) * ms;
    EXPECT_EQ(b.clock.nowUs(), pauses);
    EXPECT_EQ(r.received, 0u);
    EXPECT_TRUE(b.line.hostBytes().empty());
}

INSTANTIATE_TEST_SUITE_P(Table, LinkExchangeRow, ::testing::ValuesIn(rows()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- beyond the table's rows --------------------------------------------------------

TEST(LinkExchanges, ConfigureAppliesTheSearchSettings)
{
    Bench b;
    configurePort(b.link);
    EXPECT_EQ(b.line.steps(), (std::vector<std::string>{"T 17/10/10/0/10", "T 17/10/10/0/10", "P12", "Q 16384/1024",
                                                         "L 9600 8E2"}));
    EXPECT_EQ(b.state.timeouts, (CommTimeouts{17, 10, 10, 0, 10}));
    EXPECT_EQ(b.line.lineSettings(), searchLineSettings());
    EXPECT_TRUE(b.line.lineSettings().parityCheck);
    EXPECT_FALSE(b.line.lineSettings().dtrOn || b.line.lineSettings().rtsOn);
    EXPECT_EQ(b.clock.nowUs(), 0);
}

TEST(LinkExchanges, TimeoutRecordKeepsWhatAnOperationDoesNotName)
{
    Bench b;
    configurePort(b.link);
    setTimeouts(b.link, timeouts::Modbus);
    EXPECT_EQ(b.state.timeouts, (CommTimeouts{17, 2, 10, 5, 10}));
    programArrayRead(b.link, A, b.prog_array);
    EXPECT_EQ(b.state.timeouts, (CommTimeouts{500, 2000, 10, 5, 10}));
    EXPECT_EQ(b.line.timeouts(), b.state.timeouts);
    newBusAddress(b.link, A, N, b.RxBuf);
    EXPECT_EQ(b.state.timeouts, (CommTimeouts{5, 10, 10, 5, 10}));
    programArrayWrite(b.link, A, b.new_array, 10);
    EXPECT_EQ(b.state.timeouts, (CommTimeouts{500, 200, 0, 10, 10}));
    // The state query sets none: it reads under what the write left.
    b.line.clearTrace();
    stateQueryNative(b.link, A, b.RxBuf);
    EXPECT_EQ(b.line.timeouts(), (CommTimeouts{500, 200, 0, 10, 10}));
    // A poll made during its cycle leaves the record alone.
    setTimeouts(b.link, timeouts::DiscoveryNative);
    b.line.clearTrace();
    nativeWorkingChannelPoll(b.link, A, b.RabBuf, false);
    modbusWorkingChannelPoll(b.link, kPage1Req, b.RabBuf, false);
    for (const auto& s : b.line.steps())
        EXPECT_NE(s[0], 'T') << s;
}

TEST(LinkExchanges, BytesDoneTakesCountsOutsideTheSearchOnly)
{
    Bench b;
    configurePort(b.link);
    b.state.BytesDone = 77;
    iniSearchStateQuery(b.link, A, b.RxBuf);
    addressCycleStateQuery(b.link, A, b.RxBuf);
    measuringModeCommand(b.link, A);
    addressQuery(b.link, A, b.RxBuf);
    setTimeouts(b.link, timeouts::Modbus);
    modbusSearchAtSettings(b.link, kStatusReq, b.RxBuf);
    modbusSearchPerAddress(b.link, kStatusReq, b.RxBuf);
    EXPECT_EQ(b.state.BytesDone, 77u);
    stateQueryNative(b.link, A, b.RxBuf);
    EXPECT_EQ(b.state.BytesDone, 1u);
    programArrayWrite(b.link, A, b.new_array, 321);
    EXPECT_EQ(b.state.BytesDone, 321u); // the write's own count
    nativeWorkingChannelPoll(b.link, A, b.RabBuf, true);
    EXPECT_EQ(b.state.BytesDone, 100u);
}

TEST(LinkExchanges, SilentConverterLeavesBuffersAndSaysSo)
{
    Bench b(false);
    configurePort(b.link);
    b.RxBuf.fill(0x81);
    b.line.clearTrace();
    const ReadOutcome r = stateQueryNative(b.link, A, b.RxBuf);
    EXPECT_EQ(r.received, 0u);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(b.RxBuf[0], 0x81); // stale, and the caller knows
    // 100 ms pauses around a 1-byte read that gives up after 20 ms.
    EXPECT_EQ(b.clock.nowUs(), 300 * ms);
    EXPECT_EQ(b.line.trace().back().endUs - b.line.trace().back().atUs, 0);
}

TEST(LinkExchanges, SilentProgramReadEndsFiveSecondsAfterItStarted)
{
    Bench b(false);
    configurePort(b.link);
    const ReadOutcome r = programArrayRead(b.link, A, b.prog_array);
    EXPECT_EQ(r.received, 0u);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(b.clock.nowUs(), 1700 * ms + int64_t(kProgramReadNoByteLimitMs) * ms);
}

TEST(LinkExchanges, ProgramReadEndsAtTheFirstLongGap)
{
    Bench b(false);
    configurePort(b.link);
    auto& rule = b.device.on({A, 0x1D}, iota(200));
    rule.tail = iota(100, 201);
    rule.tailDelayUs = 600 * ms; // longer than the 500 ms interval
    b.prog_array.fill(0xEE);
    const ReadOutcome r = programArrayRead(b.link, A, b.prog_array);
    EXPECT_EQ(r.received, 200u);
    EXPECT_EQ(b.prog_array[199], 200);
    EXPECT_EQ(b.prog_array[200], 0xEE);
}

TEST(LinkExchanges, SilentModbusPollWaitsTwoSecondsForItsFirstCharacter)
{
    Bench b(false);
    const ReadOutcome r = modbusWorkingChannelPoll(b.link, kPage1Req, b.RabBuf, true);
    EXPECT_EQ(r.received, 0u);
    // E gives up after 2 s; the read then takes 2 * 221 + 10 ms.
    EXPECT_EQ(b.clock.nowUs(), kModbusFirstCharLimitMs * ms + 452 * ms);
}

TEST(LinkExchanges, ModbusSearchAtSettingsFindsOnlyALateAnswer)
{
    Bench b(false);
    // The answer starts 2.5 s after the request: after the P8, before the read.
    b.device.on({kStatusReq.begin(), kStatusReq.end()}, {0x05, 0x03, 0x02, 0x00, 0x81, 0x00, 0x00}, 2500 * ms);
    setTimeouts(b.link, timeouts::Modbus);
    const ReadOutcome r = modbusSearchAtSettings(b.link, kStatusReq, b.RxBuf);
    EXPECT_EQ(r.received, 7u);
    EXPECT_EQ(b.RxBuf[4], 0x81);
}

TEST(LinkExchanges, NativePollNotCompleteAtItsCheckGoesOnFillingRabBuf)
{
    Bench b(false);
    b.device.on({A, 0x02}, iota(250), 1500 * ms); // long after the first pause
    const ReadOutcome r = nativeWorkingChannelPoll(b.link, A, b.RabBuf, true);
    EXPECT_FALSE(r.completed);
    // The first byte at 1503.75 ms, the check at 2002.5 ms.
    // All 250 bytes are in by 1815 ms; 500 ms of silence would end it at 2315 ms.
    EXPECT_EQ(r.received, 250u);
    EXPECT_EQ(b.state.BytesDone, r.received);
    b.clock.advanceUs(2000 * ms);
    uint32_t n = 0;
    EXPECT_TRUE(b.line.result(n, false));
    EXPECT_EQ(n, 250u);
    EXPECT_EQ(b.RabBuf[249], 250);
}

TEST(LinkExchanges, AddressCycleCountsAnAnswerTakenByThePreviousPendingRead)
{
    Bench b(false);
    b.device.on({0xC2, 0x01}, {0x81});
    configurePort(b.link);
    b.RxBuf.fill(0);
    const ReadOutcome first = addressCycleStateQuery(b.link, 0xC1, b.RxBuf); // nobody at 1
    EXPECT_EQ(first.received, 0u);
    // The read at 1 is still pending (20 ms) when the request to 2 goes out:
    // the answer from 2 lands in it, in the same RxBuf.
    const ReadOutcome second = addressCycleStateQuery(b.link, 0xC2, b.RxBuf);
    EXPECT_EQ(second.received, 1u);
    EXPECT_EQ(b.RxBuf[0], 0x81);
}

TEST(LinkExchanges, NewBusAddressChecksTheAnswerBeforeItsLastPause)
{
    Bench b;
    size_t stepsBefore = 0;
    int64_t at = -1;
    ReadOutcome seen;
    newBusAddress(b.link, A, N, b.RxBuf, [&](const ReadOutcome& r) {
        seen = r;
        at = b.clock.nowUs();
        stepsBefore = b.line.trace().size();
    });
    EXPECT_EQ(seen.received, 1u);
    EXPECT_EQ(b.RxBuf[0], N);
    EXPECT_EQ(at, 1511250);
    ASSERT_EQ(b.line.trace().size(), stepsBefore + 1);
    EXPECT_EQ(b.line.trace().back().step(), "S 6000");
}

TEST(LinkExchanges, ProgramWriteSendsTotalLengthWithinTheArray)
{
    struct Case {
        int total;
        size_t sent;
    };
    for (const Case c : {Case{1000, 1000}, Case{0, 0}, Case{-5, 0}, Case{20000, 10000}}) {
        Bench b(false);
        b.new_array[0] = 0x5A;
        programArrayWrite(b.link, A, b.new_array, c.total);
        EXPECT_EQ(b.line.trace()[6].bytes.size(), c.sent) << c.total;
        EXPECT_EQ(b.line.hostBytes().size(), 2 + c.sent) << c.total;
    }
}

TEST(LinkExchanges, ClockRecordFields)
{
    EXPECT_EQ(clockRecord({2009, 3, 31, 23, 58, 59}), (std::array<uint8_t, 7>{60, 58, 23, 31, 3, 0xD9, 0x07}));
    Bench b;
    b.clock.setLocalTime({2009, 1, 2, 10, 20, 59});
    clockSetting(b.link, A);
    EXPECT_EQ(b.line.trace()[9].bytes, (std::vector<uint8_t>{60, 20, 10, 2, 1, 0xD9, 0x07}));
}

} // namespace
} // namespace korlin

#include <gtest/gtest.h>

#include <set>

#include "BusProtocol.h"
#include "SimTestSupport.h"

using namespace korlin;
using namespace korlin::sim;
using namespace korlin::sim::test;

namespace {

std::vector<uint8_t> lines(std::initializer_list<const char*> ls)
{
    std::vector<uint8_t> out;
    for (const char* l : ls) {
        for (const char* p = l; *p; ++p)
            out.push_back(uint8_t(*p));
        out.push_back(0);
    }
    return out;
}

// A small program: МИП1 channels 1..3 (current, thermocouple, dry contact),
// МИП3 channel 84 = logical 300 (voltage).
std::vector<uint8_t> smallProgram()
{
    std::array<std::vector<uint8_t>, kSlots> slots;
    slots[0] = lines({"1 2", ""});
    slots[1] = lines({"1 1 17", "2 2 3", "3 3 25"});
    slots[3] = lines({"84 300 22"});
    slots[9] = {0};
    return assembleArray(slots);
}

// The host's program write: [A, 0x10], 150 ms, the array, then silence.
uint8_t load(Bench& b, int address, const std::vector<uint8_t>& array)
{
    b.write({A(address), bus::ProgramLoad});
    b.pauseMs(150);
    b.write(array);
    b.pauseMs(5000);
    return b.ask({A(address), bus::StateQuery}, 100).at(0);
}

} // namespace

// ------------------------------------------------------------ one-byte answers

TEST(SimModel, StateQueryAnswersTheStatusAfterTheTurnaround)
{
    Bench b(ConverterConfig::native(5).withStatus(130));
    const int64_t codeAt = b.write({0xC5, 0x01});
    b.pauseMs(100);
    ASSERT_EQ(b.tx.bytes.size(), 1u);
    EXPECT_EQ(b.tx.bytes[0].value, 130);
    EXPECT_EQ(b.tx.calls[0].startUs, codeAt + 3000);
    EXPECT_EQ(b.tx.bytes[0].endUs, codeAt + 3000 + kByteTimeUs);
}

TEST(SimModel, ModesAndAddressQuery)
{
    struct Row { uint8_t start; uint8_t command; uint8_t status; };
    const Row rows[] = {
        {129, bus::WaitingMode, 138},   {138, bus::MeasuringMode, 129}, {130, bus::MeasuringMode, 129},
        {133, bus::MeasuringMode, 129}, {137, bus::MeasuringMode, 137}, {137, bus::WaitingMode, 137},
    };
    for (const auto& r : rows) {
        Bench b(ConverterConfig::native(7).withStatus(r.start));
        EXPECT_TRUE(b.ask({A(7), r.command}).empty()) << "mode commands have no answer";
        EXPECT_EQ(b.ask({A(7), bus::StateQuery}), std::vector<uint8_t>{r.status})
            << int(r.start) << " then " << int(r.command);
    }
    Bench b(ConverterConfig::native(32));
    EXPECT_EQ(b.ask({0xE0, bus::AddressQuery}), std::vector<uint8_t>{0xE0});
    Bench one(ConverterConfig::native(1));
    EXPECT_EQ(one.ask({0xC1, bus::AddressQuery}), std::vector<uint8_t>{0xC1});
}

TEST(SimModel, OneLineSetups)
{
    auto m = makeConverter({.address = 5, .protocol = Protocol::Modbus, .status = 138});
    EXPECT_EQ(m.address(), 5);
    EXPECT_EQ(m.status(), 138);
    EXPECT_EQ(m.config().protocol, Protocol::Modbus);
    const auto c = ConverterConfig::native(7).waiting().channel(3, 99).state(3, 4).word(4, 0x8000);
    EXPECT_EQ(c.address, 7);
    EXPECT_EQ(c.status, 138);
    EXPECT_EQ(c.channels.at(3).value, 99);
    EXPECT_EQ(c.channels.at(3).state, 4);
    EXPECT_EQ(c.channels.at(4).word, 0x8000);
}

TEST(SimModel, OtherUnitsAndUnknownCodesGetNoAnswer)
{
    for (uint8_t code : {0x01, 0x02, 0x1C, 0x1D, 0x21, 0x05, 0x00, 0x7F}) {
        Bench b(ConverterConfig::native(5));
        EXPECT_TRUE(b.ask({A(6), code}).empty()) << "code " << int(code);
        EXPECT_TRUE(b.ask({A(4), code}).empty()) << "code " << int(code);
    }
    Bench b(ConverterConfig::native(5));
    for (uint8_t code : {0x00, 0x03, 0x11, 0x25, 0x7F})
        EXPECT_TRUE(b.ask({A(5), code}).empty()) << "code " << int(code);
    // Modes sent to another unit leave this one alone.
    b.ask({A(6), bus::WaitingMode});
    EXPECT_EQ(b.ask({A(5), bus::StateQuery}), std::vector<uint8_t>{129});
}

TEST(SimModel, CommandsOnlyStartABurst)
{
    Bench b(ConverterConfig::native(5));
    // A MODBUS request for slave 5 whose bytes contain our address byte and a
    // command code: not a command, because its burst started elsewhere.
    EXPECT_TRUE(b.ask({0x05, 0x03, 0xC5, 0x01, 0x00, 0x01, 0x12, 0x34}).empty());
    // An address byte alone, then the code after a silence: no frame either.
    b.write({A(5)});
    b.pauseMs(50);
    EXPECT_TRUE(b.ask({bus::StateQuery}).empty());
    // A repeated address byte within the burst restarts the frame.
    EXPECT_EQ(b.ask({A(6), A(5), bus::StateQuery}), std::vector<uint8_t>{129});
}

// -------------------------------------------------------------- address, clock

TEST(SimModel, AddressChangeSequence)
{
    Bench b(ConverterConfig::native(5));
    b.ask({A(5), bus::WaitingMode}, 300);
    b.ask({A(5), bus::NewAddress}, 300);
    b.ask({A(9)}, 300); // the new address byte alone, after a pause
    EXPECT_EQ(b.model.address(), 9);
    b.ask({A(9), bus::MeasuringMode}, 300);
    EXPECT_EQ(b.ask({A(9), bus::AddressQuery}, 300), std::vector<uint8_t>{A(9)});
    EXPECT_TRUE(b.ask({A(5), bus::AddressQuery}).empty());
    EXPECT_EQ(b.ask({A(9), bus::StateQuery}), std::vector<uint8_t>{129});
}

TEST(SimModel, AddressChangeIgnoresANonAddressByteAndTimesOut)
{
    Bench b(ConverterConfig::native(5));
    b.ask({A(5), bus::NewAddress}, 10);
    b.ask({0x21}, 10); // not an address byte: consumed, address kept
    EXPECT_EQ(b.model.address(), 5);
    // Without its data byte the command lapses; later bytes are commands again.
    b.ask({A(5), bus::NewAddress}, 3000);
    EXPECT_EQ(b.ask({A(5), bus::StateQuery}), std::vector<uint8_t>{129});
    EXPECT_EQ(b.model.address(), 5);
}

TEST(SimModel, ClockRecordSetsTheClockOfTheWorkingAnswer)
{
    Bench b(ConverterConfig::native(5));
    // 2025-12-31 23:59:59 on the PC: seconds + 1 = 60.
    b.ask({A(5), bus::Clock}, 300);
    const int64_t setAt = b.write({60, 59, 23, 31, 12, 0xE9, 0x07});
    EXPECT_EQ(b.model.clockAt(setAt), (DateTime{2026, 1, 1, 0, 0, 0}));
    b.runUntil(setAt + 4000000);
    const auto ans = b.ask({A(5), bus::WorkingChannels}, 2000);
    ASSERT_GE(ans.size(), 10u);
    // day, month, minutes, hours, unused, seconds, unused x4
    EXPECT_EQ(std::vector<uint8_t>(ans.begin(), ans.begin() + 10),
              (std::vector<uint8_t>{1, 1, 0, 0, 0, 4, 0, 0, 0, 0}));

    // A record it cannot take leaves the clock running as it was.
    b.ask({A(5), bus::Clock}, 300);
    const int64_t badAt = b.write({10, 0, 12, 30, 2, 0xEA, 0x07}); // 30 February
    EXPECT_EQ(b.model.clockAt(badAt).year, 2026);
    EXPECT_EQ(b.model.clockAt(badAt).month, 1);
}

TEST(SimModel, ClockRecordForAnotherUnitIsSkippedWhole)
{
    Bench b(ConverterConfig::native(5).withClock({2030, 6, 1, 12, 0, 0}));
    b.ask({A(6), bus::Clock}, 300);
    // The record's bytes include our address byte and a command code.
    EXPECT_TRUE(b.ask({A(5), bus::StateQuery, 0, 0, 1, 1, 0x07}).empty());
    EXPECT_EQ(b.model.clockAt(b.now).year, 2030);
}

// ------------------------------------------------------------ working channels

TEST(SimModel, WorkingAnswerByteForByte)
{
    auto cfg = ConverterConfig::native(5).withProgram(smallProgram()).withClock({2026, 7, 3, 14, 5, 9});
    cfg.channel(2, 235).state(2, 1).word(3, 0x8003).state(300, 15);
    Bench b(cfg);
    b.now = 0;
    const auto ans = b.ask({A(5), bus::WorkingChannels}, 2000);
    ASSERT_EQ(ans.size(), 10 + 4 * 222u);
    EXPECT_EQ(std::vector<uint8_t>(ans.begin(), ans.begin() + 10),
              (std::vector<uint8_t>{3, 7, 5, 14, 0, 9, 0, 0, 0, 0}));
    auto rec = [&](size_t k) { return std::vector<uint8_t>(ans.begin() + 10 + 4 * k, ans.begin() + 14 + 4 * k); };
    // channel 1: current, state 0, value from the wave
    EXPECT_EQ(rec(0)[0], 1);
    EXPECT_EQ(rec(0)[1], 0);
    EXPECT_EQ(rec(1), (std::vector<uint8_t>{2, 1 << 2, 235, 0}));
    EXPECT_EQ(rec(2), (std::vector<uint8_t>{3, 0, 0x03, 0x80}));
    // channel 300: number in 10 bits, state code 15 in bits 2-5
    EXPECT_EQ(rec(3)[0], 300 & 0xFF);
    EXPECT_EQ(rec(3)[1], (300 >> 8) | (15 << 2));
    for (size_t k = 4; k < 222; ++k)
        EXPECT_EQ(rec(k), std::vector<uint8_t>(4, 0)) << "record " << k;
}

TEST(SimModel, DefaultProgramGivesARecordForEveryChannel)
{
    Bench b(ConverterConfig::native(1));
    const auto ans = b.ask({A(1), bus::WorkingChannels}, 2000);
    ASSERT_LE(ans.size(), 900u);
    for (int n = 1; n <= 216; ++n) {
        const size_t at = 10 + 4 * size_t(n - 1);
        EXPECT_EQ(ans[at] | ((ans[at + 1] & 3) << 8), n);
        EXPECT_EQ(int16_t(u16le(ans, at + 2)), b.model.channelValue(n, b.now - 2000000 + 0));
    }
    for (size_t at = 10 + 4 * 216; at < ans.size(); ++at)
        EXPECT_EQ(ans[at], 0);
}

TEST(SimModel, ValuesMoveWithinTheirClassRange)
{
    ConverterModel m(ConverterConfig::native(1));
    struct Row { int channel; int lo, hi; }; // raw units of the class
    const Row rows[] = {
        {1, 6000, 18000},   // current, 0.001 mA
        {25, 125, 675},     // temperature, 0.1 C
        {61, 2500, 7500},   // voltage, 0.001 V
        {73, 1500, 3500},   // millivolts, 0.01 mV
        {85, 0, 1},         // dry contact
    };
    for (const auto& r : rows) {
        const int type = defaultSensorType(r.channel);
        std::set<int> seen;
        for (int64_t s = 0; s < 600; s += 5) {
            const int v = m.channelValue(r.channel, s * 1000000);
            EXPECT_GE(v, r.lo) << "channel " << r.channel << " type " << type;
            EXPECT_LE(v, r.hi) << "channel " << r.channel << " type " << type;
            seen.insert(v);
        }
        EXPECT_GT(seen.size(), 1u) << "channel " << r.channel << " should move";
    }
    EXPECT_EQ(m.channelValue(105, 7000000), 0); // no sensor
    EXPECT_EQ(m.channelValue(500, 7000000), 0); // not in the program
}

// --------------------------------------------------------------- service block

TEST(SimModel, ServiceAnswerLayoutAndFlags)
{
    auto cfg = ConverterConfig::native(5);
    cfg.serviceFlag(3);
    cfg.service[41].value = 0xFFFF;
    Bench b(cfg);
    const auto ans = b.ask({A(5), bus::ServiceChannels}, 15000);
    ASSERT_EQ(ans.size(), 9482u);
    for (size_t k = 0; k < 296; ++k) {
        const uint8_t* r = ans.data() + 10 + 32 * k;
        const int q = r[1] & 0x7F, l = r[0] & 0x0F;
        EXPECT_EQ(bool(r[1] & 0x80), k == 3) << "record " << k;
        if (k < 80) {
            EXPECT_EQ(q, int(k) + 1);
        } else {
            EXPECT_GE(q, 81);
            EXPECT_LE(q, 98);
            EXPECT_EQ(q + 18 * l + 90, int(k) + 91) << "parameter numbers 171..386 in order";
        }
        for (int i = 4; i < 32; ++i)
            EXPECT_EQ(r[i], 0);
    }
    EXPECT_EQ(u16le(ans, 10 + 32 * 41 + 2), 0xFFFF);
}

// ----------------------------------------------------------------- program read

TEST(SimModel, ProgramReadSendsTheArrayByItsTotalLength)
{
    Bench b(ConverterConfig::native(5));
    EXPECT_EQ(b.ask({A(5), bus::ProgramRead}), defaultProgram());

    // Bytes past the head's total length are not sent; a total that does
    // not fit the array sends the array whole.
    auto p = smallProgram();
    const size_t total = p.size();
    p.insert(p.end(), {1, 2, 3});
    Bench b2(ConverterConfig::native(5).withProgram(p));
    EXPECT_EQ(b2.ask({A(5), bus::ProgramRead}).size(), total);
    writeU16(p, 0, 60000);
    Bench b3(ConverterConfig::native(5).withProgram(p));
    EXPECT_EQ(b3.ask({A(5), bus::ProgramRead}), p);
}

// ------------------------------------------------------------------ load verdicts

TEST(SimModel, LoadVerdicts)
{
    const auto good = smallProgram();
    auto wrongTotal = good;
    writeU16(wrongTotal, 0, uint16_t(good.size() + 1));
    auto wrongSum = good;
    wrongSum[2] ^= 1;
    auto beyond = good; // head length past the data, total length right
    writeU16(beyond, slotLengthOffset(14), 40);
    auto cut = good;
    cut.resize(good.size() - 10);

    struct Row { const char* name; std::vector<uint8_t> array; size_t disk, ram; uint8_t verdict; };
    const Row rows[] = {
        {"good", good, 10000, 8000, 129},
        {"total length differs", wrongTotal, 10000, 8000, 132},
        {"fewer bytes than the total", cut, 10000, 8000, 132},
        {"nothing but the head's first byte", {0x05}, 10000, 8000, 132},
        {"checksum", wrongSum, 10000, 8000, 133},
        {"head lengths past the data", beyond, 10000, 8000, 133},
        {"longer than the disk zone", good, good.size() - 1, 8000, 135},
        {"longer than the RAM zone", good, 10000, good.size() - 1, 136},
        {"fits both zones exactly", good, good.size(), good.size(), 129},
    };
    for (const auto& r : rows) {
        auto cfg = ConverterConfig::native(5);
        cfg.diskZone = r.disk;
        cfg.ramZone = r.ram;
        Bench b(cfg);
        EXPECT_EQ(load(b, 5, r.array), r.verdict) << r.name;
        ASSERT_TRUE(b.model.lastLoad()) << r.name;
        EXPECT_EQ(b.model.lastLoad()->received, r.array.size()) << r.name;
        // Only an accepted array replaces the program.
        EXPECT_EQ(b.model.program(), r.verdict == 129 ? r.array : defaultProgram()) << r.name;
    }
}

TEST(SimModel, AcceptedProgramIsReadBackAndDrivesTheRecords)
{
    Bench b(ConverterConfig::native(5));
    ASSERT_EQ(load(b, 5, smallProgram()), 129);
    EXPECT_EQ(b.ask({A(5), bus::ProgramRead}), smallProgram());
    const auto ans = b.ask({A(5), bus::WorkingChannels}, 2000);
    EXPECT_EQ(ans[10], 1);
    EXPECT_EQ(ans[14], 2);
    EXPECT_EQ(ans[18], 3);
    EXPECT_EQ(ans[22], 300 & 0xFF);
    EXPECT_EQ(ans[26], 0);
    EXPECT_LE(b.model.channelValue(3, b.now), 1); // dry contact
}

TEST(SimModel, ArrayEndsAtASilenceAndItsBytesAreNotCommands)
{
    Bench b(ConverterConfig::native(5));
    b.write({A(5), bus::ProgramLoad});
    b.pauseMs(150);
    // The array holds our state query's bytes: they are data, nothing answers.
    auto arr = smallProgram();
    const size_t before = b.tx.bytes.size();
    b.write(std::vector<uint8_t>(arr.begin(), arr.begin() + 100));
    b.write({A(5), bus::StateQuery}, b.now + 20000); // 20 ms gap: still the array
    b.pauseMs(5000);
    EXPECT_EQ(b.tx.bytes.size(), before);
    ASSERT_TRUE(b.model.lastLoad());
    EXPECT_EQ(b.model.lastLoad()->received, 102u);
    EXPECT_EQ(b.model.lastLoad()->verdict, 132);
}

TEST(SimModel, LoadWithoutAnArrayAndLoadForAnotherUnit)
{
    Bench b(ConverterConfig::native(5));
    b.ask({A(5), bus::ProgramLoad}, 5000); // nothing follows
    EXPECT_EQ(b.ask({A(5), bus::StateQuery}), std::vector<uint8_t>{132});

    Bench other(ConverterConfig::native(5));
    auto arr = smallProgram();
    other.write({A(6), bus::ProgramLoad});
    other.pauseMs(150);
    other.write(arr);
    other.pauseMs(5000);
    EXPECT_FALSE(other.model.lastLoad());
    EXPECT_EQ(other.ask({A(5), bus::StateQuery}), std::vector<uint8_t>{129});
}

// ------------------------------------------------------------------------ faults

TEST(SimModelFaults, SilenceForAllOrSomeCommands)
{
    Bench b(ConverterConfig::native(5).silent());
    EXPECT_TRUE(b.ask({A(5), bus::StateQuery}).empty());
    EXPECT_TRUE(b.ask({A(5), bus::ProgramRead}).empty());
    // Silent or not, it still obeys.
    b.ask({A(5), bus::WaitingMode});
    EXPECT_EQ(b.model.status(), 138);

    auto cfg = ConverterConfig::native(5).silent();
    cfg.faults.commands = {bus::WorkingChannels};
    Bench some(cfg);
    EXPECT_TRUE(some.ask({A(5), bus::WorkingChannels}).empty());
    EXPECT_EQ(some.ask({A(5), bus::StateQuery}), std::vector<uint8_t>{129});
}

TEST(SimModelFaults, TruncateAndXor)
{
    auto cfg = ConverterConfig::native(5);
    cfg.faults.truncate = 100;
    cfg.faults.xorAt = {{0, 0xFF}, {99, 0x01}, {5000, 0x01}};
    Bench b(cfg);
    const auto clean = defaultProgram();
    const auto ans = b.ask({A(5), bus::ProgramRead});
    ASSERT_EQ(ans.size(), 100u);
    EXPECT_EQ(ans[0], clean[0] ^ 0xFF);
    EXPECT_EQ(ans[99], clean[99] ^ 0x01);
    EXPECT_TRUE(std::equal(ans.begin() + 1, ans.begin() + 99, clean.begin() + 1));
    // Truncated to nothing is silence.
    b.model.config().faults.truncate = 0;
    EXPECT_TRUE(b.ask({A(5), bus::StateQuery}).empty());
}

TEST(SimModelFaults, RandomGarbleIsReproducible)
{
    auto cfg = ConverterConfig::native(5);
    cfg.faults.randomSeed = 42;
    cfg.faults.randomCount = 3;
    Bench b1(cfg), b2(cfg);
    const auto a1 = b1.ask({A(5), bus::ProgramRead});
    const auto a2 = b2.ask({A(5), bus::ProgramRead});
    const auto clean = defaultProgram();
    EXPECT_EQ(a1, a2);
    ASSERT_EQ(a1.size(), clean.size());
    size_t differ = 0;
    for (size_t i = 0; i < a1.size(); ++i)
        differ += a1[i] != clean[i];
    EXPECT_GE(differ, 1u);
    EXPECT_LE(differ, 3u);
}

TEST(SimModelFaults, ForeignAndRepeatedRecords)
{
    auto cfg = ConverterConfig::native(5).withProgram(smallProgram());
    cfg.faults.insertRecord = {{0, 700}, {2, 1}}; // foreign 700 first, channel 1 again before record 2
    cfg.faults.renumberRecord = {{3, 2}};         // channel 300's record numbered 2
    Bench b(cfg);
    const auto ans = b.ask({A(5), bus::WorkingChannels}, 2000);
    auto number = [&](size_t k) { return ans[10 + 4 * k] | ((ans[11 + 4 * k] & 3) << 8); };
    const std::vector<int> expected = {700, 1, 2, 1, 3, 2, 0};
    for (size_t k = 0; k < expected.size(); ++k)
        EXPECT_EQ(number(k), expected[k]) << "record " << k;
    EXPECT_EQ(ans.size(), 898u);
}

TEST(SimModelFaults, ProgramArrayChecksumAndHeadLengths)
{
    auto cfg = ConverterConfig::native(5);
    cfg.faults.badChecksum = true;
    Bench b(cfg);
    auto ans = b.ask({A(5), bus::ProgramRead});
    ASSERT_TRUE(arrayChecksum(ans));
    EXPECT_NE(*arrayChecksum(ans), u16le(ans, 2));

    auto cfg2 = ConverterConfig::native(5);
    cfg2.faults.headBeyond = 500;
    Bench b2(cfg2);
    ans = b2.ask({A(5), bus::ProgramRead});
    EXPECT_EQ(ans.size(), defaultProgram().size());
    EXPECT_EQ(u16le(ans, slotLengthOffset(14)), 500);
    EXPECT_FALSE(arrayChecksum(ans)) << "lengths now reach past the data";
}

TEST(SimModelFaults, StuckStatus)
{
    auto cfg = ConverterConfig::native(5);
    cfg.faults.stuckStatus = 133;
    Bench b(cfg);
    EXPECT_EQ(b.ask({A(5), bus::StateQuery}), std::vector<uint8_t>{133});
    b.ask({A(5), bus::MeasuringMode});
    EXPECT_EQ(load(b, 5, smallProgram()), 133);
    EXPECT_EQ(b.model.lastLoad()->verdict, 129) << "the load itself went through";
}

TEST(SimModelFaults, SlowByteGaps)
{
    auto cfg = ConverterConfig::native(5);
    cfg.faults.gapUs = 600000;
    Bench b(cfg);
    EXPECT_EQ(b.ask({A(5), bus::WorkingChannels}, 10).size(), 898u);
    ASSERT_EQ(b.tx.calls.size(), 1u);
    EXPECT_EQ(b.tx.calls[0].gapUs, 600000);
    for (size_t i = 1; i < 4; ++i)
        EXPECT_EQ(b.tx.bytes[i].endUs - b.tx.bytes[i - 1].endUs, kByteTimeUs + 600000);
}

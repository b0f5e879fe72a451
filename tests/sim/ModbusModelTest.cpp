#include <gtest/gtest.h>

#include "BusProtocol.h"
#include "Funci.h"
#include "SimTestSupport.h"

using namespace korlin;
using namespace korlin::sim;
using namespace korlin::sim::test;

namespace {

std::vector<uint8_t> request(uint8_t slave, uint16_t first, uint16_t count)
{
    const auto r = bus::modbus::readRequest(slave, first, count);
    return {r.begin(), r.end()};
}

bool crcOk(const std::vector<uint8_t>& f)
{
    if (f.size() < 4)
        return false;
    const uint16_t v = CRC16(f.data(), int16_t(f.size() - 2));
    return f[f.size() - 2] == (v >> 8) && f.back() == (v & 0xFF);
}

} // namespace

TEST(SimModbus, StatusRegisterByteForByte)
{
    Bench b(ConverterConfig::modbus(1).withStatus(138));
    const int64_t lastAt = b.write(request(1, 4002, 1));
    b.pauseMs(100);
    // 01 03 02 00 8A, CRC low byte first
    std::vector<uint8_t> expected{0x01, 0x03, 0x02, 0x00, 0x8A};
    const uint16_t crc = standardCrc16(expected.data(), 5);
    expected.push_back(uint8_t(crc & 0xFF));
    expected.push_back(uint8_t(crc >> 8));
    EXPECT_EQ(b.sentFrom(0), expected);
    // The request ends with 3.5 byte times of silence; the answer follows.
    ASSERT_EQ(b.tx.calls.size(), 1u);
    EXPECT_EQ(b.tx.calls[0].startUs, lastAt + kByteTimeUs + 4375 + 3000);
}

TEST(SimModbus, ChannelRegistersBigEndian)
{
    auto cfg = ConverterConfig::modbus(5);
    cfg.channel(5, 235).channel(12, -3).word(13, 0x8003).word(14, 0x8001).channel(109, 1000);
    Bench b(cfg);
    for (uint16_t first : {uint16_t(1), uint16_t(109)}) {
        const size_t from = b.tx.bytes.size();
        b.write(request(5, first, 108));
        b.pauseMs(400);
        const auto ans = b.sentFrom(from);
        ASSERT_EQ(ans.size(), 221u) << first;
        EXPECT_EQ(ans[0], 5);
        EXPECT_EQ(ans[1], 3);
        EXPECT_EQ(ans[2], 216);
        EXPECT_TRUE(crcOk(ans));
        const int64_t at = b.tx.calls.back().startUs - 3000; // the frame's end
        for (int i = 0; i < 108; ++i) {
            const int n = first + i;
            EXPECT_EQ(uint16_t((ans[3 + 2 * i] << 8) | ans[4 + 2 * i]), b.model.modbusRegister(n, at)) << n;
        }
        if (first == 1) {
            EXPECT_EQ(ans[3 + 2 * 4], 0x00);
            EXPECT_EQ(ans[4 + 2 * 4], 0xEB);             // 235
            EXPECT_EQ((ans[3 + 22] << 8) | ans[4 + 22], 0xFFFD); // -3
            EXPECT_EQ((ans[3 + 24] << 8) | ans[4 + 24], 5);      // below the lower limit
            EXPECT_EQ((ans[3 + 26] << 8) | ans[4 + 26], 0x8001); // sensor fault
        } else {
            EXPECT_EQ((ans[3] << 8) | ans[4], 1000);
        }
    }
}

TEST(SimModbus, NoAnswerForBadCrcOtherSlavesOrNativeFrames)
{
    Bench b(ConverterConfig::modbus(5));
    auto bad = request(5, 4002, 1);
    bad[7] ^= 0x01;
    const std::vector<std::vector<uint8_t>> silent = {
        bad,
        request(6, 4002, 1),
        request(0, 4002, 1),          // broadcast
        {A(5), bus::StateQuery},      // native
        {A(5), bus::ProgramRead},
        {0x05, 0x03, 0x0F},           // too short
    };
    for (const auto& f : silent) {
        EXPECT_TRUE(b.ask(f, 500).empty());
    }
    // And it still answers after all that.
    EXPECT_EQ(b.ask(request(5, 4002, 1), 500).size(), 7u);
}

TEST(SimModbus, NativeModelIgnoresModbus)
{
    Bench b(ConverterConfig::native(5));
    for (uint8_t slave = 1; slave <= 32; ++slave)
        EXPECT_TRUE(b.ask(request(slave, 4002, 1), 200).empty()) << int(slave);
}

TEST(SimModbus, ExceptionsForOtherFunctionsAndAddresses)
{
    struct Row { std::vector<uint8_t> req; uint8_t function, code; };
    auto withCrc = [](std::vector<uint8_t> f) {
        const uint16_t v = CRC16(f.data(), int16_t(f.size()));
        f.push_back(uint8_t(v >> 8));
        f.push_back(uint8_t(v & 0xFF));
        return f;
    };
    const Row rows[] = {
        {withCrc({5, 0x04, 0, 1, 0, 1}), 0x84, 1},
        {request(5, 0, 1), 0x83, 2},
        {request(5, 200, 20), 0x83, 2},
        {request(5, 4002, 2), 0x83, 2},
        {request(5, 1, 0), 0x83, 3},
        {request(5, 1, 126), 0x83, 3},
    };
    for (const auto& r : rows) {
        Bench b(ConverterConfig::modbus(5));
        const auto ans = b.ask(r.req, 200);
        ASSERT_EQ(ans.size(), 5u);
        EXPECT_EQ(ans[0], 5);
        EXPECT_EQ(ans[1], r.function);
        EXPECT_EQ(ans[2], r.code);
        EXPECT_TRUE(crcOk(ans));
    }
}

TEST(SimModbus, FaultsDelayStuckStatusAndGarble)
{
    auto cfg = ConverterConfig::modbus(5);
    cfg.faults.modbusDelayUs = 250000;
    cfg.faults.stuckStatus = 133;
    Bench b(cfg);
    const int64_t lastAt = b.write(request(5, 4002, 1));
    b.pauseMs(500);
    const auto ans = b.sentFrom(0);
    ASSERT_EQ(ans.size(), 7u);
    EXPECT_EQ(ans[4], 133);
    EXPECT_EQ(b.tx.calls[0].startUs, lastAt + kByteTimeUs + 4375 + 3000 + 250000);

    // Garbled on the line: the CRC no longer fits.
    b.model.config().faults.xorAt = {{4, 0x01}};
    const auto garbled = b.ask(request(5, 4002, 1), 500);
    EXPECT_EQ(garbled[4], 132);
    EXPECT_FALSE(crcOk(garbled));

    // Faults limited to native commands leave MODBUS alone.
    b.model.config().faults.commands = {bus::StateQuery};
    b.model.config().faults.silent = true;
    EXPECT_EQ(b.ask(request(5, 4002, 1), 500).size(), 7u);
    b.model.config().faults.commands = {0x03};
    EXPECT_TRUE(b.ask(request(5, 4002, 1), 500).empty());
}

#include "BusProtocol.h"
#include "Funci.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace korlin {
namespace {

std::vector<uint8_t> bytesOf(const std::array<uint8_t, 8>& a) { return {a.begin(), a.end()}; }

TEST(LinkCrc, CheckTextGivesSwappedStandardValue)
{
    const char* text = "123456789";
    const auto* p = reinterpret_cast<const uint8_t*>(text);
    EXPECT_EQ(CRC16(p, 9), 0x374B);
    EXPECT_EQ(standardCrc16(p, 9), 0x4B37);
}

TEST(LinkCrc, EmptyOrNegativeCountHashesNothing)
{
    const uint8_t b = 0x55;
    EXPECT_EQ(CRC16(&b, 0), 0xFFFF);
    EXPECT_EQ(CRC16(&b, -3), 0xFFFF);
}

struct RequestCase {
    uint8_t slave;
    uint16_t first, count;
    std::vector<uint8_t> wire;
};

TEST(LinkModbus, ReadRequestsOnTheWire)
{
    const RequestCase cases[] = {
        {1, bus::modbus::kStatusRegister, 1, {0x01, 0x03, 0x0F, 0xA2, 0x00, 0x01, 0x26, 0xFC}},
        {1, bus::modbus::kChannelsPage1, bus::modbus::kChannelsPerPage, {0x01, 0x03, 0x00, 0x01, 0x00, 0x6C, 0x14, 0x27}},
        {1, bus::modbus::kChannelsPage2, bus::modbus::kChannelsPerPage, {0x01, 0x03, 0x00, 0x6D, 0x00, 0x6C, 0xD4, 0x3A}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bytesOf(bus::modbus::readRequest(c.slave, c.first, c.count)), c.wire) << "register " << c.first;
}

TEST(LinkModbus, RequestCrcChecksOutForEveryAddress)
{
    // A receiver runs the standard CRC over the whole frame: 0 when intact.
    for (int a = bus::kMinAddress; a <= bus::kMaxAddress; ++a) {
        const auto r = bus::modbus::readRequest(uint8_t(a), bus::modbus::kStatusRegister, 1);
        EXPECT_EQ(standardCrc16(r.data(), 8), 0) << a;
        EXPECT_EQ(r[0], a);
    }
}

TEST(LinkBus, AddressBytes)
{
    EXPECT_EQ(bus::addressByte(1), 0xC1);
    EXPECT_EQ(bus::addressByte(32), 0xE0);
    EXPECT_EQ(bus::frame(bus::addressByte(5), bus::StateQuery), (std::array<uint8_t, 2>{0xC5, 0x01}));
}

TEST(LinkBus, StatusSet)
{
    for (int s = 0; s < 256; ++s) {
        const bool expected = s == 129 || s == 130 || s == 132 || s == 133 || s == 135 || s == 136 || s == 137 || s == 138;
        EXPECT_EQ(bus::isStatus(s), expected) << s;
        // Every value outside the set shows the invalid-answer text; none inside does.
        EXPECT_EQ(bus::stateLabelText(s) == bus::kStateLabelInvalid, !expected) << s;
    }
    EXPECT_FALSE(bus::isStatus(131));
    EXPECT_FALSE(bus::isStatus(134));
}

TEST(LinkBus, WarningBoxesOnlyForProblemStates)
{
    for (int s : {130, 132, 133, 135, 136, 137})
        EXPECT_TRUE(bus::warningBox(s).has_value()) << s;
    for (int s : {129, 138, 131, 134, 0})
        EXPECT_FALSE(bus::warningBox(s).has_value()) << s;
    EXPECT_EQ(bus::warningBox(136)->caption, "Длинна массива больше зоны ОЗУ МИП!ответ 136)");
    EXPECT_EQ(bus::warningBox(132)->text, "МИП ожидает повторения ввода программы измерений! ");
}

} // namespace
} // namespace korlin

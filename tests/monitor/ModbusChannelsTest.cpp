#include "ModbusChannels.h"

#include <gtest/gtest.h>

namespace korlin {
namespace {

const WindowColour kWhite = WindowColour::of(colour::White);

TEST(MonitorModbusView, RegisterValues)
{
    struct Case {
        uint8_t hi, lo;
        ModbusChannelView view;
    };
    const Case cases[] = {
        {0x00, 0x02, {"5  НМИП", WindowColour::of(colour::Fuchsia), std::nullopt}},
        {0x80, 0x01, {"5  НДАТ", WindowColour::of(colour::Yellow), std::nullopt}},
        {0x00, 0x04, {"5  ПерегАЦП", WindowColour::of(colour::Lime), std::nullopt}},
        {0x00, 0x05, {"5  За ниж.гр.", WindowColour::of(colour::Silver), std::nullopt}},
        {0x00, 0x06, {"5  За верх.гр.", WindowColour::of({166, 202, 240}), std::nullopt}},
        {0x00, 0xEB, {"5   235", kWhite, WindowColour::Standard()}},
        {0x00, 0x03, {"5   3", kWhite, WindowColour::Standard()}},
        {0x00, 0x00, {"5   0", kWhite, WindowColour::Standard()}},
        {0x80, 0x00, {"5   -32768", kWhite, WindowColour::Standard()}},
        {0x80, 0x02, {"5   -32766", kWhite, WindowColour::Standard()}}, // not a native status word here
        {0xFF, 0xFE, {"5   -2", kWhite, WindowColour::Standard()}},
        {0x7F, 0xFF, {"5   32767", kWhite, WindowColour::Standard()}},
        {0x01, 0x00, {"5   256", kWhite, WindowColour::Standard()}},     // high byte first
    };
    for (const Case& c : cases) {
        std::array<uint8_t, 221> a{};
        a[3 + 2 * 4] = c.hi;
        a[4 + 2 * 4] = c.lo;
        const auto r = decodeModbusChannels(a, 1, 108);
        EXPECT_EQ(r.window(5), c.view) << int(c.hi) << ' ' << int(c.lo);
    }
}

TEST(MonitorModbusView, WholePageInOrderHeaderAndCrcIgnored)
{
    std::array<uint8_t, 221> a{};
    a.fill(0xEE); // header, byte count and CRC are never looked at
    for (int i = 0; i < 108; ++i) {
        const int w = 1000 + i;
        a[size_t(3 + 2 * i)] = uint8_t(w >> 8);
        a[size_t(4 + 2 * i)] = uint8_t(w & 0xFF);
    }
    for (int first : {1, 109}) {
        const auto r = decodeModbusChannels(a, first, first + 107);
        for (int i = 0; i < 108; ++i)
            EXPECT_EQ(r.windows[size_t(i)].text, std::to_string(first + i) + "   " + std::to_string(1000 + i));
    }
}

TEST(MonitorModbusView, OnlyTheTwoPagesAreAccepted)
{
    std::array<uint8_t, 221> a{};
    EXPECT_THROW(decodeModbusChannels(a, 2, 109), std::invalid_argument);
    EXPECT_THROW(decodeModbusChannels(a, 109, 217), std::invalid_argument);
}

} // namespace
} // namespace korlin

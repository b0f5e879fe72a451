// The device search and the address query against the simulated converter.
#include "DeviceState.h"
#include "Discovery.h"
#include "SimLine.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace korlin {
namespace {

struct Bench {
    explicit Bench(sim::ConverterConfig cfg) : s(std::move(cfg)) {}
    sim::SimLine s;
    ScriptedDialogs dialogs;
    PortState state;
    MemoryDebugLog log;
    RxBuffer RxBuf{};
    DiscoveryFields f;
    Link link() { return Link{s.line(), s.line().clock(), dialogs, state}; }

    SearchOutcome search(int settingsAddress)
    {
        f.MagAdr = settingsAddress;
        Link l = link();
        return SearshMipCom(l, log, RxBuf, f, [this] { ++splashSteps; });
    }
    AddressOutcome address()
    {
        Link l = link();
        return SearshMagAdr(l, log, RxBuf, f);
    }
    // The host's writes, as frames.
    std::vector<std::vector<uint8_t>> writes()
    {
        std::vector<std::vector<uint8_t>> out;
        for (const LineEvent& e : s.line().trace())
            if (e.kind == LineEvent::Write)
                out.push_back(e.bytes);
        return out;
    }
    int count(std::vector<uint8_t> frame)
    {
        const auto w = writes();
        return int(std::count(w.begin(), w.end(), frame));
    }
    bool logged(std::string_view line) const
    {
        return std::find(log.messages.begin(), log.messages.end(), line) != log.messages.end();
    }
    int splashSteps = 0;
};

using Frames = std::vector<std::vector<uint8_t>>;

TEST(Discovery, TheSettingsAddressAnswersMeasuring)
{
    Bench b(sim::ConverterConfig::native(5).measuring());
    const SearchOutcome out = b.search(5);
    EXPECT_TRUE(out.found);
    EXPECT_FALSE(b.f.ModbusMode);
    EXPECT_EQ(b.writes(), (Frames{{0xC5, 0x01}}));
    EXPECT_EQ(b.splashSteps, 0);
    EXPECT_TRUE(b.logged("\n    Найден МИП по INI в основном режиме с адресом 5"));

    const AddressOutcome a = b.address();
    EXPECT_EQ(b.writes().back(), (std::vector<uint8_t>{0xC5, 0x21}));
    EXPECT_EQ(b.f.MagAdr, 5);
    EXPECT_EQ(a.Label3, "Магистральный адрес МИП № 5");
    EXPECT_EQ(b.log.messages.back(), "\n    Магистральный адрес 5");
}

TEST(Discovery, AFirstRunFindsTheMipByTheCycle)
{
    Bench b(sim::ConverterConfig::native(3).measuring());
    const SearchOutcome out = b.search(0);
    EXPECT_TRUE(out.found);
    EXPECT_EQ(b.writes(), (Frames{{0xC0, 0x01}, {0xC1, 0x01}, {0xC2, 0x01}, {0xC3, 0x01}}));
    EXPECT_EQ(b.splashSteps, 3);
    EXPECT_EQ(b.f.MagAdr, 0); // the address query reads it
    EXPECT_TRUE(b.logged("\n    Найден МИП поиском в цикле в основном режиме."));
    const AddressOutcome a = b.address();
    EXPECT_EQ(b.writes().back(), (std::vector<uint8_t>{0xC3, 0x21}));
    EXPECT_EQ(b.f.MagAdr, 3);
    EXPECT_EQ(a.Label3, "Магистральный адрес МИП № 3");
}

TEST(Discovery, AWaitingMipIsSwitchedToMeasuring)
{
    Bench b(sim::ConverterConfig::native(5).waiting());
    EXPECT_TRUE(b.search(5).found);
    EXPECT_EQ(b.writes(), (Frames{{0xC5, 0x01}, {0xC5, 0x23}}));
    EXPECT_TRUE(b.dialogs.events.empty());
    Link l = b.link();
    EXPECT_EQ(Button_MIP_Sostojanie(l, b.log, b.RxBuf, 5, false).status, 129); // measuring now
}

TEST(Discovery, AWarningAtTheSettingsAddressRunsTheCycleWithoutStaleAnswers)
{
    Bench b(sim::ConverterConfig::native(5).withStatus(133));
    // The user reads the box twice; then the МИП has its program back.
    b.dialogs.onEvent = [&](const DialogEvent&) {
        if (b.dialogs.events.size() == 2)
            b.s.model().setStatus(129);
    };
    EXPECT_TRUE(b.search(5).found);
    ASSERT_EQ(b.dialogs.events.size(), 2u);
    for (const DialogEvent& e : b.dialogs.events) {
        EXPECT_EQ(e.caption, "Не совпала контрольная сумма!(ответ 133)");
        EXPECT_EQ(e.text, "МИП ожидает ввод программы измерений! ");
    }
    // Addresses 1..4 are asked once each, though RxBuf still held 133 from the first answer.
    EXPECT_EQ(b.writes(), (Frames{{0xC5, 0x01}, {0xC1, 0x01}, {0xC2, 0x01}, {0xC3, 0x01}, {0xC4, 0x01},
                                  {0xC5, 0x01}, {0xC5, 0x01}}));
    EXPECT_EQ(b.address().Label3, "Магистральный адрес МИП № 5");
}

TEST(Discovery, WaitingForAProgramGetsTheBoxAndTheMeasuringCommand)
{
    Bench b(sim::ConverterConfig::native(2).withStatus(130));
    EXPECT_TRUE(b.search(2).found); // the command brings it to 129 for the cycle
    ASSERT_FALSE(b.dialogs.events.empty());
    EXPECT_EQ(b.dialogs.events[0].caption, "Предупреждение!(ответ 130)");
    EXPECT_EQ(b.count({0xC2, 0x23}), 1);
}

TEST(Discovery, AModbusOnlyMipIsFoundWithItsAddress)
{
    Bench b(sim::ConverterConfig::modbus(7).measuring());
    const SearchOutcome out = b.search(7);
    EXPECT_TRUE(out.found);
    EXPECT_TRUE(b.f.ModbusMode);
    EXPECT_EQ(b.f.MagAdr, 7);
    EXPECT_EQ(out.Label3, "Магистральный адрес МИП № 7");
    EXPECT_EQ(out.GroupBox1Caption, "Мониторинг Ш9327 в режиме MODBUS.");
    EXPECT_TRUE(out.disableN3);
    EXPECT_TRUE(b.logged("\n    Поиск по MODBUS."));
    EXPECT_TRUE(b.logged("\n    Поиск на MODBUS по файлу INI."));
    EXPECT_EQ(b.RxBuf[4], 129);
    // The first MODBUS request goes to the settings address.
    const auto w = b.writes();
    const auto first = std::find_if(w.begin(), w.end(), [](const auto& f) { return f.size() == 8; });
    ASSERT_NE(first, w.end());
    const auto req = bus::modbus::readRequest(7, 4002, 1);
    EXPECT_EQ(*first, std::vector<uint8_t>(req.begin(), req.end()));
    // The address query sends nothing in MODBUS mode.
    const size_t before = b.writes().size();
    EXPECT_EQ(b.address().Label3, "Магистральный адрес МИП № 7");
    EXPECT_EQ(b.writes().size(), before);
    // The state query shows what the search left in RxBuf byte 4.
    Link l = b.link();
    EXPECT_EQ(Button_MIP_Sostojanie(l, b.log, b.RxBuf, 7, true).status, 129);
    EXPECT_EQ(b.writes().size(), before);
}

TEST(Discovery, NoMipCostsSixteenSecondsAndCountsOnePort)
{
    Bench b(sim::ConverterConfig::native(1).silent());
    b.f.NoMipPorts = 0;
    const int64_t t0 = b.s.clock().nowUs();
    EXPECT_FALSE(b.search(0).found);
    const double seconds = double(b.s.clock().nowUs() - t0) / 1e6;
    EXPECT_GT(seconds, 15.0);
    EXPECT_LT(seconds, 17.5);
    EXPECT_EQ(b.f.NoMipPorts, 1);
    EXPECT_FALSE(b.f.ModbusMode);
    int native = 0, modbus = 0;
    for (const auto& w : b.writes()) {
        native += w.size() == 2 && w[1] == 0x01;
        modbus += w.size() == 8;
    }
    EXPECT_EQ(native, 1 + 32);
    EXPECT_EQ(modbus, 1 + 32);
    EXPECT_EQ(b.splashSteps, 32);
    EXPECT_EQ(b.log.messages.back(), "\n    По MODBUS МИП не найден.");
}

TEST(Discovery, AnAddressQueryWithoutAnswerKeepsTheAddress)
{
    Bench b(sim::ConverterConfig::native(5).measuring());
    ASSERT_TRUE(b.search(5).found);
    b.s.model().config().faults.silent = true;
    const AddressOutcome a = b.address();
    EXPECT_FALSE(a.answered);
    EXPECT_EQ(b.f.MagAdr, 5);
    EXPECT_EQ(b.log.messages.back(), "\n    Магистральный адрес 5");
}

TEST(DeviceState, AnAddressChangeThatGetsNoAnswerKeepsTheAddressAndSaysSo)
{
    Bench b(sim::ConverterConfig::native(5).measuring());
    b.s.model().config().faults.silent = true;
    int MagAdr = 5;
    Link l = b.link();
    const NewAddressOutcome out = NewMagAdr(l, b.RxBuf, MagAdr, bus::addressByte(9));
    EXPECT_FALSE(out.changed);
    EXPECT_EQ(MagAdr, 5);
    EXPECT_EQ(b.dialogs.texts(), std::vector<std::string>{"Не изменился магистральный адрес!!!"});
    EXPECT_EQ(b.dialogs.events[0].caption, "Ошибка !!!");
}

TEST(DeviceState, TheAddressChangeMovesTheMip)
{
    Bench b(sim::ConverterConfig::native(5).measuring());
    int MagAdr = 5;
    Link l = b.link();
    const NewAddressOutcome out = NewMagAdr(l, b.RxBuf, MagAdr, 0xE0);
    EXPECT_TRUE(out.changed);
    EXPECT_EQ(MagAdr, 32);
    EXPECT_EQ(b.s.model().address(), 32);
    EXPECT_EQ(b.writes(), (Frames{{0xC5, 0x22}, {0xC5, 0x20}, {0xE0}, {0xE0, 0x23}, {0xE0, 0x21}}));
    EXPECT_TRUE(b.dialogs.events.empty());
}

TEST(DeviceState, TheClockRecordReachesTheConverter)
{
    Bench b(sim::ConverterConfig::native(5).measuring());
    b.s.clock().setLocalTime({2009, 6, 30, 23, 59, 59});
    Link l = b.link();
    Write_Time(l, 5);
    const Frames w = b.writes();
    ASSERT_EQ(w.size(), 4u);
    EXPECT_EQ(w[2], (std::vector<uint8_t>{60, 59, 23, 30, 6, 0xD9, 0x07}));
}

} // namespace
} // namespace korlin

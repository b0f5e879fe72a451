#include "SensorMap.h"

#include "DebugLog.h"
#include "ProgramFixtures.h"
#include "UserDialogs.h"

#include <gtest/gtest.h>

namespace korlin {
namespace {

using test::Bytes;
using test::lines;

DialogEvent box(std::string_view text, std::string_view caption)
{
    return {DialogEvent::Box, std::string(caption), std::string(text)};
}

const DialogEvent kRangeBox = box(kTypeRangeText, "!");
const DialogEvent kAbove34Box = box(kTypeAbove34Text, "!");
const DialogEvent kClassBox = box(kTypeClassText, "!");
const DialogEvent kThreeDigitBox = box(kThreeDigitTypeText, "Ошибка определения типа датчика!!!");

class SensorMap : public ::testing::Test {
protected:
    // Puts the sub-arrays into prog_array as a received array, splits it and
    // runs the map.
    SensorMapResult run()
    {
        const Bytes a = test::rawArray(subs);
        test::putIntoProgArray(state, a);
        const SplitResult split = prog_array_destrukt(state, a.size());
        EXPECT_TRUE(split.ok()) << split.text;
        return kan_tip_datchik1_864(state, tables, dialogs, log);
    }
    // Every channel of the first two МИП with a known type, so that only the
    // case under test shows boxes.
    void fillTwoMips(int type = 1)
    {
        subs[1] = test::mipProgram(1, [&](int) { return std::to_string(type); });
        subs[2] = test::mipProgram(2, [&](int) { return std::to_string(type); });
    }

    std::array<Bytes, kSlotCount> subs{};
    ProgramState state;
    SensorTables tables;
    ScriptedDialogs dialogs;
    MemoryDebugLog log;
};

TEST(SensorClass, FollowsTheTypeTable)
{
    struct Row { int32_t type; std::optional<int32_t> cls; };
    const Row rows[] = {
        {0, 0}, {1, 2}, {9, 2}, {10, {}}, {11, 2}, {16, 2}, {17, 1}, {19, 1}, {20, 4}, {21, 4},
        {22, 3}, {24, 3}, {25, 5}, {26, 2}, {34, 2}, {35, {}}, {-1, {}}, {99, {}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(sensorClassOf(r.type), r.cls) << r.type;
}

TEST_F(SensorMap, FillsTwoHundredSixteenEntriesAndDoesNotReadFurther)
{
    subs[1] = test::mipProgram(1, [](int ch) { return std::to_string(ch % 35 == 10 ? 11 : ch % 35); });
    subs[2] = test::mipProgram(2, [](int ch) { return std::to_string(17 + ch % 3); });
    // МИП3 would give boxes if the scan reached it.
    subs[3] = test::mipProgram(3, [](int) { return "40"; });
    subs[4] = lines({"1 325 4x"});
    tables.sensor_type[217] = 77;

    const SensorMapResult r = run();
    EXPECT_FALSE(r.endApplication);
    EXPECT_FALSE(r.badTypeChar);
    EXPECT_EQ(r.stored, 216);
    EXPECT_TRUE(dialogs.events.empty());
    for (int ch = 1; ch <= 108; ++ch) {
        const int t = ch % 35 == 10 ? 11 : ch % 35;
        EXPECT_EQ(tables.sensor_type[ch], t) << ch;
        EXPECT_EQ(tables.sensor_class[ch], *sensorClassOf(t)) << ch;
        EXPECT_EQ(tables.sensor_type[108 + ch], 17 + ch % 3) << ch;
        EXPECT_EQ(tables.sensor_class[108 + ch], ClassMilliampere) << ch;
    }
    EXPECT_EQ(tables.sensor_type[217], 77);
    EXPECT_EQ(tables.sensor_class[217], 0);
}

TEST_F(SensorMap, OnlyMip1LeavesLaterEntriesButChecksThem)
{
    subs[1] = test::mipProgram(1, [](int) { return "5"; });
    tables.sensor_type[120] = 17;   // from an earlier run
    tables.sensor_class[120] = 3;
    tables.sensor_type[150] = 40;
    tables.sensor_class[150] = 4;
    tables.sensor_type[160] = -3;

    const SensorMapResult r = run();
    EXPECT_EQ(r.stored, 108);
    EXPECT_EQ(tables.sensor_type[108], 5);
    EXPECT_EQ(tables.sensor_type[109], 0);
    EXPECT_EQ(tables.sensor_class[109], ClassUndefined);
    EXPECT_EQ(tables.sensor_type[120], 17);
    EXPECT_EQ(tables.sensor_class[120], ClassMilliampere);
    EXPECT_EQ(tables.sensor_class[150], 4); // no class: kept
    EXPECT_EQ(tables.sensor_class[160], 0);
    const std::vector<DialogEvent> expected = {kRangeBox, kAbove34Box, kRangeBox, kClassBox, kClassBox};
    EXPECT_EQ(dialogs.events, expected);
    EXPECT_EQ(log.messages, (std::vector<std::string>(2, "\nОшибка определения типа датчика.")));
}

TEST_F(SensorMap, TypeZeroAndTwoDigitSeven)
{
    fillTwoMips();
    subs[1].clear();
    for (int ch = 1; ch <= 108; ++ch)
        test::addChannel(subs[1], 1, ch, ch == 3 ? "0" : ch == 4 ? "07" : "1");
    run();
    EXPECT_EQ(tables.sensor_type[3], 0);
    EXPECT_EQ(tables.sensor_class[3], ClassUndefined);
    EXPECT_EQ(tables.sensor_type[4], 7);
    EXPECT_EQ(tables.sensor_class[4], ClassCelsius);
    EXPECT_TRUE(dialogs.events.empty());
}

TEST_F(SensorMap, ThreeDigitTypeInLine50ShiftsLaterChannels)
{
    auto t = [](int ch) { return ch % 9 + 1; };
    subs[1] = test::mipProgram(1, [&](int ch) { return ch == 50 ? "113" : std::to_string(t(ch)); });
    subs[2] = test::mipProgram(2, [&](int ch) { return std::to_string(t(ch) + 10); });
    subs[3] = test::mipProgram(3, [](int) { return "25"; });

    const SensorMapResult r = run();
    EXPECT_EQ(r.stored, 216);
    EXPECT_EQ(dialogs.events, (std::vector<DialogEvent>{kThreeDigitBox}));
    EXPECT_EQ(tables.sensor_type[49], t(49));
    for (int n = 50; n <= 107; ++n)
        EXPECT_EQ(tables.sensor_type[n], t(n + 1)) << n; // МИП1 lines 51..108
    for (int n = 108; n <= 215; ++n)
        EXPECT_EQ(tables.sensor_type[n], t(n - 107) + 10) << n; // МИП2 lines 1..108
    EXPECT_EQ(tables.sensor_type[216], 25); // МИП3 line 1
    EXPECT_EQ(tables.sensor_class[216], ClassDryContact);
}

TEST_F(SensorMap, TypeFortyGivesThreeBoxesAndTypeTenOne)
{
    struct Case { const char* type; std::vector<DialogEvent> boxes; std::size_t logLines; };
    const Case cases[] = {
        {"40", {kRangeBox, kAbove34Box, kClassBox}, 1},
        {"10", {kClassBox}, 1},
        {"34", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        state = {};
        tables = {};
        dialogs.events.clear();
        log.messages.clear();
        fillTwoMips();
        subs[2].clear();
        for (int ch = 1; ch <= 108; ++ch)
            test::addChannel(subs[2], 2, ch, ch == 7 ? c.type : "1");
        tables.sensor_class[115] = 4;
        run();
        EXPECT_EQ(tables.sensor_type[115], std::stoi(c.type));
        EXPECT_EQ(dialogs.events, c.boxes);
        EXPECT_EQ(log.messages.size(), c.logLines);
        EXPECT_EQ(tables.sensor_class[115], c.boxes.empty() ? ClassCelsius : 4);
    }
}

TEST_F(SensorMap, StartCheckNeedsTwoZeroBytesBeforeMip1)
{
    struct Case { const char* name; Bytes pickups; bool ends; };
    const Case cases[] = {
        {"empty Pickups: head zeros", {}, false},
        {"Pickups ending in an empty line", lines({"Pickups", ""}), false},
        {"Pickups ending in one line", lines({"Pickups"}), true},
        {"Pickups without its 0 byte", {'a', 'b'}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state = {};
        tables = {};
        dialogs.events.clear();
        fillTwoMips(3);
        subs[0] = c.pickups;
        const SensorMapResult r = run();
        EXPECT_EQ(r.endApplication, c.ends);
        if (c.ends) {
            EXPECT_EQ(dialogs.events, (std::vector<DialogEvent>{box(
                                          "Ошибка определения начала массива для функции канал-датчик", "!")}));
            EXPECT_EQ(tables.sensor_type[1], 0); // nothing further ran
        } else {
            EXPECT_TRUE(dialogs.events.empty());
            EXPECT_EQ(tables.sensor_type[1], 3);
        }
    }
}

TEST_F(SensorMap, LetterInATypeFieldEndsTheCommand)
{
    fillTwoMips(2);
    subs[1].clear();
    for (int ch = 1; ch <= 108; ++ch)
        test::addChannel(subs[1], 1, ch, ch == 3 ? "4a" : "2");
    tables.sensor_type[3] = 9;
    tables.sensor_class[3] = 5;

    const SensorMapResult r = run();
    EXPECT_TRUE(r.badTypeChar);
    EXPECT_FALSE(r.endApplication);
    EXPECT_EQ(r.stored, 2);
    EXPECT_EQ(tables.sensor_type[2], 2);
    EXPECT_EQ(tables.sensor_class[2], 0); // no classification after the failure
    EXPECT_EQ(tables.sensor_type[3], 9);
    EXPECT_EQ(tables.sensor_class[3], 5);
    EXPECT_EQ(dialogs.events, (std::vector<DialogEvent>{box(kBadTypeCharText, "!")}));
}

TEST_F(SensorMap, SpacesAndShortLines)
{
    // The scan starts five bytes into МИП1, so the 4-character first line is
    // not seen; "1 1  " ends in a space: a blank one-digit field; "12345" has no space
    // before its last four characters and is passed over; an empty line is
    // skipped; "2 2 7" is a normal line.
    fillTwoMips();
    subs[1] = lines({"1 17", "1 1  ", "12345", "", "2 2 7"});
    subs[2].clear();
    run();
    EXPECT_EQ(tables.sensor_type[1], 0);
    EXPECT_EQ(tables.sensor_type[2], 7);
}

TEST_F(SensorMap, ScanIncludesTheByteJustPastMip8)
{
    // The last line of МИП8 has no 0 of its own; sub-array 9's 0 closes it.
    subs[8] = {'1', ' ', '7', '5', '7', ' ', '2', '1'};
    subs[9] = {0};
    const SensorMapResult r = run();
    EXPECT_EQ(r.stored, 1);
    EXPECT_EQ(tables.sensor_type[1], 21);
    EXPECT_EQ(tables.sensor_class[1], ClassMillivolt);
}

TEST_F(SensorMap, StaysInsideTheArrayWhateverTheOffsetsSay)
{
    struct Case { uint16_t off1; uint16_t off8; uint16_t len8; bool ends; };
    const Case cases[] = {
        {0, 0, 0, true}, {1, 1, 0, true}, {65535, 65535, 65535, true}, {10001, 10001, 0, true},
        {10000, 10000, 100, false}, {2, 9990, 65535, false}, {9998, 0, 0, false},
    };
    ProgramState s;
    uint32_t seed = 12345;
    const char alphabet[] = "0123456789 \0\0x";
    for (auto& b : s.prog_array) {
        seed = seed * 1103515245u + 12345u;
        b = uint8_t(alphabet[(seed >> 16) % 15]);
    }
    s.prog_array[0] = s.prog_array[1] = 0;
    s.prog_array[9996] = s.prog_array[9997] = 0;
    s.prog_array[9998] = s.prog_array[9999] = 0;
    for (const Case& c : cases) {
        s.subarray_off[1] = c.off1;
        s.subarray_off[8] = c.off8;
        s.subarray_len[8] = c.len8;
        dialogs.events.clear();
        const SensorMapResult r = kan_tip_datchik1_864(s, tables, dialogs, log);
        EXPECT_EQ(r.endApplication, c.ends) << c.off1;
    }
}

} // namespace
} // namespace korlin

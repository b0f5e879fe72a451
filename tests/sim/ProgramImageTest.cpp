#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ProgramImage.h"

using namespace korlin::sim;

namespace {

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

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

} // namespace

TEST(SimProgramImage, ChecksumOfTheDigitsExample)
{
    const auto digits = bytesOf("123456789");
    EXPECT_EQ(elfHashStep(0, digits), 0x0678AEE9u);
    EXPECT_EQ(streamChecksum(digits), 10328);
    // The same digits spread over two sub-arrays: one stream, no reset.
    std::array<std::vector<uint8_t>, kSlots> slots;
    slots[1] = bytesOf("1234");
    slots[2] = bytesOf("56789");
    const auto a = assembleArray(slots);
    EXPECT_EQ(a[2], 0x58);
    EXPECT_EQ(a[3], 0x28);
    EXPECT_EQ(readU16(a, 0), a.size());
    EXPECT_EQ(a.size(), kHeadSize + 9);
}

TEST(SimProgramImage, EmptyHeadHasChecksumZeroAndBytesOfSlotTenAreIgnored)
{
    std::vector<uint8_t> a(kHeadSize, 0);
    EXPECT_EQ(arrayChecksum(a), 0);
    a[64] = 5; // slot 10's length: never data
    a[6] = 0xFF; // unused slot bytes
    EXPECT_EQ(arrayChecksum(a), 0);
}

TEST(SimProgramImage, HeadLengthsPastTheDataGiveNoChecksum)
{
    std::array<std::vector<uint8_t>, kSlots> slots;
    slots[1] = lines({"1 1 17"});
    auto a = assembleArray(slots);
    ASSERT_TRUE(arrayChecksum(a));
    writeU16(a, slotLengthOffset(14), 1);
    EXPECT_FALSE(arrayChecksum(a));
    EXPECT_FALSE(slotMap(std::vector<uint8_t>(kHeadSize - 1, 0)));
}

TEST(SimProgramImage, DefaultProgramLayout)
{
    const auto a = defaultProgram();
    const auto m = slotMap(a);
    ASSERT_TRUE(m);
    EXPECT_EQ(readU16(a, 0), a.size());
    EXPECT_EQ(arrayChecksum(a), readU16(a, 2));
    EXPECT_EQ(m->end, a.size());

    // Pickups: longer than the check part, closed by an empty line.
    const size_t pickups = m->length[0];
    EXPECT_GE(pickups, kPickupsCheckSize);
    EXPECT_EQ(a[kHeadSize + pickups - 1], 0);
    EXPECT_EQ(a[kHeadSize + pickups - 2], 0);
    for (size_t i = kHeadSize; i < kHeadSize + pickups; ++i)
        EXPECT_TRUE(a[i] == 0 || a[i] == ' ' || (a[i] >= '0' && a[i] <= '9')) << "byte " << i;

    // Sub-array 9 is one 0 byte; МИП3..8, AO, PR, RO, HOL and slot 10 are empty.
    EXPECT_EQ(m->length[9], 1u);
    EXPECT_EQ(a[m->offset[9]], 0);
    for (int slot : {3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14})
        EXPECT_EQ(readU16(a, slotLengthOffset(slot)), 0) << "slot " << slot;
    for (size_t i = 64; i < 70; ++i)
        EXPECT_EQ(a[i], 0);

    // 108 lines per МИП, input = channel + 108 * (МИП - 1), every type classed.
    const auto ls = channelLines(a);
    ASSERT_EQ(ls.size(), 216u);
    std::set<int> classes;
    for (size_t i = 0; i < ls.size(); ++i) {
        const int mip = int(i / 108) + 1;
        EXPECT_EQ(ls[i].mip, mip);
        EXPECT_EQ(ls[i].channel, int(i % 108) + 1);
        EXPECT_EQ(ls[i].input, ls[i].channel + 108 * (mip - 1));
        EXPECT_EQ(ls[i].type, defaultSensorType(ls[i].input));
        const auto c = sensorClass(ls[i].type);
        ASSERT_TRUE(c) << "type " << ls[i].type;
        classes.insert(*c);
    }
    EXPECT_EQ(classes, (std::set<int>{0, 1, 2, 3, 4, 5}));
}

TEST(SimProgramImage, PickupsCheckIsTheFirst662Bytes)
{
    const auto a = defaultProgram();
    const auto check = defaultPickupsCheck();
    ASSERT_EQ(check.size(), kPickupsCheckSize);
    EXPECT_TRUE(std::equal(check.begin(), check.end(), a.begin() + kHeadSize));

    // A short Pickups text is filled up with zeros, never read past.
    std::array<std::vector<uint8_t>, kSlots> slots;
    slots[0] = lines({"1 2"});
    const auto shortCheck = pickupsCheck(assembleArray(slots));
    ASSERT_EQ(shortCheck.size(), kPickupsCheckSize);
    EXPECT_EQ(std::vector<uint8_t>(shortCheck.begin(), shortCheck.begin() + 4), lines({"1 2"}));
    EXPECT_TRUE(std::all_of(shortCheck.begin() + 4, shortCheck.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(pickupsCheck(std::vector<uint8_t>(10, 0xFF)), std::vector<uint8_t>(kPickupsCheckSize, 0));
}

TEST(SimProgramImage, ChannelLinesSkipMalformedLinesAndStayInsideTheData)
{
    std::array<std::vector<uint8_t>, kSlots> slots;
    slots[1] = lines({"1 1 17", "", "2  2 3", "3 3 1234", "x 4 1", "5 5 25 ", "6 6 07"});
    slots[3] = lines({"84 300 22"});
    auto a = assembleArray(slots);
    auto ls = channelLines(a);
    ASSERT_EQ(ls.size(), 3u);
    EXPECT_EQ(ls[0].input, 1);
    EXPECT_EQ(ls[0].type, 17);
    EXPECT_EQ(ls[1].channel, 6);
    EXPECT_EQ(ls[1].type, 7);
    EXPECT_EQ(ls[2].mip, 3);
    EXPECT_EQ(ls[2].input, 300);

    // A МИП length past the end: the lines that are there still count.
    writeU16(a, slotLengthOffset(3), 5000);
    ls = channelLines(a);
    EXPECT_EQ(ls.size(), 3u);
    a.resize(kHeadSize + 3); // data cut inside the first line
    EXPECT_TRUE(channelLines(a).empty());
}

TEST(SimProgramImage, SensorClassTable)
{
    struct Row { int type; std::optional<int> cls; };
    const Row rows[] = {{0, 0}, {1, 2}, {9, 2}, {10, std::nullopt}, {11, 2}, {16, 2}, {17, 1}, {19, 1},
                        {20, 4}, {21, 4}, {22, 3}, {24, 3}, {25, 5}, {26, 2}, {34, 2}, {35, std::nullopt},
                        {-1, std::nullopt}};
    for (const auto& r : rows)
        EXPECT_EQ(sensorClass(r.type), r.cls) << "type " << r.type;
}

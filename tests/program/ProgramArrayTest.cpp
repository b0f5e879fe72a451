#include "ProgramArray.h"

#include "DebugLog.h"
#include "LogText.h"
#include "ProgramFixtures.h"

#include <gtest/gtest.h>

namespace korlin {
namespace {

using test::Bytes;
using test::lines;

// ---- checksum ---------------------------------------------------------------

TEST(ProgramChecksum, DigitsOneToNineGiveTheKnownHashAndChecksum)
{
    const Bytes digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(elfHashUpdate(0, digits), 0x0678AEE9u);

    // The same nine bytes as an array: they may lie in any slots.
    std::array<Bytes, kSlotCount> subs{};
    subs[1] = {'1', '2', '3', '4'};
    subs[9] = {'5'};
    subs[14] = {'6', '7', '8', '9'};
    const Bytes a = test::rawArray(subs);
    EXPECT_EQ(a[2], 0x58);
    EXPECT_EQ(a[3], 0x28);
    const ArrayLayout l = readLayout(a);
    EXPECT_EQ(checksum(a, l.off, l.len), std::optional<uint16_t>(10328));
}

TEST(ProgramChecksum, HashIsOneStreamAcrossSlots)
{
    const Bytes stream = lines({"1 1 5", "2 2 17", "abc"});
    const uint32_t whole = elfHashUpdate(0, stream);
    const Bytes head(stream.begin(), stream.begin() + 5);
    const Bytes tail(stream.begin() + 5, stream.end());
    EXPECT_EQ(elfHashUpdate(elfHashUpdate(0, head), tail), whole);
}

TEST(ProgramChecksum, AllZeroHeadIsFourteenEmptySubArraysWithChecksumZero)
{
    ProgramState s;
    const SplitResult r = prog_array_destrukt(s, kProgArraySize);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.computed, 0);
    for (const int k : kDataSlots) {
        EXPECT_EQ(s.subarray_len[k], 0) << k;
        EXPECT_TRUE(s.subarray[k].empty()) << k;
        EXPECT_EQ(s.subarray_off[k], kHeadSize) << k;
    }
}

TEST(ProgramChecksum, UnreadHeadBytesAreIgnored)
{
    std::array<Bytes, kSlotCount> subs{};
    subs[0] = lines({"Pickups", ""});
    subs[1] = lines({"1 1 5"});
    subs[11] = lines({"ao"});
    Bytes a = test::rawArray(subs);
    const uint16_t before = readU16(a, 2);
    for (int k = 0; k < kSlotCount; ++k)
        for (int i = 2; i < 6; ++i)
            a[headLengthOffset(k) + i] = uint8_t(0xA0 + k + i); // bytes 6..9 of every slot entry
    for (int i = 64; i < 70; ++i)
        a[i] = 0xFF; // slot 10's entry, its length included

    ProgramState s;
    test::putIntoProgArray(s, a);
    const SplitResult r = prog_array_destrukt(s, a.size());
    ASSERT_TRUE(r.ok()) << r.text;
    EXPECT_EQ(r.computed, before);
    EXPECT_EQ(s.subarray_len[kAbsentSlot], 0);
    EXPECT_EQ(s.subarray[1], subs[1]);
    EXPECT_EQ(s.subarray[11], subs[11]);
    EXPECT_EQ(s.subarray_off[11], kHeadSize + subs[0].size() + subs[1].size());
}

TEST(ProgramChecksum, MovingAByteAcrossASlotBoundaryKeepsTheChecksum)
{
    std::array<Bytes, kSlotCount> subs{};
    subs[1] = lines({"1 1 5", "2 2 6"});
    subs[2] = lines({"1 109 7"});
    const Bytes a = test::rawArray(subs);
    subs[2].insert(subs[2].begin(), subs[1].back());
    subs[1].pop_back();
    const Bytes b = test::rawArray(subs);
    EXPECT_EQ(readU16(a, 2), readU16(b, 2));
    EXPECT_NE(readU16(a, 10), readU16(b, 10));
}

TEST(ProgramChecksum, RefusesSlotsOutsideTheArray)
{
    const Bytes a(200, 1);
    SlotOffsets off{};
    SlotLengths len{};
    len[3] = 10;
    off[3] = 195;
    EXPECT_FALSE(checksum(a, off, len));
    off[3] = 190;
    EXPECT_TRUE(checksum(a, off, len));
    len[3] = 0;
    off[3] = 60000; // empty slots point nowhere
    EXPECT_TRUE(checksum(a, off, len));
}

// ---- split ------------------------------------------------------------------

TEST(ProgramSplit, CopiesEverySubArrayAtItsOffset)
{
    std::array<Bytes, kSlotCount> subs{};
    for (const int k : kDataSlots)
        subs[k] = lines({"slot " + std::to_string(k), std::string(size_t(k), 'x')});
    const Bytes a = test::rawArray(subs);
    ProgramState s;
    test::putIntoProgArray(s, a);
    ASSERT_TRUE(prog_array_destrukt(s, a.size()).ok());
    std::size_t at = kHeadSize;
    for (const int k : kDataSlots) {
        EXPECT_EQ(s.subarray[k], subs[k]) << k;
        EXPECT_EQ(s.subarray_off[k], at) << k;
        at += subs[k].size();
    }
    EXPECT_EQ(at, a.size());
}

TEST(ProgramSplit, MismatchLeavesTheStateAndGivesTheTexts)
{
    std::array<Bytes, kSlotCount> subs{};
    subs[1] = lines({"1 1 5"});
    const Bytes a = test::rawArray(subs);
    Bytes bad = a;
    bad[2] ^= 1;

    ProgramState s;
    s.subarray[1] = {7, 7};
    s.subarray_len[1] = 2;
    const ProgramState before = s;
    test::putIntoProgArray(s, bad);
    const SplitResult r = prog_array_destrukt(s, bad.size());
    EXPECT_EQ(r.status, SplitStatus::ChecksumMismatch);
    EXPECT_EQ(r.text, "Ошибка контрольной суммы принятого программного массива! Закрываю программу!");
    EXPECT_EQ(r.caption, "Предупреждение!!!");
    EXPECT_EQ(r.stored, readU16(bad, 2));
    EXPECT_EQ(r.computed, readU16(a, 2));
    EXPECT_EQ(s.subarray, before.subarray);
    EXPECT_EQ(s.subarray_len, before.subarray_len);
    EXPECT_EQ(s.subarray_off, before.subarray_off);
}

struct RefusalCase {
    const char* name;
    std::array<uint16_t, kSlotCount> lengths;
    std::size_t validBytes;
    SplitStatus expected;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class ProgramSplitRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ProgramSplitRefusal, CopiesNothing)
{
    const RefusalCase& c = GetParam();
    ProgramState s;
    s.prog_array.fill(0x31);
    for (int k = 0; k < kSlotCount; ++k)
        writeU16(s.prog_array, headLengthOffset(k), c.lengths[k]);
    s.subarray[2] = {1, 2, 3};
    s.subarray_len[2] = 3;
    const auto held = s.subarray;
    const auto heldLen = s.subarray_len;
    const auto heldOff = s.subarray_off;

    const SplitResult r = prog_array_destrukt(s, c.validBytes);
    EXPECT_EQ(r.status, c.expected);
    EXPECT_FALSE(r.text.empty());
    EXPECT_EQ(r.caption, "Предупреждение!!!");
    EXPECT_EQ(s.subarray, held);
    EXPECT_EQ(s.subarray_len, heldLen);
    EXPECT_EQ(s.subarray_off, heldOff);
}

constexpr uint16_t L(int v) { return uint16_t(v); }

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramSplitRefusal,
    ::testing::Values(
        RefusalCase{"PastReceivedBytes", {L(100), L(200)}, 393, SplitStatus::BeyondData},
        RefusalCase{"OneSlotReachesPastAShortRead", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L(1)}, 94,
                    SplitStatus::BeyondData},
        RefusalCase{"PastTheBuffer", {L(5000), L(5000)}, kProgArraySize, SplitStatus::BeyondBuffer},
        RefusalCase{"PastTheBufferWhateverIsClaimedValid", {L(9907)}, 1u << 20, SplitStatus::BeyondBuffer},
        // 16-bit offsets wrap back into the buffer; the wide extent does not.
        RefusalCase{"WrappingOffsets", {L(65535), L(65535), L(100)}, kProgArraySize,
                    SplitStatus::BeyondBuffer}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgramSplit, AcceptsAnArrayEndingExactlyAtTheValidBytes)
{
    std::array<Bytes, kSlotCount> subs{};
    subs[0] = Bytes(kProgArraySize - kHeadSize, 0);
    const Bytes a = test::rawArray(subs);
    ASSERT_EQ(a.size(), kProgArraySize);
    ProgramState s;
    test::putIntoProgArray(s, a);
    EXPECT_TRUE(prog_array_destrukt(s, kProgArraySize).ok());
    EXPECT_EQ(prog_array_destrukt(s, kProgArraySize - 1).status, SplitStatus::BeyondData);
}

TEST(ProgramSplit, EmptyHeadNeedsNoBytes)
{
    ProgramState s; // a read that received nothing at start-up
    EXPECT_TRUE(prog_array_destrukt(s, 0).ok());
}

TEST(ProgramVerify, ChecksHeldOffsetsOnProgArray)
{
    std::array<Bytes, kSlotCount> subs{};
    subs[3] = lines({"1 217 3"});
    const Bytes a = test::rawArray(subs);
    ProgramState s;
    test::putIntoProgArray(s, a);
    ASSERT_TRUE(prog_array_destrukt(s, a.size()).ok());
    EXPECT_TRUE(ButtonSearschCRC(s).ok);
    s.prog_array[kHeadSize] ^= 0x40;
    const VerifyResult v = ButtonSearschCRC(s);
    EXPECT_FALSE(v.ok);
    ASSERT_TRUE(v.computed);
    EXPECT_NE(*v.computed, v.stored);
    s.subarray_off[3] = 9999; // held offsets that reach outside are a failure, not a read
    EXPECT_FALSE(ButtonSearschCRC(s).ok);
    EXPECT_FALSE(ButtonSearschCRC(s).computed);
}

// ---- assembly ---------------------------------------------------------------

TEST(ProgramAssembly, EmptySubArraysGiveTheNinetyFiveByteArrayAndItsTrace)
{
    ProgramState s;
    s.subarray[kSubArray9Slot] = {0};
    s.subarray_len[kSubArray9Slot] = 1;
    s.new_array.fill(0xEE);
    MemoryDebugLog log;

    const AssemblyResult r = New_Write_Array(s, log);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(s.total_len, 95);
    EXPECT_EQ(r.checksum, 0);
    EXPECT_EQ(s.new_array[94], 0);
    EXPECT_EQ(s.new_array[95], 0);
    EXPECT_EQ(s.new_array[96], 0xEE); // nothing past the closing byte
    EXPECT_EQ(readU16(s.new_array, 0), 95);
    EXPECT_EQ(readU16(s.new_array, 2), 0);
    for (std::size_t i = 4; i < kHeadSize; ++i)
        EXPECT_EQ(s.new_array[i], i == headLengthOffset(9) ? 1 : 0) << i;

    const std::vector<std::string> expected = {
        "\n        Создание нового массива.",
        "\n        Новый массив создан.",
        "\n        Расчёт контрольной суммы",
        "\n    Контрольная сумма расчитана.",
        "\n    Создание головы нового массива.",
        "\n        Создание головы нового массива.",
        "\n        Создание нового массива закончено.",
    };
    EXPECT_EQ(log.messages, expected);
}

TEST(ProgramAssembly, SplitOfAnAssemblyGivesTheSameSubArrays)
{
    ProgramState s;
    std::array<Bytes, kSlotCount> subs{};
    subs[0] = lines({"Pickups- датчики.", ""});
    subs[1] = test::mipProgram(1, [](int ch) { return std::to_string(ch % 35); });
    subs[2] = test::mipProgram(2, [](int) { return "17"; });
    subs[9] = {0};
    subs[11] = lines({"AO-Аналоговые выхода."});
    subs[12] = lines({"PR"});
    subs[13] = lines({"RO", "RO2"});
    subs[14] = lines({"HOL"});
    test::hold(s, subs);
    MemoryDebugLog log;
    ASSERT_TRUE(New_Write_Array(s, log).ok());
    EXPECT_TRUE(verifyChecksum(s.new_array, s.subarray_off, s.subarray_len).ok);

    ProgramState back;
    back.prog_array = s.new_array;
    ASSERT_TRUE(prog_array_destrukt(back, s.total_len).ok());
    for (const int k : kDataSlots)
        EXPECT_EQ(back.subarray[k], subs[k]) << k;
    EXPECT_EQ(back.subarray_off, s.subarray_off);
}

// Sub-array 9 is always assembled as one 0 byte of length 1, so that the
// head, the checksum and the data agree whatever was split into it.
class ProgramAssemblySubArray9 : public ::testing::TestWithParam<Bytes> {};

TEST_P(ProgramAssemblySubArray9, IsOneZeroByte)
{
    ProgramState s;
    std::array<Bytes, kSlotCount> subs{};
    subs[8] = lines({"1 757 5"});
    subs[9] = GetParam();
    subs[11] = lines({"AO"});
    test::hold(s, subs);
    MemoryDebugLog log;
    ASSERT_TRUE(New_Write_Array(s, log).ok());

    const std::size_t at9 = kHeadSize + subs[8].size();
    EXPECT_EQ(s.subarray_off[9], at9);
    EXPECT_EQ(s.new_array[at9], 0);
    EXPECT_EQ(s.subarray_off[11], at9 + 1);
    EXPECT_EQ(readU16(s.new_array, headLengthOffset(9)), 1);
    EXPECT_EQ(s.subarray[9], Bytes{0});
    EXPECT_EQ(s.subarray_len[9], 1);
    EXPECT_EQ(s.total_len, at9 + 1 + subs[11].size());

    ProgramState back;
    back.prog_array = s.new_array;
    ASSERT_TRUE(prog_array_destrukt(back, s.total_len).ok());
    EXPECT_EQ(back.subarray[9], Bytes{0});
    EXPECT_EQ(back.subarray[11], subs[11]);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ProgramAssemblySubArray9,
                         ::testing::Values(Bytes{}, Bytes{0}, Bytes{0, 0, 0}, Bytes{'a', 'b', 0, 'c', 0}));

TEST(ProgramAssembly, FillsTheBufferExactlyWithTheClosingByte)
{
    ProgramState s;
    std::array<Bytes, kSlotCount> subs{};
    subs[0] = Bytes(kProgArraySize - kHeadSize - 2, 0x20); // + sub-array 9 + closing 0 = 10000
    test::hold(s, subs);
    MemoryDebugLog log;
    const AssemblyResult r = New_Write_Array(s, log);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(s.total_len, kProgArraySize - 1);
    EXPECT_EQ(s.new_array[kProgArraySize - 1], 0);
}

TEST(ProgramAssembly, RefusesAnArrayThatWouldNotFit)
{
    ProgramState s;
    std::array<Bytes, kSlotCount> subs{};
    subs[0] = Bytes(kProgArraySize - kHeadSize - 1, 0x20); // closing 0 would be byte 10000
    subs[9] = {0};
    test::hold(s, subs);
    s.new_array.fill(0x55);
    const auto offBefore = s.subarray_off;
    MemoryDebugLog log;
    const AssemblyResult r = New_Write_Array(s, log);
    EXPECT_EQ(r.status, AssemblyStatus::TooLong);
    EXPECT_EQ(r.length, kProgArraySize);
    EXPECT_EQ(r.text, std::string(kAssemblyTooLongText));
    EXPECT_TRUE(std::all_of(s.new_array.begin(), s.new_array.end(), [](uint8_t b) { return b == 0x55; }));
    EXPECT_EQ(s.subarray_off, offBefore);
    EXPECT_EQ(s.total_len, 0);
    EXPECT_EQ(log.messages, (std::vector<std::string>{std::string(logtext::AssemblyStart),
                                                      std::string(kAssemblyRefusedLog)}));
}

TEST(ProgramAssembly, RefusesALengthLongerThanItsSubArray)
{
    ProgramState s;
    s.subarray[4] = {1, 2};
    s.subarray_len[4] = 3;
    MemoryDebugLog log;
    EXPECT_EQ(New_Write_Array(s, log).status, AssemblyStatus::ShortSubArray);
    EXPECT_EQ(s.total_len, 0);
}

TEST(ProgramAssembly, ClearsHeadBytesLeftFromElsewhere)
{
    ProgramState s;
    s.new_array.fill(0x77);
    MemoryDebugLog log;
    ASSERT_TRUE(New_Write_Array(s, log).ok());
    for (int k = 0; k < kSlotCount; ++k)
        for (int i = 2; i < 6; ++i)
            EXPECT_EQ(s.new_array[headLengthOffset(k) + i], 0);
    EXPECT_EQ(readU16(s.new_array, headLengthOffset(kAbsentSlot)), 0);
}

} // namespace
} // namespace korlin

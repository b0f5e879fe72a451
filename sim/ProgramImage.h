#pragma once
// The converter's side of the program array: head layout, array checksum,
// the channel lines it measures by, and the built-in default program.
//
// Head: bytes 0-1 total length, 2-3 checksum, then fifteen 6-byte slot
// entries from offset 4 (2-byte length + 4 unused bytes); data from offset 94
// in slot order 0..9, 11..14 (slot 10 never holds data).  All u16 low first.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace korlin::sim {

inline constexpr size_t kHeadSize = 94;
inline constexpr int kSlots = 15;
inline constexpr int kAbsentSlot = 10;
inline constexpr size_t kPickupsCheckSize = 662;
inline constexpr int kChannelsPerMip = 108;

inline uint16_t readU16(std::span<const uint8_t> a, size_t at)
{
    return at + 1 < a.size() ? uint16_t(a[at] | (a[at + 1] << 8)) : 0;
}
inline void writeU16(std::vector<uint8_t>& a, size_t at, uint16_t v)
{
    if (at + 1 < a.size()) {
        a[at] = uint8_t(v & 0xFF);
        a[at + 1] = uint8_t(v >> 8);
    }
}
inline size_t slotLengthOffset(int slot) { return 4 + 6 * size_t(slot); }

// ELF hash (System V symbol tables) continued over a byte run.
uint32_t elfHashStep(uint32_t h, std::span<const uint8_t> bytes);
// The array checksum of a stream of sub-array bytes: ELF hash modulo 30031.
uint16_t streamChecksum(std::span<const uint8_t> stream);

// Where each slot's data lies, from the head lengths.  Nothing when the head
// is incomplete or a slot reaches past the bytes given.
struct SlotMap {
    std::array<size_t, kSlots> offset{};
    std::array<size_t, kSlots> length{};
    size_t end = kHeadSize; // just past the last slot's data
};
std::optional<SlotMap> slotMap(std::span<const uint8_t> array);

// Checksum over the sub-arrays as one stream; nothing when the head lengths
// reach past the data.
std::optional<uint16_t> arrayChecksum(std::span<const uint8_t> array);

// One channel line of a МИП sub-array: "channel input type".
struct ChannelLine {
    int mip = 0;      // 1..8
    int channel = 0;  // within its МИП
    int input = 0;    // logical channel number, the record's channel number
    int type = 0;     // sensor type
};
// The well-formed channel lines of МИП1..МИП8 in array order; malformed lines
// and slots past the data are skipped.
std::vector<ChannelLine> channelLines(std::span<const uint8_t> array);

// Display class of a sensor type: 0 undetermined, 1 current (0.001 mA),
// 2 temperature (0.1 C), 3 voltage (0.001 V), 4 millivolts (0.01 mV),
// 5 dry contact; nothing for a type without a class (10, <0, >34).
std::optional<int> sensorClass(int type);

// Builds an array from its sub-arrays (index = slot; slot 10 ignored), with
// total length and checksum in the head.
std::vector<uint8_t> assembleArray(const std::array<std::vector<uint8_t>, kSlots>& slots);

// The built-in program: Pickups text (ending with an empty line, longer than
// 662 bytes), МИП1 and МИП2 with 108 channel lines each, sub-array 9 of one 0
// byte, empty AO/PR/RO/HOL.
std::vector<uint8_t> defaultProgram();
// Sensor type of logical channel n (1..216) in the default program.
int defaultSensorType(int n);
// The check file of a program: the first 662 bytes of its Pickups text, a
// shorter text filled up with zeros.
std::vector<uint8_t> pickupsCheck(std::span<const uint8_t> program);
// The check file of the default program.
std::vector<uint8_t> defaultPickupsCheck();

} // namespace korlin::sim

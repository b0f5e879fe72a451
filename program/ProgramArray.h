#pragma once
// The program array of the Ш9327: a 94-byte head and fourteen text sub-arrays.
//
// Head (all fields u16, low byte first):
//   0..1    total length of the array, head included
//   2..3    array checksum
//   4 + 6k  length of the sub-array in slot k (k = 0..14); the four bytes after
//           each length are never read and are zero in an assembled array.
// Slot 10 (bytes 64..69) never holds data.  The data area starts at 94 and
// holds the sub-arrays without gaps in the order 0..9, 11..14.
//
// The checksum is the ELF hash of the sub-arrays taken as one stream (slot
// order above, slot 10 and the head left out), modulo 30031.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korlin {

class DebugLog;

inline constexpr std::size_t kProgArraySize = 10000;
inline constexpr std::size_t kHeadSize = 94;
inline constexpr int kSlotCount = 15;
inline constexpr int kAbsentSlot = 10;    // never holds data
inline constexpr int kSubArray9Slot = 9;  // carried, never shown
inline constexpr int kPickupsSlot = 0;
inline constexpr int kFirstMipSlot = 1;   // МИП1..МИП8 are slots 1..8
inline constexpr int kLastMipSlot = 8;
inline constexpr int kAoSlot = 11;
inline constexpr int kPrSlot = 12;
inline constexpr int kRoSlot = 13;
inline constexpr int kHolSlot = 14;
inline constexpr uint32_t kChecksumModulus = 30031;

// The slots that hold data, in the order of the data area and of the checksum.
inline constexpr std::array<int, 14> kDataSlots = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14};

// Head offset of the length of slot k.
constexpr std::size_t headLengthOffset(int slot) { return 4 + 6 * std::size_t(slot); }

using SlotLengths = std::array<uint16_t, kSlotCount>;
using SlotOffsets = std::array<uint16_t, kSlotCount>;
using ArrayBuffer = std::array<uint8_t, kProgArraySize>;

// The program part of the main window's state.
struct ProgramState {
    ArrayBuffer prog_array{}; // source: last read, opened or loaded template
    ArrayBuffer new_array{};  // last assembled array
    std::array<std::vector<uint8_t>, kSlotCount> subarray; // slot 10 stays empty
    SlotLengths subarray_len{};
    // After a split they describe prog_array, after an assembly new_array.
    // Slot 0 is always at 94.
    SlotOffsets subarray_off{uint16_t(kHeadSize)};
    uint16_t total_len = 0;
};

// ---- checksum ---------------------------------------------------------------

// One run of the ELF hash over bytes, continuing from h.
uint32_t elfHashUpdate(uint32_t h, std::span<const uint8_t> bytes);
constexpr uint16_t checksumFromHash(uint32_t h) { return uint16_t(h % kChecksumModulus); }

// The array checksum of array with the given offsets and lengths (slot 0 is
// taken at 94 whatever offsets[0] says).  Empty when a non-empty slot reaches
// past the end of array: nothing outside it is read.
std::optional<uint16_t> checksum(std::span<const uint8_t> array, const SlotOffsets& offsets,
                                 const SlotLengths& lengths);

uint16_t readU16(std::span<const uint8_t> array, std::size_t at); // 0 for bytes past the end
void writeU16(std::span<uint8_t> array, std::size_t at, uint16_t v);
inline uint16_t storedChecksum(std::span<const uint8_t> array) { return readU16(array, 2); }
inline uint16_t storedTotalLength(std::span<const uint8_t> array) { return readU16(array, 0); }

// ---- layout of a head -------------------------------------------------------

struct ArrayLayout {
    SlotLengths len{};  // from the head; slot 10 always 0
    SlotOffsets off{};  // 16-bit offsets following from the lengths
    uint32_t extent = kHeadSize; // 94 + all lengths, without 16-bit wrap
    uint32_t dataLength() const { return extent - uint32_t(kHeadSize); }
};

// Reads the fourteen lengths (bytes 64..69 and the other head bytes are
// ignored) and computes the offsets.  Head bytes past the end of array read 0.
ArrayLayout readLayout(std::span<const uint8_t> array);

// ---- split and verification -------------------------------------------------

inline constexpr std::string_view kChecksumErrorText =
    "Ошибка контрольной суммы принятого программного массива! Закрываю программу!";
inline constexpr std::string_view kChecksumErrorCaption = "Предупреждение!!!";
inline constexpr std::string_view kBeyondDataText =
    "Длины подмассивов в голове программного массива выходят за пределы принятых данных! "
    "Массив не разложен.";
inline constexpr std::string_view kBeyondBufferText =
    "Длины подмассивов в голове программного массива выходят за пределы буфера 10000 байт! "
    "Массив не разложен.";

enum class SplitStatus {
    Ok,
    ChecksumMismatch,    // the caller shows kChecksumErrorText and ends the application
    BeyondData,          // head lengths reach past the bytes actually present
    BeyondBuffer,        // head lengths reach past the 10000-byte buffer
};

struct SplitResult {
    SplitStatus status = SplitStatus::Ok;
    uint16_t stored = 0;     // checksum in bytes 2..3
    uint16_t computed = 0;   // valid unless the lengths were refused
    uint32_t extent = 0;     // 94 + all lengths from the head
    std::string text;        // box text for anything but Ok
    std::string caption;
    bool ok() const { return status == SplitStatus::Ok; }
};

// Split of prog_array (prog_array_destrukt).  validBytes is how many bytes
// from offset 0 hold the array (bytes received, or the file's size).  Lengths
// that reach past them or past the buffer are refused before anything is read
// or copied.  Only on Ok are subarray, subarray_len and subarray_off replaced;
// on any other result the state is left as it was.
SplitResult prog_array_destrukt(ProgramState& state, std::size_t validBytes);

struct VerifyResult {
    bool ok = false;
    uint16_t stored = 0;
    std::optional<uint16_t> computed; // empty when the held offsets reach outside
};

// Verification of prog_array with the held offsets and lengths (ButtonSearschCRC).
VerifyResult ButtonSearschCRC(const ProgramState& state);
// The same check on any array.
VerifyResult verifyChecksum(std::span<const uint8_t> array, const SlotOffsets& offsets,
                            const SlotLengths& lengths);

// ---- assembly ---------------------------------------------------------------

inline constexpr std::string_view kAssemblyTooLongText =
    "Новый программный массив не помещается в буфер 10000 байт! Массив не создан.";
inline constexpr std::string_view kAssemblyShortSubArrayText =
    "Длина подмассива больше его содержимого! Массив не создан.";
inline constexpr std::string_view kAssemblyErrorCaption = "Предупреждение!!!";
// Our trace line for a refused assembly.
inline constexpr std::string_view kAssemblyRefusedLog = "\n        Новый массив не создан.";

enum class AssemblyStatus { Ok, TooLong, ShortSubArray };

struct AssemblyResult {
    AssemblyStatus status = AssemblyStatus::Ok;
    uint32_t length = 0;    // array length the sub-arrays need (total_len on Ok)
    uint16_t checksum = 0;
    std::string text;       // box text when refused
    std::string caption;
    bool ok() const { return status == AssemblyStatus::Ok; }
};

// Assembly of new_array from the held sub-arrays (New_Write_Array), with its
// trace lines.  Sub-array 9 is always written as one 0 byte with length 1 in
// the head and in the checksum, and the held sub-array 9 becomes that byte,
// so every assembled array verifies and splits back into the held sub-arrays.
// Refused, with new_array and the state untouched, when the array with its
// closing 0 byte would not fit into 10000 bytes, or when a held length exceeds
// its sub-array's bytes.
AssemblyResult New_Write_Array(ProgramState& state, DebugLog& log);

// Display names of the slots ("Pickups", "МИП1", ..., "HOL"); "" for slot 10.
std::string_view slotName(int slot);

} // namespace korlin

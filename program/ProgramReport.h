#pragma once
// Readable accounts of a program array for the command line: the check (head,
// checksum, sensor types per МИП) and the dump of every sub-array as text.
// Both work on the bytes present only, whatever the head claims, and show no
// dialogs.
#include "ProgramArray.h"
#include "SensorMap.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korlin {

struct ProgramCheck {
    std::size_t size = 0;          // bytes present
    uint16_t totalLength = 0;      // head bytes 0..1
    ArrayLayout layout;
    bool headComplete = false;     // all 94 head bytes present
    bool withinData = false;       // every non-empty sub-array lies inside the bytes present
    uint16_t stored = 0;
    std::optional<uint16_t> computed; // empty unless withinData
    bool checksumOk() const { return computed && *computed == stored; }
    bool startOk = false;          // the map's start check (two 0 bytes before МИП1)
    // Type fields of the МИП sub-arrays by slot (1..8), found by the scan of
    // the sensor map over the whole МИП area.
    std::array<std::vector<TypeField>, kLastMipSlot + 1> types;
};

ProgramCheck checkProgramArray(std::span<const uint8_t> array);
// The check as text (UTF-8, lines ending in '\n').
std::string formatCheckReport(const ProgramCheck& check);
inline std::string checkReport(std::span<const uint8_t> array)
{
    return formatCheckReport(checkProgramArray(array));
}

// Every sub-array (slot order 0..9, 11..14) as a section headed by its slot,
// name, length and offset, then its lines: split at 0 bytes, decoded from
// Windows-1251; control bytes appear as \xNN and a backslash doubled.  Bytes
// after the last 0 byte come as a last line marked as unterminated.  Parts of
// a sub-array beyond the bytes present are left out and said so.
std::string dumpSubArrays(std::span<const uint8_t> array);
// The same for the held sub-arrays of the state.
std::string dumpSubArrays(const ProgramState& state);

} // namespace korlin

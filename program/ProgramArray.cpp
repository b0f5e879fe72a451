#include "ProgramArray.h"

#include "DebugLog.h"
#include "LogText.h"

#include <algorithm>
#include <cstring>

namespace korlin {

uint32_t elfHashUpdate(uint32_t h, std::span<const uint8_t> bytes)
{
    for (const uint8_t b : bytes) {
        h = (h << 4) + b;
        const uint32_t g = h & 0xF0000000u;
        if (g != 0) {
            h ^= g >> 24;
            h ^= g;
        }
    }
    return h;
}

std::optional<uint16_t> checksum(std::span<const uint8_t> array, const SlotOffsets& offsets,
                                 const SlotLengths& lengths)
{
    uint32_t h = 0;
    for (const int k : kDataSlots) {
        const std::size_t len = lengths[k];
        if (len == 0)
            continue;
        const std::size_t off = k == kPickupsSlot ? kHeadSize : offsets[k];
        if (off > array.size() || len > array.size() - off)
            return std::nullopt;
        h = elfHashUpdate(h, array.subspan(off, len));
    }
    return checksumFromHash(h);
}

uint16_t readU16(std::span<const uint8_t> array, std::size_t at)
{
    const unsigned lo = at < array.size() ? array[at] : 0;
    const unsigned hi = at + 1 < array.size() ? array[at + 1] : 0;
    return uint16_t(lo | (hi << 8));
}

void writeU16(std::span<uint8_t> array, std::size_t at, uint16_t v)
{
    array[at] = uint8_t(v & 0xFF);
    array[at + 1] = uint8_t(v >> 8);
}

ArrayLayout readLayout(std::span<const uint8_t> array)
{
    ArrayLayout l;
    for (const int k : kDataSlots)
        l.len[k] = readU16(array, headLengthOffset(k));
    // Offsets in 16-bit arithmetic, as the converter's head defines them; the
    // extent is kept wide so that a wrap cannot hide an oversized head.
    uint16_t off = uint16_t(kHeadSize);
    uint32_t extent = kHeadSize;
    for (const int k : kDataSlots) {
        l.off[k] = off;
        off = uint16_t(off + l.len[k]);
        extent += l.len[k];
    }
    l.extent = extent;
    return l;
}

SplitResult prog_array_destrukt(ProgramState& state, std::size_t validBytes)
{
    const std::span<const uint8_t> array(state.prog_array);
    const ArrayLayout layout = readLayout(array);

    SplitResult r;
    r.extent = layout.extent;
    r.stored = storedChecksum(array);

    // Empty sub-arrays point nowhere; only a data area that is not empty has
    // to lie inside the bytes present.
    if (layout.dataLength() > 0) {
        if (layout.extent > kProgArraySize) {
            r.status = SplitStatus::BeyondBuffer;
            r.text = kBeyondBufferText;
            r.caption = kChecksumErrorCaption;
            return r;
        }
        if (layout.extent > std::min(validBytes, kProgArraySize)) {
            r.status = SplitStatus::BeyondData;
            r.text = kBeyondDataText;
            r.caption = kChecksumErrorCaption;
            return r;
        }
    }

    // Inside the buffer by the checks above.
    r.computed = checksum(array, layout.off, layout.len).value_or(0);
    if (r.computed != r.stored) {
        r.status = SplitStatus::ChecksumMismatch;
        r.text = kChecksumErrorText;
        r.caption = kChecksumErrorCaption;
        return r;
    }

    state.subarray_len = layout.len;
    state.subarray_off = layout.off;
    for (const int k : kDataSlots) {
        const auto from = state.prog_array.begin() + layout.off[k];
        state.subarray[k].assign(from, from + layout.len[k]);
    }
    state.subarray[kAbsentSlot].clear();
    return r;
}

VerifyResult verifyChecksum(std::span<const uint8_t> array, const SlotOffsets& offsets,
                            const SlotLengths& lengths)
{
    VerifyResult r;
    r.stored = storedChecksum(array);
    r.computed = checksum(array, offsets, lengths);
    r.ok = r.computed && *r.computed == r.stored;
    return r;
}

VerifyResult ButtonSearschCRC(const ProgramState& state)
{
    return verifyChecksum(state.prog_array, state.subarray_off, state.subarray_len);
}

AssemblyResult New_Write_Array(ProgramState& state, DebugLog& log)
{
    log.LogMessage(logtext::AssemblyStart);

    // Sub-array 9 goes out as one 0 byte, whatever was split into it.
    SlotLengths len = state.subarray_len;
    len[kSubArray9Slot] = 1;
    len[kAbsentSlot] = 0;

    AssemblyResult r;
    uint32_t length = kHeadSize;
    for (const int k : kDataSlots) {
        length += len[k];
        if (k != kSubArray9Slot && state.subarray[k].size() < len[k]) {
            r.status = AssemblyStatus::ShortSubArray;
            r.text = kAssemblyShortSubArrayText;
        }
    }
    r.length = length;
    if (r.ok() && length + 1 > kProgArraySize) { // the closing 0 byte must fit too
        r.status = AssemblyStatus::TooLong;
        r.text = kAssemblyTooLongText;
    }
    if (!r.ok()) {
        r.caption = kAssemblyErrorCaption;
        log.LogMessage(kAssemblyRefusedLog);
        return r;
    }

    auto& out = state.new_array;
    SlotOffsets off{};
    std::size_t at = kHeadSize;
    for (const int k : kDataSlots) {
        off[k] = uint16_t(at);
        if (k == kSubArray9Slot)
            out[at] = 0;
        else if (len[k] > 0)
            std::memcpy(out.data() + at, state.subarray[k].data(), len[k]);
        at += len[k];
    }
    out[at] = 0; // closing byte, outside the length
    state.total_len = uint16_t(at);
    state.subarray_off = off;
    state.subarray_len = len;
    state.subarray[kSubArray9Slot].assign(1, 0);
    state.subarray[kAbsentSlot].clear();
    writeU16(out, 0, state.total_len);
    log.LogMessage(logtext::AssemblyCopied);
    log.LogMessage(logtext::ChecksumStart);

    r.checksum = checksum(out, off, len).value_or(0);
    writeU16(out, 2, r.checksum);
    log.LogMessage(logtext::ChecksumDone);
    log.LogMessage(logtext::HeadStart4);
    log.LogMessage(logtext::HeadStart8);

    std::fill(out.begin() + 4, out.begin() + kHeadSize, uint8_t(0));
    for (const int k : kDataSlots)
        writeU16(out, headLengthOffset(k), len[k]);
    log.LogMessage(logtext::AssemblyDone);
    return r;
}

std::string_view slotName(int slot)
{
    static constexpr std::array<std::string_view, kSlotCount> names = {
        "Pickups", "МИП1", "МИП2", "МИП3", "МИП4", "МИП5", "МИП6", "МИП7", "МИП8",
        "Подмассив 9", "", "AO", "PR", "RO", "HOL"};
    return slot >= 0 && slot < kSlotCount ? names[slot] : std::string_view{};
}

} // namespace korlin

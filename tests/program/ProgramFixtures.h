#pragma once
// Building program arrays for the tests: text lines, МИП channel programs and
// raw arrays with a head of our choosing.
#include "ProgramArray.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <initializer_list>
#include <string>
#include <vector>

namespace korlin::test {

using Bytes = std::vector<uint8_t>;

// Lines, each closed by one 0 byte.
inline Bytes lines(std::initializer_list<std::string> ls)
{
    Bytes out;
    for (const auto& l : ls) {
        out.insert(out.end(), l.begin(), l.end());
        out.push_back(0);
    }
    return out;
}

// One channel line: "channel input type" and its 0 byte.
inline void addChannel(Bytes& out, int mip, int channel, const std::string& type)
{
    const std::string l = std::to_string(channel) + " " + std::to_string(channel + 108 * (mip - 1)) + " " + type;
    out.insert(out.end(), l.begin(), l.end());
    out.push_back(0);
}

// A МИП program of 108 channels; type(channel) gives the type field's text.
template <class F>
Bytes mipProgram(int mip, F type)
{
    Bytes out;
    for (int ch = 1; ch <= 108; ++ch)
        addChannel(out, mip, ch, type(ch));
    return out;
}

// A raw array: head lengths from subs (slot 10 ignored), data in slot order,
// and the correct checksum unless a stored value is given.
inline Bytes rawArray(const std::array<Bytes, kSlotCount>& subs, std::optional<uint16_t> stored = {})
{
    Bytes a(kHeadSize, 0);
    for (const int k : kDataSlots) {
        writeU16(a, headLengthOffset(k), uint16_t(subs[k].size()));
        a.insert(a.end(), subs[k].begin(), subs[k].end());
    }
    const ArrayLayout l = readLayout(a);
    writeU16(a, 0, uint16_t(a.size()));
    writeU16(a, 2, stored ? *stored : checksum(a, l.off, l.len).value());
    return a;
}

// Holds subs as the sub-arrays of state, as a text window would save them.
inline void hold(ProgramState& state, const std::array<Bytes, kSlotCount>& subs)
{
    for (int k = 0; k < kSlotCount; ++k) {
        state.subarray[k] = subs[k];
        state.subarray_len[k] = uint16_t(subs[k].size());
    }
}

inline void putIntoProgArray(ProgramState& state, const Bytes& a)
{
    std::copy(a.begin(), a.end(), state.prog_array.begin());
}

} // namespace korlin::test

#include "ProgramImage.h"

#include <cstdio>
#include <string>

namespace korlin::sim {

namespace {

// Slots in data order; slot 10 is absent.
constexpr std::array<int, 14> kDataOrder = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14};

void appendLine(std::vector<uint8_t>& out, const std::string& text)
{
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// "a b c" with 1..3 digits per field, single spaces, nothing around.
std::optional<std::array<int, 3>> parseChannelLine(std::span<const uint8_t> line)
{
    std::array<int, 3> f{};
    size_t i = 0;
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            if (i >= line.size() || line[i] != ' ')
                return std::nullopt;
            ++i;
        }
        size_t digits = 0;
        int v = 0;
        while (i < line.size() && isDigit(line[i]) && digits < 4) {
            v = v * 10 + (line[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3)
            return std::nullopt;
        f[size_t(k)] = v;
    }
    if (i != line.size())
        return std::nullopt;
    return f;
}

} // namespace

uint32_t elfHashStep(uint32_t h, std::span<const uint8_t> bytes)
{
    for (uint8_t b : bytes) {
        h = (h << 4) + b;
        const uint32_t g = h & 0xF0000000u;
        if (g != 0) {
            h ^= g >> 24;
            h ^= g;
        }
    }
    return h;
}

uint16_t streamChecksum(std::span<const uint8_t> stream)
{
    return uint16_t(elfHashStep(0, stream) % 30031u);
}

std::optional<SlotMap> slotMap(std::span<const uint8_t> array)
{
    if (array.size() < kHeadSize)
        return std::nullopt;
    SlotMap m;
    size_t at = kHeadSize;
    for (int slot : kDataOrder) {
        const size_t len = readU16(array, slotLengthOffset(slot));
        if (len > array.size() - at)
            return std::nullopt;
        m.offset[size_t(slot)] = at;
        m.length[size_t(slot)] = len;
        at += len;
    }
    m.offset[kAbsentSlot] = at;
    m.end = at;
    return m;
}

std::optional<uint16_t> arrayChecksum(std::span<const uint8_t> array)
{
    const auto m = slotMap(array);
    if (!m)
        return std::nullopt;
    uint32_t h = 0;
    for (int slot : kDataOrder)
        h = elfHashStep(h, array.subspan(m->offset[size_t(slot)], m->length[size_t(slot)]));
    return uint16_t(h % 30031u);
}

std::vector<ChannelLine> channelLines(std::span<const uint8_t> array)
{
    std::vector<ChannelLine> out;
    if (array.size() < kHeadSize)
        return out;
    // Walk the slots one by one so that a bad length late in the head still
    // leaves the МИП sub-arrays before it readable.
    size_t at = kHeadSize + readU16(array, slotLengthOffset(0));
    for (int mip = 1; mip <= 8; ++mip) {
        const size_t len = readU16(array, slotLengthOffset(mip));
        if (at > array.size())
            break;
        const size_t end = std::min(array.size(), at + len);
        size_t lineStart = at;
        for (size_t i = at; i < end; ++i) {
            if (array[i] != 0)
                continue;
            if (auto f = parseChannelLine(array.subspan(lineStart, i - lineStart)))
                out.push_back({mip, (*f)[0], (*f)[1], (*f)[2]});
            lineStart = i + 1;
        }
        at += len;
    }
    return out;
}

std::optional<int> sensorClass(int type)
{
    if (type == 0)
        return 0;
    if ((type >= 1 && type <= 9) || (type >= 11 && type <= 16) || (type >= 26 && type <= 34))
        return 2;
    if (type >= 17 && type <= 19)
        return 1;
    if (type == 20 || type == 21)
        return 4;
    if (type >= 22 && type <= 24)
        return 3;
    if (type == 25)
        return 5;
    return std::nullopt;
}

std::vector<uint8_t> assembleArray(const std::array<std::vector<uint8_t>, kSlots>& slots)
{
    std::vector<uint8_t> a(kHeadSize, 0);
    for (int slot : kDataOrder) {
        const auto& s = slots[size_t(slot)];
        a.insert(a.end(), s.begin(), s.end());
        writeU16(a, slotLengthOffset(slot), uint16_t(s.size()));
    }
    writeU16(a, 0, uint16_t(a.size()));
    writeU16(a, 2, arrayChecksum(a).value_or(0));
    return a;
}

int defaultSensorType(int n)
{
    const int c = (n - 1) % kChannelsPerMip + 1; // channel within its МИП
    const bool second = n > kChannelsPerMip;
    if (c <= 24)
        return second && c > 16 ? 18 : 17;  // 4-20 mA current loops
    if (c <= 60)
        return 1 + (c - 25) % 9;            // thermocouples, types 1..9
    if (c <= 72)
        return second ? 11 + (c - 61) % 6 : 22; // resistance thermometers / voltage
    if (c <= 84)
        return 20;                          // millivolt inputs
    if (c <= 96)
        return 25;                          // dry contacts
    if (c <= 102)
        return second ? 23 : 26 + (c - 97);
    return 0;                               // spare inputs, no sensor
}

std::vector<uint8_t> defaultProgram()
{
    std::array<std::vector<uint8_t>, kSlots> slots;

    // Sensor information: one line per standard type (type, class, range
    // low and high in the class's units, decimals), then the МИП count and
    // the line of channels per МИП, closed by an empty line.
    auto& pickups = slots[0];
    struct Range { int low, high, decimals; };
    for (int t = 0; t <= 34; ++t) {
        const int cls = sensorClass(t).value_or(0);
        Range r{0, 0, 0};
        switch (cls) {
        case 1: r = {4, 20, 3}; break;
        case 2: r = {0, 600 + 50 * (t % 12), 1}; break;
        case 3: r = {0, 10, 3}; break;
        case 4: r = {0, 50, 2}; break;
        case 5: r = {0, 1, 0}; break;
        default: break;
        }
        char line[64];
        std::snprintf(line, sizeof line, "%d %d %d %d %d %d", t, cls, r.low, r.high, r.decimals, 1000 + t);
        appendLine(pickups, line);
    }
    for (int mip = 1; mip <= 8; ++mip) {
        char line[64];
        std::snprintf(line, sizeof line, "%d %d %d %d", mip, kChannelsPerMip, (mip - 1) * kChannelsPerMip + 1,
                      mip * kChannelsPerMip);
        appendLine(pickups, line);
    }
    appendLine(pickups, "9327 2 216 0");
    pickups.push_back(0); // the empty line that closes the text

    for (int mip = 1; mip <= 2; ++mip) {
        auto& s = slots[size_t(mip)];
        for (int c = 1; c <= kChannelsPerMip; ++c) {
            const int input = c + kChannelsPerMip * (mip - 1);
            appendLine(s, std::to_string(c) + " " + std::to_string(input) + " "
                              + std::to_string(defaultSensorType(input)));
        }
    }
    slots[9] = {0};
    return assembleArray(slots);
}

std::vector<uint8_t> defaultPickupsCheck()
{
    return pickupsCheck(defaultProgram());
}

std::vector<uint8_t> pickupsCheck(std::span<const uint8_t> a)
{
    const size_t len = readU16(a, slotLengthOffset(0));
    std::vector<uint8_t> out(kPickupsCheckSize, 0);
    for (size_t i = 0; i < kPickupsCheckSize && i < len && kHeadSize + i < a.size(); ++i)
        out[i] = a[kHeadSize + i];
    return out;
}

} // namespace korlin::sim

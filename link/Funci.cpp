#include "Funci.h"

#include <array>

namespace korlin {
namespace {

// The two 256-entry tables, built once from the reflected polynomial 0xA001:
// kCrcHi holds the low-order byte of each entry's CRC, kCrcLo the high-order.
struct Tables {
    std::array<uint8_t, 256> hi{}, lo{};
    constexpr Tables()
    {
        for (unsigned i = 0; i < 256; ++i) {
            unsigned c = i;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
            hi[i] = uint8_t(c & 0xFF);
            lo[i] = uint8_t(c >> 8);
        }
    }
};
constexpr Tables kTables;
static_assert(kTables.hi[1] == 0xC1 && kTables.lo[1] == 0xC0, "first entries of the published tables");
static_assert(kTables.hi[255] == 0x40 && kTables.lo[255] == 0x40, "last entries of the published tables");

} // namespace

uint16_t CRC16(const uint8_t* data, int16_t n)
{
    uint8_t hi = 0xFF, lo = 0xFF;
    for (int16_t i = 0; i < n; ++i) {
        const uint8_t index = hi ^ data[i];
        hi = lo ^ kTables.hi[index];
        lo = kTables.lo[index];
    }
    return uint16_t((hi << 8) | lo);
}

} // namespace korlin

#pragma once
// The shared buffers of the start-up's buffer table: allocated once, zero
// filled, by the start-up and released once at exit.  Per-channel arrays are
// indexed by channel number (index 0 holds no channel).
#include <array>
#include <cstdint>

namespace korlin {

inline constexpr int kChannelEntries = 875; // 3500 bytes of 32-bit entries: channels 1..864

struct SharedBuffers {
    std::array<uint8_t, 7> RxBuf{};
    std::array<uint8_t, 10000> prog_array{};
    std::array<int32_t, kChannelEntries> UstOn{};
    std::array<float, kChannelEntries> UstMaxArr{};
    std::array<float, kChannelEntries> UstMinArr{};
    std::array<uint8_t, 900> RabBuf{};
    std::array<int32_t, 217> UstCount{};
    std::array<uint8_t, 10000> new_array{};
    std::array<int32_t, kChannelEntries> sensor_type{};
    std::array<int32_t, kChannelEntries> sensor_class{};
    std::array<uint8_t, 1000> CurSubArray{};
    std::array<uint8_t, 700> PickupsRef{};
    std::array<uint8_t, 700> PickupsCmp{};
    std::array<uint8_t, 10000> FileBuf{};
    std::array<uint8_t, 9500> SluBuf{};
};

} // namespace korlin

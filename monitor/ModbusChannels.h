#pragma once
// Decoding of one MODBUS working-channel answer (function 03, 108 registers,
// 221 bytes: address, 0x03, byte count, registers high byte first, CRC).
// The view is plain: raw whole numbers, and five register values that stand
// for conditions.  Header and CRC are not looked at.
#include "ChannelView.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace korlin {

namespace modbusview {
inline constexpr size_t kAnswerSize = 221;
inline constexpr size_t kFirstRegisterByte = 3;
inline constexpr int kChannelsPerPage = 108;
} // namespace modbusview

struct ModbusChannelView {
    std::string text;
    WindowColour background;
    std::optional<WindowColour> textColour; // empty: left as it was
    bool operator==(const ModbusChannelView&) const = default;
};

struct ModbusPollResult {
    int32_t KanFirst = 0, KanLast = 0;
    std::array<ModbusChannelView, modbusview::kChannelsPerPage> windows; // windows[ch - KanFirst]
    const ModbusChannelView& window(int32_t ch) const { return windows.at(size_t(ch - KanFirst)); }
};

// The view of one register value w of channel ch.
ModbusChannelView modbusChannelView(int32_t ch, int16_t w);

// Decodes the page KanFirst..KanLast (1..108 or 109..216; any other range is
// a caller's bug: std::invalid_argument).
ModbusPollResult decodeModbusChannels(std::span<const uint8_t, modbusview::kAnswerSize> answer,
                                      int32_t KanFirst, int32_t KanLast);

} // namespace korlin

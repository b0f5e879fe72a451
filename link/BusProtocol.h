#pragma once
// The converter's native bus protocol and the MODBUS frames the tool sends:
// address byte, bus frame, command index, status byte and its texts.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace korlin::bus {

// A МИП has a bus address 1..32; on the native bus it is named by its
// address byte 0xC0 + address (0xC1..0xE0), told from a command by value.
inline constexpr int kMinAddress = 1;
inline constexpr int kMaxAddress = 32;
inline constexpr uint8_t kAddressBase = 0xC0;
constexpr uint8_t addressByte(int busAddress) { return uint8_t(kAddressBase + busAddress); }

// Command index of the native protocol.
enum Command : uint8_t {
    StateQuery = 0x01,          // answer: 1 status byte
    WorkingChannels = 0x02,     // answer: up to 900 bytes
    ProgramLoad = 0x10,         // followed by the program array; no answer
    ServiceChannels = 0x1C,     // answer: up to 9500 bytes
    ProgramRead = 0x1D,         // answer: up to 10000 bytes (the program array)
    NewAddress = 0x20,          // followed by 1 byte: the new address byte
    AddressQuery = 0x21,        // answer: the address byte of the МИП
    WaitingMode = 0x22,         // no answer; status becomes 138
    MeasuringMode = 0x23,       // no answer; status becomes 129
    Clock = 0x24,               // followed by the 7-byte clock record
};

// The bus frame: [address byte, command code], one write.
constexpr std::array<uint8_t, 2> frame(uint8_t addrByte, uint8_t command) { return {addrByte, command}; }

// Status byte.
enum Status : uint8_t {
    Measuring = 129,
    WaitsProgram = 130,
    CountMismatch = 132,
    ChecksumMismatch = 133,
    TooLongForDisk = 135,
    TooLongForRam = 136,
    Manual = 137,
    Waiting = 138,
};
inline constexpr std::array<uint8_t, 8> kStatusSet = {129, 130, 132, 133, 135, 136, 137, 138};
constexpr bool isStatus(int s)
{
    for (uint8_t v : kStatusSet)
        if (v == s)
            return true;
    return false;
}

// Texts of the state label, for each status and for any other value.
std::string_view stateLabelText(int status);
inline constexpr std::string_view kStateLabelInvalid = "Ошибка ответа МИП о состоянии. ";

// The warning box discovery shows for a status (130, 132, 133, 135, 136, 137).
struct WarningBox {
    std::string_view text;
    std::string_view caption;
};
std::optional<WarningBox> warningBox(int status);

// MODBUS RTU function 03 (read holding registers).
namespace modbus {
inline constexpr uint8_t kReadHolding = 0x03;
inline constexpr uint16_t kStatusRegister = 4002; // 0x0FA2
inline constexpr uint16_t kChannelsPage1 = 1;
inline constexpr uint16_t kChannelsPage2 = 109;
inline constexpr uint16_t kChannelsPerPage = 108;
inline constexpr int kStatusAnswerLength = 7;    // addr, 03, 2, hi, lo(status), crc lo, crc hi
inline constexpr int kChannelsAnswerLength = 221; // addr, 03, 216, 108 registers, crc

// slave, 0x03, first register (high, low), count (high, low), CRC low, CRC high.
std::array<uint8_t, 8> readRequest(uint8_t slave, uint16_t firstRegister, uint16_t count);
} // namespace modbus

} // namespace korlin::bus

#pragma once
// CRC-16 of MODBUS RTU in the table form of the MODBUS serial line
// documents.  The value comes back with its two bytes swapped: its high byte
// is the CRC's low-order byte.  Storing the value high byte first therefore
// puts the CRC on the wire low-order byte first, as MODBUS wants.
// Used for MODBUS requests only, never for the program array.
#include <cstdint>

namespace korlin {

// n is a signed 16-bit count; a count of 0 or less hashes nothing.
uint16_t CRC16(const uint8_t* data, int16_t n);

// The standard CRC-16/MODBUS value (what a reference implementation prints).
inline uint16_t standardCrc16(const uint8_t* data, int16_t n)
{
    const uint16_t v = CRC16(data, n);
    return uint16_t((v << 8) | (v >> 8));
}

} // namespace korlin

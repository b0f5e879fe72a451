#pragma once
// The shared buffers of the start-up's buffer table: allocated once, zero
// filled, by the start-up and released once at exit.  Per-channel arrays are
// indexed by channel number (index 0 holds no channel).
#include "Exchanges.h"
#include "ProgramArray.h"
#include "SensorMap.h"
#include "Setpoints.h"

#include <array>
#include <cstdint>

namespace korlin {

struct SharedBuffers {
    RxBuffer RxBuf{};
    ProgramState program;   // prog_array, new_array and the held sub-arrays
    SetpointState setpoints; // UstOn, UstMaxArr, UstMinArr, UstCount and their switches
    RabBuffer RabBuf{};
    SensorTables sensors;   // sensor_type, sensor_class
    std::array<uint8_t, 1000> CurSubArray{};
    std::array<uint8_t, 700> PickupsRef{};
    std::array<uint8_t, 700> PickupsCmp{};
    std::array<uint8_t, 10000> FileBuf{};
    SluBuffer SluBuf{};
};

} // namespace korlin

#pragma once
// Setpoint state of the working channels and the per-channel check that the
// working-channel poll runs on every measurement.
#include "ChannelView.h"

#include <array>
#include <cstdint>

namespace korlin {

// Per-channel arrays are indexed by channel number (entry 0 unused).
struct SetpointState {
    bool UstEnabled = false;         // setpoint checking is on
    bool AlarmOn = true;             // beep after a poll with a trip
    std::array<int32_t, 875> UstOn{}; // 1 = the channel's setpoint is active
    std::array<float, 875> UstMinArr{}, UstMaxArr{};
    std::array<int32_t, 217> UstCount{}; // trips per channel 1..216
    int32_t UstTotal = 0;            // trips over all channels
    int32_t KanErrCount = 0;         // channel faults (status words on active channels)
    bool errorKanChecked = false;    // CheckBoxErrorKan is ticked
};

// What the checks of one poll leave outside the channel windows.
struct SetpointEffects {
    bool AlarmNow = false;          // a trip happened in this poll
    bool editUstawkiYellow = false; // EditUstawki gets the yellow background
};

// The check for one measured channel: channel n (1..216), its display class,
// the value as shown and the raw word w it came from.  The raw word is passed
// so that the comparison can form its own product of w and the class's scale
// (the shown value is the exact quotient, see WorkingChannels.cpp).  It may
// colour the window's text, append the trip count and set the effects.
// Called for every measurement of a matched channel, never for a status word.
void setpointCheck(int32_t channel, int32_t sensorClass, double value, int16_t w,
                   SetpointState& state, ChannelView& window, SetpointEffects& effects);

using SetpointCheckFn = void (*)(int32_t channel, int32_t sensorClass, double value, int16_t w,
                                 SetpointState& state, ChannelView& window, SetpointEffects& effects);

} // namespace korlin

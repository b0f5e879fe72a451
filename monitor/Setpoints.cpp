#include "Setpoints.h"

namespace korlin {

void setpointCheck(int32_t channel, int32_t sensorClass, double value, int16_t w,
                   SetpointState& state, ChannelView& window, SetpointEffects& effects)
{
    if (!state.UstEnabled)
        return;
    // The comparison with the limits, the trip count on the text and the
    // colours come with the setpoint commands.
    (void)channel;
    (void)sensorClass;
    (void)value;
    (void)w;
    (void)window;
    (void)effects;
}

} // namespace korlin

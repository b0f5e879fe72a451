#pragma once
// Places and names of the windows created at run time: the 216 channel
// windows (two pages of 108), the 296 parameter windows and the 80 service
// windows; and the period rules of the cyclic working-channel poll.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korlin {

struct WindowPlace {
    int left = 0, top = 0, width = 0; // pixels from the parent's top-left corner
    constexpr bool operator==(const WindowPlace&) const = default;
};

namespace windows {
inline constexpr int kChannelWindows = 216;
inline constexpr int kChannelsPerPage = 108;
inline constexpr int kParameterWindows = 296;
inline constexpr int kServiceWindows = 80;
} // namespace windows

// Channel window j of its page (1..108): six columns of 18, with 15 extra
// pixels between the ninth and tenth row.
constexpr WindowPlace channelWindowPlace(int j)
{
    if (j < 1 || j > windows::kChannelsPerPage)
        throw std::out_of_range("channel window index");
    const int col = (j - 1) / 18, row = (j - 1) % 18;
    return {10 + 110 * col, 10 + 22 * row + (row >= 9 ? 15 : 0), 105};
}
// The window of channel 1..216 on its page (channel 109 is the first of page 2).
constexpr WindowPlace channelWindowPlaceOfChannel(int channel)
{
    if (channel < 1 || channel > windows::kChannelWindows)
        throw std::out_of_range("channel number");
    return channelWindowPlace((channel - 1) % windows::kChannelsPerPage + 1);
}
// Parameter window S1..S296: columns of 27.
constexpr WindowPlace parameterWindowPlace(int j)
{
    if (j < 1 || j > windows::kParameterWindows)
        throw std::out_of_range("parameter window index");
    return {50 + 79 * ((j - 1) / 27), 110 + 20 * ((j - 1) % 27), 75};
}
// Service window Sl1..Sl80: columns of 10.
constexpr WindowPlace serviceWindowPlace(int j)
{
    if (j < 1 || j > windows::kServiceWindows)
        throw std::out_of_range("service window index");
    return {25 + 110 * ((j - 1) / 10), 10 + 20 * ((j - 1) % 10), 105};
}

inline std::string channelWindowName(int channel) { return "R" + std::to_string(channel); }
inline std::string parameterWindowName(int j) { return "S" + std::to_string(j); }
inline std::string serviceWindowName(int j) { return "Sl" + std::to_string(j); }

// The channel a channel window's name stands for: "R" and one to three
// digits naming 1..216; nothing for any other name.
std::optional<int> channelOfWindowName(std::string_view name);

// Period of the cyclic working-channel poll.  The up-down runs 2..50 seconds
// from position 6, yet the timer keeps 5000 ms until the first mouse release
// on the up-down, which sets the period to position * 1000 ms.  Positions
// changed in any other way take effect at the next release.
struct RabCyclePeriod {
    static constexpr int kMinPosition = 2, kMaxPosition = 50, kStartPosition = 6;
    static constexpr int kStartPeriodMs = 5000;
    static constexpr int kModbusPeriodMs = 5000; // the MODBUS cycle never changes

    int position = kStartPosition; // UpDownRabCan, shown in LabeledEdit2
    int periodMs = kStartPeriodMs; // TimerCiklRabCan

    // Arrow click or key: the position moves within its range.
    constexpr void step(int delta)
    {
        const int p = position + delta;
        position = p < kMinPosition ? kMinPosition : p > kMaxPosition ? kMaxPosition : p;
    }
    // UpDownRabCanMouseUp.
    constexpr void mouseReleased() { periodMs = position * 1000; }
};

} // namespace korlin

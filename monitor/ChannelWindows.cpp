#include "ChannelWindows.h"

namespace korlin {

std::optional<int> channelOfWindowName(std::string_view name)
{
    if (name.size() < 2 || name.size() > 4 || name[0] != 'R')
        return std::nullopt;
    int n = 0;
    for (char c : name.substr(1)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n < 1 || n > windows::kChannelWindows)
        return std::nullopt;
    return n;
}

} // namespace korlin

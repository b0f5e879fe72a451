#pragma once
// What a channel window shows: its text and its two colours, the colour
// legend of the working-channel group box, and the backgrounds of the
// channel state codes.
#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace korlin {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    constexpr bool operator==(const Rgb&) const = default;
};

namespace colour {
inline constexpr Rgb Yellow{255, 255, 0};
inline constexpr Rgb Fuchsia{255, 0, 255};
inline constexpr Rgb Lime{0, 255, 0};
inline constexpr Rgb Silver{192, 192, 192};
inline constexpr Rgb SkyBlue{166, 202, 240};
inline constexpr Rgb Cream{255, 251, 240};
inline constexpr Rgb Grey{128, 128, 128};
inline constexpr Rgb Olive{128, 128, 0};
inline constexpr Rgb Aqua{0, 255, 255};
inline constexpr Rgb Purple{128, 0, 128};
inline constexpr Rgb Red{255, 0, 0};
inline constexpr Rgb White{255, 255, 255};
} // namespace colour

// Either a fixed colour or the desktop's standard window colour: the standard
// window text colour where it colours a text, the standard window background
// where it colours a background.
struct WindowColour {
    bool standard = true;
    Rgb rgb{};

    static constexpr WindowColour Standard() { return {}; }
    static constexpr WindowColour of(Rgb c) { return {false, c}; }
    constexpr bool operator==(const WindowColour&) const = default;
};

// One channel window after a poll.  The text is UTF-8.
struct ChannelView {
    std::string text;
    WindowColour textColour;
    WindowColour background;
    bool operator==(const ChannelView&) const = default;
};

// Channel state code (4 bits of a working-channel record) -> background.
// Codes without a colour leave the standard background.
struct StateCodeColour {
    std::optional<Rgb> background;
    std::string_view hint; // the legend's hint for that colour, empty without one
};
inline constexpr std::array<StateCodeColour, 16> kStateCodeColours = {{
    {std::nullopt, {}},                                                    // 0
    {colour::Yellow, "Неисправность датчика."},                            // 1
    {colour::Fuchsia, "Неисправность МИП."},                               // 2
    {std::nullopt, {}},                                                    // 3
    {colour::Lime, "Перегруз АЦП."},                                       // 4
    {colour::Silver, "Результат ниже нижнего предела измер."},             // 5
    {colour::SkyBlue, "Результат выше верхнего предела измер."},           // 6
    {colour::Cream, "Результат не в допуске(для служ. кан.)"},             // 7
    {std::nullopt, {}},                                                    // 8
    {colour::Grey, "Результат ниже уставки"},                              // 9
    {colour::Olive, "Результат выше уставки"},                             // 10
    {std::nullopt, {}},                                                    // 11
    {std::nullopt, {}},                                                    // 12
    {std::nullopt, {}},                                                    // 13
    {std::nullopt, {}},                                                    // 14
    {colour::Aqua, "Нет информации холодного спая"},                       // 15
}};

// The background a state code gives a window (standard for the uncoloured
// codes; codes are taken modulo 16, as they come from 4 bits).
constexpr WindowColour stateCodeBackground(int code)
{
    const auto& c = kStateCodeColours[static_cast<unsigned>(code) & 15u];
    return c.background ? WindowColour::of(*c.background) : WindowColour::Standard();
}

// The colour legend (Panel1): nine caption-less labels, left to right.
struct LegendEntry {
    int left;
    std::string_view label; // resource name
    Rgb colour;
    std::string_view hint;
    int stateCode;
};
namespace legend {
inline constexpr int kPanelLeft = 706, kPanelTop = 453, kPanelWidth = 265, kPanelHeight = 20;
inline constexpr int kLabelTop = 2, kLabelWidth = 25, kLabelHeight = 15;
} // namespace legend
inline constexpr std::array<LegendEntry, 9> kColourLegend = {{
    {5, "Label_help6", colour::Olive, "Результат выше уставки", 10},
    {32, "Label_help1", colour::Yellow, "Неисправность датчика.", 1},
    {63, "Label_help2", colour::Fuchsia, "Неисправность МИП.", 2},
    {94, "Label_help5", colour::Aqua, "Нет информации холодного спая", 15},
    {125, "Label_help3", colour::Lime, "Перегруз АЦП.", 4},
    {156, "Label6", colour::Cream, "Результат не в допуске(для служ. кан.)", 7},
    {175, "Label_help9", colour::SkyBlue, "Результат выше верхнего предела измер.", 6},
    {206, "Label_help7", colour::Grey, "Результат ниже уставки", 9},
    {237, "Label_help4", colour::Silver, "Результат ниже нижнего предела измер.", 5},
}};

// Readable test failures.
inline std::ostream& operator<<(std::ostream& os, const Rgb& c)
{
    return os << "rgb(" << int(c.r) << ',' << int(c.g) << ',' << int(c.b) << ')';
}
inline std::ostream& operator<<(std::ostream& os, const WindowColour& c)
{
    if (c.standard)
        return os << "standard";
    return os << c.rgb;
}
inline std::ostream& operator<<(std::ostream& os, const ChannelView& v)
{
    return os << '"' << v.text << "\" text " << v.textColour << " on " << v.background;
}

} // namespace korlin

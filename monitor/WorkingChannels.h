#pragma once
// Decoding of one native working-channel poll: the answer block in RabBuf
// becomes the caption of GroupBoxAllRabCan, the text and colours of every
// channel window of the page, the big value label and the counters.
//
// Answer block: bytes 0..9 hold the poll time (0 day, 1 month code, 2 minutes,
// 3 hours, 5 seconds), then 4-byte records from byte 10 on: channel number
// (10 bits: byte 0 + 256 * (byte 1 & 3)), state code (byte 1 bits 2..5) and a
// signed 16-bit value, low byte first.  An all-zero record is a channel that
// is not in the program.  Values 0x8000..0x8005 are status words.
#include "ChannelView.h"
#include "Setpoints.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace korlin {

namespace rab {
inline constexpr size_t kBufSize = 900;   // RabBuf
inline constexpr size_t kHeaderSize = 10;
inline constexpr size_t kRecordSize = 4;
inline constexpr size_t kMaxRecords = (kBufSize - kHeaderSize) / kRecordSize; // 222
inline constexpr int kChannelsPerPage = 108;
inline constexpr int kPage1First = 1, kPage1Last = 108;
inline constexpr int kPage2First = 109, kPage2Last = 216;
inline constexpr size_t kSensorClassSize = 875;

inline constexpr std::string_view kCaptionHead = "Рабочие каналы,     Время опроса  ";
inline constexpr std::string_view kNotInProgram = "   Нет в прог.";
inline constexpr std::string_view kMissingFromAnswer = "   Нет в прог*";
inline constexpr std::string_view kJanuary = "январь";
inline constexpr std::string_view kJuly = "июль";

// Status words 0x8000..0x8005 and their texts ("НKХС" has a Latin K).
inline constexpr std::array<std::string_view, 6> kStatusWordTexts = {
    "  НМИП", "  НДАТ", "  ПерегАЦП", "  За ниж.гр.", "  За верх.гр.", "  НKХС"};
inline constexpr std::string_view kDryContact = "  Сух.конт.";
inline constexpr std::string_view kUndetermined = "  Тип не опр.";
} // namespace rab

struct WorkingPollInput {
    std::span<const uint8_t, rab::kBufSize> RabBuf;
    // Bytes of this answer that arrived (BytesDone); the rest of RabBuf still
    // holds earlier answers and is decoded all the same.
    int64_t BytesDone = 0;
    int32_t KanFirst = rab::kPage1First, KanLast = rab::kPage1Last; // one of the two pages
    std::span<const int32_t, rab::kSensorClassSize> sensor_class;
    std::string_view RabText;  // month word of the previous poll
    int32_t SelKan = 0;        // selected channel, 0 = none
    char decimalSeparator = '.';
};

struct BigLabel {
    std::string text;
    WindowColour textColour;
    bool operator==(const BigLabel&) const = default;
};

struct WorkingPollResult {
    int32_t KanFirst = 0, KanLast = 0;
    std::array<ChannelView, rab::kChannelsPerPage> windows; // windows[ch - KanFirst]
    const ChannelView& window(int32_t ch) const { return windows.at(size_t(ch - KanFirst)); }

    std::string caption; // of GroupBoxAllRabCan
    std::string RabText; // the month word to keep for the next poll
    std::optional<BigLabel> bigLabel; // set when Label_kan_data must change

    int64_t BytesDone = 0;       // for EditIntBit
    int32_t freshRecords = 0;    // complete records that came with this answer
    int32_t recordsScanned = 0;  // records the scan consumed or passed over
    bool stoppedAtBlockEnd = false; // the block ran out before the page did

    int32_t KanErrCount = 0;        // copies of the counters after the poll
    int32_t UstTotal = 0;           // for EditUstawki
    bool kanErrCountShown = false;  // EditErrorKan must show KanErrCount
    SetpointEffects setpoint;
    bool beep = false;              // AlarmOn && AlarmNow: the stop sound
};

// Decodes one poll of the page KanFirst..KanLast.  Updates the counters of
// `setpoints` and runs `check` for every measurement of a matched channel.
// A page other than 1..108 or 109..216 is a caller's bug: std::invalid_argument.
WorkingPollResult decodeWorkingChannels(const WorkingPollInput& in, SetpointState& setpoints,
                                        SetpointCheckFn check = &setpointCheck);

// The value shown for a measurement w of a display class (1..4), and its
// window text after the channel number ("  23.5   C", "  Сух.конт.").
std::optional<double> scaledValue(int32_t sensorClass, int16_t w);
std::string measurementText(int32_t sensorClass, int16_t w, char decimalSeparator);

} // namespace korlin

#include "WorkingChannels.h"

#include "Format.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace korlin {
namespace {

constexpr int16_t kFirstStatusWord = -32768; // 0x8000
constexpr int16_t kLastStatusWord = -32763;  // 0x8005

void showNotInProgram(ChannelView& v, int32_t ch, std::string_view suffix)
{
    v.text = std::to_string(ch);
    v.text += suffix;
    v.textColour = WindowColour::of(colour::Yellow);
    v.background = WindowColour::of(colour::Purple);
}

} // namespace

std::optional<double> scaledValue(int32_t sensorClass, int16_t w)
{
    // The scale is applied as a division by 1000, 10 or 100 rather than a
    // product with 0.001, 0.1 or 0.01: the quotient is the double nearest to
    // the decimal w * scale, so it prints as that short decimal at any
    // precision (235 -> 23.5, -5 -> -0.05, 1000 -> 1).  The product with the
    // inexact constant is a unit in the last place off for about a third of
    // the words (3 * 0.1 = 0.30000000000000004); 15 significant digits hide
    // that, a shortest round-trip format or an equality test would not.
    switch (sensorClass) {
    case 1: // current, mA
    case 3: // voltage, V
        return w / 1000.0;
    case 2: // temperature, C
        return w / 10.0;
    case 4: // millivolts
        return w / 100.0;
    default:
        return std::nullopt;
    }
}

std::string measurementText(int32_t sensorClass, int16_t w, char decimalSeparator)
{
    const auto v = scaledValue(sensorClass, w);
    if (!v)
        return std::string(sensorClass == 5 ? rab::kDryContact : rab::kUndetermined);
    std::string s = "  " + formatGeneral(*v, decimalSeparator);
    switch (sensorClass) {
    case 1: s += "   mA"; break;
    case 2: s += "   C"; break;
    case 3: s += "   B"; break;
    default: s += "   mB"; break;
    }
    return s;
}

WorkingPollResult decodeWorkingChannels(const WorkingPollInput& in, SetpointState& ust,
                                        SetpointCheckFn check)
{
    const bool page1 = in.KanFirst == rab::kPage1First && in.KanLast == rab::kPage1Last;
    const bool page2 = in.KanFirst == rab::kPage2First && in.KanLast == rab::kPage2Last;
    if (!page1 && !page2)
        throw std::invalid_argument("decodeWorkingChannels: not a page of channel windows");

    const auto& b = in.RabBuf;
    WorkingPollResult out;
    out.KanFirst = in.KanFirst;
    out.KanLast = in.KanLast;
    out.BytesDone = in.BytesDone;
    const int64_t fresh = std::clamp<int64_t>(in.BytesDone, 0, rab::kBufSize);
    out.freshRecords = fresh > int64_t(rab::kHeaderSize)
        ? int32_t((fresh - int64_t(rab::kHeaderSize)) / int64_t(rab::kRecordSize)) : 0;

    // Only the month codes 1 and 7 have a word; any other keeps the last one.
    if (b[1] == 1)
        out.RabText = rab::kJanuary;
    else if (b[1] == 7)
        out.RabText = rab::kJuly;
    else
        out.RabText = in.RabText;

    out.caption.reserve(96);
    out.caption = rab::kCaptionHead;
    out.caption += std::to_string(b[3]) + "ч ";
    out.caption += std::to_string(b[2]) + "м ";
    out.caption += std::to_string(b[5]) + "с ";
    out.caption += std::to_string(b[0]);
    out.caption += out.RabText;

    SetpointEffects effects; // AlarmNow starts clear in every poll
    int32_t ch = in.KanFirst;
    size_t k = 0;

    auto refreshBigLabel = [&](const ChannelView& v) {
        if (ch != in.SelKan)
            return;
        out.bigLabel = BigLabel{v.text + "    " + std::to_string(ust.UstCount[size_t(ch)]), v.textColour};
    };

    while (ch <= in.KanLast) {
        ChannelView& v = out.windows[size_t(ch - in.KanFirst)];
        v.textColour = WindowColour::Standard();
        v.background = WindowColour::Standard();

        // Records naming the other page are passed over without moving to the
        // next channel, so a block full of them would run the scan past its
        // 222 records.  The scan ends with the block; the channels it did not
        // reach show as not in the program, like a zero record.
        if (k >= rab::kMaxRecords) {
            out.stoppedAtBlockEnd = true;
            showNotInProgram(v, ch, rab::kNotInProgram);
            refreshBigLabel(v);
            ++ch;
            continue;
        }

        const uint8_t* r = b.data() + rab::kHeaderSize + rab::kRecordSize * k;
        if (r[0] == 0 && r[1] == 0 && r[2] == 0 && r[3] == 0) {
            showNotInProgram(v, ch, rab::kNotInProgram);
            ++k;
            refreshBigLabel(v);
            ++ch;
            continue;
        }

        const int32_t n = int32_t(r[0]) + 256 * int32_t(r[1] & 3);
        if (n < in.KanFirst || n > in.KanLast) {
            ++k; // a channel of the other page, or of none
            continue;
        }
        if (n != ch) {
            // Channel ch is missing from the answer; the record waits for its
            // own channel, and the big label is left alone.
            showNotInProgram(v, ch, rab::kMissingFromAnswer);
            ++ch;
            continue;
        }

        v.text = std::to_string(n);
        const int16_t w = int16_t(uint16_t(r[2] | (uint16_t(r[3]) << 8)));
        if (w <= kLastStatusWord) {
            if (ust.UstEnabled && ust.UstOn[size_t(n)] == 1 && ust.errorKanChecked) {
                ++ust.KanErrCount;
                out.kanErrCountShown = true;
            }
            v.text += rab::kStatusWordTexts[size_t(w - kFirstStatusWord)];
        } else {
            const int32_t cls = in.sensor_class[size_t(n)];
            v.text += measurementText(cls, w, in.decimalSeparator);
            // Every measurement goes through the check; it compares classes 1..4
            // only, and classes without a scale carry no value.
            const double value = scaledValue(cls, w).value_or(std::numeric_limits<double>::quiet_NaN());
            if (check)
                check(n, cls, value, w, ust, v, effects);
        }
        v.background = stateCodeBackground((r[1] >> 2) & 15);
        ++k;
        refreshBigLabel(v);
        ++ch;
    }

    out.recordsScanned = int32_t(k);
    out.KanErrCount = ust.KanErrCount;
    out.UstTotal = ust.UstTotal;
    out.setpoint = effects;
    out.beep = ust.AlarmOn && effects.AlarmNow;
    return out;
}

} // namespace korlin

#include "SensorMap.h"

#include "DebugLog.h"
#include "LogText.h"
#include "UserDialogs.h"

#include <algorithm>
#include <string>

namespace korlin {

std::optional<int32_t> sensorClassOf(int32_t type)
{
    if (type == 0)
        return ClassUndefined;
    if ((type >= 1 && type <= 9) || (type >= 11 && type <= 16) || (type >= 26 && type <= 34))
        return ClassCelsius;
    if (type >= 17 && type <= 19)
        return ClassMilliampere;
    if (type == 20 || type == 21)
        return ClassMillivolt;
    if (type >= 22 && type <= 24)
        return ClassVolt;
    if (type == 25)
        return ClassDryContact;
    return std::nullopt; // 10, below 0, above 34
}

namespace {

constexpr bool isSpace(uint8_t c) { return c == ' '; }
constexpr bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// Digits of a type field; a space stands for no digit.  False for anything else.
bool fieldValue(std::span<const uint8_t> chars, int32_t& value)
{
    value = 0;
    for (const uint8_t c : chars) {
        if (isDigit(c))
            value = value * 10 + (c - '0');
        else if (!isSpace(c))
            return false;
    }
    return true;
}

} // namespace

void scanTypeFields(std::span<const uint8_t> array, std::size_t first, std::size_t last,
                    const std::function<bool(const TypeField&)>& visit)
{
    if (array.size() < 5)
        return;
    first = std::max<std::size_t>(first, 4);
    last = std::min(last, array.size() - 1);
    const uint8_t* p = array.data();
    for (std::size_t j = first; j <= last; ++j) {
        if (p[j] != 0 || p[j - 1] == 0)
            continue;
        TypeField f;
        f.end = j;
        if (isSpace(p[j - 2])) {
            f.kind = fieldValue(array.subspan(j - 1, 1), f.value) ? TypeFieldKind::OneDigit
                                                                   : TypeFieldKind::BadChar;
        } else if (isSpace(p[j - 3])) {
            f.kind = fieldValue(array.subspan(j - 2, 2), f.value) ? TypeFieldKind::TwoDigit
                                                                   : TypeFieldKind::BadChar;
        } else if (isSpace(p[j - 4]) && !isSpace(p[j - 1])) {
            // p[j-3] and p[j-2] are known not to be spaces here.
            f.kind = TypeFieldKind::ThreeDigit;
        } else {
            continue;
        }
        if (!visit(f))
            return;
    }
}

SensorMapResult kan_tip_datchik1_864(std::span<const uint8_t> array, const SlotOffsets& offsets,
                                     const SlotLengths& lengths, SensorTables& tables,
                                     UserDialogs& dialogs, DebugLog& log)
{
    SensorMapResult r;
    const std::size_t off1 = offsets[kFirstMipSlot];
    const std::size_t end8 = std::size_t(offsets[kLastMipSlot]) + lengths[kLastMipSlot];

    // The two bytes before МИП1 must be 0: the end of the Pickups text, or the
    // head's zero bytes when Pickups is empty.  Offsets that leave no room for
    // them fail the same way.
    if (off1 < 2 || off1 > array.size() || array[off1 - 1] != 0 || array[off1 - 2] != 0) {
        dialogs.messageBox(std::string(kMapStartErrorText), std::string(kMapStartErrorCaption));
        r.endApplication = true;
        return r;
    }

    int n = 1;
    bool bad = false;
    scanTypeFields(array, off1 + 5, end8, [&](const TypeField& f) {
        switch (f.kind) {
        case TypeFieldKind::OneDigit:
        case TypeFieldKind::TwoDigit:
            tables.sensor_type[n] = f.value;
            ++n;
            ++r.stored;
            return n <= kMappedChannels;
        case TypeFieldKind::ThreeDigit:
            dialogs.messageBox(std::string(kThreeDigitTypeText), std::string(kThreeDigitTypeCaption));
            return true;
        case TypeFieldKind::BadChar:
            bad = true;
            return false;
        }
        return true;
    });
    if (bad) {
        dialogs.messageBox(std::string(kBadTypeCharText), std::string(kMapBoxCaption));
        r.badTypeChar = true;
        return r;
    }

    for (int i = 1; i <= kMappedChannels; ++i) {
        const int32_t t = tables.sensor_type[i];
        if (t < 0 || t > 34) {
            dialogs.messageBox(std::string(kTypeRangeText), std::string(kMapBoxCaption));
            if (t > 34)
                dialogs.messageBox(std::string(kTypeAbove34Text), std::string(kMapBoxCaption));
        }
    }
    for (int i = 1; i <= kMappedChannels; ++i) {
        if (const auto c = sensorClassOf(tables.sensor_type[i])) {
            tables.sensor_class[i] = *c;
        } else {
            dialogs.messageBox(std::string(kTypeClassText), std::string(kMapBoxCaption));
            log.LogMessage(logtext::SensorTypeError);
        }
    }
    return r;
}

} // namespace korlin

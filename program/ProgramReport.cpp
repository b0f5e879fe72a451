#include "ProgramReport.h"

#include "Cp1251.h"

#include <algorithm>
#include <cstdio>

namespace korlin {

namespace {

std::string hex4(uint16_t v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04X", unsigned(v));
    return buf;
}

std::string pad(std::string s, std::size_t width, bool right)
{
    // Width in characters, not bytes: the names hold Cyrillic letters.
    std::size_t chars = 0;
    for (const unsigned char c : s)
        chars += (c & 0xC0) != 0x80;
    if (chars < width)
        s = right ? std::string(width - chars, ' ') + s : s + std::string(width - chars, ' ');
    return s;
}

std::string lineText(std::span<const uint8_t> bytes)
{
    std::string raw;
    std::string out;
    auto flush = [&] {
        out += fromCp1251(raw);
        raw.clear();
    };
    for (const uint8_t b : bytes) {
        if (b < 0x20 || b == 0x7F) {
            flush();
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", unsigned(b));
            out += buf;
        } else if (b == '\\') {
            flush();
            out += "\\\\";
        } else {
            raw += char(b);
        }
    }
    flush();
    return out;
}

void dumpSection(std::string& out, int slot, std::span<const uint8_t> data, uint16_t length,
                 std::optional<uint16_t> offset)
{
    out += "=== " + std::to_string(slot) + " " + std::string(slotName(slot)) + ": " +
           std::to_string(length) + " байт";
    if (offset)
        out += ", смещение " + std::to_string(*offset);
    out += " ===\n";
    std::size_t start = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] == 0) {
            out += lineText(data.subspan(start, i - start)) + "\n";
            start = i + 1;
        }
    }
    if (start < data.size())
        out += lineText(data.subspan(start)) + "   (строка без завершающего 0)\n";
    if (data.size() < length)
        out += '(' + std::to_string(length - data.size()) + " байт за пределами данных)\n";
}

} // namespace

ProgramCheck checkProgramArray(std::span<const uint8_t> array)
{
    ProgramCheck c;
    c.size = array.size();
    c.totalLength = storedTotalLength(array);
    c.stored = storedChecksum(array);
    c.layout = readLayout(array);
    c.headComplete = array.size() >= kHeadSize;
    c.withinData = c.layout.dataLength() == 0 || c.layout.extent <= array.size();
    if (c.withinData)
        c.computed = checksum(array, c.layout.off, c.layout.len);

    const std::size_t off1 = c.layout.off[kFirstMipSlot];
    c.startOk = off1 >= 2 && off1 <= array.size() && array[off1 - 1] == 0 && array[off1 - 2] == 0;

    const std::size_t end8 = std::size_t(c.layout.off[kLastMipSlot]) + c.layout.len[kLastMipSlot];
    scanTypeFields(array, off1 + 5, end8, [&](const TypeField& f) {
        const std::size_t last = f.end - 1; // the line's last character
        for (int k = kFirstMipSlot; k <= kLastMipSlot; ++k) {
            const std::size_t off = c.layout.off[k];
            if (last >= off && last < off + c.layout.len[k]) {
                c.types[k].push_back(f);
                break;
            }
        }
        return true;
    });
    return c;
}

std::string formatCheckReport(const ProgramCheck& c)
{
    std::string out;
    out += "Программный массив: " + std::to_string(c.size) + " байт";
    if (!c.headComplete)
        out += " (голова неполная)";
    out += "\n";
    out += "Общая длина в голове: " + std::to_string(c.totalLength) + "\n";
    out += "Слот Подмассив      Длина Смещение\n";
    for (int k = 0; k < kSlotCount; ++k) {
        const bool absent = k == kAbsentSlot;
        out += pad(std::to_string(k), 4, true) + " " + pad(absent ? "(нет)" : std::string(slotName(k)), 13, false) +
               pad(std::to_string(c.layout.len[k]), 6, true) +
               pad(absent ? std::string("-") : std::to_string(c.layout.off[k]), 9, true) + "\n";
    }
    out += "Конец данных по голове: " + std::to_string(c.layout.extent) + "\n";
    out += "Контрольная сумма: в голове " + std::to_string(c.stored) + " (" + hex4(c.stored) + "), ";
    if (!c.computed)
        out += "не расчитана: длины подмассивов выходят за пределы данных\n";
    else
        out += "расчитана " + std::to_string(*c.computed) + " (" + hex4(*c.computed) + "): " +
               (c.checksumOk() ? "совпадает" : "НЕ СОВПАДАЕТ") + "\n";
    out += std::string("Начало массива для функции канал-датчик: ") + (c.startOk ? "в порядке" : "ОШИБКА") + "\n";
    out += "Типы датчиков (>99: трёхзначный, ?: недопустимый символ):\n";
    for (int k = kFirstMipSlot; k <= kLastMipSlot; ++k) {
        const auto& t = c.types[k];
        out += std::string(slotName(k)) + " (" + std::to_string(t.size()) + "):";
        for (const auto& f : t) {
            out += ' ';
            switch (f.kind) {
            case TypeFieldKind::OneDigit:
            case TypeFieldKind::TwoDigit: out += std::to_string(f.value); break;
            case TypeFieldKind::ThreeDigit: out += ">99"; break;
            case TypeFieldKind::BadChar: out += "?"; break;
            }
        }
        out += "\n";
    }
    return out;
}

std::string dumpSubArrays(std::span<const uint8_t> array)
{
    const ArrayLayout l = readLayout(array);
    std::string out;
    // Wide offsets: a 16-bit offset that wrapped lies as far outside as one
    // past the end.
    std::size_t at = kHeadSize;
    for (const int k : kDataSlots) {
        const std::size_t len = l.len[k];
        std::span<const uint8_t> data;
        if (at < array.size())
            data = array.subspan(at, std::min(len, array.size() - at));
        dumpSection(out, k, data, l.len[k], l.off[k]);
        at += len;
    }
    return out;
}

std::string dumpSubArrays(const ProgramState& state)
{
    std::string out;
    for (const int k : kDataSlots) {
        const auto& v = state.subarray[k];
        const std::size_t n = std::min<std::size_t>(v.size(), state.subarray_len[k]);
        dumpSection(out, k, std::span<const uint8_t>(v.data(), n), state.subarray_len[k], std::nullopt);
    }
    return out;
}

} // namespace korlin

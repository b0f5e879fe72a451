#include "ModbusChannels.h"

#include <stdexcept>

namespace korlin {

ModbusChannelView modbusChannelView(int32_t ch, int16_t w)
{
    ModbusChannelView v;
    v.text = std::to_string(ch);
    // These codes are not those of the native status words.
    switch (w) {
    case 2:
        v.text += "  НМИП";
        v.background = WindowColour::of(colour::Fuchsia);
        break;
    case -32767: // 0x8001
        v.text += "  НДАТ";
        v.background = WindowColour::of(colour::Yellow);
        break;
    case 4:
        v.text += "  ПерегАЦП";
        v.background = WindowColour::of(colour::Lime);
        break;
    case 5:
        v.text += "  За ниж.гр.";
        v.background = WindowColour::of(colour::Silver);
        break;
    case 6:
        v.text += "  За верх.гр.";
        v.background = WindowColour::of(colour::SkyBlue);
        break;
    default:
        v.text += "   " + std::to_string(w);
        v.background = WindowColour::of(colour::White);
        v.textColour = WindowColour::Standard();
        break;
    }
    return v;
}

ModbusPollResult decodeModbusChannels(std::span<const uint8_t, modbusview::kAnswerSize> answer,
                                      int32_t KanFirst, int32_t KanLast)
{
    if (!((KanFirst == 1 && KanLast == 108) || (KanFirst == 109 && KanLast == 216)))
        throw std::invalid_argument("decodeModbusChannels: not a page of channel windows");
    ModbusPollResult out;
    out.KanFirst = KanFirst;
    out.KanLast = KanLast;
    for (int32_t ch = KanFirst; ch <= KanLast; ++ch) {
        const size_t i = size_t(ch - KanFirst);
        const size_t at = modbusview::kFirstRegisterByte + 2 * i; // at most 216, +1 = 217 < 221
        const int16_t w = int16_t(uint16_t((uint16_t(answer[at]) << 8) | answer[at + 1]));
        out.windows[i] = modbusChannelView(ch, w);
    }
    return out;
}

} // namespace korlin

#include "DeviceState.h"

#include "Discovery.h"
#include "LogText.h"

namespace korlin {

StateView stateView(int status)
{
    StateView v;
    v.status = status;
    v.text = std::string(bus::stateLabelText(status));
    const bool good = status == bus::Measuring || status == bus::Waiting;
    v.font = good ? statecolour::Blue : statecolour::Red;
    v.background = good ? statecolour::SkyBlue : statecolour::Yellow;
    v.beep = status != bus::Measuring;
    return v;
}

static std::string_view stateLogLine(int status)
{
    switch (status) {
    case 129: return logtext::State129;
    case 138: return logtext::State138;
    case 130: return logtext::State130;
    case 132: return logtext::State132;
    case 133: return logtext::State133;
    case 135: return logtext::State135;
    case 136: return logtext::State136;
    case 137: return logtext::State137;
    default: return logtext::StateInvalid;
    }
}

StateView Button_MIP_Sostojanie(Link& l, DebugLog& log, RxBuffer& RxBuf, int MagAdr, bool ModbusMode)
{
    log.LogMessage(logtext::StateQuery);
    int status;
    if (!ModbusMode) {
        const ReadOutcome r = stateQueryNative(l, bus::addressByte(MagAdr), RxBuf);
        status = r.received >= 1 ? RxBuf[0] : -1;
    } else {
        status = RxBuf[4];
    }
    StateView v = stateView(status);
    log.LogMessage(stateLogLine(status), status < 0 ? "(нет ответа)" : std::to_string(status));
    if (v.beep)
        l.dialogs.sound(Sound::Stop);
    return v;
}

NewAddressOutcome NewMagAdr(Link& l, RxBuffer& RxBuf, int& MagAdr, uint8_t NewAdrByte)
{
    NewAddressOutcome out;
    newBusAddress(l, bus::addressByte(MagAdr), NewAdrByte, RxBuf, [&](const ReadOutcome& r) {
        if (r.received >= 1) {
            out.answered = true;
            MagAdr = int(RxBuf[0]) - bus::kAddressBase;
        }
        if (out.answered && NewAdrByte == MagAdr + bus::kAddressBase) {
            out.changed = true;
            out.Label3 = std::string(kAddressLabelPrefix) + std::to_string(MagAdr);
        } else {
            l.dialogs.messageBox(std::string(kAddressNotChangedText), std::string(kAddressNotChangedCaption));
        }
    });
    return out;
}

void Write_Time(Link& l, int MagAdr) { clockSetting(l, bus::addressByte(MagAdr)); }

} // namespace korlin

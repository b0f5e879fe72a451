#pragma once
// The state query, the bus address change and the clock setting.
#include "Exchanges.h"

#include "DebugLog.h"

#include <optional>
#include <string>

namespace korlin {

struct Rgb8 {
    uint8_t r, g, b;
    bool operator==(const Rgb8&) const = default;
};
namespace statecolour {
inline constexpr Rgb8 Blue{0, 0, 255};
inline constexpr Rgb8 SkyBlue{166, 202, 240};
inline constexpr Rgb8 Red{255, 0, 0};
inline constexpr Rgb8 Yellow{255, 255, 0};
} // namespace statecolour

// What the state label shows.
struct StateView {
    int status = -1;  // -1 when no byte came
    std::string text; // LabelSostojanie
    Rgb8 font, background;
    bool beep = false; // the critical-stop sound
};

// The label, colours, log line and sound for a status byte.
StateView stateView(int status);

// Button_MIP_SostojanieClick: in the native mode asks the МИП; in MODBUS mode
// shows the status discovery left in RxBuf byte 4.  A query that received
// nothing shows the error text (the log names no stale byte).
StateView Button_MIP_Sostojanie(Link& l, DebugLog& log, RxBuffer& RxBuf, int MagAdr, bool ModbusMode);

// NewMagAdrClick for the address byte N.  MagAdr takes the answer's address;
// when nothing came back it stays as it was.  The failure box is shown
// before the closing 6 s pause.
struct NewAddressOutcome {
    std::optional<std::string> Label3; // set when the МИП answers at its new address
    bool answered = false;
    bool changed = false;
};
inline constexpr std::string_view kAddressNotChangedText = "Не изменился магистральный адрес!!!";
inline constexpr std::string_view kAddressNotChangedCaption = "Ошибка !!!";
NewAddressOutcome NewMagAdr(Link& l, RxBuffer& RxBuf, int& MagAdr, uint8_t NewAdrByte);

// Write_TimeClick: the converter's clock from the PC clock.
void Write_Time(Link& l, int MagAdr);

} // namespace korlin

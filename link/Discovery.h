#pragma once
// Finding the МИП on an open port (the search) and reading its bus address
// back (the address query).  The logic works on the shared fields it is
// given and returns what the main window must show.
//
// A query that received no byte is never decoded from what an earlier
// answer left in RxBuf: it counts as no МИП at that address.  Otherwise a
// warning status at the settings address would hold the address cycle at
// its first empty address, box after box.
#include "Exchanges.h"

#include "DebugLog.h"

#include <functional>
#include <optional>
#include <string>

namespace korlin {

// The main window's fields the search reads and writes.
struct DiscoveryFields {
    int MagAdr = 0;          // in: the settings address; out: MODBUS / address query
    bool ModbusMode = false; // out
    uint32_t SearchWord = 0; // byte 0 the address byte, byte 1 the command
    int LoopIdx = 0;
    ModbusRequest ModbusReq{};
    uint16_t ModbusCrc = 0;
    int NoMipPorts = 0;      // program-wide: + 1 when nothing is found
};

struct SearchOutcome {
    bool found = false;
    std::optional<std::string> Label3;           // "Магистральный адрес МИП № n"
    std::optional<std::string> GroupBox1Caption; // MODBUS МИП measuring
    bool disableN3 = false;                      // "Служебные каналы."
};

inline constexpr std::string_view kAddressLabelPrefix = "Магистральный адрес МИП № ";
inline constexpr std::string_view kModbusGroupCaption = "Мониторинг Ш9327 в режиме MODBUS.";

// SearshMipComClick.  splashStep adds 2 to the splash position (may be empty).
SearchOutcome SearshMipCom(Link& l, DebugLog& log, RxBuffer& RxBuf, DiscoveryFields& f,
                           const std::function<void()>& splashStep = {});

// SearshMagAdrClick.  An answer that does not come keeps MagAdr as it was.
struct AddressOutcome {
    std::optional<std::string> Label3;
    bool answered = false;
};
AddressOutcome SearshMagAdr(Link& l, DebugLog& log, RxBuffer& RxBuf, DiscoveryFields& f);

} // namespace korlin

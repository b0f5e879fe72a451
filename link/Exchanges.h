#pragma once
// Every exchange the program has with the converter, one function per row of
// the exchange table, each doing its steps in order: purges (P), writes (W)
// with their start check, completion waits (G) and checks (G0), pauses (S),
// reads (R) into the buffer the row names, and the MODBUS character wait
// (M, E).
//
// A start check that fails shows its message once (UserDialogs::showMessage)
// and the exchange carries on exactly as if the operation had started: its
// waits, pauses and the caller's decoding all still happen.
//
// The time-out record persists between operations as the port's own does:
// PortState holds it, each operation overwrites only the fields it names, and
// the record in force is installed whole.  Completion counts go to
// PortState::BytesDone, except in the exchanges of the device search and the
// address query, whose counts go to a scratch value.
//
// Every row with a read returns what its read received, so that a caller
// never decodes stale bytes without knowing: the buffer keeps its old
// content where no byte came.
#include "BusProtocol.h"
#include "SerialPort.h"

#include "Clock.h"
#include "UserDialogs.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace korlin {

// The answer buffers, by the sizes the reads rely on.
using RxBuffer = std::array<uint8_t, 7>;
using ProgArray = std::array<uint8_t, 10000>;
using RabBuffer = std::array<uint8_t, 900>;
using SluBuffer = std::array<uint8_t, 9500>;
using ModbusRequest = std::array<uint8_t, 8>;

// The port's I/O state, owned by the main window.
struct PortState {
    CommTimeouts timeouts{};   // starts all zero
    uint32_t BytesDone = 0;    // count of the last completion wait outside the search
};

// What an exchange works on.
struct Link {
    SerialPort& port;
    Clock& clock;
    UserDialogs& dialogs;
    PortState& state;
};

struct ReadOutcome {
    // Bytes the read put into its buffer (counted from the start of the
    // buffer; the rest of it is as it was).
    uint32_t received = 0;
    // Whether the row's completion wait or check found the read complete;
    // false for the rows that neither wait nor check.
    bool completed = false;
};

// A change of the time-out record: fields without a value are left as they are.
struct TimeoutChange {
    std::optional<uint32_t> readInterval, readMultiplier, readConstant, writeMultiplier, writeConstant;
};
namespace timeouts {
inline const TimeoutChange DiscoveryNative{17, 10, 10, std::nullopt, 10};
inline const TimeoutChange Modbus{17, 2, 10, 5, 10};          // MODBUS search and MODBUS poll
inline const TimeoutChange ProgramRead{500, 2000, std::nullopt, std::nullopt, std::nullopt};
inline const TimeoutChange ProgramWrite{500, 200, 0, 10, 10};  // also the native working-channel poll
inline const TimeoutChange NewAddress{5, 10, std::nullopt, std::nullopt, std::nullopt};
} // namespace timeouts

// Our own bounds where the protocol leaves a silent converter unbounded.
// A program read that receives nothing would wait 2000 ms per requested byte
// (over five hours): it ends 5 s after it started if no byte has come.  A
// converter starts its answer within a fraction of a second of the command
// (the read begins 200 ms after it), so a real answer is never cut short;
// once bytes flow, the 500 ms interval or the 10000 bytes end the read.
inline constexpr uint32_t kProgramReadNoByteLimitMs = 5000;
// The MODBUS working-channel poll waits for the first character of the
// answer without limit: it waits 2 s, far beyond the few milliseconds a
// converter takes, and then carries on with its read as if one had come.
inline constexpr int64_t kModbusFirstCharLimitMs = 2000;

// Start-check messages, letter for letter.
namespace msg {
inline constexpr std::string_view StateWrite = "Ошибка записи команды состояния МИП!";
inline constexpr std::string_view StateRead = "Ошибка чтения состояния МИП!";
inline constexpr std::string_view IniWrite = "Ошибка";
inline constexpr std::string_view IniRead = "Ошибка чтения байта состояния прибора!";
inline constexpr std::string_view WriteFile = "Ошибка WriteFile";
inline constexpr std::string_view CycleRead = "Ошибка ReadFile!(1)";
inline constexpr std::string_view ModbusCycleRead = "Ошибка ReadFile!(2)";
inline constexpr std::string_view NewAddressRead = "Ошибка ReadFile!(3)";
inline constexpr std::string_view AddressRead = "Ошибка ReadFile!(4)";
inline constexpr std::string_view ModbusPollRead = "Ошибка ReadFile!(5)";
inline constexpr std::string_view ModbusIniWrite = "Ошибка WriteFile(INI)";
inline constexpr std::string_view ModbusIniRead = "Ошибка ReadFile!(INI2)";
inline constexpr std::string_view ProgramReadRead = "Ошибка чтения массива!";
inline constexpr std::string_view ProgramLoadWrite = "Ошибка записи команды приёма массива!";
inline constexpr std::string_view ProgramArrayWrite = "Ошибка записи программного массива!";
inline constexpr std::string_view WorkingWrite = "Ошибка команды рабочих каналов!";
inline constexpr std::string_view WorkingRead = "Ошибка чтения рабочих каналов!";
inline constexpr std::string_view ReadFile = "Ошибка ReadFile";
} // namespace msg

// Overwrites the named fields of the record and installs it (SetCommTimeouts).
void setTimeouts(Link& l, const TimeoutChange& change);

// The line settings of the search: 9600 baud, 8 data bits, even parity
// checked, 2 stop bits, no handshake, DTR and RTS off.
LineSettings searchLineSettings();
// Line settings and native time-outs, as the search applies them each time it
// runs: time-outs 17/10/10/-/10 installed twice, P12, SetupComm 16384/1024,
// SetCommState.
void configurePort(Link& l);

// ---- device search and address query (counts to a scratch value) ----
// State query at the settings address: P12, W [A,01], G, S 200, R 1, G.
ReadOutcome iniSearchStateQuery(Link& l, uint8_t A, RxBuffer& RxBuf);
// State query of the address cycle: P12, W [A,01], G, S 200, R 1, no wait.
// The read may still be pending when this returns; the byte it waits for can
// also be taken by the previous cycle read if that was still pending when
// this request went out (both read into RxBuf).  received counts the bytes
// that reached RxBuf during this exchange either way.
ReadOutcome addressCycleStateQuery(Link& l, uint8_t A, RxBuffer& RxBuf);
// Measuring-mode command during the search: P12, W [A,23], S 500.
void measuringModeCommand(Link& l, uint8_t A);
// Address query: P12, W [A,21], G, S 100, R 1, S 100, no wait; received
// counts the bytes that reached RxBuf during the exchange.
ReadOutcome addressQuery(Link& l, uint8_t A, RxBuffer& RxBuf);
// MODBUS status request at the settings address:
// P12, S 1000, W 8, S 1000, S 1000, M, P8, S 1000, R 7, S 1000, G.
ReadOutcome modbusSearchAtSettings(Link& l, const ModbusRequest& req, RxBuffer& RxBuf);
// MODBUS status request of the cycle: P12, W 8, S 100, M, R 7, G.
ReadOutcome modbusSearchPerAddress(Link& l, const ModbusRequest& req, RxBuffer& RxBuf);

// ---- state, address and clock ----
// P12, W [A,01], S 100, G, S 100, R 1, S 100, G.
ReadOutcome stateQueryNative(Link& l, uint8_t A, RxBuffer& RxBuf);
// Time-outs 5/10/-/-/-; then [A,22], [A,20], [N], [N,23], each as P4, W, G,
// S 300; then P12, W [N,21], G, S 300, R 1, G; afterRead (the caller's check
// of the answer and its message box); S 6000.
ReadOutcome newBusAddress(Link& l, uint8_t A, uint8_t N, RxBuffer& RxBuf,
                          const std::function<void(const ReadOutcome&)>& afterRead = {});
// The 7-byte clock record: seconds + 1, minutes, hours, day, month, year low, high.
std::array<uint8_t, 7> clockRecord(const DateTime& t);
// [A,22], [A,24], the clock record (the clock's local time, taken once), each
// as P4, W, G, S 300; then P4, W [A,23], G, S 7000.
void clockSetting(Link& l, uint8_t A);

// ---- program array ----
// S 1500, time-outs 500/2000/-/-/-, P12, W [A,1D], S 200, R 10000 (bounded by
// kProgramReadNoByteLimitMs), G.
ReadOutcome programArrayRead(Link& l, uint8_t A, ProgArray& prog_array);
// Time-outs 500/200/0/10/10; P4, W [A,10], G, S 150, P4, W total_len bytes of
// new_array (at most its size), G, S 5000.
void programArrayWrite(Link& l, uint8_t A, const ProgArray& new_array, int total_len);

// ---- channels ----
// [time-outs 500/200/0/10/10 when installTimeouts], P12, W [A,02], G, S 1000,
// R 900, S 1000, G0.  completed is the G0 verdict; its count goes to BytesDone.
// A read that is not complete goes on filling RabBuf.
ReadOutcome nativeWorkingChannelPoll(Link& l, uint8_t A, RabBuffer& RabBuf, bool installTimeouts);
// Service channels of both devices: P12, W [A,1C], G, R 9500, G.
ReadOutcome serviceChannels(Link& l, uint8_t A, SluBuffer& SluBuf);
// All parameters up to 404: P12, W [A,1C], R 9500, G, G.
ReadOutcome allParameters(Link& l, uint8_t A, SluBuffer& SluBuf);
// [time-outs 17/2/10/5/10 when installTimeouts], P12, W 8, M, E (at most
// kModbusFirstCharLimitMs), R 221, G.  BytesDone, which the poll shows before
// its write, is not changed before the final G.
ReadOutcome modbusWorkingChannelPoll(Link& l, const ModbusRequest& req, RabBuffer& RabBuf, bool installTimeouts);

} // namespace korlin

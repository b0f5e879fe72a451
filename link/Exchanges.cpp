#include "Exchanges.h"

#include <algorithm>
#include <string>

namespace korlin {
namespace {

// Where a completion count goes.
enum class Count { ToBytesDone, Scratch };

void startCheck(Link& l, bool started, std::string_view text)
{
    if (!started)
        l.dialogs.showMessage(std::string(text));
}

void purge(Link& l, unsigned flags) { l.port.purge(flags); }
void pause(Link& l, int64_t ms) { l.clock.sleepMs(ms); }

void write(Link& l, const uint8_t* data, size_t n, std::string_view failure)
{
    startCheck(l, l.port.startWrite(data, n), failure);
}

void sendFrame(Link& l, uint8_t addr, uint8_t command, std::string_view failure)
{
    const auto f = bus::frame(addr, command);
    write(l, f.data(), f.size(), failure);
}

template <size_t N>
void read(Link& l, std::array<uint8_t, N>& buf, size_t n, std::string_view failure, uint32_t noByteLimitMs = 0)
{
    n = std::min(n, N); // a read never asks for more than its buffer holds
    startCheck(l, l.port.startRead(buf.data(), n, noByteLimitMs), failure);
}

// G (wait) or G0 (check) on the operation started last.
ReadOutcome complete(Link& l, bool wait, Count to)
{
    uint32_t count = 0;
    const bool done = l.port.result(count, wait);
    if (to == Count::ToBytesDone)
        l.state.BytesDone = count;
    return {count, done};
}

} // namespace

void setTimeouts(Link& l, const TimeoutChange& c)
{
    CommTimeouts& t = l.state.timeouts;
    if (c.readInterval)
        t.readInterval = *c.readInterval;
    if (c.readMultiplier)
        t.readMultiplier = *c.readMultiplier;
    if (c.readConstant)
        t.readConstant = *c.readConstant;
    if (c.writeMultiplier)
        t.writeMultiplier = *c.writeMultiplier;
    if (c.writeConstant)
        t.writeConstant = *c.writeConstant;
    l.port.setTimeouts(t);
}

LineSettings searchLineSettings()
{
    LineSettings s;
    s.baudRate = 9600;
    s.dataBits = 8;
    s.parityCheck = true;
    s.parity = LineSettings::Parity::Even;
    s.stopBits = 2;
    s.dtrOn = false;
    s.rtsOn = false;
    return s;
}

void configurePort(Link& l)
{
    setTimeouts(l, timeouts::DiscoveryNative);
    const LineSettings s = searchLineSettings();
    l.port.setTimeouts(l.state.timeouts);
    purge(l, PurgeBoth);
    l.port.setupQueues(16384, 1024);
    l.port.setLineSettings(s);
}

// ---- device search and address query ----------------------------------------------

ReadOutcome iniSearchStateQuery(Link& l, uint8_t A, RxBuffer& RxBuf)
{
    purge(l, PurgeBoth);
    sendFrame(l, A, bus::StateQuery, msg::IniWrite);
    complete(l, true, Count::Scratch);
    pause(l, 200);
    read(l, RxBuf, 1, msg::IniRead);
    return complete(l, true, Count::Scratch);
}

ReadOutcome addressCycleStateQuery(Link& l, uint8_t A, RxBuffer& RxBuf)
{
    const uint64_t before = l.port.bytesRead();
    purge(l, PurgeBoth);
    sendFrame(l, A, bus::StateQuery, msg::WriteFile);
    complete(l, true, Count::Scratch);
    pause(l, 200);
    read(l, RxBuf, 1, msg::CycleRead);
    return {uint32_t(std::min<uint64_t>(l.port.bytesRead() - before, RxBuf.size())), false};
}

void measuringModeCommand(Link& l, uint8_t A)
{
    purge(l, PurgeBoth);
    sendFrame(l, A, bus::MeasuringMode, msg::WriteFile);
    pause(l, 500);
}

ReadOutcome addressQuery(Link& l, uint8_t A, RxBuffer& RxBuf)
{
    const uint64_t before = l.port.bytesRead();
    purge(l, PurgeBoth);
    sendFrame(l, A, bus::AddressQuery, msg::WriteFile);
    complete(l, true, Count::Scratch);
    pause(l, 100);
    read(l, RxBuf, 1, msg::AddressRead);
    pause(l, 100);
    return {uint32_t(std::min<uint64_t>(l.port.bytesRead() - before, RxBuf.size())), false};
}

ReadOutcome modbusSearchAtSettings(Link& l, const ModbusRequest& req, RxBuffer& RxBuf)
{
    purge(l, PurgeBoth);
    pause(l, 1000);
    write(l, req.data(), req.size(), msg::ModbusIniWrite);
    pause(l, 1000);
    pause(l, 1000);
    l.port.setCommMask(EvRxChar);
    purge(l, PurgeRx);
    pause(l, 1000);
    read(l, RxBuf, bus::modbus::kStatusAnswerLength, msg::ModbusIniRead);
    pause(l, 1000);
    return complete(l, true, Count::Scratch);
}

ReadOutcome modbusSearchPerAddress(Link& l, const ModbusRequest& req, RxBuffer& RxBuf)
{
    purge(l, PurgeBoth);
    write(l, req.data(), req.size(), msg::WriteFile);
    pause(l, 100);
    l.port.setCommMask(EvRxChar);
    read(l, RxBuf, bus::modbus::kStatusAnswerLength, msg::ModbusCycleRead);
    return complete(l, true, Count::Scratch);
}

// ---- state, address and clock -------------------------------------------------------

ReadOutcome stateQueryNative(Link& l, uint8_t A, RxBuffer& RxBuf)
{
    purge(l, PurgeBoth);
    sendFrame(l, A, bus::StateQuery, msg::StateWrite);
    pause(l, 100);
    complete(l, true, Count::ToBytesDone);
    pause(l, 100);
    read(l, RxBuf, 1, msg::StateRead);
    pause(l, 100);
    return complete(l, true, Count::ToBytesDone);
}

ReadOutcome newBusAddress(Link& l, uint8_t A, uint8_t N, RxBuffer& RxBuf,
                          const std::function<void(const ReadOutcome&)>& afterRead)
{
    setTimeouts(l, timeouts::NewAddress);
    auto sendStep = [&](const uint8_t* data, size_t n) {
        purge(l, PurgeTx);
        write(l, data, n, msg::WriteFile);
        complete(l, true, Count::ToBytesDone);
        pause(l, 300);
    };
    const auto waiting = bus::frame(A, bus::WaitingMode);
    const auto newAddr = bus::frame(A, bus::NewAddress);
    const auto measuring = bus::frame(N, bus::MeasuringMode);
    sendStep(waiting.data(), waiting.size());
    sendStep(newAddr.data(), newAddr.size());
    sendStep(&N, 1); // the new address byte alone, no command byte after it
    sendStep(measuring.data(), measuring.size());

    purge(l, PurgeBoth);
    sendFrame(l, N, bus::AddressQuery, msg::WriteFile);
    complete(l, true, Count::ToBytesDone);
    pause(l, 300);
    read(l, RxBuf, 1, msg::NewAddressRead);
    const ReadOutcome r = complete(l, true, Count::ToBytesDone);
    if (afterRead)
        afterRead(r);
    pause(l, 6000);
    return r;
}

std::array<uint8_t, 7> clockRecord(const DateTime& t)
{
    return {uint8_t(t.second + 1), uint8_t(t.minute), uint8_t(t.hour), uint8_t(t.day), uint8_t(t.month),
            uint8_t(t.year & 0xFF), uint8_t((t.year >> 8) & 0xFF)};
}

void clockSetting(Link& l, uint8_t A)
{
    auto sendStep = [&](const uint8_t* data, size_t n, int64_t pauseMs, bool purgeFirst) {
        if (purgeFirst)
            purge(l, PurgeTx);
        write(l, data, n, msg::WriteFile);
        complete(l, true, Count::ToBytesDone);
        pause(l, pauseMs);
    };
    purge(l, PurgeTx);
    const std::array<uint8_t, 7> record = clockRecord(l.clock.localTime()); // the PC time, taken once
    const auto waiting = bus::frame(A, bus::WaitingMode);
    const auto clockCmd = bus::frame(A, bus::Clock);
    const auto measuring = bus::frame(A, bus::MeasuringMode);
    sendStep(waiting.data(), waiting.size(), 300, false);
    sendStep(clockCmd.data(), clockCmd.size(), 300, true);
    sendStep(record.data(), record.size(), 300, true);
    sendStep(measuring.data(), measuring.size(), 7000, true);
}

// ---- program array ----------------------------------------------------------------

ReadOutcome programArrayRead(Link& l, uint8_t A, ProgArray& prog_array)
{
    pause(l, 1500);
    setTimeouts(l, timeouts::ProgramRead);
    purge(l, PurgeBoth);
    sendFrame(l, A, bus::ProgramRead, msg::WriteFile);
    pause(l, 200);
    read(l, prog_array, prog_array.size(), msg::ProgramReadRead, kProgramReadNoByteLimitMs);
    return complete(l, true, Count::ToBytesDone);
}

void programArrayWrite(Link& l, uint8_t A, const ProgArray& new_array, int total_len)
{
    setTimeouts(l, timeouts::ProgramWrite);
    purge(l, PurgeTx);
    sendFrame(l, A, bus::ProgramLoad, msg::ProgramLoadWrite);
    complete(l, true, Count::ToBytesDone);
    pause(l, 150);
    purge(l, PurgeTx);
    const size_t n = size_t(std::clamp(total_len, 0, int(new_array.size())));
    write(l, new_array.data(), n, msg::ProgramArrayWrite);
    complete(l, true, Count::ToBytesDone);
    pause(l, 5000);
}

// ---- channels -------------------------------------------------------------------------

ReadOutcome nativeWorkingChannelPoll(Link& l, uint8_t A, RabBuffer& RabBuf, bool installTimeouts)
{
    if (installTimeouts)
        setTimeouts(l, timeouts::ProgramWrite);
    purge(l, PurgeBoth);
    sendFrame(l, A, bus::WorkingChannels, msg::WorkingWrite);
    complete(l, true, Count::ToBytesDone);
    pause(l, 1000);
    read(l, RabBuf, RabBuf.size(), msg::WorkingRead);
    pause(l, 1000);
    return complete(l, false, Count::ToBytesDone);
}

ReadOutcome serviceChannels(Link& l, uint8_t A, SluBuffer& SluBuf)
{
    purge(l, PurgeBoth);
    sendFrame(l, A, bus::ServiceChannels, msg::WriteFile);
    complete(l, true, Count::ToBytesDone);
    read(l, SluBuf, SluBuf.size(), msg::ReadFile);
    return complete(l, true, Count::ToBytesDone);
}

ReadOutcome allParameters(Link& l, uint8_t A, SluBuffer& SluBuf)
{
    purge(l, PurgeBoth);
    sendFrame(l, A, bus::ServiceChannels, msg::WriteFile);
    read(l, SluBuf, SluBuf.size(), msg::ReadFile);
    complete(l, true, Count::ToBytesDone);
    return complete(l, true, Count::ToBytesDone);
}

ReadOutcome modbusWorkingChannelPoll(Link& l, const ModbusRequest& req, RabBuffer& RabBuf, bool installTimeouts)
{
    if (installTimeouts)
        setTimeouts(l, timeouts::Modbus);
    purge(l, PurgeBoth);
    write(l, req.data(), req.size(), msg::WriteFile);
    l.port.setCommMask(EvRxChar);
    l.port.waitCharReceived(kModbusFirstCharLimitMs);
    read(l, RabBuf, bus::modbus::kChannelsAnswerLength, msg::ModbusPollRead);
    return complete(l, true, Count::ToBytesDone);
}

} // namespace korlin

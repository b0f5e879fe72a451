#include "Discovery.h"

#include "Funci.h"
#include "LogText.h"

namespace korlin {
namespace {

constexpr int kNoStatus = -1;

uint8_t searchAddressByte(const DiscoveryFields& f) { return uint8_t(f.SearchWord & 0xFF); }

void setSearchWord(DiscoveryFields& f, uint8_t addrByte, uint8_t command)
{
    f.SearchWord = uint32_t(addrByte) | (uint32_t(command) << 8);
}

void warn(Link& l, int status)
{
    if (const auto box = bus::warningBox(status))
        l.dialogs.messageBox(std::string(box->text), std::string(box->caption));
}

void buildModbusRequest(DiscoveryFields& f, int slave)
{
    f.ModbusReq = {uint8_t(slave), 0x03, 0x0F, 0xA2, 0x00, 0x01, 0, 0};
    f.ModbusCrc = CRC16(f.ModbusReq.data(), 6);
    f.ModbusReq[6] = uint8_t(f.ModbusCrc >> 8);
    f.ModbusReq[7] = uint8_t(f.ModbusCrc & 0xFF);
}

std::string addressLabel(int addr) { return std::string(kAddressLabelPrefix) + std::to_string(addr); }

// A MODBUS status answer counts only when its status byte (byte 4) came now.
int modbusStatus(const ReadOutcome& r, const RxBuffer& RxBuf) { return r.received >= 5 ? RxBuf[4] : kNoStatus; }

// The MODBUS answer's actions, shared by the settings step and the cycle.
void modbusFound(Link& l, const RxBuffer& RxBuf, int s, DiscoveryFields& f, SearchOutcome& out)
{
    f.ModbusMode = true;
    f.MagAdr = RxBuf[0];
    out.found = true;
    out.Label3 = addressLabel(f.MagAdr);
    switch (s) {
    case bus::Measuring:
        out.GroupBox1Caption = std::string(kModbusGroupCaption);
        out.disableN3 = true;
        break;
    case bus::WaitsProgram:
        warn(l, s);
        l.port.purge(PurgeBoth);
        break;
    case bus::Waiting:
        break;
    default:
        warn(l, s);
        break;
    }
}

} // namespace

SearchOutcome SearshMipCom(Link& l, DebugLog& log, RxBuffer& RxBuf, DiscoveryFields& f,
                           const std::function<void()>& splashStep)
{
    SearchOutcome out;
    log.LogMessage(logtext::SearchStart);
    configurePort(l);

    // The INI search: the address remembered in the settings.
    setSearchWord(f, bus::addressByte(f.MagAdr), bus::StateQuery);
    {
        const ReadOutcome r = iniSearchStateQuery(l, searchAddressByte(f), RxBuf);
        const int s = r.received >= 1 ? RxBuf[0] : kNoStatus;
        if (bus::isStatus(s)) {
            f.ModbusMode = false;
            log.LogMessage(logtext::FoundIniNative, std::to_string(f.MagAdr));
            if (s == bus::Measuring) {
                out.found = true;
                return out;
            }
            if (s == bus::Waiting) {
                measuringModeCommand(l, bus::addressByte(f.MagAdr));
                out.found = true;
                return out;
            }
            warn(l, s);
            if (s == bus::WaitsProgram)
                measuringModeCommand(l, bus::addressByte(f.MagAdr));
        }
    }

    // The address cycle over 1..32; a warning asks the same address again.
    setSearchWord(f, bus::addressByte(1), bus::StateQuery);
    f.LoopIdx = 1;
    while (f.LoopIdx <= bus::kMaxAddress) {
        if (splashStep)
            splashStep();
        const ReadOutcome r = addressCycleStateQuery(l, searchAddressByte(f), RxBuf);
        const int s = r.received >= 1 ? RxBuf[0] : kNoStatus;
        if (bus::isStatus(s)) {
            f.ModbusMode = false;
            log.LogMessage(logtext::FoundCycleNative);
            if (s == bus::Measuring) {
                out.found = true;
                return out;
            }
            if (s == bus::Waiting) {
                measuringModeCommand(l, bus::addressByte(f.LoopIdx));
                out.found = true;
                return out;
            }
            warn(l, s);
            if (s == bus::WaitsProgram)
                measuringModeCommand(l, bus::addressByte(f.LoopIdx));
            continue; // the same address again
        }
        ++f.LoopIdx;
        setSearchWord(f, bus::addressByte(f.LoopIdx), bus::StateQuery);
    }

    // MODBUS: first the settings address, then every address.
    log.LogMessage(logtext::SearchModbus);
    setTimeouts(l, timeouts::Modbus);
    buildModbusRequest(f, f.MagAdr);
    log.LogMessage(logtext::SearchModbusIni);
    {
        const ReadOutcome r = modbusSearchAtSettings(l, f.ModbusReq, RxBuf);
        const int s = modbusStatus(r, RxBuf);
        if (bus::isStatus(s)) {
            log.LogMessage(logtext::FoundIniModbus, std::to_string(f.MagAdr));
            modbusFound(l, RxBuf, s, f, out);
            return out;
        }
        f.ModbusMode = false;
    }
    for (f.LoopIdx = 1; f.LoopIdx <= bus::kMaxAddress; ++f.LoopIdx) {
        buildModbusRequest(f, f.LoopIdx);
        const ReadOutcome r = modbusSearchPerAddress(l, f.ModbusReq, RxBuf);
        const int s = modbusStatus(r, RxBuf);
        if (bus::isStatus(s)) {
            modbusFound(l, RxBuf, s, f, out);
            return out;
        }
    }

    f.NoMipPorts += 1;
    log.LogMessage(logtext::ModbusNotFound);
    return out;
}

AddressOutcome SearshMagAdr(Link& l, DebugLog& log, RxBuffer& RxBuf, DiscoveryFields& f)
{
    AddressOutcome out;
    if (!f.ModbusMode) {
        log.LogMessage(logtext::AddressQuery);
        const ReadOutcome r = addressQuery(l, searchAddressByte(f), RxBuf);
        if (r.received >= 1) {
            out.answered = true;
            f.MagAdr = int(RxBuf[0]) - 192;
        }
    }
    if (f.MagAdr >= bus::kMinAddress && f.MagAdr <= bus::kMaxAddress)
        out.Label3 = addressLabel(f.MagAdr);
    log.LogMessage(logtext::AddressIs, std::to_string(f.MagAdr));
    return out;
}

} // namespace korlin

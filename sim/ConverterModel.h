#pragma once
// A Ш9327 converter with one МИП on the bus, as the far end of a serial line.
// It speaks the native bus protocol or MODBUS RTU (function 03), as
// configured, and ignores the other.  Times are microseconds on the line's
// clock; answers go out through LineTx a turnaround after the request.
//
// Native framing: a command is [0xC0 + address, code], written in one burst
// after a silence.  An address byte is known by its value (0xC1..0xE0); bytes
// inside a burst that did not start with one (a MODBUS request, noise) are
// not commands.  0x20 takes the next byte, 0x24 the next 7 bytes, 0x10 every
// byte up to a silence of loadSilenceUs: that is the program array.
// Frames for other units are skipped together with their data blocks.
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "Clock.h"
#include "ConverterConfig.h"
#include "LineDevice.h"
#include "ProgramImage.h"

namespace korlin::sim {

inline constexpr size_t kWorkingAnswerMax = 900;
inline constexpr size_t kWorkingHeader = 10;
inline constexpr size_t kWorkingRecords = (kWorkingAnswerMax - kWorkingHeader) / 4; // 222
inline constexpr size_t kServiceRecords = 296;
inline constexpr size_t kServiceRecordSize = 32;
inline constexpr size_t kServiceAnswerSize = 10 + kServiceRecords * kServiceRecordSize; // 9482
inline constexpr uint16_t kModbusStatusRegister = 4002;
inline constexpr int kModbusChannels = 216;

// What a load (0x10) came to.
struct LoadResult {
    size_t received = 0;
    uint8_t verdict = 0; // 129, 132, 133, 135 or 136
};

class ConverterModel final : public LineDevice {
public:
    explicit ConverterModel(ConverterConfig cfg = {});

    // LineDevice
    void receive(uint8_t byte, int64_t atUs, LineTx& tx) override;
    std::optional<int64_t> wakeAt() const override;
    void wake(int64_t atUs, LineTx& tx) override;

    // The configuration in force; faults and channel overrides may be changed
    // between exchanges.
    ConverterConfig& config() { return cfg_; }
    const ConverterConfig& config() const { return cfg_; }

    int address() const { return address_; }
    // The status the state query answers (a stuck status wins).
    uint8_t status() const;
    void setStatus(uint8_t s) { status_ = s; }
    const std::vector<uint8_t>& program() const { return program_; }
    const std::vector<ChannelLine>& channelsInProgram() const { return lines_; }
    const std::optional<LoadResult>& lastLoad() const { return lastLoad_; }
    DateTime clockAt(int64_t atUs) const;
    // Sets the converter's clock: it shows t at line time atUs.
    void setClock(DateTime t, int64_t atUs) { clockBase_ = t; clockBaseUs_ = atUs; }

    // Answers as the model builds them, before line faults (garbling,
    // truncation, silence).  The program-array faults are part of them.
    std::vector<uint8_t> workingAnswer(int64_t atUs) const;
    std::vector<uint8_t> serviceAnswer(int64_t atUs) const;
    std::vector<uint8_t> programAnswer() const;
    // The raw value of logical channel n at a time (overrides included; a
    // status word where one is configured; 0 for a channel not in the program
    // and without an override).
    int16_t channelValue(int n, int64_t atUs) const;
    // MODBUS register value of channel n (1..216).
    uint16_t modbusRegister(int n, int64_t atUs) const;

private:
    enum class Rx { Idle, Code, Data, Load };

    void nativeByte(uint8_t byte, int64_t atUs, LineTx& tx);
    void command(uint8_t code, int64_t atUs, LineTx& tx);
    void dataComplete(int64_t atUs);
    void finishLoad(int64_t atUs);
    void modbusFrame(int64_t atUs, LineTx& tx);
    void answer(uint8_t command, std::vector<uint8_t> bytes, int64_t startUs, LineTx& tx);
    void setProgram(std::vector<uint8_t> p);
    std::vector<uint8_t> clockHeader(int64_t atUs) const;
    const ChannelLine* lineOf(int n) const;

    ConverterConfig cfg_;
    int address_;
    uint8_t status_;
    std::vector<uint8_t> program_;
    std::vector<ChannelLine> lines_;
    DateTime clockBase_;
    int64_t clockBaseUs_ = 0;
    std::mt19937 rng_;
    std::optional<uint32_t> seededWith_;

    // Receive state.
    Rx rx_ = Rx::Idle;
    std::optional<int64_t> lastRxUs_;
    bool mine_ = false;          // the frame being received is for this unit
    uint8_t pendingCode_ = 0;
    size_t need_ = 0;
    int64_t deadlineUs_ = 0;     // data block time-out
    std::vector<uint8_t> data_;
    size_t loadCount_ = 0;
    std::optional<LoadResult> lastLoad_;
    // MODBUS: the frame being collected, ended by a silence.
    std::vector<uint8_t> mbFrame_;
};

// One-line setup: makeConverter({.address = 5, .protocol = Protocol::Modbus}).
inline ConverterModel makeConverter(ConverterConfig cfg = {}) { return ConverterModel(std::move(cfg)); }

} // namespace korlin::sim

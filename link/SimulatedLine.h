#pragma once
// A serial line on the virtual clock: the host side is a SerialPort, the far
// end a LineDevice (the converter model, a test's script, or nothing at all:
// a silent line).  9600 baud 8E2, so a byte takes kByteTimeUs each way.
//
// Lazy and exact: nothing runs between calls.  Every call first brings the
// device up to the virtual time, event by event in time order (host bytes
// reaching it, its own wake-ups); a completion wait then advances the clock
// to the exact moment the operation completes.  Host byte i of a write
// started at t reaches the device at t + (i+1) * kByteTimeUs (later when the
// line is still busy with an earlier write).
//
// Every call is recorded with its virtual time, in the notation of the
// exchange table: P12, W C5 01, G, G0, S 100, R 1, M, E, T, Q, L.  Pauses
// appear when the exchange sleeps on clock(), a Clock that forwards to the
// virtual clock and records each sleep.
#include "LineDevice.h"
#include "SerialPort.h"
#include "ReadTimer.h"

#include "Clock.h"

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korlin {

struct LineEvent {
    enum Kind { SetTimeouts, SetupQueues, SetLineSettings, Purge, Write, ReadStart, Wait, Check, CommMask, WaitChar, Pause, Close };
    Kind kind;
    int64_t atUs = 0;            // virtual time of the call
    int64_t endUs = 0;           // virtual time it returned (waits and pauses)
    std::vector<uint8_t> bytes;  // Write: the bytes
    uint64_t value = 0;          // Purge: flags; ReadStart: n; Wait/Check: count; Pause: ms; CommMask: mask; Close: 0
    bool ok = true;              // start check, completion, character seen
    CommTimeouts timeouts{};     // SetTimeouts
    LineSettings settings{};     // SetLineSettings

    // The table notation: "P12", "W C5 01", "G", "G0", "S 100", "R 1", "M", "E".
    std::string step() const;
};

struct TimedByte {
    uint8_t value;
    int64_t atUs; // when it had fully arrived at the other end
    bool operator==(const TimedByte&) const = default;
};

class SimulatedLine final : public SerialPort {
public:
    // device may be null (silent line); it must outlive the line.
    explicit SimulatedLine(VirtualClock& clock, LineDevice* device = nullptr);
    ~SimulatedLine() override;

    // Makes the line a port that failed to open: isOpen() false, every start
    // check fails, waits return at once; calls are still recorded.
    void failOpen(std::string reason);

    // SerialPort
    bool isOpen() const override { return open_; }
    std::string openError() const override { return open_ ? std::string() : openError_; }
    void setTimeouts(const CommTimeouts& t) override;
    void setupQueues(uint32_t rx, uint32_t tx) override;
    void setLineSettings(const LineSettings& s) override;
    void purge(unsigned flags) override;
    bool startWrite(const uint8_t* data, size_t n) override;
    using SerialPort::startRead;
    bool startRead(uint8_t* buf, size_t n, uint32_t noByteLimitMs) override;
    bool result(uint32_t& count, bool wait) override;
    uint64_t bytesRead() override;
    void setCommMask(uint32_t mask) override;
    bool waitCharReceived(int64_t maxWaitMs) override;
    void close() override;

    // A Clock on the same virtual time whose sleeps are recorded as pauses.
    Clock& clock() { return pacing_; }
    VirtualClock& virtualClock() { return clock_; }

    // What happened.
    const std::vector<LineEvent>& trace() const { return trace_; }
    void clearTrace() { trace_.clear(); }
    // The steps of the trace in table notation, optionally from index 'from'.
    std::vector<std::string> steps(size_t from = 0) const;
    // Host bytes as they reached the device; device bytes as they reached the host.
    const std::vector<TimedByte>& hostBytes() const { return hostLog_; }
    const std::vector<TimedByte>& deviceBytes() const { return deviceLog_; }
    // The port settings as last set.
    const CommTimeouts& timeouts() const { return timeouts_; }
    const LineSettings& lineSettings() const { return settings_; }
    uint32_t rxQueueSize() const { return rxQueueSize_; }
    uint32_t txQueueSize() const { return txQueueSize_; }
    // Received bytes waiting in the receive queue now (not taken by a read).
    size_t queued();
    // Bytes lost because the receive queue was full.
    uint64_t overruns() const { return overruns_; }

    // A device may also inject bytes without a host byte (tests): queued
    // towards the host as LineTx::send does.
    void deviceSend(const uint8_t* data, size_t n, int64_t startUs, int64_t gapUs = 0);

private:
    class Pacing final : public Clock {
    public:
        explicit Pacing(SimulatedLine& line) : line_(line) {}
        int64_t nowUs() const override { return line_.clock_.nowUs(); }
        void sleepMs(int64_t ms) override;
        DateTime localTime() const override { return line_.clock_.localTime(); }
    private:
        SimulatedLine& line_;
    };
    class Tx final : public LineTx {
    public:
        explicit Tx(SimulatedLine& line) : line_(line) {}
        void send(const uint8_t* data, size_t n, int64_t startUs, int64_t gapUs) override;
        int64_t eventUs = 0; // the device event being handled (causality floor)
    private:
        SimulatedLine& line_;
    };
    struct RxByte {
        uint8_t value;
        int64_t arrivalUs;
    };
    struct ReadOp {
        uint8_t* buf;
        ReadTimer timer;
    };
    struct WriteOp {
        size_t count;    // bytes that go out
        int64_t doneUs;  // last of them has left, or the write time-out
    };
    enum class Last { None, Write, Read };

    LineEvent& record(LineEvent::Kind k);
    int64_t now() const { return clock_.nowUs(); }
    // Next device event time (host byte arrival or wake-up), if any.
    std::optional<int64_t> nextDeviceEvent() const;
    void processDeviceEvent(int64_t t);
    void advanceDevice(int64_t t);
    // Gives the pending read the bytes that have arrived up to t.
    void feedRead(int64_t t);
    void sync();
    void enforceQueueSize();
    size_t arrivedCount(int64_t t) const;
    void queueFromDevice(const uint8_t* data, size_t n, int64_t startUs, int64_t gapUs);

    VirtualClock& clock_;
    LineDevice* device_;
    Pacing pacing_{*this};
    Tx tx_{*this};
    bool open_ = true;
    std::string openError_;

    CommTimeouts timeouts_{};
    LineSettings settings_{};
    uint32_t rxQueueSize_ = 16384, txQueueSize_ = 1024;
    uint32_t mask_ = 0;

    int64_t hostTxFreeUs_ = 0;
    std::deque<TimedByte> toDevice_;   // host bytes not yet delivered
    int64_t deviceTimeUs_ = 0;         // device processed up to here
    std::optional<int64_t> lastWakeUs_;
    int64_t deviceTxFreeUs_ = 0;
    std::deque<RxByte> rx_;            // received or on the way, not yet taken
    uint64_t rxTotal_ = 0;             // bytes ever queued towards the host
    uint64_t rxGone_ = 0;              // of them, taken or purged (all arrived)
    uint64_t rxTaken_ = 0;             // of them, taken by reads
    uint64_t eventMark_ = 0;           // arrivals seen by the last M or E
    uint64_t overruns_ = 0;

    Last last_ = Last::None;
    std::optional<WriteOp> write_;
    std::optional<ReadOp> read_;

    std::vector<LineEvent> trace_;
    std::vector<TimedByte> hostLog_, deviceLog_;
};

// Opens "COM1"/"COM2" (or any name) onto simulated lines the test owns, or
// onto absent ports that fail to open.  Records the names asked for.
class SimulatedPortOpener final : public PortOpener {
public:
    void attach(const std::string& name, SimulatedLine& line) { lines_[name] = &line; }
    // The port fails to open with this reason (absent, busy, not permitted).
    void fail(const std::string& name, std::string reason) { lines_.erase(name); reasons_[name] = std::move(reason); }
    std::unique_ptr<SerialPort> open(const std::string& name) override;
    std::vector<std::string> opened;

private:
    std::map<std::string, SimulatedLine*> lines_;
    std::map<std::string, std::string> reasons_;
};

} // namespace korlin

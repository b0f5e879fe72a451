#include "SimulatedLine.h"

#include "ClosedPort.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace korlin {

// ---- trace notation ---------------------------------------------------------

std::string LineEvent::step() const
{
    char buf[64];
    switch (kind) {
    case SetTimeouts:
        std::snprintf(buf, sizeof buf, "T %u/%u/%u/%u/%u", timeouts.readInterval, timeouts.readMultiplier,
                      timeouts.readConstant, timeouts.writeMultiplier, timeouts.writeConstant);
        return buf;
    case SetupQueues:
        std::snprintf(buf, sizeof buf, "Q %u/%u", unsigned(value >> 32), unsigned(value & 0xFFFFFFFFu));
        return buf;
    case SetLineSettings: {
        const char p = settings.parity == LineSettings::Parity::Even ? 'E'
                       : settings.parity == LineSettings::Parity::Odd ? 'O' : 'N';
        std::snprintf(buf, sizeof buf, "L %u %u%c%u%s%s", settings.baudRate, unsigned(settings.dataBits), p,
                      unsigned(settings.stopBits), settings.dtrOn ? " DTR" : "", settings.rtsOn ? " RTS" : "");
        return buf;
    }
    case Purge: return "P" + std::to_string(value);
    case Write: {
        if (bytes.size() > 16)
            return "W " + std::to_string(bytes.size());
        std::string s = "W";
        for (uint8_t b : bytes) {
            std::snprintf(buf, sizeof buf, " %02X", b);
            s += buf;
        }
        return s;
    }
    case ReadStart: return "R " + std::to_string(value);
    case Wait: return "G";
    case Check: return "G0";
    case CommMask: return "M";
    case WaitChar: return "E";
    case Pause: return "S " + std::to_string(value);
    case Close: return "C";
    }
    return "?";
}

// ---- helpers ------------------------------------------------------------------

SimulatedLine::SimulatedLine(VirtualClock& clock, LineDevice* device) : clock_(clock), device_(device)
{
    deviceTimeUs_ = clock_.nowUs();
    hostTxFreeUs_ = deviceTxFreeUs_ = deviceTimeUs_;
}

SimulatedLine::~SimulatedLine() = default;

void SimulatedLine::failOpen(std::string reason)
{
    open_ = false;
    openError_ = std::move(reason);
}

LineEvent& SimulatedLine::record(LineEvent::Kind k)
{
    LineEvent e{};
    e.kind = k;
    e.atUs = e.endUs = now();
    trace_.push_back(std::move(e));
    return trace_.back();
}

std::vector<std::string> SimulatedLine::steps(size_t from) const
{
    std::vector<std::string> out;
    for (size_t i = from; i < trace_.size(); ++i)
        out.push_back(trace_[i].step());
    return out;
}

void SimulatedLine::Pacing::sleepMs(int64_t ms)
{
    LineEvent& e = line_.record(LineEvent::Pause);
    e.value = uint64_t(std::max<int64_t>(ms, 0));
    line_.clock_.sleepMs(ms);
    line_.trace_.back().endUs = line_.now();
}

std::optional<int64_t> SimulatedLine::nextDeviceEvent() const
{
    std::optional<int64_t> t;
    if (!toDevice_.empty())
        t = toDevice_.front().atUs;
    if (device_) {
        if (auto w = device_->wakeAt(); w && (!lastWakeUs_ || *w > *lastWakeUs_)) {
            // A wake-up asked for in the past happens as soon as possible.
            const int64_t at = std::max(*w, deviceTimeUs_);
            t = t ? std::min(*t, at) : at;
        }
    }
    return t;
}

void SimulatedLine::processDeviceEvent(int64_t t)
{
    deviceTimeUs_ = std::max(deviceTimeUs_, t);
    tx_.eventUs = t;
    if (!toDevice_.empty() && toDevice_.front().atUs <= t) {
        const TimedByte b = toDevice_.front();
        toDevice_.pop_front();
        hostLog_.push_back(b);
        if (device_)
            device_->receive(b.value, b.atUs, tx_);
        return;
    }
    // A wake-up.  One that the device does not move on is not repeated.
    lastWakeUs_ = device_ ? device_->wakeAt().value_or(t) : t;
    if (device_)
        device_->wake(t, tx_);
}

void SimulatedLine::advanceDevice(int64_t t)
{
    while (auto e = nextDeviceEvent()) {
        if (*e > t)
            break;
        processDeviceEvent(*e);
    }
    deviceTimeUs_ = std::max(deviceTimeUs_, t);
}

void SimulatedLine::Tx::send(const uint8_t* data, size_t n, int64_t startUs, int64_t gapUs)
{
    line_.queueFromDevice(data, n, std::max(startUs, eventUs), gapUs);
}

void SimulatedLine::deviceSend(const uint8_t* data, size_t n, int64_t startUs, int64_t gapUs)
{
    queueFromDevice(data, n, std::max(startUs, now()), gapUs);
}

void SimulatedLine::queueFromDevice(const uint8_t* data, size_t n, int64_t startUs, int64_t gapUs)
{
    if (!data || n == 0)
        return;
    int64_t at = std::max(startUs, deviceTxFreeUs_) + kByteTimeUs;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0)
            at += std::max<int64_t>(gapUs, 0) + kByteTimeUs;
        rx_.push_back({data[i], at});
        deviceLog_.push_back({data[i], at});
        ++rxTotal_;
    }
    deviceTxFreeUs_ = at;
}

void SimulatedLine::feedRead(int64_t t)
{
    if (!read_ || read_->timer.done())
        return;
    while (!rx_.empty() && rx_.front().arrivalUs <= t) {
        if (!read_->timer.offer(rx_.front().arrivalUs))
            break;
        read_->buf[read_->timer.count() - 1] = rx_.front().value;
        rx_.pop_front();
        ++rxGone_;
        ++rxTaken_;
    }
    read_->timer.expire(t);
}

size_t SimulatedLine::arrivedCount(int64_t t) const
{
    size_t n = size_t(rxGone_);
    for (const RxByte& b : rx_) {
        if (b.arrivalUs > t)
            break;
        ++n;
    }
    return n;
}

void SimulatedLine::enforceQueueSize()
{
    size_t waiting = 0;
    while (waiting < rx_.size() && rx_[waiting].arrivalUs <= now())
        ++waiting;
    if (waiting > rxQueueSize_) {
        const size_t excess = waiting - rxQueueSize_;
        rx_.erase(rx_.begin() + std::ptrdiff_t(rxQueueSize_), rx_.begin() + std::ptrdiff_t(waiting));
        overruns_ += excess;
        rxGone_ += excess;
    }
}

void SimulatedLine::sync()
{
    advanceDevice(now());
    feedRead(now());
    enforceQueueSize();
}

size_t SimulatedLine::queued()
{
    sync();
    return arrivedCount(now()) - size_t(rxGone_);
}

// ---- SerialPort ---------------------------------------------------------------

void SimulatedLine::setTimeouts(const CommTimeouts& t)
{
    record(LineEvent::SetTimeouts).timeouts = t;
    sync();
    if (open_)
        timeouts_ = t;
}

void SimulatedLine::setupQueues(uint32_t rx, uint32_t tx)
{
    record(LineEvent::SetupQueues).value = (uint64_t(rx) << 32) | tx;
    sync();
    if (open_) {
        rxQueueSize_ = rx;
        txQueueSize_ = tx;
    }
}

void SimulatedLine::setLineSettings(const LineSettings& s)
{
    record(LineEvent::SetLineSettings).settings = s;
    sync();
    if (open_)
        settings_ = s;
}

void SimulatedLine::purge(unsigned flags)
{
    record(LineEvent::Purge).value = flags;
    sync();
    if (!open_)
        return;
    if (flags & PurgeRx) {
        // What a pending read has taken stays its own (sync gave it its bytes).
        while (!rx_.empty() && rx_.front().arrivalUs <= now()) {
            rx_.pop_front();
            ++rxGone_;
        }
    }
    if (flags & PurgeTx) {
        // Bytes whose transmission has not begun are discarded.
        size_t dropped = 0;
        while (!toDevice_.empty() && toDevice_.back().atUs - kByteTimeUs >= now()) {
            toDevice_.pop_back();
            ++dropped;
        }
        hostTxFreeUs_ = toDevice_.empty() ? now() : std::max(now(), toDevice_.back().atUs);
        if (write_ && dropped > 0 && write_->doneUs > now()) {
            write_->count -= std::min(dropped, write_->count);
            write_->doneUs = hostTxFreeUs_;
        }
    }
}

bool SimulatedLine::startWrite(const uint8_t* data, size_t n)
{
    LineEvent& e = record(LineEvent::Write);
    if (data && n)
        e.bytes.assign(data, data + n);
    sync();
    if (!open_ || (!data && n)) {
        trace_.back().ok = false;
        last_ = Last::None;
        return false;
    }
    const int64_t totalMs = int64_t(timeouts_.writeMultiplier) * int64_t(n) + int64_t(timeouts_.writeConstant);
    constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
    const int64_t deadline = totalMs > 0 ? now() + totalMs * 1000 : kNever;
    int64_t at = std::max(now(), hostTxFreeUs_);
    size_t kept = 0;
    for (size_t i = 0; i < n; ++i) {
        const int64_t arrival = at + kByteTimeUs;
        if (arrival > deadline)
            break; // the write time-out ends the write before this byte is out
        toDevice_.push_back({data[i], arrival});
        at = arrival;
        ++kept;
    }
    hostTxFreeUs_ = at;
    write_ = WriteOp{kept, kept < n ? deadline : at};
    last_ = Last::Write;
    return true;
}

bool SimulatedLine::startRead(uint8_t* buf, size_t n, uint32_t noByteLimitMs)
{
    record(LineEvent::ReadStart).value = n;
    sync();
    if (!open_ || (!buf && n)) {
        trace_.back().ok = false;
        last_ = Last::None;
        return false;
    }
    if (read_)
        read_->timer.cancel(now());
    read_.emplace(ReadOp{buf, ReadTimer(now(), n, timeouts_, noByteLimitMs)});
    last_ = Last::Read;
    feedRead(now());
    return true;
}

bool SimulatedLine::result(uint32_t& count, bool wait)
{
    const size_t idx = trace_.size();
    record(wait ? LineEvent::Wait : LineEvent::Check);
    sync();
    bool done = false;
    count = 0;
    if (open_ && last_ == Last::Write && write_) {
        if (wait && write_->doneUs > now()) {
            advanceDevice(write_->doneUs);
            clock_.advanceToUs(write_->doneUs);
            sync();
        }
        done = now() >= write_->doneUs;
        count = uint32_t(write_->count);
    } else if (open_ && last_ == Last::Read && read_) {
        ReadTimer& timer = read_->timer;
        if (wait) {
            // Step through the device's events until the read completes; all
            // bytes arriving before the next event are already known.
            while (!timer.done()) {
                const auto ev = nextDeviceEvent();
                feedRead(ev ? *ev : std::numeric_limits<int64_t>::max());
                if (timer.done() || !ev)
                    break; // done, or nothing will ever come: it would wait forever
                processDeviceEvent(*ev);
            }
            if (timer.done()) {
                advanceDevice(timer.doneUs());
                clock_.advanceToUs(timer.doneUs());
                sync();
            }
        }
        done = timer.done();
        count = uint32_t(timer.count());
    }
    LineEvent& e = trace_[idx];
    e.value = count;
    e.ok = done;
    e.endUs = now();
    return done;
}

uint64_t SimulatedLine::bytesRead()
{
    sync();
    return rxTaken_;
}

void SimulatedLine::setCommMask(uint32_t mask)
{
    record(LineEvent::CommMask).value = mask;
    sync();
    if (!open_)
        return;
    mask_ = mask;
    eventMark_ = arrivedCount(now());
}

bool SimulatedLine::waitCharReceived(int64_t maxWaitMs)
{
    const size_t idx = trace_.size();
    record(LineEvent::WaitChar).value = uint64_t(std::max<int64_t>(maxWaitMs, 0));
    sync();
    bool seen = false;
    if (open_ && (mask_ & EvRxChar)) {
        constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
        const int64_t limit = maxWaitMs >= 0 ? now() + maxWaitMs * 1000 : kNever;
        if (arrivedCount(now()) > eventMark_) {
            seen = true;
        } else {
            while (true) {
                int64_t next = kNever; // the next arrival already known
                for (const RxByte& b : rx_)
                    if (b.arrivalUs > now()) {
                        next = b.arrivalUs;
                        break;
                    }
                const int64_t ev = nextDeviceEvent().value_or(kNever);
                if (next != kNever && next <= ev) {
                    const int64_t until = std::min(next, limit);
                    advanceDevice(until);
                    clock_.advanceToUs(until);
                    seen = next <= limit;
                    break;
                }
                if (ev == kNever || ev > limit) {
                    if (limit != kNever) {
                        advanceDevice(limit);
                        clock_.advanceToUs(limit);
                    }
                    break; // without a limit and with nothing to come: at once
                }
                processDeviceEvent(ev);
            }
            sync();
        }
        if (seen)
            eventMark_ = arrivedCount(now());
    }
    trace_[idx].ok = seen;
    trace_[idx].endUs = now();
    return seen;
}

void SimulatedLine::close()
{
    record(LineEvent::Close);
    sync();
    if (open_)
        openError_ = "порт закрыт";
    open_ = false;
    read_.reset();
    write_.reset();
    last_ = Last::None;
}

// ---- opener ---------------------------------------------------------------------

namespace {
// What the opener hands out: the port is the test's line.
class LinePort final : public SerialPort {
public:
    explicit LinePort(SimulatedLine& l) : l_(l) {}
    bool isOpen() const override { return l_.isOpen(); }
    std::string openError() const override { return l_.openError(); }
    void setTimeouts(const CommTimeouts& t) override { l_.setTimeouts(t); }
    void setupQueues(uint32_t rx, uint32_t tx) override { l_.setupQueues(rx, tx); }
    void setLineSettings(const LineSettings& s) override { l_.setLineSettings(s); }
    void purge(unsigned f) override { l_.purge(f); }
    bool startWrite(const uint8_t* d, size_t n) override { return l_.startWrite(d, n); }
    using SerialPort::startRead;
    bool startRead(uint8_t* b, size_t n, uint32_t lim) override { return l_.startRead(b, n, lim); }
    bool result(uint32_t& c, bool w) override { return l_.result(c, w); }
    uint64_t bytesRead() override { return l_.bytesRead(); }
    void setCommMask(uint32_t m) override { l_.setCommMask(m); }
    bool waitCharReceived(int64_t ms) override { return l_.waitCharReceived(ms); }
    void close() override { l_.close(); }
private:
    SimulatedLine& l_;
};
} // namespace

std::unique_ptr<SerialPort> SimulatedPortOpener::open(const std::string& name)
{
    opened.push_back(name);
    if (auto it = lines_.find(name); it != lines_.end())
        return std::make_unique<LinePort>(*it->second);
    if (auto it = reasons_.find(name); it != reasons_.end())
        return std::make_unique<ClosedPort>(it->second);
    return std::make_unique<ClosedPort>("Порт " + name + " не найден.");
}

} // namespace korlin

#pragma once
// Time for the whole program: a monotonic clock for pauses and time-outs, and
// the local wall-clock time for time stamps and the converter's clock record.
// The virtual clock lets tests run the protocol's pauses in no real time.
#include <cstdint>

namespace korlin {

struct DateTime {
    int year = 2000, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    bool operator==(const DateTime&) const = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic time in microseconds since an arbitrary origin.
    virtual int64_t nowUs() const = 0;
    int64_t nowMs() const { return nowUs() / 1000; }
    // Blocks the calling thread (the GUI thread stands still, as intended).
    virtual void sleepMs(int64_t ms) = 0;
    virtual DateTime localTime() const = 0;
};

class SystemClock final : public Clock {
public:
    int64_t nowUs() const override;
    void sleepMs(int64_t ms) override;
    DateTime localTime() const override;
};

// Time moves only when someone sleeps or advances it.  The wall-clock time
// moves with it, from the start time given.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(DateTime start = {2026, 12, 11, 9, 0, 0}) : start_(start) {}
    int64_t nowUs() const override { return nowUs_; }
    void sleepMs(int64_t ms) override { advanceUs(ms * 1000); }
    DateTime localTime() const override;
    void advanceUs(int64_t us) { if (us > 0) nowUs_ += us; }
    void advanceToUs(int64_t t) { if (t > nowUs_) nowUs_ = t; }
    void setLocalTime(DateTime t) { start_ = t; startUs_ = nowUs_; }
private:
    int64_t nowUs_ = 0;
    int64_t startUs_ = 0;
    DateTime start_;
};

// Adds whole seconds to a date-time, across days, months and years.
DateTime addSeconds(const DateTime& t, int64_t seconds);

} // namespace korlin

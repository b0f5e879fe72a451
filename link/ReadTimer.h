#pragma once
// When a read of the serial port completes, decided from the arrival times of
// the bytes it takes and the time-outs in force when it started.  Shared by
// the real port and the simulated line so that both follow the same rules.
//
//  * A byte already waiting when the read starts counts as received at the
//    start: the interval runs from then, not from its real arrival.
//  * Interval: the read completes interval ms after the last byte it took when
//    no byte follows by then (never before its first byte).
//  * Total: multiplier * n + constant ms after the start, when not 0.
//  * noByteLimit (our own bound, 0 = none): the read completes with nothing
//    when no byte has come that long after its start.
//  * A byte that arrives exactly at a deadline is still taken.
//  * Interval all ones with both totals 0 completes at once with what waits.
#include "SerialPort.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace korlin {

class ReadTimer {
public:
    ReadTimer(int64_t startUs, size_t n, const CommTimeouts& t, uint32_t noByteLimitMs = 0);

    // Offers the next byte (in arrival order).  True when the read takes it;
    // false when the read had completed before it arrived (or was complete):
    // the byte then stays in the queue.
    bool offer(int64_t arrivalUs);
    // When the read completes if no further byte comes (nothing: it waits).
    std::optional<int64_t> deadline() const;
    // Completes the read when its deadline is not after nowUs.  Call after
    // every byte that arrived up to nowUs has been offered.
    void expire(int64_t nowUs);
    // Ends the read at once with what it has (a new read settles the old one).
    void cancel(int64_t nowUs);

    bool done() const { return done_; }
    int64_t doneUs() const { return doneUs_; }
    int64_t startUs() const { return startUs_; }
    size_t count() const { return got_; }
    size_t requested() const { return n_; }

private:
    void finish(int64_t atUs);

    int64_t startUs_;
    size_t n_;
    int64_t intervalUs_ = 0;                 // 0: no interval rule
    std::optional<int64_t> totalDeadline_;
    std::optional<int64_t> noByteDeadline_;
    size_t got_ = 0;
    int64_t lastUs_ = 0;
    bool done_ = false;
    int64_t doneUs_ = 0;
};

} // namespace korlin

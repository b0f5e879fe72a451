#include "ReadTimer.h"

#include <algorithm>
#include <limits>

namespace korlin {

ReadTimer::ReadTimer(int64_t startUs, size_t n, const CommTimeouts& t, uint32_t noByteLimitMs)
    : startUs_(startUs), n_(n)
{
    if (t.readInterval == std::numeric_limits<uint32_t>::max() && t.readMultiplier == 0 && t.readConstant == 0) {
        totalDeadline_ = startUs; // return at once with whatever is waiting
    } else {
        intervalUs_ = int64_t(t.readInterval) * 1000;
        const int64_t totalMs = int64_t(t.readMultiplier) * int64_t(n) + int64_t(t.readConstant);
        if (totalMs > 0)
            totalDeadline_ = startUs + totalMs * 1000;
    }
    if (noByteLimitMs > 0)
        noByteDeadline_ = startUs + int64_t(noByteLimitMs) * 1000;
    if (n == 0)
        finish(startUs);
}

std::optional<int64_t> ReadTimer::deadline() const
{
    if (done_)
        return doneUs_;
    std::optional<int64_t> d = totalDeadline_;
    auto earliest = [&d](int64_t v) { d = d ? std::min(*d, v) : v; };
    if (got_ > 0 && intervalUs_ > 0)
        earliest(lastUs_ + intervalUs_);
    if (got_ == 0 && noByteDeadline_)
        earliest(*noByteDeadline_);
    return d;
}

bool ReadTimer::offer(int64_t arrivalUs)
{
    if (done_)
        return false;
    const int64_t at = std::max(arrivalUs, startUs_);
    if (const auto d = deadline(); d && at > *d) {
        finish(*d);
        return false;
    }
    ++got_;
    lastUs_ = at;
    if (got_ >= n_)
        finish(at);
    return true;
}

void ReadTimer::expire(int64_t nowUs)
{
    if (done_)
        return;
    if (const auto d = deadline(); d && *d <= nowUs)
        finish(*d);
}

void ReadTimer::cancel(int64_t nowUs)
{
    if (!done_)
        finish(std::max(nowUs, startUs_));
}

void ReadTimer::finish(int64_t atUs)
{
    done_ = true;
    doneUs_ = atUs;
}

} // namespace korlin

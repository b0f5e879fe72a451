#pragma once
// The far end of a simulated serial line: the converter model, or a test's
// script.  Times are microseconds on the line's clock.  At 9600 baud with
// 1 start, 8 data, 1 parity and 2 stop bits one byte takes 1250 us.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace korlin {

inline constexpr int64_t kByteTimeUs = 1250;

class LineTx {
public:
    virtual ~LineTx() = default;
    // Queue bytes towards the host.  The first starts at startUs (or when the
    // line is free), each next one follows after its own 1250 us plus gapUs.
    virtual void send(const uint8_t* data, size_t n, int64_t startUs, int64_t gapUs = 0) = 0;
};

class LineDevice {
public:
    virtual ~LineDevice() = default;
    // One byte from the host has fully arrived at atUs.
    virtual void receive(uint8_t byte, int64_t atUs, LineTx& tx) = 0;
    // When the device wants to be woken without a byte (for example to end a
    // frame after a silence); nothing when it does not.
    virtual std::optional<int64_t> wakeAt() const { return std::nullopt; }
    virtual void wake(int64_t /*atUs*/, LineTx& /*tx*/) {}
};

} // namespace korlin

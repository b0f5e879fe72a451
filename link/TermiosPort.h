#pragma once
// SerialPort on a Linux serial device file (termios).  A reader thread takes
// every byte off the device as soon as it comes and stamps its arrival with
// the steady clock, into a receive queue of our own; the read time-outs, the
// non-waiting completion check and the character-received wait are decided
// from those stamps (ReadTimer), as a Windows port decides them.
//
// Opening is exclusive: TIOCEXCL and an flock on the device, so a second
// opener fails whoever it is.  The line is raw, no flow control, DTR and RTS
// off; the driver is asked for low-latency mode (USB adapters otherwise hold
// received bytes for up to 16 ms) and the port carries on where it cannot.
#include "SerialPort.h"

#include <memory>
#include <string>

namespace korlin {

class TermiosPort final : public SerialPort {
public:
    // Opens the device at path; name is how the user knows it ("COM1"), used
    // in the reason when the open fails.  A failed open gives a closed port.
    explicit TermiosPort(std::string path, std::string name = {});
    ~TermiosPort() override;
    TermiosPort(const TermiosPort&) = delete;
    TermiosPort& operator=(const TermiosPort&) = delete;

    bool isOpen() const override;
    std::string openError() const override;
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

    const std::string& path() const;
    // Whether the driver took the low-latency request.
    bool lowLatency() const;
    // Bytes lost because our receive queue was full.
    uint64_t overruns() const;

    // The steady-clock time the arrival stamps use, in microseconds.
    static int64_t steadyNowUs();

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// "COM1" and "COM2" are the devices named by KORLIN_COM1 and KORLIN_COM2
// (default /dev/ttyS0 and /dev/ttyS1); any other name is a device path
// (symbolic links such as /dev/serial/by-id/... included).
class TermiosPortOpener final : public PortOpener {
public:
    std::unique_ptr<SerialPort> open(const std::string& name) override;
    static std::string devicePath(const std::string& name);
};

} // namespace korlin

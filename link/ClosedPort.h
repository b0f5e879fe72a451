#pragma once
// A port that failed to open: every start fails its check, every wait
// returns at once, and openError() says why.
#include "SerialPort.h"

#include <string>

namespace korlin {

class ClosedPort final : public SerialPort {
public:
    explicit ClosedPort(std::string reason) : reason_(std::move(reason)) {}
    bool isOpen() const override { return false; }
    std::string openError() const override { return reason_; }
    void setTimeouts(const CommTimeouts&) override {}
    void setupQueues(uint32_t, uint32_t) override {}
    void setLineSettings(const LineSettings&) override {}
    void purge(unsigned) override {}
    bool startWrite(const uint8_t*, size_t) override { return false; }
    using SerialPort::startRead;
    bool startRead(uint8_t*, size_t, uint32_t) override { return false; }
    bool result(uint32_t& count, bool) override { count = 0; return false; }
    uint64_t bytesRead() override { return 0; }
    void setCommMask(uint32_t) override {}
    bool waitCharReceived(int64_t) override { return false; }
    void close() override {}

private:
    std::string reason_;
};

} // namespace korlin

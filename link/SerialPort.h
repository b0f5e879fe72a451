#pragma once
// The serial port as the exchanges use it: the operations of a Windows
// communications port, with their time-out rules, free of any OS type.
//
// Time-out rules (all values in milliseconds, 0 = "not used"):
//  * A read of n bytes completes when n bytes have arrived, or when the gap
//    after a received byte exceeds the read interval (measured from the first
//    byte on; before the first byte the interval does not run), or when
//    readMultiplier * n + readConstant have passed since the read started
//    (only when that total is not 0), whichever comes first.  With every read
//    time-out 0 a read waits for its n bytes.
//  * A write of n bytes completes when the bytes have gone out, or at the
//    latest writeMultiplier * n + writeConstant after it started (when not
//    0); cut short there, it counts the bytes gone and sends no more.
//  * A short count is a time-out, not an error.
//  * A byte already waiting when a read starts counts as received at the
//    start of the read (the interval runs from there).
// Bytes that did not arrive leave the buffer as it was.  The bytes a pending
// read takes belong to it until it completes, whatever else runs meanwhile
// (a purge does not cancel it, a write does not end it); they land in the
// caller's buffer at the latest by the next call on the port, so a caller
// reads the buffer only after a call that came after the bytes.  Starting a
// new read first settles the previous one: if it is still pending it ends
// there with what it has.
// The line-side rules of the real port and the simulated line are the same
// (ReadTimer).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace korlin {

struct CommTimeouts {
    uint32_t readInterval = 0;
    uint32_t readMultiplier = 0;
    uint32_t readConstant = 0;
    uint32_t writeMultiplier = 0;
    uint32_t writeConstant = 0;
    bool operator==(const CommTimeouts&) const = default;
};

struct LineSettings {
    enum class Parity { None, Odd, Even };
    uint32_t baudRate = 9600;
    uint8_t dataBits = 8;
    bool parityCheck = true;
    Parity parity = Parity::Even;
    uint8_t stopBits = 2;
    bool dtrOn = false; // DTR and RTS control disabled: both lines stay off
    bool rtsOn = false;
    bool operator==(const LineSettings&) const = default;
};

enum PurgeFlag : unsigned { PurgeTx = 4, PurgeRx = 8, PurgeBoth = 12 };
inline constexpr uint32_t EvRxChar = 1;

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // False for a port that failed to open: then every write and read fails
    // its start check, as with an invalid handle.
    virtual bool isOpen() const = 0;
    // Why the port could not be opened (empty when open).
    virtual std::string openError() const = 0;

    virtual void setTimeouts(const CommTimeouts& t) = 0;      // SetCommTimeouts
    virtual void setupQueues(uint32_t rx, uint32_t tx) = 0;   // SetupComm
    virtual void setLineSettings(const LineSettings& s) = 0;  // SetCommState
    virtual void purge(unsigned flags) = 0;                   // PurgeComm (does not cancel an operation)

    // Start sending; false when the write did not start.
    virtual bool startWrite(const uint8_t* data, size_t n) = 0;
    // Start reading up to n bytes into buf; false when the read did not start.
    // buf must stay valid until the read has completed.  noByteLimitMs > 0 is
    // a bound of our own where the time-outs leave a silent line unbounded:
    // the read also completes, with nothing, when no byte has come that long
    // after its start.
    virtual bool startRead(uint8_t* buf, size_t n, uint32_t noByteLimitMs) = 0;
    bool startRead(uint8_t* buf, size_t n) { return startRead(buf, n, 0); }
    // For the operation started last: with wait, block until it completes;
    // without, say at once whether it has completed.  count = bytes so far
    // (they are in the caller's buffer when this returns).  With no operation
    // (none yet, or its start failed): false and 0 at once.
    virtual bool result(uint32_t& count, bool wait) = 0;
    // Bytes that reads have taken since the port opened, a pending read
    // brought up to date first.  Bookkeeping only: it waits for nothing and
    // changes nothing on the line.
    virtual uint64_t bytesRead() = 0;

    virtual void setCommMask(uint32_t mask) = 0;              // SetCommMask
    // Waits until at least one character has been received (WaitCommEvent),
    // but no longer than maxWaitMs; true when a character came.  Characters
    // count from the last setCommMask or the last wait that saw one, taken by
    // a read or not; false at once unless the mask holds EvRxChar.
    virtual bool waitCharReceived(int64_t maxWaitMs) = 0;

    virtual void close() = 0;
};

// Opens "COM1" / "COM2" (or a device path) exclusively.  Always returns a
// port object; a failed open gives one whose isOpen() is false.
class PortOpener {
public:
    virtual ~PortOpener() = default;
    virtual std::unique_ptr<SerialPort> open(const std::string& name) = 0;
};

} // namespace korlin

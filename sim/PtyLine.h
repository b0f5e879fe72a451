#pragma once
// The converter model on a pseudo-terminal: a client opens the slave device
// as it would a serial port.  Bytes from the client are stamped as they would
// arrive over a 9600-baud line (one every 1250 us at the most); answers leave
// at the model's line times, one byte per 1250 us against the steady clock.
// Clients may open and close the device as often as they like: while none
// has it open the server looks for one every few ms, drops its answers as a
// line would, and puts the slave's settings back to where the first client
// found them.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "ConverterModel.h"

namespace korlin::sim {

struct PtyOptions {
    std::string linkPath;   // symbolic link to the slave device (removed again at the end)
    std::string tracePath;  // traffic log in hex with times
};

class PtyServer {
public:
    // Opens the pseudo-terminal; nothing and an error text on failure.
    static std::unique_ptr<PtyServer> open(ConverterModel& model, const PtyOptions& options, std::string& error);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    const std::string& slavePath() const { return slavePath_; }

    // Serves until stop() says so.  With waitMask the waits are ppoll()s that
    // let exactly those signals through (block them elsewhere); without it
    // stop() is asked at least every 20 ms.
    void run(const std::function<bool()>& stop, const sigset_t* waitMask = nullptr);

    // Microseconds of line time since the server opened.
    int64_t lineTimeUs() const;

private:
    class Tx;
    PtyServer(ConverterModel& model);
    void trace(const char* dir, const uint8_t* data, size_t n);
    bool flushDue(int64_t now);
    void dropDue(int64_t now);
    bool applyBaseline();
    void traceNote(const char* what);

    ConverterModel& model_;
    int master_ = -1;
    bool present_ = false; // a client has the slave open
    std::string slavePath_;
    std::string linkPath_;
    std::FILE* trace_ = nullptr;
    int64_t originUs_ = 0;
    int64_t lastArrivalUs_ = INT64_MIN / 2;
    std::unique_ptr<Tx> tx_;
};

} // namespace korlin::sim

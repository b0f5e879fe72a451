#pragma once
// Drives a converter model the way a line does: host bytes arrive one every
// 1250 us, the model's wake-ups fire on time, and every answer byte is kept
// with the time it has fully gone out.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "ConverterModel.h"
#include "LineDevice.h"

namespace korlin::sim::test {

struct SentByte {
    uint8_t value;
    int64_t endUs;
};

class RecordingTx final : public LineTx {
public:
    void send(const uint8_t* data, size_t n, int64_t startUs, int64_t gapUs) override
    {
        calls.push_back({startUs, n, gapUs});
        int64_t t = startUs > freeUs_ ? startUs : freeUs_;
        for (size_t i = 0; i < n; ++i) {
            const int64_t end = t + kByteTimeUs;
            bytes.push_back({data[i], end});
            freeUs_ = end;
            t = end + gapUs;
        }
    }
    struct Call {
        int64_t startUs;
        size_t n;
        int64_t gapUs;
    };
    std::vector<Call> calls;
    std::vector<SentByte> bytes;

private:
    int64_t freeUs_ = 0;
};

class Bench {
public:
    explicit Bench(ConverterConfig cfg = {}) : model(std::move(cfg)) {}

    // The host writes bytes starting at startUs (default: now); byte i has
    // arrived at startUs + (i + 1) * 1250.  Returns the arrival of the last.
    int64_t write(std::vector<uint8_t> bytes, std::optional<int64_t> startUs = std::nullopt)
    {
        int64_t t = startUs.value_or(now);
        for (uint8_t b : bytes) {
            t += kByteTimeUs;
            runUntil(t);
            model.receive(b, t, tx);
        }
        now = t;
        return t;
    }
    // Lets time pass to t, firing the model's wake-ups on time.
    void runUntil(int64_t t)
    {
        while (const auto w = model.wakeAt()) {
            if (*w > t)
                break;
            model.wake(*w, tx);
        }
        if (t > now)
            now = t;
    }
    void pauseMs(int64_t ms) { runUntil(now + ms * 1000); }

    // Host request then a long quiet time; the answer's bytes.
    std::vector<uint8_t> ask(std::vector<uint8_t> request, int64_t quietMs = 20000)
    {
        const size_t from = tx.bytes.size();
        write(std::move(request));
        pauseMs(quietMs);
        return sentFrom(from);
    }
    std::vector<uint8_t> sentFrom(size_t from) const
    {
        std::vector<uint8_t> out;
        for (size_t i = from; i < tx.bytes.size(); ++i)
            out.push_back(tx.bytes[i].value);
        return out;
    }

    ConverterModel model;
    RecordingTx tx;
    int64_t now = 1000000; // start a second into the line's time
};

inline uint8_t A(int address) { return uint8_t(0xC0 + address); }

inline uint16_t u16le(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b.at(at) | (b.at(at + 1) << 8)); }

} // namespace korlin::sim::test

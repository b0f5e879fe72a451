// Timing of the real port layer against nominal: the pacing pauses
// (SystemClock::sleepMs), the read total time-out on a silent line and the
// read interval after a last byte, over a pseudo-terminal.  Each benchmark
// reports the error (measured - nominal) as counters: median_ms, worst_ms
// (largest absolute error) and min_ms.  Run on an idle machine.
#include "Clock.h"
#include "TermiosPort.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <thread>
#include <vector>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace korlin;

struct Pty {
    Pty()
    {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0)
            path = name;
        termios t{};
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
    }
    ~Pty()
    {
        ::close(slave);
        ::close(master);
    }
    int master = -1, slave = -1;
    std::string path;
};

void report(benchmark::State& state, std::vector<double> errors)
{
    if (errors.empty())
        return;
    std::sort(errors.begin(), errors.end());
    double worst = 0;
    for (double e : errors)
        worst = std::max(worst, std::fabs(e));
    state.counters["median_ms"] = errors[errors.size() / 2];
    state.counters["worst_ms"] = worst;
    state.counters["min_ms"] = errors.front();
}

double nowMs() { return double(TermiosPort::steadyNowUs()) / 1000.0; }

void BM_Pause(benchmark::State& state)
{
    SystemClock clock;
    const int64_t ms = state.range(0);
    std::vector<double> errors;
    for (auto _ : state) {
        const double t0 = nowMs();
        clock.sleepMs(ms);
        errors.push_back(nowMs() - t0 - double(ms));
    }
    report(state, errors);
}
BENCHMARK(BM_Pause)->Arg(100)->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pause)->Arg(200)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pause)->Arg(1000)->Iterations(5)->Unit(benchmark::kMillisecond);

// A silent read: completes at multiplier * n + constant.
void BM_ReadTotal(benchmark::State& state)
{
    Pty pty;
    TermiosPort port(pty.path);
    if (!port.isOpen()) {
        state.SkipWithError(port.openError().c_str());
        return;
    }
    const size_t n = size_t(state.range(0));
    const CommTimeouts t = n == 1 ? CommTimeouts{17, 10, 10, 0, 10} : CommTimeouts{17, 2, 10, 5, 10};
    port.setTimeouts(t);
    const double nominal = double(t.readMultiplier * n + t.readConstant);
    std::array<uint8_t, 16> buf{};
    std::vector<double> errors;
    for (auto _ : state) {
        const double t0 = nowMs();
        port.startRead(buf.data(), n);
        uint32_t count = 0;
        port.result(count, true);
        errors.push_back(nowMs() - t0 - nominal);
    }
    report(state, errors);
}
BENCHMARK(BM_ReadTotal)->Arg(1)->Iterations(50)->Unit(benchmark::kMillisecond);  // 20 ms
BENCHMARK(BM_ReadTotal)->Arg(7)->Iterations(50)->Unit(benchmark::kMillisecond);  // 24 ms

// A byte comes, then silence: the read completes one interval after it.
// Measured from just before the other end writes the byte, so the error
// includes the pseudo-terminal's own delivery.
void BM_ReadInterval(benchmark::State& state)
{
    Pty pty;
    TermiosPort port(pty.path);
    if (!port.isOpen()) {
        state.SkipWithError(port.openError().c_str());
        return;
    }
    const uint32_t interval = uint32_t(state.range(0));
    port.setTimeouts({interval, 0, 0, 0, 0});
    std::array<uint8_t, 16> buf{};
    std::vector<double> errors;
    for (auto _ : state) {
        port.purge(PurgeBoth);
        port.startRead(buf.data(), buf.size());
        double sentAt = 0;
        std::thread talker([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const uint8_t b = 0x81;
            sentAt = nowMs();
            [[maybe_unused]] ssize_t w = ::write(pty.master, &b, 1);
        });
        uint32_t count = 0;
        port.result(count, true);
        const double doneAt = nowMs();
        talker.join();
        errors.push_back(doneAt - sentAt - double(interval));
    }
    report(state, errors);
}
BENCHMARK(BM_ReadInterval)->Arg(17)->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadInterval)->Arg(500)->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

// Split + verification + assembly of a program array that fills the whole
// 10000-byte buffer (9999 bytes and the closing 0).  Goal: under 50 µs.
#include "DebugLog.h"
#include "ProgramArray.h"

#include <benchmark/benchmark.h>

#include <string>

namespace korlin {
namespace {

// No file behind the trace: the benchmark measures the array work only.
class NullLog final : public DebugLog {
public:
    void LogMessage(std::string_view, std::string_view) override {}
};

// Pickups, eight МИП programs of 108 channel lines and the other sub-arrays,
// with the last one padded so that the array is 9999 bytes long.
ProgramState fullState()
{
    ProgramState s;
    auto text = [](int slot, std::size_t n) {
        std::vector<uint8_t> v;
        for (int line = 1; v.size() < n; ++line) {
            const std::string l = std::to_string(line % 108 + 1) + " " + std::to_string(line + 108 * slot) + " " +
                                  std::to_string(line % 34 + 1);
            v.insert(v.end(), l.begin(), l.end());
            v.push_back(0);
        }
        v.resize(n);
        v.back() = 0;
        return v;
    };
    std::array<std::size_t, kSlotCount> sizes = {662, 1040, 1040, 1040, 1040, 1040, 1040, 1040, 1040, 1, 0,
                                                 300, 200, 200, 0};
    std::size_t used = kHeadSize;
    for (const int k : kDataSlots)
        used += sizes[k];
    sizes[kHolSlot] = kProgArraySize - 1 - used;
    for (const int k : kDataSlots) {
        s.subarray[k] = k == kSubArray9Slot ? std::vector<uint8_t>{0} : text(k, sizes[k]);
        s.subarray_len[k] = uint16_t(sizes[k]);
    }
    NullLog log;
    New_Write_Array(s, log);
    s.prog_array = s.new_array;
    return s;
}

void BM_SplitVerifyAssemble(benchmark::State& st)
{
    ProgramState s = fullState();
    NullLog log;
    for (auto _ : st) {
        const SplitResult split = prog_array_destrukt(s, s.total_len); // verifies first
        const AssemblyResult a = New_Write_Array(s, log);
        benchmark::DoNotOptimize(split.computed);
        benchmark::DoNotOptimize(a.checksum);
        if (!split.ok() || !a.ok() || s.total_len != kProgArraySize - 1)
            st.SkipWithError("array did not round-trip");
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(s.total_len) * 2);
}
BENCHMARK(BM_SplitVerifyAssemble)->Unit(benchmark::kMicrosecond);

void BM_Checksum(benchmark::State& st)
{
    const ProgramState s = fullState();
    for (auto _ : st)
        benchmark::DoNotOptimize(checksum(s.new_array, s.subarray_off, s.subarray_len));
}
BENCHMARK(BM_Checksum)->Unit(benchmark::kMicrosecond);

void BM_Split(benchmark::State& st)
{
    ProgramState s = fullState();
    for (auto _ : st)
        benchmark::DoNotOptimize(prog_array_destrukt(s, s.total_len).computed);
}
BENCHMARK(BM_Split)->Unit(benchmark::kMicrosecond);

void BM_Assemble(benchmark::State& st)
{
    ProgramState s = fullState();
    NullLog log;
    for (auto _ : st)
        benchmark::DoNotOptimize(New_Write_Array(s, log).checksum);
}
BENCHMARK(BM_Assemble)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace korlin

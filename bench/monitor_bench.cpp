// One decode of a full page of working channels: 108 matched records with
// values in every class, the caption and the big label.
#include "ModbusChannels.h"
#include "WorkingChannels.h"

#include <benchmark/benchmark.h>

namespace {

using namespace korlin;

struct Page {
    std::array<uint8_t, rab::kBufSize> buf{};
    std::array<int32_t, rab::kSensorClassSize> cls{};

    explicit Page(int first)
    {
        buf = {3, 7, 5, 14, 0, 9};
        for (int i = 0; i < 108; ++i) {
            const int ch = first + i;
            cls[size_t(ch)] = i % 6; // classes 0..5
            const int w = (i % 17 == 0) ? 0x8000 + i % 6 : i * 137 - 7000;
            uint8_t* r = buf.data() + 10 + 4 * i;
            r[0] = uint8_t(ch & 0xFF);
            r[1] = uint8_t(((ch >> 8) & 3) | ((i % 16) << 2));
            r[2] = uint8_t(w & 0xFF);
            r[3] = uint8_t((w >> 8) & 0xFF);
        }
    }
};

void BM_DecodeWorkingPage(benchmark::State& state)
{
    const Page page(1);
    SetpointState ust;
    ust.UstEnabled = true;
    const WorkingPollInput in{page.buf, 900, 1, 108, page.cls, "июль", 50, ','};
    for (auto _ : state) {
        auto r = decodeWorkingChannels(in, ust);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_DecodeWorkingPage);

// Page 2 over an answer that starts with the 108 records of page 1.
void BM_DecodeWorkingPage2AfterForeignRecords(benchmark::State& state)
{
    Page page(1);
    const Page second(109);
    std::copy(second.buf.begin() + 10, second.buf.begin() + 10 + 4 * 108, page.buf.begin() + 10 + 4 * 108);
    std::copy(second.cls.begin() + 109, second.cls.begin() + 217, page.cls.begin() + 109);
    SetpointState ust;
    const WorkingPollInput in{page.buf, 900, 109, 216, page.cls, "", 0, '.'};
    for (auto _ : state) {
        auto r = decodeWorkingChannels(in, ust);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_DecodeWorkingPage2AfterForeignRecords);

void BM_DecodeModbusPage(benchmark::State& state)
{
    std::array<uint8_t, modbusview::kAnswerSize> a{};
    for (int i = 0; i < 108; ++i) {
        a[size_t(3 + 2 * i)] = uint8_t(i * 37);
        a[size_t(4 + 2 * i)] = uint8_t(i * 11);
    }
    for (auto _ : state) {
        auto r = decodeModbusChannels(a, 1, 108);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_DecodeModbusPage);

} // namespace

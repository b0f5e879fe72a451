// Run: QT_QPA_PLATFORM=offscreen build-bench/bench/app_gui_bench
//   BM_PaintPage: decode of RabBuf and repaint of the 108 windows of a page.
//   BM_MemoryOverCyclicPolls: resident memory after 100 and after 10,000
//   cyclic polls against the simulated converter on the virtual clock.
#include "MainForm.h"
#include "SimLine.h"

#include <QApplication>
#include <QLineEdit>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace korlin;

namespace {

struct Agentless : Agent {
    bool isRunning() override { return false; }
    bool startInPlace() override { return false; }
};

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct App {
    VirtualClock clock;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    MemoryDebugLog log;
    Agentless agent;
    SimulatedPortOpener ports;
    sim::SimLine conv{clock, sim::ConverterConfig::native(5)};
    Services services{clock, dialogs, shell, log, agent};
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("korlin-bench-" + std::to_string(getpid()));
    std::unique_ptr<TMainForm1> form;

    App()
    {
        std::filesystem::create_directories(dir);
        std::ofstream(dir / kIniName) << "[Parameters]\r\n";
        services.windowsDir = dir;
        services.ports = &ports;
        ports.attach("COM1", conv.line());
        ports.fail("COM2", "absent");
        form = std::make_unique<TMainForm1>(services);
        form->settings().MagAdr = 5;
        form->FormCreate();
    }
    ~App() { std::filesystem::remove_all(dir); }
};

void BM_PaintPage(benchmark::State& state)
{
    App app;
    app.form->out_rab_kanClick(); // a real answer in RabBuf, the page chosen
    for (auto _ : state) {
        app.form->paintWorkingChannels();
        benchmark::DoNotOptimize(app.form->R(108)->text());
    }
}
BENCHMARK(BM_PaintPage)->Unit(benchmark::kMicrosecond);

void BM_MemoryOverCyclicPolls(benchmark::State& state)
{
    for (auto _ : state) {
        App app;
        app.form->out_rab_kanClick();
        app.form->DisabledCiklRabCanClick();
        for (int i = 0; i < 100; ++i)
            app.form->TimerCiklRabCanTimer();
        const long after100 = residentKiB();
        for (int i = 100; i < 10000; ++i)
            app.form->TimerCiklRabCanTimer();
        const long after10000 = residentKiB();
        state.counters["rss_after_100_KiB"] = double(after100);
        state.counters["rss_after_10000_KiB"] = double(after10000);
        state.counters["growth_KiB"] = double(after10000 - after100);
    }
}
BENCHMARK(BM_MemoryOverCyclicPolls)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

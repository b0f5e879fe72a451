#pragma once
// korlin-cli's commands run in-process against the converter model on the
// simulated line and the virtual clock; each test has a temporary directory
// that is both the current directory and the settings directory.
#include "Cli.h"

#include "ProfileFile.h"
#include "SimLine.h"
#include "SimulatedLine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace korlin::cli::test {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline fs::path makeTempDir()
{
    std::string tmpl = (fs::temp_directory_path() / "korlin-cli-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    return tmpl;
}

inline Bytes readBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline std::string readText(const fs::path& p)
{
    const Bytes b = readBytes(p);
    return std::string(b.begin(), b.end());
}

inline void writeBytes(const fs::path& p, const Bytes& b)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> v;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        v.push_back(l);
    return v;
}

struct RunResult {
    int rc = -1;
    std::string out, err;
};

class CliFixture : public ::testing::Test {
protected:
    void SetUp() override { dir = makeTempDir(); }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // A converter on the line behind "COM1", the default port.
    sim::SimLine& converter(sim::ConverterConfig cfg)
    {
        sim = std::make_unique<sim::SimLine>(std::move(cfg));
        ports.attach("COM1", sim->line());
        return *sim;
    }
    void settingsAddress(int a)
    {
        ProfileFile ini(dir / "S9327.ini");
        ASSERT_TRUE(ini.write("Параметры", "AdresMIP", std::to_string(a)));
    }

    RunResult run(const std::vector<std::string>& args)
    {
        std::ostringstream out, err;
        CliEnv env(out, err, ports, sim ? sim->line().clock() : idleClock);
        env.cwd = dir;
        env.settingsDir = dir;
        env.stopRequested = stop;
        RunResult r;
        r.rc = runCli(args, env);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    // The writes the converter saw, in table notation ("W C5 01").
    std::vector<std::string> writes() const
    {
        std::vector<std::string> w;
        for (const auto& s : sim->line().steps())
            if (s.rfind("W ", 0) == 0)
                w.push_back(s);
        return w;
    }
    // Virtual times (us) of the writes that are exactly this frame.
    std::vector<int64_t> writeTimes(const std::string& frame) const
    {
        std::vector<int64_t> t;
        for (const auto& e : sim->line().trace())
            if (e.kind == LineEvent::Write && e.step() == frame)
                t.push_back(e.atUs);
        return t;
    }

    fs::path dir;
    std::unique_ptr<sim::SimLine> sim;
    SimulatedPortOpener ports;
    VirtualClock idleClock;
    std::function<bool()> stop;
};

} // namespace korlin::cli::test

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ConverterConfig.h"
#include "ProgramImage.h"

using namespace korlin;
using namespace korlin::sim;

namespace {

struct TempDir {
    TempDir()
    {
        path = std::filesystem::temp_directory_path() / ("korlin-sim-" + std::to_string(::getpid()) + "-"
                                                          + std::to_string(counter++));
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    void write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        std::ofstream(path / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          std::streamsize(bytes.size()));
    }
    std::filesystem::path path;
    static inline int counter = 0;
};

} // namespace

TEST(SimConfig, FullTextIsRead)
{
    TempDir dir;
    auto prog = defaultProgram();
    dir.write("prog.bin", prog);
    ConverterConfig c;
    const std::string text = "# a converter in MODBUS mode\n"
                             "address = 5\r\n"
                             "protocol = modbus\n"
                             "status = 0x8A\n"
                             "program = prog.bin\n"
                             "clock = 2009-07-03 14:05:09\n"
                             "  turnaround.us = 1500  \n"
                             "load.silence.us = 80000\n"
                             "disk.size = 9000\n"
                             "ram.size = 4000\n"
                             "channel.12 = 235\n"
                             "channel.14 = -7\n"
                             "state.12 = 1\n"
                             "word.13 = 0x8003\n"
                             "service.flag.3 = 1\n"
                             "service.value.3 = 65535\n"
                             "; faults\n"
                             "fault.commands = 0x02, 0x1D\n"
                             "fault.silent = 1\n"
                             "fault.truncate = 100\n"
                             "fault.xor.4 = 0xFF\n"
                             "fault.random.seed = 7\n"
                             "fault.random.count = 2\n"
                             "fault.insert.0 = 700\n"
                             "fault.renumber.5 = 3\n"
                             "fault.checksum = 1\n"
                             "fault.headlen = 50\n"
                             "fault.status = 133\n"
                             "fault.gap.us = 2000\n"
                             "fault.modbus.delay.us = 30000\n";
    dir.write("sim.conf", {text.begin(), text.end()});
    ASSERT_EQ(applyConfigFile(c, dir.path / "sim.conf"), "");
    EXPECT_EQ(c.address, 5);
    EXPECT_EQ(c.protocol, Protocol::Modbus);
    EXPECT_EQ(c.status, 138);
    EXPECT_EQ(c.program, prog);
    EXPECT_EQ(c.clock, (DateTime{2009, 7, 3, 14, 5, 9}));
    EXPECT_EQ(c.turnaroundUs, 1500);
    EXPECT_EQ(c.loadSilenceUs, 80000);
    EXPECT_EQ(c.diskZone, 9000u);
    EXPECT_EQ(c.ramZone, 4000u);
    EXPECT_EQ(c.channels[12].value, 235);
    EXPECT_EQ(c.channels[12].state, 1);
    EXPECT_EQ(c.channels[13].word, 0x8003);
    EXPECT_EQ(c.channels[14].value, -7);
    EXPECT_TRUE(c.service[3].flag);
    EXPECT_EQ(c.service[3].value, 0xFFFF);
    const Faults& f = c.faults;
    EXPECT_EQ(f.commands, (std::set<uint8_t>{0x02, 0x1D}));
    EXPECT_TRUE(f.silent);
    EXPECT_EQ(f.truncate, 100u);
    EXPECT_EQ(f.xorAt.at(4), 0xFF);
    EXPECT_EQ(f.randomSeed, 7u);
    EXPECT_EQ(f.randomCount, 2);
    EXPECT_EQ(f.insertRecord.at(0), 700);
    EXPECT_EQ(f.renumberRecord.at(5), 3);
    EXPECT_TRUE(f.badChecksum);
    EXPECT_EQ(f.headBeyond, 50);
    EXPECT_EQ(f.stuckStatus, 133);
    EXPECT_EQ(f.gapUs, 2000);
    EXPECT_EQ(f.modbusDelayUs, 30000);
    EXPECT_TRUE(f.applies(0x02));
    EXPECT_FALSE(f.applies(0x01));
}

TEST(SimConfig, ErrorsNameTheLine)
{
    struct Row { const char* text; const char* error; };
    const Row rows[] = {
        {"address = 33", "line 1: address: expected a number from 1 to 32"},
        {"\naddress = five", "line 2: address: expected a number from 1 to 32"},
        {"protocol = rtu", "line 1: protocol: expected native or modbus"},
        {"colour = red", "line 1: unknown key 'colour'"},
        {"address 5", "line 1: expected key = value"},
        {"channel.0 = 5", "line 1: channel number must be 1..864"},
        {"channel.12 = 40000", "line 1: channel.12: expected a number from -32768 to 32767"},
        {"word.3 = 0x8006", "line 1: word.3: expected a number from 32768 to 32773"},
        {"state.3 = 16", "line 1: state.3: expected a number from 0 to 15"},
        {"clock = 2009-13-01 00:00:00", "line 1: clock: expected YYYY-MM-DD HH:MM:SS"},
        {"fault.silent = maybe", "line 1: fault.silent: expected 0 or 1"},
        {"fault.commands = 0x02,x", "line 1: fault.commands: expected command codes such as 0x02,0x1D"},
        {"program = /nonexistent/x.bin", "line 1: cannot open program file /nonexistent/x.bin"},
    };
    for (const auto& r : rows) {
        ConverterConfig c;
        EXPECT_EQ(applyConfigText(c, r.text), r.error) << r.text;
    }
}

TEST(SimConfig, OffValuesAndDefaultProgram)
{
    ConverterConfig c;
    ASSERT_EQ(applyConfigText(c, "fault.status = 133\nfault.truncate = 5\nfault.status = off\n"
                                 "fault.truncate = off\nprogram = default\n"),
              "");
    EXPECT_FALSE(c.faults.stuckStatus);
    EXPECT_FALSE(c.faults.truncate);
    EXPECT_TRUE(c.program.empty());
}

TEST(SimConfig, ScannerVariantProgramFile)
{
    TempDir dir;
    const auto prog = defaultProgram();
    std::vector<uint8_t> scanner{prog[0], prog[1]};
    scanner.insert(scanner.end(), prog.begin(), prog.end());
    scanner.insert(scanner.end(), {0, 0});
    dir.write("scan.bin", scanner);
    dir.write("empty.bin", {});
    std::vector<uint8_t> out;
    ASSERT_EQ(loadProgramFile(dir.path / "scan.bin", out), "");
    EXPECT_EQ(out, prog);
    EXPECT_NE(loadProgramFile(dir.path / "empty.bin", out), "");
}

// Every command of korlin-cli against the converter model on the simulated
// line: what it prints, its exit status and what went over the line.
#include "CliFixture.h"

#include "CliDialogs.h"
#include "CsvLog.h"

#include "Cp1251.h"
#include "DebugLog.h"
#include "DeviceState.h"
#include "ProgramArray.h"
#include "ProgramFile.h"
#include "ProgramImage.h"
#include "ProgramReport.h"

#include <algorithm>

namespace korlin::cli::test {
namespace {

using sim::ConverterConfig;

constexpr const char* kMeasuringLine = "129 Мип находится в режиме измерений.";
constexpr const char* kChecksumText = "Ошибка контрольной суммы принятого программного массива! Закрываю программу!";

size_t count(const std::vector<std::string>& v, const std::string& s) { return size_t(std::count(v.begin(), v.end(), s)); }

// ---- discover -----------------------------------------------------------------------

struct DiscoverCase {
    const char* name;
    ConverterConfig cfg;
    int settings;
    std::vector<std::string> extraArgs;
    std::string out;
    int rc;
    std::vector<std::string> firstWrites; // the first writes on the line, in order
};

void PrintTo(const DiscoverCase& c, std::ostream* os) { *os << c.name; }

class Discover : public CliFixture, public ::testing::WithParamInterface<DiscoverCase> {};

TEST_P(Discover, PrintsWhatTheSearchFound)
{
    const DiscoverCase& c = GetParam();
    converter(c.cfg);
    settingsAddress(c.settings);
    std::vector<std::string> args = c.extraArgs;
    args.push_back("discover");
    const RunResult r = run(args);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.rc, c.rc) << r.err;
    const auto w = writes();
    ASSERT_GE(w.size(), c.firstWrites.size());
    EXPECT_EQ(std::vector<std::string>(w.begin(), w.begin() + long(c.firstWrites.size())), c.firstWrites);
    // The port is set up as the search sets it: 9600 8E2.
    EXPECT_EQ(sim->line().lineSettings(), searchLineSettings());
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Discover,
    ::testing::Values(
        // At the settings address: one state query, then the address query.
        DiscoverCase{"NativeAtSettingsAddress", ConverterConfig::native(5), 5, {}, "native 5\n", 0,
                     {"W C5 01", "W C5 21"}},
        // --address stands in for the settings address.
        DiscoverCase{"AddressOptionWins", ConverterConfig::native(5), 4, {"--address", "5"}, "native 5\n", 0,
                     {"W C5 01", "W C5 21"}},
        // First run: the address cycle from 1 finds it at 3.
        DiscoverCase{"NativeByTheCycle", ConverterConfig::native(3), 0, {}, "native 3\n", 0,
                     {"W C0 01", "W C1 01", "W C2 01", "W C3 01", "W C3 21"}},
        // Waiting: the measuring-mode command follows, no cycle.
        DiscoverCase{"NativeWaiting", ConverterConfig::native(5).waiting(), 5, {}, "native 5\n", 0,
                     {"W C5 01", "W C5 23", "W C5 21"}},
        DiscoverCase{"ModbusAtSettingsAddress", ConverterConfig::modbus(7), 7, {}, "modbus 7\n", 0, {}},
        DiscoverCase{"ModbusByTheCycle", ConverterConfig::modbus(9), 0, {}, "modbus 9\n", 0, {}},
        DiscoverCase{"NothingOnTheLine", ConverterConfig::native(5).silent(), 5, {}, "none\n", 3, {"W C5 01", "W C1 01"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliFixture, DiscoverStopsAtAMipThatKeepsAnsweringAWarning)
{
    // 133 does not change by itself: the search would ask the same address
    // for ever.  The third identical box ends it and the МИП counts as found.
    converter(ConverterConfig::native(5).withStatus(133));
    settingsAddress(5);
    const RunResult r = run({"discover"});
    EXPECT_EQ(r.out, "native 5\n");
    EXPECT_EQ(r.rc, 0);
    const auto box = bus::warningBox(133);
    ASSERT_TRUE(box);
    const std::string boxLine = std::string(box->caption) + ": " + std::string(box->text);
    EXPECT_EQ(count(lines(r.err), boxLine), 3u) << r.err;
    EXPECT_NE(r.err.find("keeps answering"), std::string::npos);
    const auto w = writes();
    EXPECT_EQ(count(w, "W C5 01"), 3u);
    EXPECT_EQ(w.back(), "W C5 21");
}

TEST_F(CliFixture, DiscoverWithoutSettingsFileStartsFromAddressZero)
{
    converter(ConverterConfig::native(1));
    const RunResult r = run({"discover"});
    EXPECT_EQ(r.out, "native 1\n");
    EXPECT_EQ(writes().front(), "W C0 01");
}

// ---- state --------------------------------------------------------------------------

struct StateCase {
    const char* name;
    ConverterConfig cfg;
    std::string out;
    int rc;
};

void PrintTo(const StateCase& c, std::ostream* os) { *os << c.name; }

class State : public CliFixture, public ::testing::WithParamInterface<StateCase> {};

TEST_P(State, PrintsStatusAndLabel)
{
    const StateCase& c = GetParam();
    converter(c.cfg);
    const RunResult r = run({"--address", "5", "state"});
    EXPECT_EQ(r.out, c.out + "\n");
    EXPECT_EQ(r.rc, c.rc);
    EXPECT_EQ(writes(), (std::vector<std::string>{"W C5 01"}));
    EXPECT_EQ(sim->line().lineSettings(), searchLineSettings());
}

INSTANTIATE_TEST_SUITE_P(
    Cli, State,
    ::testing::Values(StateCase{"Measuring", ConverterConfig::native(5), kMeasuringLine, 0},
                      StateCase{"Waiting", ConverterConfig::native(5).waiting(), "138 Мип находится в режиме ожидания.", 0},
                      StateCase{"ChecksumWarning", ConverterConfig::native(5).withStatus(133),
                                "133 Ожидание повтора ввода программы, не совпадение контрольной суммы.", 4},
                      StateCase{"Manual", ConverterConfig::native(5).withStatus(137), "137 Мип находится в ручном режиме.", 4},
                      StateCase{"UnknownByte", ConverterConfig::native(5).withStatus(131), "131 Ошибка ответа МИП о состоянии. ", 4},
                      StateCase{"NoAnswer", ConverterConfig::native(5).silent(), "- Ошибка ответа МИП о состоянии. ", 4},
                      StateCase{"OtherAddress", ConverterConfig::native(6), "- Ошибка ответа МИП о состоянии. ", 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliFixture, StateUsesTheSettingsAddress)
{
    converter(ConverterConfig::native(12));
    settingsAddress(12);
    const RunResult r = run({"state"});
    EXPECT_EQ(r.out, std::string(kMeasuringLine) + "\n");
    EXPECT_EQ(writes(), (std::vector<std::string>{"W CC 01"}));
}

TEST_F(CliFixture, LogOptionAppendsTheDebugLogInTheCurrentDirectory)
{
    converter(ConverterConfig::native(5));
    run({"--address", "5", "state"});
    EXPECT_FALSE(fs::exists(dir / kDebugLogName)) << "nothing is logged without --log";

    run({"--log", "--address", "5", "state"});
    run({"--address", "5", "--log", "state"});
    const Bytes raw = readBytes(dir / kDebugLogName);
    const std::string text = fromCp1251(std::string(raw.begin(), raw.end()));
    EXPECT_EQ(text,
              "\r\n    Вывод состояния МИП.\r\n    Мип находится в режиме измерений."
              "\r\n    Вывод состояния МИП.\r\n    Мип находится в режиме измерений.");
}

TEST_F(CliFixture, DialogsAndLogCanBeGivenByTheCaller)
{
    ConverterConfig cfg = ConverterConfig::native(5);
    cfg.faults.commands = {0x21};
    cfg.faults.silent = true;
    converter(cfg);
    ScriptedDialogs dialogs;
    MemoryDebugLog log;
    std::ostringstream out, err;
    CliEnv env(out, err, ports, sim->line().clock());
    env.cwd = dir;
    env.settingsDir = dir;
    env.dialogs = &dialogs;
    env.log = &log;
    EXPECT_EQ(runCli({"--address", "5", "set-address", "9"}, env), 4);
    ASSERT_EQ(dialogs.events.size(), 1u);
    EXPECT_EQ(dialogs.events[0].caption, "Ошибка !!!");
    EXPECT_EQ(err.str(), "");
    EXPECT_TRUE(log.messages.empty()) << "no --log";
    // The МИП took the new address; only its answer was lost.
    EXPECT_EQ(runCli({"--log", "--address", "9", "state"}, env), 0);
    EXPECT_EQ(log.messages, (std::vector<std::string>{"\n    Вывод состояния МИП.", "\n    Мип находится в режиме измерений."}));
    EXPECT_FALSE(fs::exists(dir / kDebugLogName));
}

// ---- set-address, set-clock ---------------------------------------------------------

TEST_F(CliFixture, SetAddressMovesTheMip)
{
    auto& s = converter(ConverterConfig::native(5));
    const RunResult r = run({"--address", "5", "set-address", "9"});
    EXPECT_EQ(r.out, "address 9\n");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(s.model().address(), 9);
    EXPECT_EQ(writes(), (std::vector<std::string>{"W C5 22", "W C5 20", "W C9", "W C9 23", "W C9 21"}));
    // And it answers there.
    EXPECT_EQ(run({"--address", "9", "state"}).out, std::string(kMeasuringLine) + "\n");
}

TEST_F(CliFixture, SetAddressWithoutAnAnswerFails)
{
    ConverterConfig cfg = ConverterConfig::native(5);
    cfg.faults.commands = {0x21};
    cfg.faults.silent = true;
    converter(cfg);
    const RunResult r = run({"--address", "5", "set-address", "9"});
    EXPECT_EQ(r.out, "Не изменился магистральный адрес!!!\n");
    EXPECT_EQ(r.rc, 4);
    EXPECT_NE(r.err.find("Ошибка !!!: Не изменился магистральный адрес!!!"), std::string::npos) << r.err;
}

struct ClockCase {
    DateTime pc;
    std::string out;
    std::vector<uint8_t> record;
};

void PrintTo(const ClockCase& c, std::ostream* os) { *os << c.out; }

class SetClock : public CliFixture, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(SetClock, SendsTheRecordItPrints)
{
    auto& s = converter(ConverterConfig::native(5));
    s.clock().setLocalTime(GetParam().pc);
    const RunResult r = run({"--address", "5", "set-clock"});
    EXPECT_EQ(r.out, GetParam().out + "\n");
    EXPECT_EQ(r.rc, 0);
    // The 7 bytes the converter received after [C5 24].
    std::vector<uint8_t> got;
    const auto& host = s.line().hostBytes();
    for (size_t i = 0; i + 1 < host.size(); ++i)
        if (host[i].value == 0xC5 && host[i + 1].value == 0x24)
            for (size_t k = i + 2; k < i + 9 && k < host.size(); ++k)
                got.push_back(host[k].value);
    EXPECT_EQ(got, GetParam().record);
    EXPECT_EQ(writes().back(), "W C5 23");
}

INSTANTIATE_TEST_SUITE_P(Cli, SetClock,
                         ::testing::Values(ClockCase{{2026, 12, 11, 9, 0, 0}, "clock set 2026-12-11 09:00:01",
                                                     {1, 0, 9, 11, 12, 0xEA, 0x07}},
                                           ClockCase{{2009, 3, 31, 23, 59, 59}, "clock set 2009-03-31 23:59:60",
                                                     {60, 59, 23, 31, 3, 0xD9, 0x07}}));

// ---- read-program, check, dump -------------------------------------------------------

TEST_F(CliFixture, ReadProgramSavesTheArrayThenCheckAndDumpReadIt)
{
    auto& s = converter(ConverterConfig::native(5));
    const RunResult r = run({"--address", "5", "read-program", "-o", "prog.bin"});
    ASSERT_EQ(r.rc, 0) << r.err;
    const Bytes saved = readBytes(dir / "prog.bin");
    EXPECT_EQ(saved, s.model().program());
    EXPECT_EQ(r.out, "saved " + std::to_string(saved.size()) + " bytes to prog.bin\n");
    EXPECT_EQ(writes(), (std::vector<std::string>{"W C5 1D"}));

    const RunResult c = run({"check", "prog.bin"});
    EXPECT_EQ(c.rc, 0);
    EXPECT_EQ(c.out, checkReport(saved) + "verdict: good\n");

    const RunResult d = run({"dump", "prog.bin"});
    EXPECT_EQ(d.rc, 0);
    EXPECT_EQ(d.out, dumpSubArrays(saved));
    EXPECT_NE(d.out.find("МИП1"), std::string::npos);
}

TEST_F(CliFixture, ReadProgramRefusesAWrongChecksum)
{
    ConverterConfig cfg = ConverterConfig::native(5);
    cfg.faults.badChecksum = true;
    converter(cfg);
    const RunResult r = run({"--address", "5", "read-program", "-o", "prog.bin"});
    EXPECT_EQ(r.rc, 5);
    EXPECT_NE(r.err.find(kChecksumText), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "prog.bin"));
}

TEST_F(CliFixture, ReadProgramRefusesHeadLengthsBeyondTheAnswer)
{
    ConverterConfig cfg = ConverterConfig::native(5);
    cfg.faults.headBeyond = 40;
    converter(cfg);
    const RunResult r = run({"--address", "5", "read-program", "-o", "prog.bin"});
    EXPECT_EQ(r.rc, 5);
    EXPECT_NE(r.err.find(std::string(kBeyondDataText)), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "prog.bin"));
}

TEST_F(CliFixture, ReadProgramWithoutAnAnswerSavesNothing)
{
    converter(ConverterConfig::native(5).silent());
    const RunResult r = run({"--address", "5", "read-program", "-o", "prog.bin"});
    EXPECT_EQ(r.rc, 4);
    EXPECT_NE(r.err.find("no answer"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "prog.bin"));
}

TEST_F(CliFixture, ReadProgramKeepsTheOldFileWhenTheAnswerIsBad)
{
    ConverterConfig cfg = ConverterConfig::native(5);
    cfg.faults.badChecksum = true;
    converter(cfg);
    writeBytes(dir / "prog.bin", {1, 2, 3});
    EXPECT_EQ(run({"--address", "5", "read-program", "--output=prog.bin"}).rc, 5);
    EXPECT_EQ(readBytes(dir / "prog.bin"), (Bytes{1, 2, 3}));
}

TEST_F(CliFixture, CheckReportsABadFile)
{
    Bytes bad = sim::defaultProgram();
    bad[2] ^= 1; // stored checksum off
    writeBytes(dir / "bad.bin", bad);
    const RunResult r = run({"check", "bad.bin"});
    EXPECT_EQ(r.rc, 5);
    EXPECT_EQ(r.out, checkReport(bad) + "verdict: bad: " + kChecksumText + "\n");

    writeBytes(dir / "short.bin", Bytes(10, 0));
    const RunResult s = run({"check", "short.bin"});
    EXPECT_EQ(s.rc, 5);
    EXPECT_NE(s.out.find("verdict: bad"), std::string::npos);

    writeBytes(dir / "long.bin", Bytes(kProgArraySize + 1, 0));
    EXPECT_EQ(run({"check", "long.bin"}).rc, 5);
}

TEST_F(CliFixture, CheckAndDumpTakeAScannerFile)
{
    // The scanner variant: the length in front, two zeros behind.
    const Bytes prog = sim::defaultProgram();
    Bytes scanner{prog[0], prog[1]};
    scanner.insert(scanner.end(), prog.begin(), prog.end());
    scanner.insert(scanner.end(), {0, 0});
    writeBytes(dir / "scan.bin", scanner);
    const RunResult r = run({"check", "scan.bin"});
    EXPECT_EQ(r.rc, 0) << r.out;
    EXPECT_NE(r.out.find("сканера QNX"), std::string::npos);
    EXPECT_EQ(run({"dump", "scan.bin"}).out, dumpSubArrays(prog));
}

TEST_F(CliFixture, UnreadableFilesAreUsageErrors)
{
    for (const char* cmd : {"check", "dump", "write-program"}) {
        const RunResult r = run({"--address", "5", cmd, "missing.bin"});
        EXPECT_EQ(r.rc, 2) << cmd;
        EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
        EXPECT_NE(r.err.find("missing.bin"), std::string::npos) << r.err;
    }
}

// ---- write-program -------------------------------------------------------------------

// A program of the default one's sub-arrays with an AO text grown to about n bytes.
Bytes programOfSize(size_t n)
{
    ProgramState st;
    const Bytes base = sim::defaultProgram();
    std::copy(base.begin(), base.end(), st.prog_array.begin());
    EXPECT_TRUE(prog_array_destrukt(st, base.size()).ok());
    Bytes ao;
    while (base.size() + ao.size() < n) {
        const std::string l = "1 2 3 4 5 6 7 8 9";
        ao.insert(ao.end(), l.begin(), l.end());
        ao.push_back(0);
    }
    st.subarray[kAoSlot] = ao;
    st.subarray_len[kAoSlot] = uint16_t(ao.size());
    MemoryDebugLog log;
    EXPECT_TRUE(New_Write_Array(st, log).ok());
    return programFileBytes(st);
}

TEST_F(CliFixture, WriteProgramSendsTheArrayAndPrintsTheVerdict)
{
    auto& s = converter(ConverterConfig::native(5));
    const Bytes prog = programOfSize(3000);
    writeBytes(dir / "new.bin", prog);
    const RunResult r = run({"--address", "5", "write-program", "new.bin"});
    EXPECT_EQ(r.out, std::string(kMeasuringLine) + "\n");
    EXPECT_EQ(r.rc, 0) << r.err;
    ASSERT_TRUE(s.model().lastLoad());
    EXPECT_EQ(s.model().lastLoad()->received, prog.size());
    EXPECT_EQ(s.model().program(), prog);
    const auto w = writes();
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0], "W C5 10");
    EXPECT_EQ(w[2], "W C5 01");
    // The state query comes 5 s after the array has gone out.
    const auto& trace = s.line().trace();
    const auto arrayWrite = std::find_if(trace.begin(), trace.end(), [&](const LineEvent& e) {
        return e.kind == LineEvent::Write && e.bytes.size() == prog.size();
    });
    ASSERT_NE(arrayWrite, trace.end());
    const auto stateAt = writeTimes("W C5 01");
    ASSERT_EQ(stateAt.size(), 1u);
    EXPECT_GE(stateAt[0] - arrayWrite->atUs, int64_t(prog.size()) * kByteTimeUs + 5'000'000);
}

TEST_F(CliFixture, WriteProgramTooLongForTheRamIsRefusedByTheConverter)
{
    auto& s = converter(ConverterConfig::native(5));
    writeBytes(dir / "big.bin", programOfSize(8500));
    const RunResult r = run({"--address", "5", "write-program", "big.bin"});
    EXPECT_EQ(r.out, "136 Ожидание повтора ввода прграммы, длинна массива больше ОЗУ МИП.\n");
    EXPECT_EQ(r.rc, 4);
    ASSERT_TRUE(s.model().lastLoad());
    EXPECT_EQ(s.model().lastLoad()->verdict, 136);
}

TEST_F(CliFixture, WriteProgramSendsNothingForABadFile)
{
    converter(ConverterConfig::native(5));
    Bytes bad = sim::defaultProgram();
    bad[3] ^= 0x10;
    writeBytes(dir / "bad.bin", bad);
    const RunResult r = run({"--address", "5", "write-program", "bad.bin"});
    EXPECT_EQ(r.rc, 5);
    EXPECT_NE(r.err.find(kChecksumText), std::string::npos);
    writeBytes(dir / "long.bin", Bytes(kProgArraySize + 1, 0));
    EXPECT_EQ(run({"--address", "5", "write-program", "long.bin"}).rc, 5);
    writeBytes(dir / "short.bin", Bytes(20, 0));
    EXPECT_EQ(run({"--address", "5", "write-program", "short.bin"}).rc, 5);
    EXPECT_TRUE(sim->line().hostBytes().empty());
}

// ---- poll ----------------------------------------------------------------------------

ConverterConfig pollConverter()
{
    // Channel 1 is a current input, 25 and 30 temperatures (default program).
    return ConverterConfig::native(5).channel(1, 1000).channel(25, 235).word(30, 0x8001).state(25, 1);
}

TEST_F(CliFixture, PollTwiceWithCsv)
{
    converter(pollConverter());
    const RunResult r = run({"--address", "5", "poll", "--count", "2", "--csv", "log.csv"});
    ASSERT_EQ(r.rc, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 2u * 109);
    for (size_t poll = 0; poll < 2; ++poll) {
        const size_t at = poll * 109;
        EXPECT_EQ(out[at].rfind("Рабочие каналы,     Время опроса  ", 0), 0u) << out[at];
        EXPECT_EQ(out[at + 1], "1  1   mA");
        EXPECT_EQ(out[at + 25], "25  23.5   C");
        EXPECT_EQ(out[at + 30], "30  НДАТ");
        EXPECT_EQ(out[at + 108].rfind("108", 0), 0u);
    }
    // The program read for the sensor types, then a poll every 6 s.
    EXPECT_EQ(writes().front(), "W C5 1D");
    const auto at = writeTimes("W C5 02");
    ASSERT_EQ(at.size(), 2u);
    EXPECT_GE(at[1] - at[0], 6'000'000);
    EXPECT_LT(at[1] - at[0], 6'002'000);

    const auto csv = lines(readText(dir / "log.csv"));
    ASSERT_EQ(csv.size(), 3u);
    EXPECT_EQ(csv[0].rfind("time,1 (mA),2 (mA),", 0), 0u) << csv[0];
    EXPECT_NE(csv[0].find(",25 (C),"), std::string::npos);
    EXPECT_EQ(csv[1].rfind("2026-12-11T09:00:", 0), 0u) << csv[1];
    for (const auto& row : {csv[1], csv[2]}) {
        std::vector<std::string> cells;
        std::stringstream ss(row);
        for (std::string c; std::getline(ss, c, ',');)
            cells.push_back(c);
        ASSERT_EQ(cells.size(), 109u) << row;
        EXPECT_EQ(cells[1], "1");
        EXPECT_EQ(cells[25], "23.5");
        EXPECT_EQ(cells[30], "НДАТ");
    }

    // A second run appends its rows under the same header.
    ASSERT_EQ(run({"--address", "5", "poll", "--csv", "log.csv"}).rc, 0);
    const auto csv2 = lines(readText(dir / "log.csv"));
    EXPECT_EQ(csv2.size(), 4u);
    EXPECT_EQ(csv2[0], csv[0]);
}

TEST_F(CliFixture, PollPageTwoAndPeriod)
{
    converter(pollConverter().channel(109, -5));
    const RunResult r = run({"--address", "5", "poll", "--page", "2", "--count", "3", "--period", "2.5"});
    ASSERT_EQ(r.rc, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 3u * 109);
    EXPECT_EQ(out[1].rfind("109  ", 0), 0u) << out[1];
    EXPECT_EQ(out[108].rfind("216", 0), 0u);
    const auto at = writeTimes("W C5 02");
    ASSERT_EQ(at.size(), 3u);
    EXPECT_GE(at[2] - at[0], 5'000'000);
    EXPECT_LT(at[2] - at[0], 5'002'000);
}

TEST_F(CliFixture, PollWithoutProgramShowsUndeterminedTypes)
{
    ConverterConfig cfg = pollConverter();
    cfg.faults.commands = {0x1D};
    cfg.faults.silent = true;
    converter(cfg);
    const RunResult r = run({"--address", "5", "poll"});
    EXPECT_EQ(r.rc, 0);
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 109u);
    EXPECT_EQ(out[25], "25  Тип не опр.");
    EXPECT_NE(r.err.find("without their sensor types"), std::string::npos) << r.err;
}

TEST_F(CliFixture, PollOfASilentConverterLogsEmptyCells)
{
    converter(ConverterConfig::native(5).silent());
    const RunResult r = run({"--address", "5", "poll", "--csv", "log.csv"});
    EXPECT_EQ(r.rc, 4);
    EXPECT_NE(r.err.find("no answer"), std::string::npos);
    const auto csv = lines(readText(dir / "log.csv"));
    ASSERT_EQ(csv.size(), 2u);
    EXPECT_EQ(csv[1], "2026-12-11T09:00:" + csv[1].substr(17, 2) + std::string(108, ','));
}

TEST_F(CliFixture, PollNeverShowsAnOldAnswerAsNew)
{
    auto& s = converter(pollConverter());
    // The converter falls silent after the first poll.
    stop = [&] {
        if (writeTimes("W C5 02").size() == 1)
            s.model().config().faults.silent = true;
        return false;
    };
    const RunResult r = run({"--address", "5", "poll", "--count", "2", "--csv", "log.csv"});
    EXPECT_EQ(r.rc, 0) << "one poll was answered";
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 2u * 109);
    EXPECT_EQ(out[25], "25  23.5   C");
    EXPECT_EQ(out[109 + 25], "25   Нет в прог.");
    EXPECT_NE(r.err.find("poll 2: no answer"), std::string::npos) << r.err;
    const auto csv = lines(readText(dir / "log.csv"));
    ASSERT_EQ(csv.size(), 3u);
    EXPECT_NE(csv[1].find(",23.5,"), std::string::npos);
    EXPECT_EQ(csv[2].substr(19), std::string(108, ','));
}

TEST_F(CliFixture, PollUntilStopped)
{
    converter(pollConverter());
    stop = [this] { return writeTimes("W C5 02").size() >= 4; };
    const RunResult r = run({"--address", "5", "poll", "--count", "0", "--period", "2"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(lines(r.out).size(), 4u * 109);
}

// ---- usage and ports -------------------------------------------------------------------

struct UsageCase {
    std::vector<std::string> args;
};

std::string joined(const std::vector<std::string>& args)
{
    std::string s;
    for (const auto& a : args)
        s += (s.empty() ? "" : " ") + (a.empty() ? std::string("''") : a);
    return s;
}
void PrintTo(const UsageCase& c, std::ostream* os) { *os << '[' << joined(c.args) << ']'; }

class Usage : public CliFixture, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(Usage, ExitsTwoWithOneLine)
{
    converter(ConverterConfig::native(5));
    const RunResult r = run(GetParam().args);
    EXPECT_EQ(r.rc, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_TRUE(sim->line().hostBytes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Usage,
    ::testing::Values(UsageCase{{}}, UsageCase{{"frob"}}, UsageCase{{"--frob", "state"}},
                      UsageCase{{"state"}}, // no settings address
                      UsageCase{{"--address", "0", "state"}}, UsageCase{{"--address", "33", "state"}},
                      UsageCase{{"--address", "x", "state"}}, UsageCase{{"--address"}},
                      UsageCase{{"--address", "5", "state", "more"}},
                      UsageCase{{"--address", "5", "set-address"}}, UsageCase{{"--address", "5", "set-address", "0"}},
                      UsageCase{{"--address", "5", "set-address", "33"}}, UsageCase{{"--address", "5", "read-program"}},
                      UsageCase{{"--address", "5", "read-program", "-o"}}, UsageCase{{"--address", "5", "read-program", "x.bin"}},
                      UsageCase{{"--address", "5", "write-program"}}, UsageCase{{"check"}}, UsageCase{{"dump", "a", "b"}},
                      UsageCase{{"--address", "5", "poll", "--page", "3"}},
                      UsageCase{{"--address", "5", "poll", "--period", "1.5"}},
                      UsageCase{{"--address", "5", "poll", "--count", "-1"}},
                      UsageCase{{"--address", "5", "poll", "--csv"}}, UsageCase{{"--address", "5", "poll", "--fast"}},
                      UsageCase{{"--port", "", "state"}}));

TEST_F(CliFixture, HelpListsEveryCommand)
{
    const RunResult r = run({"--help"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, helpText());
    for (const char* cmd : {"discover", "state", "set-address", "set-clock", "read-program", "write-program", "check",
                            "dump", "poll"}) {
        const auto ls = lines(r.out);
        EXPECT_EQ(std::count_if(ls.begin(), ls.end(), [&](const std::string& l) {
                      return l.rfind(std::string("  ") + cmd + " ", 0) == 0;
                  }),
                  1)
            << cmd;
    }
    EXPECT_EQ(run({"state", "--help"}).rc, 0);
}

TEST_F(CliFixture, PortThatCannotBeOpenedExitsTwoWithTheReason)
{
    const std::string reason = "Нет доступа к порту COM1 (/dev/ttyS0): пользователь не входит в группу dialout.";
    ports.fail("COM1", reason);
    for (const char* cmd : {"discover", "state", "set-clock", "poll"}) {
        const RunResult r = run({"--address", "5", cmd});
        EXPECT_EQ(r.rc, 2) << cmd;
        EXPECT_EQ(r.out, "");
        const auto ls = lines(r.err);
        ASSERT_EQ(ls.size(), 1u) << r.err;
        EXPECT_NE(ls[0].find(reason), std::string::npos);
        EXPECT_NE(ls[0].find("COM1"), std::string::npos);
    }
    const RunResult r = run({"--port", "/dev/ttyUSB7", "--address", "5", "state"});
    EXPECT_EQ(r.rc, 2);
    EXPECT_NE(r.err.find("/dev/ttyUSB7"), std::string::npos);
    EXPECT_EQ(ports.opened.back(), "/dev/ttyUSB7");
}

TEST_F(CliFixture, PortOptionNamesTheLine)
{
    sim = std::make_unique<sim::SimLine>(ConverterConfig::native(5));
    ports.attach("/dev/ttyUSB0", sim->line());
    EXPECT_EQ(run({"--port", "/dev/ttyUSB0", "--address", "5", "state"}).rc, 0);
    EXPECT_EQ(run({"--port=/dev/ttyUSB0", "--address=5", "state"}).rc, 0);
    EXPECT_EQ(ports.opened, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB0"}));
}

} // namespace
} // namespace korlin::cli::test

#include "Cli.h"

#include "CliDialogs.h"
#include "CsvLog.h"

#include "BusProtocol.h"
#include "DebugLog.h"
#include "DeviceState.h"
#include "Discovery.h"
#include "Exchanges.h"
#include "Format.h"
#include "ProfileFile.h"
#include "ProgramArray.h"
#include "ProgramFile.h"
#include "ProgramReport.h"
#include "SensorMap.h"
#include "TermiosPort.h"
#include "WorkingChannels.h"
#include "program/LogText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <sstream>
#include <variant>

namespace fs = std::filesystem;

namespace korlin::cli {

namespace {

constexpr const char* kProg = "korlin-cli";
// The third identical warning in a row ends the search (see RepeatGuard).
constexpr int kSearchRepeatLimit = 3;
constexpr double kMinPeriodS = 2.0;
constexpr double kDefaultPeriodS = 6.0;

class NullDebugLog final : public DebugLog {
public:
    void LogMessage(std::string_view, std::string_view) override {}
};

// Forwards to a clock and keeps the first local time it gave: the time the
// clock setting put into its record.
class RecordingClock final : public Clock {
public:
    explicit RecordingClock(Clock& c) : c_(c) {}
    int64_t nowUs() const override { return c_.nowUs(); }
    void sleepMs(int64_t ms) override { c_.sleepMs(ms); }
    DateTime localTime() const override
    {
        const DateTime t = c_.localTime();
        if (!first)
            first = t;
        return t;
    }
    mutable std::optional<DateTime> first;

private:
    Clock& c_;
};

struct Options {
    std::optional<std::string> port;
    std::optional<int> address;
    bool log = false;
    bool help = false;
    std::string command;
    std::vector<std::string> rest;
};

struct UsageError {
    std::string text;
};

std::optional<int> parseAddress(std::string_view text)
{
    const auto v = parseInteger(text);
    if (!v || *v < bus::kMinAddress || *v > bus::kMaxAddress)
        return std::nullopt;
    return int(*v);
}

// "--name VALUE" or "--name=VALUE" at args[i]; advances i past the value.
std::optional<std::string> optionValue(const std::vector<std::string>& args, size_t& i, std::string_view name)
{
    const std::string& a = args[i];
    if (a == name) {
        if (i + 1 >= args.size())
            throw UsageError{std::string(name) + " needs a value"};
        return args[++i];
    }
    if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=')
        return a.substr(name.size() + 1);
    return std::nullopt;
}

Options parseOptions(const std::vector<std::string>& args)
{
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--log") {
            o.log = true;
        } else if (auto p = optionValue(args, i, "--port")) {
            if (p->empty())
                throw UsageError{"--port needs a device"};
            o.port = *p;
        } else if (auto n = optionValue(args, i, "--address")) {
            const auto addr = parseAddress(*n);
            if (!addr)
                throw UsageError{"bus address '" + *n + "' is not 1..32"};
            o.address = addr;
        } else if (o.command.empty()) {
            if (a.size() > 1 && a[0] == '-')
                throw UsageError{"unknown option '" + a + "'"};
            o.command = a;
        } else {
            o.rest.push_back(a);
        }
    }
    return o;
}

void expectArgs(const Options& o, size_t n, const char* what)
{
    if (o.rest.size() != n)
        throw UsageError{o.command + (n == 0 ? " takes no arguments" : std::string(" needs ") + what)};
}

// One command run: the streams, the dialogs, the log, the port and the
// buffers the exchanges read into.  The buffers come before the port, so that
// a read still pending when the command ends is gone before its buffer.
class Session {
public:
    Session(CliEnv& e, const Options& o) : env(e), opt(o), lines(e.err), dialogs(e.dialogs ? *e.dialogs : lines)
    {
        if (o.log && e.log)
            log = e.log;
        else if (o.log)
            log = &ownLog.emplace<FileDebugLog>(resolve(kDebugLogName));
        else
            log = &ownLog.emplace<NullDebugLog>();
    }

    fs::path resolve(const fs::path& p) const
    {
        return p.is_absolute() || env.cwd.empty() ? p : env.cwd / p;
    }

    std::string portName() const { return opt.port.value_or(env.defaultPort); }
    std::string portLabel() const
    {
        const std::string name = portName();
        const std::string path = TermiosPortOpener::devicePath(name);
        return path == name ? name : name + " (" + path + ")";
    }

    // The settings address (0 when none) unless --address says otherwise.
    int searchAddress() const
    {
        if (opt.address)
            return *opt.address;
        return settingsAddress(env.settingsDir ? *env.settingsDir : settingsDirectory());
    }
    // The address a command talks to; a usage error when there is none.
    int requireAddress() const
    {
        const int a = searchAddress();
        if (a < bus::kMinAddress || a > bus::kMaxAddress)
            throw UsageError{"no bus address: give --address N (1..32) or set AdresMIP in S9327.ini "
                             "(discover finds the МИП)"};
        return a;
    }

    // Opens the port; on failure says why (one line) and returns false.
    bool openPort()
    {
        port = env.ports.open(portName());
        if (!port || !port->isOpen()) {
            const std::string reason = port ? port->openError() : std::string();
            const std::string path = TermiosPortOpener::devicePath(portName());
            // The port's own reason names the device as a rule; else we do.
            if (reason.empty() || reason.find(path) == std::string::npos)
                error("cannot open port " + portLabel() + (reason.empty() ? std::string() : ": " + reason));
            else
                error(reason);
            return false;
        }
        link.emplace(Link{*port, env.clock, dialogs, portState});
        return true;
    }

    void error(const std::string& text)
    {
        env.err << kProg << ": " << text << '\n';
        env.err.flush();
    }

    CliEnv& env;
    const Options& opt;
    CliDialogs lines;
    UserDialogs& dialogs;
    std::variant<std::monostate, NullDebugLog, FileDebugLog> ownLog;
    DebugLog* log = nullptr;

    RxBuffer RxBuf{};
    RabBuffer RabBuf{};
    std::unique_ptr<ProgramState> program = std::make_unique<ProgramState>();
    SensorTables tables{};
    PortState portState;
    std::unique_ptr<SerialPort> port;
    std::optional<Link> link;
};

// ---- state ------------------------------------------------------------------------

bool goodState(int status) { return status == bus::Measuring || status == bus::Waiting; }

int printState(Session& s, const StateView& v)
{
    s.env.out << (v.status < 0 ? std::string("-") : std::to_string(v.status)) << ' ' << v.text << '\n';
    return goodState(v.status) ? ExitOk : ExitDevice;
}

// ---- files ------------------------------------------------------------------------

// Reads a program file as an open does (a scanner file loses its length
// prefix).  Returns the bytes that hold the array, or an exit code.
struct LoadedFile {
    int exit = ExitOk;
    size_t bytes = 0;
    bool scanner = false;
};

LoadedFile loadFile(Session& s, const std::string& name, int tooLongExit)
{
    LoadedFile f;
    const FileReadResult r = readProgramFile(*s.program, s.resolve(name));
    if (r.status == FileReadStatus::OpenFailed) {
        s.error("cannot read " + name + ": " + r.detail);
        f.exit = ExitUsage;
        return f;
    }
    if (r.status == FileReadStatus::TooLong) {
        s.error(name + ": " + r.text);
        f.exit = tooLongExit;
        return f;
    }
    f.bytes = r.bytes;
    if (takeScannerFile(*s.program)) {
        f.scanner = true;
        f.bytes = f.bytes >= 2 ? f.bytes - 2 : 0;
    }
    return f;
}

std::string headTooShortText(size_t n)
{
    return "the program array has " + std::to_string(n) + " bytes, fewer than its " +
           std::to_string(kHeadSize) + "-byte head";
}

// ---- commands ---------------------------------------------------------------------

int cmdDiscover(Session& s)
{
    expectArgs(s.opt, 0, "");
    DiscoveryFields f;
    f.MagAdr = s.searchAddress();
    if (!s.openPort())
        return ExitUsage;
    Link& l = *s.link;

    SearchOutcome found;
    try {
        RepeatGuard guard(s.dialogs, kSearchRepeatLimit);
        Link guarded{l.port, l.clock, guard, l.state};
        found = SearshMipCom(guarded, *s.log, s.RxBuf, f);
    } catch (const RepeatedBox&) {
        // The МИП answers, with a status nobody here can change: it is found.
        found.found = true;
        f.ModbusMode = false;
        s.error("the МИП at address " + std::to_string(int(f.SearchWord & 0xFF) - bus::kAddressBase) +
                " keeps answering with the same warning; search stopped");
    }

    if (!found.found) {
        s.env.out << "none\n";
        return ExitNotFound;
    }
    if (f.ModbusMode) {
        s.env.out << "modbus " << f.MagAdr << '\n';
        return ExitOk;
    }
    const int asked = int(f.SearchWord & 0xFF) - bus::kAddressBase;
    const AddressOutcome a = SearshMagAdr(l, *s.log, s.RxBuf, f);
    const bool valid = a.answered && f.MagAdr >= bus::kMinAddress && f.MagAdr <= bus::kMaxAddress;
    s.env.out << "native " << (valid ? f.MagAdr : asked) << '\n';
    return ExitOk;
}

int cmdState(Session& s)
{
    expectArgs(s.opt, 0, "");
    const int addr = s.requireAddress();
    if (!s.openPort())
        return ExitUsage;
    configurePort(*s.link);
    return printState(s, Button_MIP_Sostojanie(*s.link, *s.log, s.RxBuf, addr, false));
}

int cmdSetAddress(Session& s)
{
    expectArgs(s.opt, 1, "the new bus address (1..32)");
    const auto target = parseAddress(s.opt.rest[0]);
    if (!target)
        throw UsageError{"new bus address '" + s.opt.rest[0] + "' is not 1..32"};
    int MagAdr = s.requireAddress();
    if (!s.openPort())
        return ExitUsage;
    configurePort(*s.link);
    const NewAddressOutcome o = NewMagAdr(*s.link, s.RxBuf, MagAdr, bus::addressByte(*target));
    if (o.changed) {
        s.env.out << "address " << MagAdr << '\n';
        return ExitOk;
    }
    s.env.out << kAddressNotChangedText << '\n';
    return ExitDevice;
}

int cmdSetClock(Session& s)
{
    expectArgs(s.opt, 0, "");
    const int addr = s.requireAddress();
    if (!s.openPort())
        return ExitUsage;
    configurePort(*s.link);
    RecordingClock clock(s.env.clock);
    Link l{*s.port, clock, s.dialogs, s.portState};
    Write_Time(l, addr);
    const auto r = clockRecord(clock.first.value_or(s.env.clock.localTime()));
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", r[5] | (r[6] << 8), r[4], r[3], r[2], r[1], r[0]);
    s.env.out << "clock set " << buf << '\n';
    return ExitOk;
}

// Program read and split; 0 when the array is good, else the exit code (the
// reason has been told).
int readAndSplit(Session& s, int addr, SplitResult& split)
{
    const ReadOutcome r = programArrayRead(*s.link, bus::addressByte(addr), s.program->prog_array);
    if (r.received == 0) {
        s.error("no answer from the МИП at address " + std::to_string(addr) + " to the program read");
        return ExitDevice;
    }
    if (r.received < kHeadSize) {
        s.error(headTooShortText(r.received));
        return ExitBadProgram;
    }
    split = prog_array_destrukt(*s.program, r.received);
    if (!split.ok()) {
        s.dialogs.messageBox(split.text, split.caption);
        return ExitBadProgram;
    }
    return ExitOk;
}

int cmdReadProgram(Session& s)
{
    std::optional<std::string> file;
    for (size_t i = 0; i < s.opt.rest.size(); ++i) {
        if (auto v = optionValue(s.opt.rest, i, "-o"))
            file = *v;
        else if (auto w = optionValue(s.opt.rest, i, "--output"))
            file = *w;
        else
            throw UsageError{"read-program: unexpected argument '" + s.opt.rest[i] + "'"};
    }
    if (!file || file->empty())
        throw UsageError{"read-program needs -o FILE"};
    const int addr = s.requireAddress();
    if (!s.openPort())
        return ExitUsage;
    configurePort(*s.link);

    SplitResult split;
    if (const int rc = readAndSplit(s, addr, split); rc != ExitOk)
        return rc;
    const std::span<const uint8_t> bytes(s.program->prog_array.data(), split.extent);
    const SaveResult saved = saveFileSafely(s.resolve(*file), bytes, kWriteErrorText);
    if (!saved.ok) {
        s.error("cannot write " + *file + ": " + (saved.detail.empty() ? saved.text : saved.detail));
        return ExitUsage;
    }
    s.env.out << "saved " << bytes.size() << " bytes to " << *file << '\n';
    return ExitOk;
}

int cmdWriteProgram(Session& s)
{
    expectArgs(s.opt, 1, "a program file");
    const std::string& name = s.opt.rest[0];
    const int addr = s.requireAddress();

    const LoadedFile f = loadFile(s, name, ExitBadProgram);
    if (f.exit != ExitOk)
        return f.exit;
    if (f.bytes < kHeadSize) {
        s.error(name + ": " + headTooShortText(f.bytes));
        return ExitBadProgram;
    }
    const SplitResult split = prog_array_destrukt(*s.program, f.bytes);
    if (!split.ok()) {
        s.dialogs.messageBox(split.text, split.caption);
        return ExitBadProgram;
    }
    if (!s.openPort())
        return ExitUsage;
    configurePort(*s.link);
    s.log->LogMessage(logtext::WriteStart);
    const AssemblyResult a = New_Write_Array(*s.program, *s.log);
    if (!a.ok()) {
        s.dialogs.messageBox(a.text, a.caption);
        return ExitBadProgram;
    }
    programArrayWrite(*s.link, bus::addressByte(addr), s.program->new_array, s.program->total_len);
    return printState(s, Button_MIP_Sostojanie(*s.link, *s.log, s.RxBuf, addr, false));
}

int cmdCheck(Session& s)
{
    expectArgs(s.opt, 1, "a program file");
    const std::string& name = s.opt.rest[0];
    const LoadedFile f = loadFile(s, name, ExitBadProgram);
    if (f.exit != ExitOk)
        return f.exit;
    const std::span<const uint8_t> bytes(s.program->prog_array.data(), f.bytes);
    if (f.scanner)
        s.env.out << "Файл для сканера QNX: два байта длины перед массивом отброшены.\n";
    const ProgramCheck check = checkProgramArray(bytes);
    s.env.out << formatCheckReport(check);

    std::string bad;
    if (!check.headComplete) {
        bad = headTooShortText(f.bytes);
    } else {
        const SplitResult split = prog_array_destrukt(*s.program, f.bytes);
        if (!split.ok())
            bad = split.text;
    }
    if (!bad.empty()) {
        s.env.out << "verdict: bad: " << bad << '\n';
        return ExitBadProgram;
    }
    s.env.out << "verdict: good\n";
    return ExitOk;
}

int cmdDump(Session& s)
{
    expectArgs(s.opt, 1, "a program file");
    const LoadedFile f = loadFile(s, s.opt.rest[0], ExitUsage);
    if (f.exit != ExitOk)
        return f.exit;
    s.env.out << dumpSubArrays(std::span<const uint8_t>(s.program->prog_array.data(), f.bytes));
    return ExitOk;
}

struct PollOptions {
    int page = 1;
    long long count = 1; // 0: until interrupted
    double periodS = kDefaultPeriodS;
    std::optional<std::string> csv;
};

PollOptions parsePollOptions(const std::vector<std::string>& rest)
{
    PollOptions p;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (auto v = optionValue(rest, i, "--page")) {
            if (*v != "1" && *v != "2")
                throw UsageError{"--page is 1 or 2"};
            p.page = *v == "1" ? 1 : 2;
        } else if (auto c = optionValue(rest, i, "--count")) {
            const auto n = parseInteger(*c);
            if (!n || *n < 0)
                throw UsageError{"--count needs a number of polls (0: until interrupted)"};
            p.count = *n;
        } else if (auto t = optionValue(rest, i, "--period")) {
            const auto sec = parseReal(*t, '.');
            if (!sec || *sec < kMinPeriodS || *sec > 86400.0)
                throw UsageError{"--period needs seconds, at least 2"};
            p.periodS = *sec;
        } else if (auto f = optionValue(rest, i, "--csv")) {
            if (f->empty())
                throw UsageError{"--csv needs a file"};
            p.csv = *f;
        } else {
            throw UsageError{"poll: unexpected argument '" + rest[i] + "'"};
        }
    }
    return p;
}

// Sensor classes from the converter's program; they stay 0 when it cannot be
// read or split, and the values are then shown as of an undetermined type.
void readSensorClasses(Session& s, int addr)
{
    SplitResult split;
    if (readAndSplit(s, addr, split) != ExitOk) {
        s.error("the program was not read: the channels are shown without their sensor types");
        return;
    }
    const SensorMapResult m = kan_tip_datchik1_864(*s.program, s.tables, s.dialogs, *s.log);
    if (m.endApplication) {
        s.tables = SensorTables{};
        s.error("the program has no МИП1 start: the channels are shown without their sensor types");
    }
}

bool stopRequested(const CliEnv& env) { return env.stopRequested && env.stopRequested(); }

// Sleeps until the clock reaches untilUs, in short steps so that an interrupt
// ends the wait soon.  False when a stop was requested.
bool waitUntil(CliEnv& env, int64_t untilUs)
{
    for (;;) {
        if (stopRequested(env))
            return false;
        const int64_t left = untilUs - env.clock.nowUs();
        if (left <= 0)
            return true;
        env.clock.sleepMs(std::max<int64_t>(1, std::min<int64_t>(200, (left + 999) / 1000)));
    }
}

int cmdPoll(Session& s)
{
    const PollOptions p = parsePollOptions(s.opt.rest);
    const int addr = s.requireAddress();
    if (!s.openPort())
        return ExitUsage;
    configurePort(*s.link);
    if (s.env.armStop)
        s.env.armStop();

    readSensorClasses(s, addr);

    const int first = p.page == 1 ? rab::kPage1First : rab::kPage2First;
    const int last = p.page == 1 ? rab::kPage1Last : rab::kPage2Last;
    std::optional<CsvLog> csv;
    std::vector<std::string> header;
    if (p.csv) {
        csv.emplace(s.resolve(*p.csv));
        header.push_back("time");
        for (int ch = first; ch <= last; ++ch) {
            const std::string_view unit = classUnit(s.tables.sensor_class[size_t(ch)]);
            header.push_back(std::to_string(ch) + (unit.empty() ? std::string() : " (" + std::string(unit) + ")"));
        }
    }

    SetpointState setpoints;
    std::string RabText;
    const int64_t periodUs = std::llround(p.periodS * 1e6);
    const int64_t startUs = s.env.clock.nowUs();
    long long answered = 0, done = 0;
    for (long long i = 0; p.count == 0 || i < p.count; ++i) {
        if (i > 0 && !waitUntil(s.env, startUs + i * periodUs))
            break;
        if (stopRequested(s.env))
            break;
        // A fresh buffer for every poll: a converter that stays silent must
        // not show the previous answer again as if it were new.
        s.RabBuf.fill(0);
        const ReadOutcome r = nativeWorkingChannelPoll(*s.link, bus::addressByte(addr), s.RabBuf, i == 0);
        const DateTime when = s.env.clock.localTime();
        WorkingPollInput in{s.RabBuf, s.portState.BytesDone, first, last, s.tables.sensor_class, RabText, 0, '.'};
        const WorkingPollResult res = decodeWorkingChannels(in, setpoints);
        RabText = res.RabText;
        ++done;

        s.env.out << res.caption << '\n';
        for (const ChannelView& w : res.windows)
            s.env.out << w.text << '\n';
        s.env.out.flush();
        if (r.received == 0)
            s.error("poll " + std::to_string(i + 1) + ": no answer from the МИП at address " + std::to_string(addr));
        else {
            ++answered;
            if (!r.completed)
                s.error("poll " + std::to_string(i + 1) + ": answer not complete after 1 s (" +
                        std::to_string(r.received) + " bytes)");
        }

        if (csv) {
            std::vector<std::string> row{isoTime(when)};
            for (const ChannelView& w : res.windows)
                row.push_back(r.received == 0 ? std::string() : channelCell(w.text));
            if (!csv->append(header, row)) {
                s.error("cannot write " + *p.csv + ": " + csv->error());
                return ExitUsage;
            }
        }
    }
    return done > 0 && answered == 0 ? ExitDevice : ExitOk;
}

struct Command {
    const char* name;
    const char* synopsis;
    const char* text;
    int (*run)(Session&);
};

const Command kCommands[] = {
    {"discover", "discover", "find the МИП on the port: prints \"native N\", \"modbus N\" or \"none\"", cmdDiscover},
    {"state", "state", "status byte and state text of the МИП at the bus address", cmdState},
    {"set-address", "set-address NEW", "move the МИП to bus address NEW (1..32)", cmdSetAddress},
    {"set-clock", "set-clock", "set the converter's clock from this computer's clock", cmdSetClock},
    {"read-program", "read-program -o FILE", "read the program array from the converter into FILE", cmdReadProgram},
    {"write-program", "write-program FILE", "send the program file FILE to the converter, then show its state", cmdWriteProgram},
    {"check", "check FILE", "check a program file: head, checksum, sensor types (no port)", cmdCheck},
    {"dump", "dump FILE", "every sub-array of a program file as text (no port)", cmdDump},
    {"poll", "poll [POLL OPTIONS]",
     "poll the working channels: [--page 1|2] [--count K, 0: until Ctrl+C] [--period S, >= 2, default 6] [--csv FILE]",
     cmdPoll},
};

} // namespace

std::string helpText()
{
    std::ostringstream h;
    h << "usage: korlin-cli [--port PATH] [--address N] [--log] COMMAND [ARGS]\n"
         "A Ш9327 converter over a serial line (9600 baud, 8 data bits, even parity, 2 stop bits).\n\n"
         "Options:\n"
         "  --port PATH    serial device (default COM1: $KORLIN_COM1, else /dev/ttyS0)\n"
         "  --address N    bus address 1..32 (default AdresMIP of S9327.ini)\n"
         "  --log          append the debug log to 9327debug.log in the current directory\n"
         "  --help         this text\n\n"
         "Commands:\n";
    size_t width = 0;
    for (const Command& c : kCommands)
        width = std::max(width, std::string_view(c.synopsis).size());
    for (const Command& c : kCommands) {
        const std::string_view syn = c.synopsis;
        h << "  " << syn << std::string(width - syn.size() + 2, ' ') << c.text << '\n';
    }
    h << "\nExit status: 0 done, 2 usage error or a port or file that cannot be used,\n"
         "3 no МИП found, 4 the МИП did not answer or is not measuring or waiting,\n"
         "5 program array refused (checksum, head lengths, size).\n";
    return h.str();
}

fs::path settingsDirectory()
{
    if (const char* w = std::getenv("KORLIN_WINDIR"); w && *w)
        return w;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        return fs::path(x) / "korlin";
    if (const char* h = std::getenv("HOME"); h && *h)
        return fs::path(h) / ".config" / "korlin";
    return ".";
}

int settingsAddress(const fs::path& dir)
{
    const ProfileFile ini(dir / "S9327.ini");
    const auto text = ini.read("Параметры", "AdresMIP");
    if (!text)
        return 0;
    const auto v = parseAddress(*text);
    return v.value_or(0);
}

int runCli(const std::vector<std::string>& args, CliEnv& env)
{
    try {
        const Options o = parseOptions(args);
        if (o.help || o.command == "help") {
            env.out << helpText();
            return ExitOk;
        }
        if (o.command.empty())
            throw UsageError{"no command"};
        const Command* cmd = nullptr;
        for (const Command& c : kCommands)
            if (o.command == c.name)
                cmd = &c;
        if (!cmd)
            throw UsageError{"unknown command '" + o.command + "'"};
        Session s(env, o);
        return cmd->run(s);
    } catch (const UsageError& u) {
        env.err << kProg << ": " << u.text << " (see --help)\n";
        return ExitUsage;
    } catch (const std::exception& e) {
        env.err << kProg << ": " << e.what() << '\n';
        return ExitInternal;
    }
}

} // namespace korlin::cli

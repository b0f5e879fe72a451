// mip-sim end to end on a pseudo-terminal: our own termios client, and mbpoll
// as a MODBUS master that nobody here wrote.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Child {
    pid_t pid = -1;
    int out = -1; // its standard output

    static std::optional<Child> spawn(const std::vector<std::string>& args)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return std::nullopt;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
        posix_spawn_file_actions_addclose(&fa, fds[0]);
        posix_spawn_file_actions_addclose(&fa, fds[1]);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        Child c;
        const int rc = posix_spawn(&c.pid, argv[0], &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        if (rc != 0) {
            close(fds[0]);
            return std::nullopt;
        }
        c.out = fds[0];
        return c;
    }
    Child() = default;
    Child(Child&& o) noexcept : pid(std::exchange(o.pid, -1)), out(std::exchange(o.out, -1)) {}
    Child& operator=(Child&& o) noexcept
    {
        std::swap(pid, o.pid);
        std::swap(out, o.out);
        return *this;
    }
    ~Child()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (out >= 0)
            close(out);
    }

    // Output up to the first newline or the end, within the time given.
    std::string readLine(std::chrono::milliseconds limit) { return read(limit, true); }
    std::string readAll(std::chrono::milliseconds limit) { return read(limit, false); }

    // Exit status, or -1 when it does not end in time.
    int wait(std::chrono::milliseconds limit)
    {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            int st = 0;
            if (waitpid(pid, &st, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            }
            usleep(5000);
        }
        return -1;
    }

private:
    std::string read(std::chrono::milliseconds limit, bool oneLine)
    {
        std::string s;
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            pollfd p{out, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (poll(&p, 1, int(std::max<long>(1, left))) <= 0)
                continue;
            char c[256];
            const ssize_t n = ::read(out, c, oneLine ? 1 : sizeof c);
            if (n <= 0)
                break;
            s.append(c, size_t(n));
            if (oneLine && c[0] == '\n') {
                s.pop_back();
                break;
            }
        }
        return s;
    }
};

// A client of the slave device, as a program would open a serial port.
struct Port {
    int fd = -1;
    explicit Port(const std::string& path)
    {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0)
            return;
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        t.c_cflag |= PARENB | CSTOPB | CS8 | CREAD | CLOCAL;
        t.c_cflag &= ~PARODD;
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        settingsOk = tcsetattr(fd, TCSANOW, &t) == 0;
        tcflush(fd, TCIOFLUSH);
    }
    ~Port()
    {
        if (fd >= 0)
            close(fd);
    }
    void send(std::vector<uint8_t> b) { ASSERT_EQ(::write(fd, b.data(), b.size()), ssize_t(b.size())); }
    // Reads until n bytes came or the line was quiet for quietMs.
    std::vector<uint8_t> receive(size_t n, int quietMs, std::vector<Clock::time_point>* times = nullptr)
    {
        std::vector<uint8_t> got;
        while (got.size() < n) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, quietMs) <= 0)
                break;
            uint8_t buf[1024];
            const ssize_t k = ::read(fd, buf, std::min(sizeof buf, n - got.size()));
            if (k <= 0)
                break;
            got.insert(got.end(), buf, buf + k);
            if (times)
                times->insert(times->end(), size_t(k), Clock::now());
        }
        return got;
    }
    bool settingsOk = false;
};

std::filesystem::path tempDir()
{
    auto p = std::filesystem::temp_directory_path() / ("korlin-mipsim-" + std::to_string(getpid()));
    std::filesystem::create_directories(p);
    return p;
}

struct Sim {
    std::optional<Child> child;
    std::string device;
    explicit Sim(std::vector<std::string> args)
    {
        args.insert(args.begin(), MIP_SIM_PATH);
        child = Child::spawn(args);
        if (child)
            device = child->readLine(std::chrono::seconds(5));
    }
};

bool haveMbpoll() { return access(MBPOLL_PATH, X_OK) == 0; }

std::string mbpoll(const std::string& device, int slave, int first, int count, const char* timeout = "1")
{
    auto c = Child::spawn({MBPOLL_PATH, "-m", "rtu", "-a", std::to_string(slave), "-b", "9600", "-d", "8", "-P",
                           "even", "-s", "2", "-t", "4", "-0", "-r", std::to_string(first), "-c",
                           std::to_string(count), "-1", "-o", timeout, device});
    if (!c)
        return "(mbpoll did not start)";
    std::string out = c->readAll(std::chrono::seconds(5));
    c->wait(std::chrono::seconds(2));
    return out;
}

// The value mbpoll printed for a register: "[N]: <tab>value".
std::optional<long> registerValue(const std::string& out, int reg)
{
    const std::string key = "[" + std::to_string(reg) + "]:";
    const size_t at = out.find(key);
    if (at == std::string::npos)
        return std::nullopt;
    std::istringstream in(out.substr(at + key.size()));
    long v;
    if (!(in >> v))
        return std::nullopt;
    return v;
}

} // namespace

TEST(SimPty, NativeClientOpensClosesAndIsPaced)
{
    const auto dir = tempDir();
    const auto link = dir / "com5";
    const auto trace = dir / "trace.txt";
    Sim sim({"--address", "5", "--channel.12=235", "--link", link.string(), "--trace", trace.string()});
    ASSERT_TRUE(sim.child);
    ASSERT_EQ(sim.device.rfind("/dev/pts/", 0), 0u) << "first line: " << sim.device;
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.device);

    for (int round = 0; round < 3; ++round) { // clients come and go
        if (round > 0)
            usleep(50000); // the server puts the line back between clients
        Port port(link.string());
        ASSERT_GE(port.fd, 0);
        EXPECT_TRUE(port.settingsOk);
        const auto t0 = Clock::now();
        port.send({0xC5, 0x01});
        EXPECT_EQ(port.receive(1, 500), std::vector<uint8_t>{0x81}) << "round " << round;
        EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(300));
        port.send({0xC6, 0x21}); // another unit: nothing
        EXPECT_TRUE(port.receive(1, 100).empty());
    }

    // 898 bytes at 1250 us each: about 1.12 s from the first to the last.
    Port port(sim.device);
    port.send({0xC5, 0x02});
    std::vector<Clock::time_point> times;
    const auto ans = port.receive(898, 500, &times);
    ASSERT_EQ(ans.size(), 898u);
    EXPECT_EQ(ans[10 + 4 * 11], 12);
    EXPECT_EQ(ans[12 + 4 * 11], 235);
    const double spread = std::chrono::duration<double>(times.back() - times.front()).count();
    EXPECT_GT(spread, 0.9);
    EXPECT_LT(spread, 1.6);

    kill(sim.child->pid, SIGTERM);
    EXPECT_EQ(sim.child->wait(std::chrono::seconds(3)), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::ifstream in(trace);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(log.find("RX c5 01"), std::string::npos) << log.substr(0, 400);
    EXPECT_NE(log.find("TX 81"), std::string::npos) << log.substr(0, 400);
    std::filesystem::remove_all(dir);
}

TEST(SimPty, SigintEndsItCleanly)
{
    Sim sim({"--modbus"});
    ASSERT_TRUE(sim.child);
    ASSERT_FALSE(sim.device.empty());
    kill(sim.child->pid, SIGINT);
    EXPECT_EQ(sim.child->wait(std::chrono::seconds(3)), 0);
}

TEST(SimPty, WritesProgramAndCheckFileAndRejectsBadFlags)
{
    const auto dir = tempDir();
    auto c = Child::spawn({MIP_SIM_PATH, "--write-program", (dir / "p.bin").string(), "--write-pickups",
                           (dir / "pv34.shc").string()});
    ASSERT_TRUE(c);
    EXPECT_EQ(c->wait(std::chrono::seconds(3)), 0);
    EXPECT_GT(std::filesystem::file_size(dir / "p.bin"), 662u + 94u);
    EXPECT_EQ(std::filesystem::file_size(dir / "pv34.shc"), 662u);

    auto bad = Child::spawn({MIP_SIM_PATH, "--address", "40"});
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->wait(std::chrono::seconds(3)), 2);
    auto unknown = Child::spawn({MIP_SIM_PATH, "--colour=red"});
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->wait(std::chrono::seconds(3)), 2);
    std::filesystem::remove_all(dir);
}

TEST(SimPty, MbpollReadsStatusAndChannels)
{
    if (!haveMbpoll())
        GTEST_SKIP() << "mbpoll is not installed (Debian package mbpoll); the MODBUS end-to-end check needs it";
    Sim sim({"--modbus", "--address", "5", "--status", "138", "--channel.1=235", "--channel.108=-5",
             "--word.13=0x8003", "--word.14=0x8001"});
    ASSERT_TRUE(sim.child);
    ASSERT_FALSE(sim.device.empty());

    const std::string status = mbpoll(sim.device, 5, 4002, 1);
    EXPECT_EQ(registerValue(status, 4002), 138) << status;

    const std::string regs = mbpoll(sim.device, 5, 1, 108);
    EXPECT_EQ(registerValue(regs, 1), 235) << regs;
    EXPECT_EQ(registerValue(regs, 13), 5) << regs;        // below the lower limit
    EXPECT_EQ(registerValue(regs, 105), 0) << regs;       // no sensor there
    EXPECT_EQ(registerValue(regs, 108), 65531) << regs;  // -5, printed unsigned first
    EXPECT_EQ(registerValue(regs, 14), 0x8001) << regs;  // sensor fault
    for (int r = 1; r <= 108; ++r)
        EXPECT_TRUE(registerValue(regs, r)) << "register " << r << " missing:\n" << regs;

    // Another slave address: a real master gets no answer.
    const std::string other = mbpoll(sim.device, 6, 4002, 1, "0.3");
    EXPECT_FALSE(registerValue(other, 4002)) << other;
}

// The korlin-cli program itself against mip-sim on a pseudo-terminal: the
// real termios port, the real clock, the settings file and the default port
// taken from the environment.
#include "ProfileFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A child process with its standard output and error on pipes.
class Child {
public:
    Child(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {})
    {
        int out[2], err[2];
        if (pipe(out) != 0 || pipe(err) != 0)
            return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_adddup2(&fa, err[1], 2);
        for (int fd : {out[0], out[1], err[0], err[1]})
            posix_spawn_file_actions_addclose(&fa, fd);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<std::string> envStrings;
        for (char** e = environ; *e; ++e)
            envStrings.emplace_back(*e);
        envStrings.insert(envStrings.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> envp;
        for (auto& e : envStrings)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~Child()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {out_, err_})
            if (fd >= 0)
                close(fd);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }

    // The first line of standard output, within the time given.
    std::string firstLine(milliseconds limit)
    {
        std::string s;
        const auto end = SteadyClock::now() + limit;
        while (SteadyClock::now() < end) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            char c;
            if (::read(out_, &c, 1) != 1 || c == '\n')
                break;
            s += c;
        }
        return s;
    }

    // Exit status, or nothing when it does not end in time (then it is killed).
    std::optional<int> wait(milliseconds limit)
    {
        const auto end = SteadyClock::now() + limit;
        while (SteadyClock::now() < end) {
            drain();
            int st = 0;
            if (waitpid(pid_, &st, WNOHANG) == pid_) {
                pid_ = -1;
                drain();
                return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            }
            usleep(5000);
        }
        return std::nullopt;
    }

    std::string out, err;

private:
    void drain()
    {
        for (auto [fd, to] : {std::pair{out_, &out}, std::pair{err_, &err}}) {
            pollfd p{fd, POLLIN, 0};
            while (poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
                char buf[4096];
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n <= 0)
                    break;
                to->append(buf, size_t(n));
            }
        }
    }

    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
};

class CliPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = (fs::temp_directory_path() / "korlin-cli-pty-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(tmpl.data()));
        dir = tmpl;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // mip-sim with these settings; the slave path of its pseudo-terminal.
    std::string startSim(const std::vector<std::string>& settings)
    {
        std::vector<std::string> args{MIP_SIM_PATH};
        args.insert(args.end(), settings.begin(), settings.end());
        sim = std::make_unique<Child>(args);
        EXPECT_TRUE(sim->started());
        return sim->firstLine(milliseconds(5000));
    }

    void settingsAddress(int a)
    {
        korlin::ProfileFile ini(dir / "S9327.ini");
        ASSERT_TRUE(ini.write("Параметры", "AdresMIP", std::to_string(a)));
    }

    struct Result {
        std::optional<int> rc;
        std::string out, err;
        double seconds = 0;
    };
    Result cli(const std::vector<std::string>& args, const std::vector<std::string>& env = {})
    {
        std::vector<std::string> argv{KORLIN_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> e{"KORLIN_WINDIR=" + dir.string()};
        e.insert(e.end(), env.begin(), env.end());
        const auto t0 = SteadyClock::now();
        Child c(argv, e);
        Result r;
        r.rc = c.wait(milliseconds(25000));
        r.seconds = std::chrono::duration<double>(SteadyClock::now() - t0).count();
        r.out = c.out;
        r.err = c.err;
        return r;
    }

    fs::path dir;
    std::unique_ptr<Child> sim;
};

TEST_F(CliPty, DiscoverOnTheDefaultPortAtTheSettingsAddress)
{
    const std::string pty = startSim({"--address", "5"});
    ASSERT_FALSE(pty.empty());
    settingsAddress(5);
    // No --port: COM1, which is the device named by KORLIN_COM1.
    const Result r = cli({"discover"}, {"KORLIN_COM1=" + pty});
    ASSERT_TRUE(r.rc);
    EXPECT_EQ(*r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "native 5\n");
    EXPECT_LT(r.seconds, 5.0);
}

TEST_F(CliPty, StateAtTheGivenAddress)
{
    const std::string pty = startSim({"--address", "9", "--status", "136"});
    ASSERT_FALSE(pty.empty());
    const Result r = cli({"--port", pty, "--address", "9", "state"});
    ASSERT_TRUE(r.rc);
    EXPECT_EQ(*r.rc, 4) << r.err;
    EXPECT_EQ(r.out, "136 Ожидание повтора ввода прграммы, длинна массива больше ОЗУ МИП.\n");

    const Result none = cli({"--port", pty, "--address", "8", "state"});
    ASSERT_TRUE(none.rc);
    EXPECT_EQ(*none.rc, 4);
    EXPECT_EQ(none.out, "- Ошибка ответа МИП о состоянии. \n");
}

TEST_F(CliPty, MissingDeviceIsAUsageError)
{
    const Result r = cli({"--port", (dir / "ttyNone").string(), "--address", "1", "state"});
    ASSERT_TRUE(r.rc);
    EXPECT_EQ(*r.rc, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("ttyNone"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("не найден"), std::string::npos) << r.err;
}

} // namespace

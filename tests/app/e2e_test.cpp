// The real program against mip-sim on a pseudo-terminal, in real time, on the
// offscreen platform: it must reach the working channels.
#include "Cp1251.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

pid_t spawn(const std::vector<std::string>& argv, const fs::path& cwd, const fs::path& out,
            const std::vector<std::pair<std::string, std::string>>& env)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0)
            _exit(127);
        for (const auto& [k, v] : env)
            setenv(k.c_str(), v.c_str(), 1);
        FILE* f = freopen(out.c_str(), "w", stdout);
        (void)f;
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool waitFor(const std::function<bool()>& done, std::chrono::seconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

} // namespace

TEST(EndToEnd, KorlinReachesTheWorkingChannelsOfMipSim)
{
    const fs::path dir = fs::temp_directory_path() / ("korlin-e2e-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "ProgFiles");
    std::ofstream(dir / "S9327.ini", std::ios::binary)
        << korlin::toCp1251("[Параметры]\r\nAdresMIP=5\r\n[Агент]\r\nвкл=0\r\n");

    ASSERT_EQ(system((std::string(MIP_SIM) + " --write-pickups " + (dir / "ProgFiles" / "pv34.shc").string()).c_str()), 0);
    const pid_t sim = spawn({MIP_SIM, "--address", "5", "--native", "--link", (dir / "COM1").string(), "--trace",
                             (dir / "trace.txt").string()},
                            dir, dir / "sim.out", {});
    ASSERT_TRUE(waitFor([&] { return fs::exists(dir / "COM1"); }, std::chrono::seconds(5)));

    const pid_t app = spawn({KORLIN}, dir, dir / "korlin.out",
                            {{"QT_QPA_PLATFORM", "offscreen"}, {"KORLIN_COM1", (dir / "COM1").string()},
                             {"KORLIN_COM2", (dir / "absent").string()}, {"KORLIN_WINDIR", dir.string()},
                             {"XDG_RUNTIME_DIR", dir.string()}});
    // The start-up takes its fixed waits (about 8 s), then the first poll asks [0xC5, 0x02].
    const bool polled = waitFor(
        [&] {
            const std::string log = korlin::fromCp1251(slurp(dir / "9327debug.log"));
            return log.find("Создание массива окон вывода рабочих каналов.") != std::string::npos &&
                   slurp(dir / "trace.txt").find("RX c5 02") != std::string::npos;
        },
        std::chrono::seconds(25));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int appAlive = waitpid(app, nullptr, WNOHANG);
    kill(app, SIGTERM);
    waitpid(app, nullptr, 0);
    kill(sim, SIGTERM);
    int simStatus = 0;
    waitpid(sim, &simStatus, 0);

    const std::string log = korlin::fromCp1251(slurp(dir / "9327debug.log"));
    EXPECT_TRUE(polled) << log << "\n--- trace ---\n" << slurp(dir / "trace.txt").substr(0, 2000);
    EXPECT_NE(log.find("    Открыт порт СОМ1."), std::string::npos);
    EXPECT_NE(log.find("    Найден МИП по INI в основном режиме с адресом 5"), std::string::npos);
    EXPECT_NE(log.find("    Мип находится в режиме измерений."), std::string::npos);
    EXPECT_EQ(appAlive, 0); // still running when the channels were polled
    EXPECT_TRUE(WIFEXITED(simStatus) && WEXITSTATUS(simStatus) == 0);
    fs::remove_all(dir);
}

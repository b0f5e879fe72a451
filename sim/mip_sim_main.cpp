// mip-sim: a simulated Ш9327 converter on a pseudo-terminal.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "Clock.h"
#include "ConverterConfig.h"
#include "ConverterModel.h"
#include "PtyLine.h"

using namespace korlin;
using namespace korlin::sim;

namespace {

volatile std::sig_atomic_t gStop = 0;
void onSignal(int) { gStop = 1; }

void usage(std::FILE* to)
{
    std::fprintf(to,
                 "usage: mip-sim [options]\n"
                 "  Serves one simulated converter on a pseudo-terminal and prints the\n"
                 "  slave device path on the first line of standard output.\n"
                 "Options:\n"
                 "  --config FILE         read settings from FILE (key = value lines)\n"
                 "  --native | --modbus   protocol (same as --protocol native|modbus)\n"
                 "  --KEY VALUE, --KEY=VALUE, --set KEY=VALUE   any setting below\n"
                 "  --link PATH           symbolic link to the slave device (removed on exit)\n"
                 "  --trace FILE          log the traffic in hex with times\n"
                 "  --write-program FILE  write the program array and exit\n"
                 "  --write-pickups FILE  write the first 662 Pickups bytes (check file) and exit\n"
                 "  --help\n\n%.*s",
                 int(configHelp().size()), configHelp().data());
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

} // namespace

int main(int argc, char** argv)
{
    ConverterConfig cfg;
    PtyOptions pty;
    std::string writeProgram, writePickups;

    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        auto takeValue = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "mip-sim: %s needs a value\n", a.c_str());
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string err;
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--native" || a == "--modbus") {
            err = applySetting(cfg, "protocol", a.substr(2));
        } else if (a == "--config") {
            std::string f;
            if (!takeValue(f))
                return 2;
            err = applyConfigFile(cfg, f);
        } else if (a == "--link") {
            if (!takeValue(pty.linkPath))
                return 2;
        } else if (a == "--trace") {
            if (!takeValue(pty.tracePath))
                return 2;
        } else if (a == "--write-program") {
            if (!takeValue(writeProgram))
                return 2;
        } else if (a == "--write-pickups") {
            if (!takeValue(writePickups))
                return 2;
        } else if (a == "--set") {
            std::string kv;
            if (!takeValue(kv))
                return 2;
            const size_t eq = kv.find('=');
            err = eq == std::string::npos ? "--set needs KEY=VALUE" : applySetting(cfg, kv.substr(0, eq), kv.substr(eq + 1));
        } else if (a.rfind("--", 0) == 0 && a.size() > 2) {
            const size_t eq = a.find('=');
            std::string key, value;
            if (eq != std::string::npos) {
                key = a.substr(2, eq - 2);
                value = a.substr(eq + 1);
            } else {
                key = a.substr(2);
                if (!takeValue(value))
                    return 2;
            }
            err = applySetting(cfg, key, value);
        } else {
            err = "unexpected argument '" + a + "' (see --help)";
        }
        if (!err.empty()) {
            std::fprintf(stderr, "mip-sim: %s\n", err.c_str());
            return 2;
        }
    }

    if (!writeProgram.empty() || !writePickups.empty()) {
        const std::vector<uint8_t> program = cfg.program.empty() ? defaultProgram() : cfg.program;
        if (!writeProgram.empty() && !writeFile(writeProgram, program)) {
            std::fprintf(stderr, "mip-sim: cannot write %s\n", writeProgram.c_str());
            return 1;
        }
        if (!writePickups.empty() && !writeFile(writePickups, pickupsCheck(program))) {
            std::fprintf(stderr, "mip-sim: cannot write %s\n", writePickups.c_str());
            return 1;
        }
        return 0;
    }

    if (!cfg.clock)
        cfg.clock = SystemClock().localTime();
    ConverterModel model(cfg);

    // SIGINT and SIGTERM get through only while the server waits.
    sigset_t block, waitMask;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    sigprocmask(SIG_BLOCK, &block, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    auto server = PtyServer::open(model, pty, error);
    if (!server) {
        std::fprintf(stderr, "mip-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server->slavePath().c_str());
    std::fflush(stdout);
    server->run([] { return gStop != 0; }, &waitMask);
    return 0;
}

// korlin-cli: the real port, the real clock, the process's streams.
#include "Cli.h"

#include "TermiosPort.h"

#include <csignal>
#include <iostream>

namespace {

volatile std::sig_atomic_t gStop = 0;

// The first Ctrl+C lets the poll in progress finish; a second one ends the
// program at once.
void onInterrupt(int sig)
{
    gStop = 1;
    std::signal(sig, SIG_DFL);
}

} // namespace

int main(int argc, char** argv)
{
    korlin::TermiosPortOpener ports;
    korlin::SystemClock clock;
    korlin::cli::CliEnv env{std::cout, std::cerr, ports, clock};
    env.stopRequested = [] { return gStop != 0; };
    env.armStop = [] {
        std::signal(SIGINT, onInterrupt);
        std::signal(SIGTERM, onInterrupt);
    };
    return korlin::cli::runCli(std::vector<std::string>(argv + 1, argv + argc), env);
}

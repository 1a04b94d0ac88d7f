// The engine host of one device: runs the engine (or, for tests, a pretend one), serves the
// command socket and publishes the statistics, with fault modes that tests switch on through the
// environment.
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <iostream>

#include "command_server.h"
#include "engine.h"
#include "engine/host_contract.h"
#include "host_options.h"
#include "simulation/simulator.h"
#include "statistics/stats_block.h"

using namespace vornisel::enginehost;
using Clock = std::chrono::steady_clock;

namespace {

volatile sig_atomic_t terminated = 0;
volatile sig_atomic_t parentSignal = 0;

void onTerminate(int) {
    terminated = 1;
}
void onParentDeath(int) {
    parentSignal = 1;
}

void installSignals(const Faults& faults) {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = faults.ignoreSigterm ? SIG_IGN : onTerminate;
    sigaction(SIGTERM, &action, nullptr);
    action.sa_handler = onTerminate;
    sigaction(SIGINT, &action, nullptr);
    action.sa_handler = onParentDeath;
    sigaction(SIGHUP, &action, nullptr);
    // A signal the moment the thread that started us goes; the poll below is the real check,
    // since that thread need not be the panel's last.
    prctl(PR_SET_PDEATHSIG, SIGHUP);
}

// The panel that started us is gone: it exited (we were handed to another parent) or no such
// process exists any more.
bool parentGone(pid_t parent, pid_t originalParent) {
    if (originalParent == parent && getppid() != originalParent) return true;
    return kill(parent, 0) != 0 && errno == ESRCH;
}

// Stops at the first write the log refuses; the bound only keeps a broken cap from filling the
// disk.
void floodOutput() {
    const std::string line = std::string(4095, 'x') + '\n';
    for (size_t written = 0; written < (64u << 20); written += line.size())
        if (::write(STDERR_FILENO, line.data(), line.size()) <= 0) return;
}

int run(const HostOptions& options) {
    if (options.faults.floodLog) floodOutput();
    std::string error;
    std::unique_ptr<HostState> state;
    if (options.simulate)
        state = std::make_unique<Simulator>(options);
    else
        state = std::make_unique<Engine>(options);
    HostState& host = *state;
    // Published before the socket exists, so whoever sees the socket finds a filled block.
    auto stats = StatsBlock::open(options.clientId, options.faults, error);
    if (!stats) {
        std::cerr << "engine host " << options.clientId << ": " << error << std::endl;
        return 1;
    }
    stats->publish(host.statistics());
    auto server = CommandServer::open(options.clientId, options.faults, error);
    if (!server) {
        std::cerr << "engine host " << options.clientId << ": " << error << std::endl;
        return 1;
    }
    std::cout << "engine host " << options.clientId << ": "
              << (options.simulate ? "simulating an engine for tests, " : "") << "serving "
              << vornisel::host::socketPath(options.clientId) << ", statistics in "
              << vornisel::host::statsName(options.clientId) << std::endl;

    const pid_t originalParent = getppid();
    const auto started = Clock::now();
    const auto tick = std::chrono::milliseconds(100);
    auto nextTick = started + tick;
    int lastStatus = host.status();
    while (!terminated) {
        pollfd listener{server->fd(), POLLIN, 0};
        // Rounded up: a wait cut down to 0 ms would spin until the tick.
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nextTick - Clock::now());
        if (::poll(&listener, 1, std::max<int>(0, static_cast<int>(wait.count()))) > 0 &&
            server->serveOne(host.stateReply()) == vornisel::host::kStop &&
            !options.faults.ignoreStop) {
            std::cout << "engine host " << options.clientId << ": stopping on request" << std::endl;
            return 0;
        }
        const auto now = Clock::now();
        if (options.faults.exitAfter &&
            now - started >= std::chrono::duration<double>(*options.faults.exitAfter)) {
            std::cout << "engine host " << options.clientId << ": failing as asked" << std::endl;
            return options.faults.exitStatus;
        }
        if (now < nextTick) continue;
        nextTick = now + tick;
        host.advance(now);
        stats->publish(host.statistics());
        if (host.status() != lastStatus) {
            lastStatus = host.status();
            std::cout << "engine host " << options.clientId << ": status " << lastStatus
                      << std::endl;
        }
        parentSignal = 0;  // it only woke us early; the check decides
        if (parentGone(options.parentPid, originalParent)) {
            std::cout << "engine host " << options.clientId << ": the panel is gone" << std::endl;
            return 0;
        }
    }
    std::cout << "engine host " << options.clientId << ": terminated" << std::endl;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    auto options = parseCommandLine(argc, argv, error);
    if (!options || !readConfiguration(*options, error) || !readEnvironment(*options, error)) {
        std::cerr << "engine host: " << error << std::endl;
        return 2;
    }
    installSignals(options->faults);
    const int status = run(*options);
    std::cout.flush();
    // Threads of the endless-reply fault may still be writing; do not wait for them.
    _exit(status);
}

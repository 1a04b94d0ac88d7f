#include "server_loop.h"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <ctime>

namespace vornisel::server {

namespace {

volatile sig_atomic_t stopAsked = 0;

void askStop(int) {
    stopAsked = 1;
}

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

// Without SA_RESTART a signal ends the socket's wait at once. One that lands just before the wait
// begins is seen when the wait times out, kWaitMs later at most.
void catchStopSignals() {
    struct sigaction action = {};
    action.sa_handler = askStop;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGTERM, SIGINT, SIGHUP})
        sigaction(number, &action, nullptr);
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

// A line of what the relay saw, every 10 seconds while anything happens; the per-packet path only
// counts.
void report(const Relay& relay, RelayCounts& last) {
    const RelayCounts& c = relay.counts();
    if (c.answered == last.answered && c.malformed == last.malformed && c.refused == last.refused)
        return;
    std::fprintf(
        stderr,
        "vornisel-server: %zu clients; answered %llu, malformed %llu, unexpected %llu, "
        "refused %llu, duplicate %llu, late %llu, lost %llu, starved %llu, skipped %llu\n",
        relay.clients(), static_cast<unsigned long long>(c.answered),
        static_cast<unsigned long long>(c.malformed), static_cast<unsigned long long>(c.unexpected),
        static_cast<unsigned long long>(c.refused), static_cast<unsigned long long>(c.duplicates),
        static_cast<unsigned long long>(c.late), static_cast<unsigned long long>(c.lost),
        static_cast<unsigned long long>(c.starved), static_cast<unsigned long long>(c.skipped));
    last = c;
}

constexpr uint64_t kReportUs = 10'000'000;

}  // namespace

void blockStopSignals() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

uint64_t monotonicMicros() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1'000'000 +
           static_cast<uint64_t>(now.tv_nsec) / 1000;
}

int runServerLoop(UdpEndpoint& endpoint, Relay& relay) {
    catchStopSignals();
    uint64_t expired = monotonicMicros();
    uint64_t reported = expired;
    RelayCounts last;
    while (stopAsked == 0) {
        const size_t received = endpoint.receive();
        const uint64_t now = monotonicMicros();
        for (size_t i = 0; i < received; ++i)
            endpoint.setReply(i, relay.handle(endpoint.datagram(i), endpoint.peer(i), now,
                                              endpoint.replyBuffer(i)));
        endpoint.sendReplies(received);
        if (now - expired >= UdpEndpoint::kWaitMs * 1000ull) {
            relay.expire(now);
            expired = now;
        }
        if (now - reported >= kReportUs) {
            report(relay, last);
            reported = now;
        }
    }
    std::fprintf(stderr, "vornisel-server: stopped\n");
    return 0;
}

}  // namespace vornisel::server

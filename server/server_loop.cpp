#include "server_loop.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace vornisel::server {

namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

// Handles what the socket holds, a bounded number of batches at a time so that a flood cannot
// keep the loop from its other work.
void drain(UdpEndpoint& endpoint, Relay& relay) {
    for (int batch = 0; batch < 16; ++batch) {
        const size_t received = endpoint.receive();
        const uint64_t now = monotonicMicros();
        for (size_t i = 0; i < received; ++i)
            endpoint.setReply(i, relay.handle(endpoint.datagram(i), endpoint.peer(i), now,
                                              endpoint.replyBuffer(i)));
        endpoint.sendReplies(received);
        if (received < UdpEndpoint::kBatch) return;
    }
}

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
    const sigset_t set = stopSignals();
    const int signals = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signals < 0) {
        std::perror("vornisel-server: signalfd");
        return 1;
    }
    pollfd fds[2] = {{endpoint.fd(), POLLIN, 0}, {signals, POLLIN, 0}};
    for (;;) {
        const int ready = poll(fds, 2, 500);
        if (ready < 0 && errno != EINTR) break;
        if (fds[1].revents & POLLIN) break;
        if (fds[0].revents & POLLIN) drain(endpoint, relay);
        relay.expire(monotonicMicros());
    }
    close(signals);
    std::fprintf(stderr, "vornisel-server: stopped\n");
    return 0;
}

}  // namespace vornisel::server

// CPU of vornisel-server with eight clients streaming 64-frame stereo blocks of 24-bit audio at
// 48 kHz (750 datagrams a second each, plus four time probes a second), on 127.0.0.1. Read from
// the server's own user and system time over ten seconds. Budget: under 5 % of one core.
#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "network/wire.h"
#include "process_cpu.h"

using namespace vornisel;

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kClients = 8;
constexpr int kFrames = 64;
constexpr int kRate = 48000;

pid_t startServer(const char* port) {
    const char* argv[] = {VORNISEL_SERVER_PATH, "--bind", "127.0.0.1", "--port", port,
                          "--no-dnssd",         nullptr};
    // The server's log would interleave with the figures.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    posix_spawn(&pid, argv[0], &quiet, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&quiet);
    return pid;
}

}  // namespace

int main() {
    const std::string port = std::to_string(38000 + getpid() % 1000);
    const pid_t server = startServer(port.c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::array<int, kClients> sockets{};
    for (auto& fd : sockets) {
        fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    std::vector<float> block(kFrames * 2);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = 0.25f * static_cast<float>(i % 7) / 7;
    std::array<uint8_t, wire::kMaxDatagram> out{};
    std::array<uint8_t, 2048> in{};
    const auto period = std::chrono::nanoseconds(1'000'000'000LL * kFrames / kRate);
    const auto seconds = std::chrono::seconds(10);
    long replies = 0;
    long sent = 0;
    double cpuStart = 0;
    auto next = Clock::now();
    const auto warm = next + std::chrono::seconds(1);
    bool measuring = false;
    Clock::time_point start;
    for (uint32_t seq = 0;; ++seq) {
        if (!measuring && Clock::now() >= warm) {
            measuring = true;
            start = Clock::now();
            cpuStart = bench::cpuSeconds(server);
            replies = 0;
            sent = 0;
        }
        if (measuring && Clock::now() - start >= seconds) break;
        const auto now = static_cast<uint64_t>(Clock::now().time_since_epoch().count() / 1000);
        for (int c = 0; c < kClients; ++c) {
            const wire::Stamp stamp{static_cast<uint32_t>(c + 1), seq, now};
            send(sockets[c], out.data(), wire::encodeAudio(out, stamp, wire::Format::s24, 2, block),
                 0);
            ++sent;
            if (seq % 188 == 0)
                send(sockets[c], out.data(), wire::encodeProbe(out, stamp, {now, 0}), 0);
            while (recv(sockets[c], in.data(), in.size(), 0) > 0)
                ++replies;
        }
        next += period;
        std::this_thread::sleep_until(next);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = bench::cpuSeconds(server) - cpuStart;
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    std::printf(
        "server, %d clients of 64-frame 24-bit stereo at 48 kHz: %.2f %% of a core "
        "(budget 5 %%); %.0f blocks/s sent, %.0f answers/s\n",
        kClients, 100.0 * cpu / wall, static_cast<double>(sent) / wall,
        static_cast<double>(replies) / wall);
    return 0;
}

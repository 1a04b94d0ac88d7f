// CPU of one real engine host: ALSA's "null" device at 48 kHz, 64-frame blocks, two inputs and two
// outputs, streaming to an echoing server on 127.0.0.1. Prints the engine's share of one core.
//
//     engine_cpu_bench [seconds] [latency blocks]      (default 20 s, 2 blocks)
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "engine/engine_command.h"
#include "engine_bench_support.h"
#include "network/monotonic.h"
#include "network/wire.h"

namespace {

using namespace vornisel;

// Answers probes and echoes audio: the least a server can do, so the figure is the engine's.
class EchoServer {
public:
    EchoServer() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~EchoServer() {
        stopping_ = true;
        thread_.join();
        ::close(fd_);
    }
    int port() const { return port_; }

private:
    void serve() {
        std::array<uint8_t, wire::kMaxDatagram> in{}, out{};
        while (!stopping_) {
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0) continue;
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n = ::recvfrom(fd_, in.data(), in.size(), 0,
                                         reinterpret_cast<sockaddr*>(&from), &length);
            auto datagram = wire::parse(std::span(in.data(), n > 0 ? size_t(n) : 0));
            if (!datagram) continue;
            size_t size = static_cast<size_t>(n);
            if (datagram->kind == wire::Kind::probe)
                size =
                    wire::encodeProbeReply(out, datagram->stamp,
                                           {datagram->probe.clientSendUs,
                                            static_cast<uint64_t>(enginehost::monotonicMicros())});
            else if (datagram->kind == wire::Kind::audio)
                std::copy(in.begin(), in.begin() + n, out.begin());
            else
                continue;
            ::sendto(fd_, out.data(), size, 0, reinterpret_cast<sockaddr*>(&from), length);
        }
    }
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// User and system CPU of `pid` so far, in clock ticks.
long cpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i)
        fields >> skip;
    long user = 0, system = 0;
    fields >> user >> system;
    return user + system;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int latency = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    ::unsetenv("VORNISEL_HOST_SIMULATE");
    EchoServer server;
    const uint32_t id = 0x60000000u + static_cast<uint32_t>(::getpid());
    const std::string config = "/tmp/vornisel-engine-cpu-bench-" + std::to_string(id) + ".ini";
    std::ofstream(config) << "[network]\nserver_ip=127.0.0.1\nserver_port=" << server.port()
                          << "\nclient_id=" << id
                          << "\n[latency]\nclient_latency_blocks=" << latency
                          << "\nlatency_mode=Custom\n"
                             "[vornisel]\ndriver_outputs=0,1\ndriver_inputs=0,1\n"
                             "[coreaudio]\ndevice_uid=null\noutput_map=0,1\ninput_map=0,1\n";
    auto process =
        Process::create(bench::hostPath(), {"--config", config, "--client-id", std::to_string(id),
                                            "--parent-pid", std::to_string(::getpid())});
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    process->setStandardOutput(null);
    process->launch();
    ::close(null);
    const auto deadline = bench::Clock::now() + std::chrono::seconds(15);
    bool running = false;
    while (!running && bench::Clock::now() < deadline) {
        auto state = engineCommand(id, "GET_STATE");
        running = state && state->value("status", 0) == 3;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!running) {
        std::cout << "engine_cpu_bench: the engine did not reach \"running\"" << std::endl;
    } else {
        const pid_t pid = process->processIdentifier();
        const long before = cpuTicks(pid);
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const long used = cpuTicks(pid) - before;
        const double percent = 100.0 * static_cast<double>(used) /
                               static_cast<double>(::sysconf(_SC_CLK_TCK) * seconds);
        std::printf(
            "engine CPU, 48 kHz, 64-frame blocks, 2x2 channels, latency %d blocks, %d s: %.2f %% "
            "of a core (budget 2 %%)\n",
            latency, seconds, percent);
    }
    process->signal(SIGTERM);
    process->waitForExit(bench::Clock::now() + std::chrono::seconds(5));
    std::remove(config.c_str());
}

// CPU of one real engine host: ALSA's "null" device at 48 kHz, 64-frame blocks, two inputs and two
// outputs, streaming to the engine tests' stand-in server on 127.0.0.1. Prints the engine's share
// of one core.
//
// For reference it then measures the least any engine pays here: a thread at the engine's
// priority that only wakes at every block, sends one datagram of the engine's size to the same
// server and takes in its answer; and the same loop at ordinary priority. On 127.0.0.1 the
// sender's send also runs the server's receive and wakes it, so every figure includes waking a
// server that sleeps; from a real-time thread that wake goes to another core.
//
//     engine_cpu_bench [seconds] [latency blocks]      (default 20 s, 2 blocks)
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <thread>

#include "engine/engine_command.h"
#include "engine_bench_support.h"
#include "engine_host/stand_in_server.h"
#include "network/wire.h"
#include "process_cpu.h"

using namespace vornisel;

namespace {

// The reference loop above, for `seconds`; its share of one core.
double bareLoopPercent(int port, int seconds, bool realTime) {
    double percent = 0;
    std::thread([&] {
        sched_param param{};
        param.sched_priority = 70;  // the engine's audio thread's, where it is allowed
        if (realTime) pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
        std::vector<uint8_t> datagram(wire::kMaxDatagram), answer(wire::kMaxDatagram);
        const std::vector<float> block(64 * 2, 0.25f);
        timespec due{};
        clock_gettime(CLOCK_MONOTONIC, &due);
        const double before = bench::threadCpuSeconds();
        for (uint32_t sequence = 0; sequence < 750u * static_cast<uint32_t>(seconds); ++sequence) {
            due.tv_nsec += 1'333'333;
            if (due.tv_nsec >= 1'000'000'000) due.tv_nsec -= 1'000'000'000, ++due.tv_sec;
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
            const size_t size =
                wire::encodeAudio(datagram, {1, sequence, 0}, wire::Format::s24, 2, block);
            ::send(fd, datagram.data(), size, MSG_DONTWAIT);
            ::recv(fd, answer.data(), answer.size(), MSG_DONTWAIT);
        }
        percent = 100.0 * (bench::threadCpuSeconds() - before) / seconds;
        ::close(fd);
    }).join();
    return percent;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int latency = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    ::unsetenv("VORNISEL_HOST_SIMULATE");
    enginehost::StandInServer server;
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
        const double before = bench::cpuSeconds(pid);
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double percent = 100.0 * (bench::cpuSeconds(pid) - before) / seconds;
        std::printf(
            "engine CPU, 48 kHz, 64-frame blocks, 2x2 channels, latency %d blocks, %d s: %.2f %% "
            "of a core (budget 2 %%)\n",
            latency, seconds, percent);
    }
    process->signal(SIGTERM);
    process->waitForExit(bench::Clock::now() + std::chrono::seconds(5));
    std::remove(config.c_str());
    const double realTime = bareLoopPercent(server.port(), seconds, true);
    std::printf(
        "for reference, a bare loop that wakes at every block, sends one datagram and takes in "
        "one: %.2f %% of a core at the engine's priority, %.2f %% at ordinary priority\n",
        realTime, bareLoopPercent(server.port(), seconds, false));
}

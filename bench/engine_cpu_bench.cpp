// CPU of one real engine host: ALSA's "null" device at 48 kHz, 64-frame blocks, two inputs and two
// outputs, streaming to the engine tests' stand-in server on 127.0.0.1. Prints the engine's share
// of one core.
//
//     engine_cpu_bench [seconds] [latency blocks]      (default 20 s, 2 blocks)
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <thread>

#include "engine/engine_command.h"
#include "engine_bench_support.h"
#include "engine_host/stand_in_server.h"
#include "process_cpu.h"

using namespace vornisel;

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
}

#pragma once

// Shared by the engine benchmarks: launching the stand-in host and timing.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/host_contract.h"
#include "engine/process.h"

namespace vornisel::bench {

using Clock = std::chrono::steady_clock;

inline std::filesystem::path hostPath() {
    return std::filesystem::path(VORNISEL_BUNDLE_DIR) / std::string(host::kRelativePath);
}

inline double micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// A stand-in host for `id` running with status 3 at once, killed when the object goes.
class BenchHost {
public:
    BenchHost(uint32_t id, const std::filesystem::path& dir) : id_(id) {
        const auto config = dir / (std::to_string(id) + ".ini");
        std::ofstream(config) << "[network]\nserver_ip=auto\nserver_port=28010\nclient_id=" << id
                              << "\n[latency]\nclient_latency_blocks=2\nlatency_mode=Custom\n"
                                 "[vornisel]\ndriver_outputs=0,1\ndriver_inputs=0,1\n"
                                 "[coreaudio]\ndevice_uid=hw\noutput_map=0,1\ninput_map=0,1\n";
        process_ = Process::create(hostPath(),
                                   {"--config", config.string(), "--client-id", std::to_string(id),
                                    "--parent-pid", std::to_string(::getpid())});
        process_->launch();
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (!std::filesystem::exists(host::socketPath(id)) && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~BenchHost() {
        process_->signal(9);
        process_->waitForExit(Clock::now() + std::chrono::seconds(5));
        ::unlink(host::socketPath(id_).c_str());
        ::shm_unlink(host::statsName(id_).c_str());
    }
    uint32_t id() const { return id_; }
    Process& process() { return *process_; }

private:
    uint32_t id_;
    std::shared_ptr<Process> process_;
};

}  // namespace vornisel::bench

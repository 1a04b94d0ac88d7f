#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "engine/process.h"

namespace vornisel::test {

// A device identifier no other test process uses at the same time.
uint32_t uniqueId();

// Sets an environment variable for the lifetime of the object; launched hosts inherit it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// The real stand-in host for one device, launched directly with a minimal configuration and
// killed (if still running) when the object goes.
class HostRun {
public:
    // `faults` goes to VORNISEL_HOST_FAULT; the host reports status 3 at once.
    explicit HostRun(uint32_t id, const std::string& faults = "");
    ~HostRun();

    uint32_t id() const { return id_; }
    Process& process() { return *process_; }
    // Waits until the host serves its socket and publishes its statistics.
    bool ready();
    const std::filesystem::path& log() const { return log_; }

private:
    uint32_t id_;
    std::filesystem::path dir_;
    std::filesystem::path log_;
    std::shared_ptr<Process> process_;
};

// A one-connection impostor on a device's socket path: it records the request and sends
// `reply` verbatim. With `uid` set it listens as that user (needs root; forks a child).
class FakeHost {
public:
    FakeHost(uint32_t id, std::string reply, std::optional<uid_t> uid = std::nullopt);
    ~FakeHost();
    // What the client sent, once the exchange is over.
    std::string request();

private:
    uint32_t id_;
    int fd_ = -1;
    pid_t child_ = 0;
    std::string request_;
    std::thread thread_;
};

bool socketExists(uint32_t id);
bool statsExist(uint32_t id);
// Open descriptors of this process.
size_t openDescriptors();
// Children of this process that still exist (zombies included).
size_t childProcesses();

}  // namespace vornisel::test

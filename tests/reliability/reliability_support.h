#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/process.h"
#include "support/temp_dir.h"

namespace vornisel::test {

// A device identifier that no other test process picks at the same time.
uint32_t freshDeviceId();

// The helper programs built beside this test (tools/).
std::filesystem::path toolPath(const std::string& name);

// A program started with its standard output on a pipe the test reads.
struct Piped {
    std::shared_ptr<Process> process;
    int output = -1;  // read end, owned
    ~Piped();
    // Up to `bytes` of output, waiting at most `timeout` for the first of them.
    std::string read(size_t bytes, std::chrono::milliseconds timeout);
};
std::unique_ptr<Piped> startPiped(const std::filesystem::path& program,
                                  const std::vector<std::string>& arguments);

// The real stand-in host for `id`, launched with `faults` in VORNISEL_HOST_FAULT and a
// configuration in `dir`; its status is 3 almost at once.
std::shared_ptr<Process> startHost(uint32_t id, const std::string& faults,
                                   const std::filesystem::path& dir);
// Waits until the host's socket and statistics object both exist.
bool hostReady(uint32_t id, std::chrono::milliseconds timeout = std::chrono::seconds(10));

bool socketFileExists(uint32_t id);
bool statsObjectExists(uint32_t id);

// Runs `job` in a forked child that first becomes the user nobody (65534); returns the child's
// exit status (the value `job` returns), or -1 when it could not switch or was killed.
// `job` must only make system calls: the child of a threaded process may not allocate.
int runAsNobody(const std::function<int()>& job);
// Same, but returns at once with the child's pid; `reap` collects its status.
pid_t spawnAsNobody(const std::function<int()>& job);
int reap(pid_t child);
inline constexpr uid_t kNobody = 65534;

// A listening socket on a device's command path, served by a thread as this process's user.
// Each accepted connection is handed to `serve`, which owns it and closes it when done.
class FakeServer {
public:
    using Serve = std::function<void(int connection)>;
    FakeServer(uint32_t id, Serve serve);
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

private:
    void run();
    uint32_t id_;
    Serve serve_;
    int listener_ = -1;
    std::atomic<bool> stopping_{false};
    std::vector<std::thread> connections_;
    std::thread thread_;
};

// Sends all of `bytes` (without SIGPIPE); false once the peer has gone.
bool sendAll(int fd, std::string_view bytes);
// Closes with a reset instead of an orderly end of stream.
void closeWithReset(int fd);

// Names in `dir` other than panel.json and profiles.json: temporaries a save left behind.
std::vector<std::string> strayFiles(const std::filesystem::path& dir);

// Seconds since `start`.
double secondsSince(std::chrono::steady_clock::time_point start);

}  // namespace vornisel::test

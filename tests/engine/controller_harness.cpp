#include "controller_harness.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>

#include "engine/host_contract.h"

namespace vornisel::test {

uint32_t uniqueId() {
    static std::atomic<uint32_t> counter{0};
    return 0x40000000u + static_cast<uint32_t>(::getpid()) * 100 + (counter++ % 100);
}

bool socketExists(uint32_t id) {
    return std::filesystem::exists(host::socketPath(id));
}

// The host listens: its socket file appears at bind, a moment before it takes connections, and
// a request in between is refused at once rather than left unanswered.
bool socketListens(uint32_t id) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = host::socketPath(id);
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    const bool listens = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return listens;
}

bool statsExist(uint32_t id) {
    return std::filesystem::exists("/dev/shm" + host::statsName(id));
}

size_t openDescriptors() {
    const std::filesystem::directory_iterator entries("/proc/self/fd");
    return std::distance(begin(entries), end(entries));
}

int listenAt(const char* path) {
    // Bound under another name and renamed once listening, so that a connection made as soon as
    // `path` appears is taken, not refused.
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    std::strncpy(address.sun_path, path, sizeof address.sun_path - 3);
    std::strcat(address.sun_path, "~");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0 || ::rename(address.sun_path, path) != 0)
        return -1;
    return fd;
}

void Recorder::updateControls() {
    ++updates;
    if (!controller) return;
    size_t stopping = 0;
    for (const auto& [id, rt] : controller->runtimes()) {
        stopping += rt->stopping ? 1 : 0;
        if (rt->isRunning() && std::find(started.begin(), started.end(), id) == started.end())
            started.push_back(id);
    }
    mostStopping = std::max(mostStopping, stopping);
}

ControllerHarness::ControllerHarness(const std::string& faults) {
    ::setenv("VORNISEL_HOST_SIMULATE", "1", 1);
    ::setenv("VORNISEL_HOST_FAULT", faults.c_str(), 1);
    ::setenv("VORNISEL_HOST_STARTING_MS", "0", 1);
    ::setenv("VORNISEL_HOST_WAITING_MS", "0", 1);
    controller = EngineController::create(store, dispatch, hooks, bundleDir());
    controller->setStopTimings({.afterStop = 0.6, .afterTerminate = 0.2, .afterKill = 0.2});
    hooks.controller = controller.get();
}

ControllerHarness::~ControllerHarness() {
    for (const auto& [id, rt] : controller->runtimes()) {
        if (!rt->process) continue;
        rt->process->setSignalSender({});
        rt->process->signal(SIGKILL);
        rt->process->waitForExit(std::chrono::steady_clock::now() + std::chrono::seconds(5));
        ::unlink(host::socketPath(id).c_str());
        ::shm_unlink(host::statsName(id).c_str());
    }
    hooks.controller = nullptr;
    dispatch->drainMain();
    ::unsetenv("VORNISEL_HOST_FAULT");
}

uint32_t ControllerHarness::addDevice(const std::string& outputs, const std::string& latency) {
    store.clients().push_back({.id = uniqueId(), .latency = latency, .driverOutputs = outputs});
    return store.clients().back().id;
}

uint32_t ControllerHarness::startServing() {
    const uint32_t id = addDevice();
    controller->start(id);
    EXPECT_TRUE(waitFor([&] { return socketListens(id) && statsExist(id); }));
    return id;
}

Profile& ControllerHarness::profile(uint32_t id) {
    auto& clients = store.clients();
    return *std::find_if(clients.begin(), clients.end(), [id](auto& p) { return p.id == id; });
}

bool ControllerHarness::until(const std::function<bool()>& done,
                              std::chrono::milliseconds timeout) {
    return dispatch->runMainUntil(done, timeout);
}

bool ControllerHarness::pollUntilStatus(uint32_t id, int64_t status) {
    const auto answered = [&] {
        controller->poll();
        return until([&] { return !rt(id)->polling; }) && !rt(id)->commandFailed &&
               rt(id)->value("status") == status;
    };
    return waitFor(answered, std::chrono::seconds(10), std::chrono::milliseconds(20));
}

void ControllerHarness::makeUnstoppable(uint32_t id) {
    ::unlink(host::socketPath(id).c_str());
    rt(id)->process->setSignalSender([](pid_t, int) {});
}

}  // namespace vornisel::test

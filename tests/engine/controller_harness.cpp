#include "controller_harness.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include "engine/host_contract.h"

namespace vornisel::test {

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

ControllerHarness::ControllerHarness(const std::string& faults)
    : fault("VORNISEL_HOST_FAULT", faults) {
    controller = EngineController::create(store, dispatch, hooks, bundleDir());
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
}

uint32_t ControllerHarness::addDevice(const std::string& outputs, const std::string& latency) {
    Profile profile;
    profile.id = uniqueId();
    profile.name = "Device " + std::to_string(store.clients().size() + 1);
    profile.device = "hw:" + std::to_string(profile.id);
    profile.latency = latency;
    profile.driverOutputs = outputs;
    profile.outputMap = outputs;
    store.clients().push_back(profile);
    return profile.id;
}

Profile& ControllerHarness::profile(uint32_t id) {
    for (auto& p : store.clients())
        if (p.id == id) return p;
    throw std::out_of_range("no such device");
}

bool ControllerHarness::until(const std::function<bool()>& done,
                              std::chrono::milliseconds timeout) {
    return dispatch->runMainUntil(done, timeout);
}

bool ControllerHarness::pollUntilStatus(uint32_t id, int64_t status) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        controller->poll();
        if (!until([&] { return !rt(id)->polling; })) return false;
        if (!rt(id)->commandFailed && rt(id)->value("status") == status) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void ControllerHarness::makeUnstoppable(uint32_t id) {
    ::unlink(host::socketPath(id).c_str());
    rt(id)->process->setSignalSender([](pid_t, int) {});
}

std::optional<bool> ControllerHarness::stopAndWait(uint32_t id, std::chrono::milliseconds timeout) {
    std::optional<bool> result;
    controller->stop(id, [&](bool stopped) { result = stopped; });
    until([&] { return result.has_value(); }, timeout);
    return result;
}

}  // namespace vornisel::test

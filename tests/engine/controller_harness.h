#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_controller.h"
#include "engine/manual_dispatch.h"
#include "engine/window_hooks.h"
#include "host_harness.h"
#include "model/panel_store.h"
#include "support/temp_dir.h"

namespace vornisel::test {

// Records what the controller asks of the window, and how many engines were stopping at once.
class Recorder : public WindowHooks {
public:
    void updateControls() override;
    void showNotice(const std::string& text, bool warning) override {
        notices.emplace_back(text, warning);
    }
    void rebuildCards() override { ++rebuilds; }

    EngineController* controller = nullptr;
    // Devices in the order their engines were first seen running.
    std::vector<uint32_t> started;
    int updates = 0;
    int rebuilds = 0;
    size_t mostStopping = 0;
    std::vector<std::pair<std::string, bool>> notices;
};

// The manual queues, counting the background jobs (a poll's request, a stop's waits).
class CountingDispatch : public ManualDispatch {
public:
    void utility(std::function<void()> job) override {
        ++utilityJobs;
        ManualDispatch::utility(std::move(job));
    }
    int utilityJobs = 0;
};

// A data directory with a store, a deterministic main queue drained by the test, and a
// controller that launches the real stand-in host. Engines still running at the end are killed.
class ControllerHarness {
public:
    explicit ControllerHarness(const std::string& faults = "");
    ~ControllerHarness();

    // Adds a device to the active preset and returns its identifier.
    uint32_t addDevice(const std::string& outputs = "0,1", const std::string& latency = "2");
    Profile& profile(uint32_t id);
    std::shared_ptr<ClientRuntime> rt(uint32_t id) { return controller->runtime(id); }

    // Runs main-queue jobs until `done` holds or the time is up.
    bool until(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Polls until the device reports `status` (3 = running).
    bool pollUntilStatus(uint32_t id, int64_t status);
    // The device's running engine outlives every stop: its socket is removed, so "STOP" cannot
    // reach it, and the signals sent to it are dropped.
    void makeUnstoppable(uint32_t id);
    // Stops `id` and runs the main queue until the stop completes; returns its result.
    std::optional<bool> stopAndWait(uint32_t id,
                                    std::chrono::milliseconds timeout = std::chrono::seconds(10));

    TempDir dir;
    ScopedEnv starting{"VORNISEL_HOST_STARTING_MS", "0"};
    ScopedEnv waiting{"VORNISEL_HOST_WAITING_MS", "0"};
    ScopedEnv fault;
    PanelStore store{dir.path() / "data"};
    std::shared_ptr<CountingDispatch> dispatch = std::make_shared<CountingDispatch>();
    Recorder hooks;
    std::shared_ptr<EngineController> controller;
};

}  // namespace vornisel::test

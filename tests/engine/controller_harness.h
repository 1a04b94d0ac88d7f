#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_controller.h"
#include "engine/manual_dispatch.h"
#include "engine/window_hooks.h"
#include "model/panel_store.h"
#include "support/temp_dir.h"

namespace vornisel::test {

// A device identifier no other test process uses at the same time. Its top byte is not zero, so
// that a number stored or read with a byte missing no longer matches.
uint32_t uniqueId();
bool socketExists(uint32_t id);
bool statsExist(uint32_t id);
// Open descriptors of this process.
size_t openDescriptors();
// A socket listening at `path` from the moment it appears there, or -1. Only system calls, so that
// a forked child of this threaded process may use it.
int listenAt(const char* path);

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

// The manual queues, counting the background jobs (a poll's request, a stop's waits). With
// `holdNext`, the next job is kept and never run, as a worker stuck in a system call would be.
class CountingDispatch : public ManualDispatch {
public:
    void utility(std::function<void()> job) override {
        ++utilityJobs;
        if (std::exchange(holdNext, false)) return held.push_back(std::move(job));
        ManualDispatch::utility(std::move(job));
    }
    int utilityJobs = 0;
    bool holdNext = false;
    std::vector<std::function<void()>> held;
};

// A data directory with a store, a deterministic main queue drained by the test, and a
// controller that launches the real host in its simulation (VORNISEL_HOST_SIMULATE), with
// `faults` in VORNISEL_HOST_FAULT and no starting or waiting phase. Its stops wait 0.6 s for "STOP"
// to work, then 0.2 s after each signal. Engines still running at the end are killed.
class ControllerHarness {
public:
    explicit ControllerHarness(const std::string& faults = "");
    ~ControllerHarness();

    // Adds a device to the active preset and returns its identifier.
    uint32_t addDevice(const std::string& outputs = "0,1", const std::string& latency = "2");
    // Adds a device, starts its engine and waits until it serves its socket and statistics.
    uint32_t startServing();
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

    TempDir dir;
    PanelStore store{dir.path() / "data"};
    std::shared_ptr<CountingDispatch> dispatch = std::make_shared<CountingDispatch>();
    Recorder hooks;
    std::shared_ptr<EngineController> controller;
};

}  // namespace vornisel::test

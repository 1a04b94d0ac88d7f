#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/client_runtime.h"
#include "engine/dispatch.h"
#include "engine/window_hooks.h"

namespace vornisel {

class PanelStore;

// Starting, stopping and polling the engine hosts of the devices, without any window: the
// application forwards its engine operations here and supplies the queues and the window hooks.
//
// Everything public runs on the main thread. Blocking work (commands, waits for a process) goes
// to the utility queue and comes back through the main queue; those callbacks hold the
// controller and the runtime weakly, so a result arriving after either is gone does nothing.
class EngineController : public std::enable_shared_from_this<EngineController> {
public:
    using Completion = std::function<void(bool)>;

    // `store` and `hooks` must outlive the controller. `bundle` is the application folder whose
    // Contents/MacOS holds the engine host.
    static std::shared_ptr<EngineController> create(PanelStore& store,
                                                    std::shared_ptr<Dispatch> dispatch,
                                                    WindowHooks& hooks,
                                                    std::filesystem::path bundle);

    std::filesystem::path hostURL() const;

    // The runtime of a device, created on first use.
    std::shared_ptr<ClientRuntime> runtime(uint32_t id);
    // By device identifier; the application removes entries when a device is deleted or the
    // active preset changes.
    std::map<uint32_t, std::shared_ptr<ClientRuntime>>& runtimes() { return runtimes_; }
    bool groupBusy() const { return groupBusy_; }

    void start(uint32_t id);
    // `completion` gets true when no engine of the device is left running.
    void stop(uint32_t id, Completion completion = {});
    void toggle(uint32_t id);
    void toggleGroup();
    void stopGroup(Completion completion);
    // One tick of the one-second polling timer; returns at once.
    void poll();
    void applyRecommendation(uint32_t id);

    // The stop sequence's waits, and how long a poll may stay away before the device shows that
    // its engine does not answer; tests may shorten them. Defaults: 3 s, 2 s, 2 s, 0.05 s, 5 s.
    struct StopTimings {
        double afterStop = 3.0;
        double afterTerminate = 2.0;
        double afterKill = 2.0;
        double lookAgain = 0.05;
        double unansweredPoll = 5.0;
    };
    void setStopTimings(StopTimings timings) { timings_ = timings; }

    // The most an engine's log grows to: a host that floods its output must not fill the disk
    // (and leave no room for panel.json). Its writes past this fail.
    static constexpr off_t kLogLimitBytes = 8 * 1024 * 1024;

private:
    EngineController(PanelStore& store, std::shared_ptr<Dispatch> dispatch, WindowHooks& hooks,
                     std::filesystem::path bundle);

    void startFailed(ClientRuntime& rt, const std::string& description);
    void warnAboutConflicts();
    void installTerminationHandler(uint32_t id, const std::shared_ptr<ClientRuntime>& rt,
                                   const std::shared_ptr<Process>& process, int logFd);
    void stopNext(std::shared_ptr<std::vector<uint32_t>> ids, size_t index, Completion completion);
    void finishGroup(const Completion& completion, bool stopped);

    PanelStore& store_;
    std::shared_ptr<Dispatch> dispatch_;
    WindowHooks& hooks_;
    std::filesystem::path bundle_;
    std::map<uint32_t, std::shared_ptr<ClientRuntime>> runtimes_;
    bool groupBusy_ = false;
    StopTimings timings_;
};

}  // namespace vornisel

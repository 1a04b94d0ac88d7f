// Main-thread cost of the engine controller: one poll tick with eight running engines (the
// dispatch plus applying the eight results), and the longest main-thread stall while eight hung
// engines are polled and then stopped. The main thread must never wait on a socket, the shared
// memory or a child process, so both figures should stay in the tens of microseconds.
#include <cstdio>
#include <cstdlib>
#include <map>

#include "engine/engine_controller.h"
#include "engine/manual_dispatch.h"
#include "engine_bench_support.h"
#include "model/panel_store.h"

using namespace vornisel;
using namespace vornisel::bench;

namespace {

// Times every main-queue job as the main thread runs it.
class TimedDispatch : public ManualDispatch {
public:
    void main(std::function<void()> job) override {
        ManualDispatch::main([this, job = std::move(job)] {
            const auto start = Clock::now();
            job();
            record(micros(Clock::now() - start));
        });
    }
    void record(double us) {
        total += us;
        longest = std::max(longest, us);
        ++jobs;
    }
    void reset() {
        total = longest = 0;
        jobs = 0;
    }
    double total = 0;
    double longest = 0;
    int jobs = 0;
};

struct Setup {
    explicit Setup(const std::filesystem::path& dir, uint32_t firstId) : store(dir) {
        for (uint32_t i = 0; i < 8; ++i) {
            Profile profile;
            profile.id = firstId + i;
            profile.name = "Bench " + std::to_string(i);
            profile.driverOutputs = std::to_string(i);
            store.clients().push_back(profile);
        }
        controller = EngineController::create(store, dispatch, window,
                                              std::filesystem::path(VORNISEL_BUNDLE_DIR));
    }
    ~Setup() {
        for (auto& [id, rt] : controller->runtimes()) {
            if (!rt->process) continue;
            rt->process->signal(9);
            rt->process->waitForExit(Clock::now() + std::chrono::seconds(5));
            ::unlink(host::socketPath(id).c_str());
            ::shm_unlink(host::statsName(id).c_str());
        }
        dispatch->drainMain();
    }
    bool allPolled() {
        for (auto& [id, rt] : controller->runtimes())
            if (rt->polling) return false;
        return true;
    }
    bool allServing() {
        for (auto& [id, rt] : controller->runtimes())
            if (!std::filesystem::exists(host::socketPath(id))) return false;
        return true;
    }

    PanelStore store;
    std::shared_ptr<TimedDispatch> dispatch = std::make_shared<TimedDispatch>();
    NoWindow window;
    std::shared_ptr<EngineController> controller;
};

void pollTick(const std::filesystem::path& dir, uint32_t firstId) {
    Setup setup(dir / "running", firstId);
    setup.controller->toggleGroup();
    setup.dispatch->runMainUntil([&] { return setup.allServing(); }, std::chrono::seconds(30));
    std::vector<double> ticks, dispatches, applies;
    for (int i = 0; i < 100; ++i) {
        setup.dispatch->drainMain();
        setup.dispatch->reset();
        const auto start = Clock::now();
        setup.controller->poll();
        const double dispatched = micros(Clock::now() - start);
        setup.dispatch->runMainUntil([&] { return setup.allPolled(); }, std::chrono::seconds(10));
        dispatches.push_back(dispatched);
        applies.push_back(setup.dispatch->total);
        ticks.push_back(dispatched + setup.dispatch->total);
    }
    std::printf(
        "poll tick, 8 running engines: main thread %.1f us (dispatch %.1f us + applying "
        "8 results %.1f us; medians of 100)\n",
        median(ticks), median(dispatches), median(applies));
    // What quitting waits for: a group stop of eight engines that obey "STOP".
    std::optional<bool> stopped;
    const auto start = Clock::now();
    setup.controller->stopGroup([&](bool ok) { stopped = ok; });
    setup.dispatch->runMainUntil([&] { return stopped.has_value(); }, std::chrono::seconds(30));
    std::printf("group stop of 8 engines that obey STOP: %.3f s (%s)\n",
                std::chrono::duration<double>(Clock::now() - start).count(),
                stopped.value_or(false) ? "all stopped" : "not all stopped");
}

void hungEngines(const std::filesystem::path& dir, uint32_t firstId) {
    ::setenv("VORNISEL_HOST_FAULT", "silent,ignore-stop", 1);
    Setup setup(dir / "hung", firstId);
    // Shortened waits keep the run brief; they change how long the stops take, not what the
    // main thread does.
    setup.controller->setStopTimings({0.3, 0.3, 0.3, 0.05});
    setup.controller->toggleGroup();
    setup.dispatch->runMainUntil([&] { return setup.allServing(); }, std::chrono::seconds(30));
    setup.dispatch->drainMain();
    setup.dispatch->reset();
    double longestCall = 0;
    auto timed = [&](auto&& call) {
        const auto start = Clock::now();
        call();
        longestCall = std::max(longestCall, micros(Clock::now() - start));
    };
    const auto begin = Clock::now();
    for (int i = 0; i < 3; ++i) {
        timed([&] { setup.controller->poll(); });
        setup.dispatch->runMainUntil([&] { return setup.allPolled(); }, std::chrono::seconds(10));
    }
    std::optional<bool> stopped;
    timed([&] { setup.controller->stopGroup([&](bool ok) { stopped = ok; }); });
    while (!stopped) {
        timed([&] { setup.controller->poll(); });
        setup.dispatch->runMainUntil([&] { return stopped.has_value(); },
                                     std::chrono::milliseconds(1000));
    }
    std::printf(
        "8 hung engines polled 3 times and stopped (%s) in %.1f s: longest main-thread "
        "stall %.1f us (longest job %.1f us, longest call %.1f us, %d jobs)\n",
        *stopped ? "all stopped" : "not all stopped",
        std::chrono::duration<double>(Clock::now() - begin).count(),
        std::max(longestCall, setup.dispatch->longest), setup.dispatch->longest, longestCall,
        setup.dispatch->jobs);
    ::unsetenv("VORNISEL_HOST_FAULT");
}

}  // namespace

int main() {
    // The panel is measured with pretend engines, which need no sound card or server.
    ::setenv("VORNISEL_HOST_SIMULATE", "1", 1);
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vornisel-poll-bench-" + std::to_string(::getpid()));
    ::setenv("VORNISEL_HOST_STARTING_MS", "0", 1);
    ::setenv("VORNISEL_HOST_WAITING_MS", "0", 1);
    const uint32_t base = 4100000000u + static_cast<uint32_t>(::getpid() % 100000) * 100;
    pollTick(dir, base);
    hungEngines(dir, base + 10);
    std::filesystem::remove_all(dir);
}

#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "engine/dispatch.h"

namespace vornisel {

// A Dispatch without an event loop: the main queue is drained by whoever plays the main thread
// (tests, benchmarks), and utility jobs run on a pool that starts another thread whenever every
// worker is busy, since jobs block for seconds. Idle workers retire after a while.
//
// Workers share their state with the pool, so destroying it (from any thread, even one of its
// own workers) never waits: running jobs finish on their own and the workers then leave.
class ManualDispatch : public Dispatch {
public:
    ManualDispatch();
    ~ManualDispatch() override;

    void main(std::function<void()> job) override;
    void utility(std::function<void()> job) override;

    // Runs the main jobs queued so far (and those they queue); returns how many ran.
    size_t drainMain();
    // Runs main jobs as they arrive until `done` holds or the time is up; returns `done()`.
    bool runMainUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Main jobs waiting to run.
    size_t pendingMain();
    // Live worker threads (for leak checks).
    size_t workerCount() const;

private:
    struct Pool;
    struct MainQueue {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<std::function<void()>> jobs;
    };
    std::shared_ptr<Pool> pool_;
    MainQueue main_;
};

}  // namespace vornisel

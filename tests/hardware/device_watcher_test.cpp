#include "hardware/device_watcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace vornisel {
namespace {

using Wake = DeviceEventSource::Wake;
using Quiet = std::optional<std::chrono::milliseconds>;

// An event source driven by the test: each wait records how long the watcher asked to be left
// quiet and returns the next wake the test delivers. Time passes only when the test says so.
class ScriptedEvents : public DeviceEventSource {
public:
    Wake wait(Quiet quietFor) override {
        std::unique_lock lock(mutex_);
        asked_.push_back(quietFor);
        changed_.notify_all();
        changed_.wait(lock, [&] { return stopped_ || !queued_.empty(); });
        if (stopped_) return Wake::stopped;
        const Wake wake = queued_.front();
        queued_.pop_front();
        return wake;
    }
    void stop() override {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }

    // Delivers `wake` and waits until the watcher has handled it and waits again; returns what
    // it asked for in that next wait.
    Quiet deliver(Wake wake) {
        std::unique_lock lock(mutex_);
        const size_t before = asked_.size();
        queued_.push_back(wake);
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(10), [&] { return asked_.size() > before; });
        EXPECT_GT(asked_.size(), before) << "the watcher did not wait again";
        return asked_.back();
    }
    // The watcher's first wait, once it has started.
    Quiet first() {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(10), [&] { return !asked_.empty(); });
        return asked_.empty() ? Quiet(std::chrono::hours(1)) : asked_.front();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Wake> queued_;
    std::vector<Quiet> asked_;
    bool stopped_ = false;
};

struct Step {
    Wake wake;
    Quiet expectedNextWait;  // nothing pending: block without a time limit
    int expectedCalls;
};

TEST(DeviceWatcherTest, CallsOnceAfterAChangeHasSettledAndSleepsOtherwise) {
    const Quiet idle = std::nullopt;
    const Quiet settling = DeviceWatcher::settle;
    const std::vector<std::pair<const char*, std::vector<Step>>> cases = {
        {"one change", {{Wake::changed, settling, 0}, {Wake::quiet, idle, 1}}},
        {"a burst restarts the settling time",
         {{Wake::changed, settling, 0},
          {Wake::changed, settling, 0},
          {Wake::changed, settling, 0},
          {Wake::quiet, idle, 1}}},
        {"two separate changes",
         {{Wake::changed, settling, 0},
          {Wake::quiet, idle, 1},
          {Wake::changed, settling, 1},
          {Wake::quiet, idle, 2}}},
        {"quiet without a change calls nothing", {{Wake::quiet, idle, 0}, {Wake::quiet, idle, 0}}},
    };
    for (const auto& [what, steps] : cases) {
        SCOPED_TRACE(what);
        auto source = std::make_unique<ScriptedEvents>();
        ScriptedEvents& events = *source;
        std::atomic<int> calls = 0;
        DeviceWatcher watcher(std::move(source), [&] { ++calls; });
        EXPECT_EQ(events.first(), idle);
        for (const Step& step : steps) {
            EXPECT_EQ(events.deliver(step.wake), step.expectedNextWait);
            EXPECT_EQ(calls, step.expectedCalls);
        }
    }
}

}  // namespace
}  // namespace vornisel

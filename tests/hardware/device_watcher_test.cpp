#include "hardware/device_watcher.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace vornisel {
namespace {

using Wake = DeviceEventSource::Wake;

// An event source that hands out a script of wakes and then blocks until stopped. The watcher's
// waits and calls are logged in order: "idle" is a wait without a time limit, "settle" one for
// the settling time, "call" a call of the watcher's callback. Both happen on the watcher's thread.
class ScriptedEvents : public DeviceEventSource {
public:
    ScriptedEvents(std::vector<Wake> script, std::string& log)
        : script_(std::move(script)), log_(log) {}

    Wake wait(std::optional<std::chrono::milliseconds> quietFor) override {
        log_ += !quietFor ? "idle " : quietFor == DeviceWatcher::settle ? "settle " : "other ";
        std::unique_lock lock(mutex_);
        if (next_ < script_.size()) return script_[next_++];
        stopping_.wait(lock, [&] { return stopped_; });
        return Wake::stopped;
    }
    void stop() override {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        stopping_.notify_all();
    }

private:
    std::vector<Wake> script_;
    std::string& log_;
    size_t next_ = 0;
    std::mutex mutex_;
    std::condition_variable stopping_;
    bool stopped_ = false;
};

TEST(DeviceWatcherTest, CallsOnceAfterAChangeHasSettledAndSleepsOtherwise) {
    const std::vector<std::pair<std::vector<Wake>, std::string>> cases = {
        {{Wake::changed, Wake::quiet}, "idle settle call idle "},
        // A burst restarts the settling time.
        {{Wake::changed, Wake::changed, Wake::changed, Wake::quiet},
         "idle settle settle settle call idle "},
        {{Wake::quiet, Wake::quiet}, "idle idle idle "},
    };
    for (const auto& [script, expected] : cases) {
        std::string log;
        // The watcher's end stops the source and waits for its thread, which has then logged all.
        {
            DeviceWatcher watcher(std::make_unique<ScriptedEvents>(script, log),
                                  [&] { log += "call "; });
        }
        EXPECT_EQ(log, expected);
    }
}

}  // namespace
}  // namespace vornisel

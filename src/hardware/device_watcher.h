#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace vornisel {

// Where the watcher learns that the devices may have changed: a sound card arrived or left, or an
// ALSA configuration file was written, created or deleted.
class DeviceEventSource {
public:
    enum class Wake {
        changed,  // something that may change the device list happened
        quiet,    // the asked-for time passed without a change
        stopped,  // stop() was called
    };

    virtual ~DeviceEventSource() = default;

    // Blocks until a change, until `quietFor` has passed without one (never when absent), or
    // until stop(). Called from the watcher's thread only.
    virtual Wake wait(std::optional<std::chrono::milliseconds> quietFor) = 0;

    // Makes the running wait, and every later one, return `stopped`. Callable from any thread.
    virtual void stop() = 0;
};

// Watches a DeviceEventSource on a thread of its own and calls `changed` on that thread once the
// changes have settled: after a change, once `settle` has passed without another. A burst (a
// card's arrival brings a dozen kernel events, an editor saves in several steps) thus gives one
// call. Between changes the thread sleeps in the source's wait, without periodic wake-ups.
class DeviceWatcher {
public:
    static constexpr std::chrono::milliseconds settle{500};

    DeviceWatcher(std::unique_ptr<DeviceEventSource> source, std::function<void()> changed);
    // Stops the source and waits for the thread; a `changed` call in progress finishes first.
    ~DeviceWatcher();
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

private:
    void run();

    std::unique_ptr<DeviceEventSource> source_;
    std::function<void()> changed_;
    std::thread thread_;
};

}  // namespace vornisel

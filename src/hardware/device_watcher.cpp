#include "hardware/device_watcher.h"

namespace vornisel {

DeviceWatcher::DeviceWatcher(std::unique_ptr<DeviceEventSource> source,
                             std::function<void()> changed)
    : source_(std::move(source)), changed_(std::move(changed)), thread_([this] { run(); }) {}

DeviceWatcher::~DeviceWatcher() {
    source_->stop();
    thread_.join();
}

void DeviceWatcher::run() {
    bool pending = false;
    while (true) {
        using Wake = DeviceEventSource::Wake;
        const Wake wake = source_->wait(pending ? std::optional(settle) : std::nullopt);
        if (wake == Wake::stopped) return;
        if (wake == Wake::changed) {
            pending = true;
        } else if (pending) {
            pending = false;
            changed_();
        }
    }
}

}  // namespace vornisel

#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "hardware/device_watcher.h"
#include "hardware/path_watch.h"

struct udev;
struct udev_monitor;

namespace vornisel {

// The machine's own device events: sound cards arriving and leaving, announced by udev's monitor
// for the "sound" subsystem when the udev daemon runs, else seen as nodes coming and going in
// /dev/snd (containers, minimal systems); the user's and the system's ALSA configuration files
// being written, created or deleted; and the PipeWire and PulseAudio sockets in
// $XDG_RUNTIME_DIR coming and going as their servers start and stop. Costs nothing while nothing
// happens: the wait blocks in poll.
class SystemDeviceEvents : public DeviceEventSource {
public:
    // Watches the current user's files and sockets.
    SystemDeviceEvents();
    ~SystemDeviceEvents() override;
    SystemDeviceEvents(const SystemDeviceEvents&) = delete;
    SystemDeviceEvents& operator=(const SystemDeviceEvents&) = delete;

    Wake wait(std::optional<std::chrono::milliseconds> quietFor) override;
    void stop() override;

private:
    // True when a sound device event was pending.
    bool drainUdev();

    int stop_ = -1;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::unique_ptr<PathWatch> paths_;
};

}  // namespace vornisel

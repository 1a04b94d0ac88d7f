#include "hardware/system_device_events.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>

#include "hardware/alsa_config_path.h"
#include "hardware/alsa_user_pcms.h"

namespace vornisel {

namespace {

// The udev daemon's control socket: without the daemon, udev's monitor hears nothing.
constexpr const char* kUdevControl = "/run/udev/control";
constexpr const char* kSoundNodes = "/dev/snd";

// What the listing depends on besides the cards: the user's ALSA files, the system's, and the
// sockets of the sound servers whose PCMs are offered while their server answers. A server that
// starts creates its socket, one that stops removes it.
std::vector<std::filesystem::path> watchedFiles() {
    std::vector<std::filesystem::path> files = currentUserConfigFiles();
    files.emplace_back(kAdministratorConfig);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/') {
        files.push_back(std::filesystem::path(runtime) / "pipewire-0");
        files.push_back(std::filesystem::path(runtime) / "pulse" / "native");
    }
    return files;
}

}  // namespace

SystemDeviceEvents::SystemDeviceEvents() : stop_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    std::vector<std::filesystem::path> folders = {kSystemConfigFolder};
    if (access(kUdevControl, F_OK) == 0 && (udev_ = udev_new()) != nullptr) {
        monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
        if (monitor_ &&
            (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "sound", nullptr) < 0 ||
             udev_monitor_enable_receiving(monitor_) < 0)) {
            monitor_ = udev_monitor_unref(monitor_);
        }
    }
    if (!monitor_) folders.emplace_back(kSoundNodes);
    paths_ = std::make_unique<PathWatch>(watchedFiles(), std::move(folders));
}

SystemDeviceEvents::~SystemDeviceEvents() {
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
    if (stop_ >= 0) close(stop_);
}

void SystemDeviceEvents::stop() {
    // The counter stays above zero, so every later wait sees it too.
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(stop_, &one, sizeof one);
}

bool SystemDeviceEvents::drainUdev() {
    bool any = false;
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        udev_device_unref(device);
        any = true;
    }
    return any;
}

DeviceEventSource::Wake SystemDeviceEvents::wait(
    std::optional<std::chrono::milliseconds> quietFor) {
    using Clock = std::chrono::steady_clock;
    if (stop_ < 0) return Wake::stopped;  // could never be stopped: do not start watching
    const std::optional<Clock::time_point> deadline =
        quietFor ? std::optional(Clock::now() + *quietFor) : std::nullopt;
    while (true) {
        int timeout = -1;
        if (deadline) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            if (left.count() <= 0) return Wake::quiet;
            timeout = static_cast<int>(left.count());
        }
        // poll skips negative descriptors, so a missing monitor or inotify costs nothing.
        std::array<pollfd, 3> fds = {{{stop_, POLLIN, 0},
                                      {monitor_ ? udev_monitor_get_fd(monitor_) : -1, POLLIN, 0},
                                      {paths_->fd(), POLLIN, 0}}};
        const int ready = poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno == EINTR) continue;
        // Without a working poll there is nothing to watch; the watcher ends.
        if (ready < 0 || fds[0].revents != 0) return Wake::stopped;
        if (ready == 0) return Wake::quiet;
        const bool cards = fds[1].revents != 0 && drainUdev();
        const bool files = fds[2].revents != 0 && paths_->readEvents();
        if (cards || files) return Wake::changed;
    }
}

}  // namespace vornisel

#pragma once

// Shared by the whole-panel benchmarks: a data folder with N devices, the panel launched the way
// its main function launches it, waiting with the event loop running, and process figures.

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/client_app.h"
#include "app/main_window.h"
#include "base/app_bundle.h"
#include "engine/client_runtime.h"
#include "hardware/device.h"
#include "model/panel_store.h"
#include "process_cpu.h"
#include "ui/theme/theme.h"

namespace vornisel::bench {

inline double monotonicSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// User plus system time of the whole process, every thread included.
inline double processCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Peak resident memory of this process in MiB.
inline double peakResidentMiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

inline double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// The machine's load averages over 1, 5 and 15 minutes, printed `when` (before, after). A busy
// machine stretches every figure; the caller says so when the last minute's load reaches
// `busyAt` runnable tasks, so that a noisy figure is not taken for a regression. Returns whether
// it was busy.
inline bool reportLoad(const char* when, double busyAt) {
    double load[3] = {0, 0, 0};
    if (::getloadavg(load, 3) != 3) {
        std::printf("load average %s: unknown\n", when);
        return false;
    }
    const bool busy = load[0] >= busyAt;
    std::printf("load average %s: %.2f %.2f %.2f (%ld cores)%s\n", when, load[0], load[1], load[2],
                ::sysconf(_SC_NPROCESSORS_ONLN),
                busy ? "  BUSY: the figures are not comparable with an idle run" : "");
    return busy;
}

// A fresh data folder whose panel.json holds `count` devices on the first demo sound device, so
// the panel opens as it does for a user with that many devices (not a first run).
inline std::filesystem::path writeDataFolder(const std::filesystem::path& folder, int count) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto hardware = devices();
    PanelStore store(folder);
    std::vector<Profile> clients;
    for (int i = 0; i < count; ++i) {
        Profile profile;
        profile.id = store.nextID();
        profile.name = "Studio " + std::to_string(i + 1);
        profile.device = hardware.empty() ? "demo_stereo" : hardware.front().uid;
        profile.driverOutputs = std::to_string(2 * i) + "," + std::to_string(2 * i + 1);
        profile.driverInputs = std::to_string(2 * i) + "," + std::to_string(2 * i + 1);
        clients.push_back(profile);
    }
    store.setClients(clients);
    store.save();
    return folder;
}

// Runs the event loop until `done` holds or `seconds` pass; returns whether it holds.
inline bool runUntil(const std::function<bool()>& done, double seconds) {
    const double deadline = monotonicSeconds() + seconds;
    while (!done()) {
        if (monotonicSeconds() >= deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!done()) QThread::msleep(2);
    }
    return true;
}

// Runs the event loop for `seconds`, sleeping in it as the application does when idle.
inline void runFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// The panel as its main function launches it, on `dataDir`, with engines from the build's bundle.
inline std::unique_ptr<ClientApp> launchPanel(const std::filesystem::path& dataDir) {
    AppBundle::setLocation(std::filesystem::path(VORNISEL_BUNDLE_DIR));
    auto app =
        std::make_unique<ClientApp>(std::vector<std::string>{"--data-dir", dataDir.string()});
    app->applicationDidFinishLaunching();
    return app;
}

inline bool allRunning(ClientApp& app) {
    for (auto& profile : app.store->clients()) {
        auto runtime = app.runtime(profile.id);
        if (!runtime->isRunning() || runtime->value("status") != 3) return false;
    }
    return true;
}

inline bool nonePolling(ClientApp& app) {
    for (auto& [id, runtime] : app.runtimes())
        if (runtime->polling) return false;
    return true;
}

// Starts every device's engine and waits until each reports that it runs.
inline bool startAll(ClientApp& app) {
    for (auto& profile : app.store->clients())
        app.start(profile.id);
    return runUntil(
        [&] {
            app.poll();
            return allRunning(app);
        },
        60);
}

// Prints a monotonic timestamp and ends the process once `window` has drawn its first frame: its
// first exposure is handled by painting and flushing the whole window, so a call queued when it
// arrives runs once that frame is out. Installed last, it queues ahead of any work the program
// itself deferred until after that frame.
class FirstFrameExit : public QObject {
public:
    explicit FirstFrameExit(QWindow* window) : window_(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Expose && window_->isExposed()) {
            seen_ = true;
            QMetaObject::invokeMethod(
                this,
                [] {
                    std::printf("first-paint %.6f\n", monotonicSeconds());
                    std::fflush(stdout);
                    std::_Exit(0);
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    QWindow* window_;
    bool seen_ = false;
};

}  // namespace vornisel::bench

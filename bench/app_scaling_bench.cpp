// Scaling of the panel's main thread with 1, 2, 4 and 8 running devices: the CPU time of one poll
// tick (the dispatch plus applying every result to the cards, window hidden) and of one full
// synchronous repaint of the shown main window. Thread CPU time is used because wall time on a
// loaded machine measures the neighbours. With 8 devices it also times a group stop of engines
// that obey "STOP".
//
// "--profile" runs only the 8-device ticks and repaints with callgrind collection switched on
// around them: valgrind --tool=callgrind --collect-atstart=no app_scaling_bench --profile
#include <valgrind/callgrind.h>
#include <cstdlib>

#include <cstring>
#include <optional>

#include "app_bench_support.h"

using namespace vornisel;
using namespace vornisel::bench;

namespace {

// Waits in the event loop, without spinning, until every poll result was applied.
void waitForResults(ClientApp& app) {
    QTimer guard;
    guard.start(10000);
    while (!nonePolling(app) && guard.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
}

double tickCpu(ClientApp& app) {
    const double start = threadCpuSeconds();
    app.poll();
    waitForResults(app);
    return threadCpuSeconds() - start;
}

std::pair<double, double> repaintCost(ClientApp& app) {
    const double cpu = threadCpuSeconds();
    const double wall = monotonicSeconds();
    app.window->repaint();
    return {threadCpuSeconds() - cpu, monotonicSeconds() - wall};
}

struct Figures {
    double tick = 0, repaintCpu = 0, repaintWall = 0;
};

std::unique_ptr<ClientApp> runningPanel(const std::filesystem::path& dir, int count) {
    auto app = launchPanel(writeDataFolder(dir, count));
    app->timer->stop();
    if (!startAll(*app)) std::printf("  (not every engine of %d came up)\n", count);
    waitForResults(*app);
    for (int i = 0; i < 3; ++i)
        tickCpu(*app);  // some history for the meters and graphs
    return app;
}

Figures measure(ClientApp& app, int rounds, bool profile) {
    std::vector<double> ticks, repaintCpu, repaintWall;
    app.window->hide();
    if (profile) CALLGRIND_START_INSTRUMENTATION;
    for (int i = 0; i < rounds; ++i)
        ticks.push_back(tickCpu(app) * 1e6);
    if (profile) CALLGRIND_STOP_INSTRUMENTATION;
    app.showWindow();
    runUntil([&] { return app.window->isVisible(); }, 5);
    runFor(0.3);
    if (profile) CALLGRIND_START_INSTRUMENTATION;
    for (int i = 0; i < rounds; ++i) {
        auto [cpu, wall] = repaintCost(app);
        repaintCpu.push_back(cpu * 1e6);
        repaintWall.push_back(wall * 1e6);
    }
    if (profile) CALLGRIND_STOP_INSTRUMENTATION;
    return {medianOf(ticks), medianOf(repaintCpu), medianOf(repaintWall)};
}

void groupStop(ClientApp& app) {
    std::optional<bool> stopped;
    const double start = monotonicSeconds();
    app.stopGroup([&](bool ok) { stopped = ok; });
    runUntil([&] { return stopped.has_value(); }, 30);
    std::printf("group stop of 8 engines that obey STOP: %.3f s (%s)\n", monotonicSeconds() - start,
                stopped.value_or(false) ? "all stopped" : "not all stopped");
}

}  // namespace

int main(int argc, char** argv) {
    // The panel is measured with pretend engines, which need no sound card or server.
    ::setenv("VORNISEL_HOST_SIMULATE", "1", 1);
    const bool profile = argc > 1 && std::strcmp(argv[1], "--profile") == 0;
    ::setenv("VORNISEL_HOST_WAITING_MS", "100", 0);
    QApplication application(argc, argv);
    Theme::applyDarkAppearance(application);
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vornisel-scaling-bench-" + std::to_string(::getpid()));
    std::printf("main-thread cost per device count (thread CPU, medians of 30):\n");
    std::printf("%8s %14s %18s %19s\n", "devices", "poll tick us", "repaint cpu us",
                "repaint wall us");
    for (int count : profile ? std::vector<int>{8} : std::vector<int>{1, 2, 4, 8}) {
        auto app = runningPanel(dir, count);
        const Figures figures = measure(*app, profile ? 20 : 30, profile);
        std::printf("%8d %14.1f %18.1f %19.1f\n", count, figures.tick, figures.repaintCpu,
                    figures.repaintWall);
        std::fflush(stdout);
        if (count == 8 && !profile) groupStop(*app);
        app->setTerminateHandler([] {});
        std::optional<bool> stopped;
        app->stopGroup([&](bool ok) { stopped = ok; });
        runUntil([&] { return stopped.has_value(); }, 30);
    }
    std::filesystem::remove_all(dir);
    return 0;
}

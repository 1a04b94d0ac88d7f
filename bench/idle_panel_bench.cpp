// Idle cost, memory and quitting of the panel with 8 running stand-in engines, polled once a
// second by the panel's own timer: the CPU time of the whole panel process (every thread) over
// 60 seconds with the window shown and 60 seconds hidden in the tray, its peak resident memory
// once every device holds a full minute of history (against the minimal Qt window program, run
// as "--minimal"), and the time a quit takes until the application may end.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "app_bench_support.h"

using namespace vornisel;
using namespace vornisel::bench;

namespace {

// This process's own peak resident memory. (getrusage would do for the panel, but a spawned
// child's ru_maxrss keeps its parent's peak across exec, so the child reads its own.)
double ownPeakMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

int minimalWindow(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.resize(1040, 720);
    window.show();
    // Settle like the panel does before its memory is read, then report the peak.
    QTimer::singleShot(2000, [] { QCoreApplication::exit(0); });
    QApplication::exec();
    std::printf("%.3f\n", ownPeakMiB());
    return 0;
}

double minimalPeakMiB() {
    const auto self = std::filesystem::read_symlink("/proc/self/exe");
    FILE* child = ::popen(("'" + self.string() + "' --minimal").c_str(), "r");
    if (!child) return 0;
    double peak = 0;
    if (std::fscanf(child, "%lf", &peak) != 1) peak = 0;
    ::pclose(child);
    return peak;
}

double cpuPercentOver(double seconds) {
    const double cpu = processCpuSeconds();
    const double wall = monotonicSeconds();
    runFor(seconds);
    return 100.0 * (processCpuSeconds() - cpu) / (monotonicSeconds() - wall);
}

}  // namespace

int main(int argc, char** argv) {
    // The panel is measured with pretend engines, which need no sound card or server.
    ::setenv("VORNISEL_HOST_SIMULATE", "1", 1);
    if (argc > 1 && std::strcmp(argv[1], "--minimal") == 0) return minimalWindow(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 60.0;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vornisel Control"));
    Theme::applyDarkAppearance(application);
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vornisel-idle-bench-" + std::to_string(::getpid()));
    auto app = launchPanel(writeDataFolder(dir, 8));
    if (!startAll(*app)) std::printf("(not every engine came up)\n");
    runFor(2);
    const double shown = cpuPercentOver(seconds);
    std::printf("idle, 8 running engines, window shown:  %.3f%% of one core over %.0f s\n", shown,
                seconds);
    std::fflush(stdout);
    app->window->hide();
    const double hidden = cpuPercentOver(seconds);
    std::printf("idle, 8 running engines, window hidden: %.3f%% of one core over %.0f s\n", hidden,
                seconds);
    app->showWindow();
    runFor(1);
    size_t fewest = SIZE_MAX;
    for (auto& [id, runtime] : app->runtimes())
        fewest = std::min(fewest, runtime->samples.size());
    const double peak = ownPeakMiB();
    const double minimal = minimalPeakMiB();
    std::printf(
        "peak RSS: panel %.1f MiB (histories of at least %zu samples), minimal Qt window "
        "%.1f MiB, difference %.1f MiB (budget 20 MiB)\n",
        peak, fewest, minimal, peak - minimal);
    std::optional<double> ended;
    const double start = monotonicSeconds();
    app->setTerminateHandler([&] { ended = monotonicSeconds(); });
    app->terminate();
    runUntil([&] { return ended.has_value(); }, 30);
    std::printf(
        "quit with 8 engines that obey STOP: %.3f s until the application may end (budget "
        "1 s)\n",
        ended.value_or(monotonicSeconds()) - start);
    app.reset();
    std::filesystem::remove_all(dir);
    return 0;
}

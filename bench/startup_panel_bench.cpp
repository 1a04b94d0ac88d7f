// Start-up: from exec to the first painted frame of the main window with 8 devices, against a
// minimal Qt Widgets program that opens an empty 1040x720 window. Both are this same executable
// started again ("--panel DIR" or "--minimal"), alternately, so they share the machine's
// conditions; each prints a monotonic timestamp after its first frame and ends at once. Also
// reports the CPU time and peak resident memory of each child up to that frame.
//
// The empty window draws no text, so it never loads the font configuration, which any window
// with one word in it pays for. The same window with one line of text ("--minimal-text") is
// measured beside them, for reference only: the goals stay against the empty window.
#include <spawn.h>
#include <sys/wait.h>
#include <cstdlib>

#include <QLabel>
#include <cstring>

#include "app/panel_launch.h"
#include "app_bench_support.h"
#include "desktop/launch_token.h"
#include "desktop/single_instance.h"

extern char** environ;

using namespace vornisel;
using namespace vornisel::bench;

namespace {

int minimalWindow(int argc, char** argv, bool withText) {
    QApplication application(argc, argv);
    QWidget window;
    window.resize(1040, 720);
    if (withText) {
        auto* line = new QLabel(QStringLiteral("Vornisel Control"), &window);
        line->move(28, 20);
    }
    window.winId();  // gives the widget its native window before it is shown
    FirstFrameExit exit(window.windowHandle());
    window.show();
    return QApplication::exec();
}

// The panel launched as main() launches it, ending after its main window's first frame.
int panel(char* program, const char* dataDir) {
    AppBundle::setLocation(std::filesystem::path(VORNISEL_BUNDLE_DIR));
    const SingleInstance instance(dataDir, SingleInstance::runtimeDirectory());
    std::unique_ptr<FirstFrameExit> exit;
    return runPanel(program, {"--data-dir", dataDir}, instance, LaunchToken{}, [&](ClientApp& app) {
        exit = std::make_unique<FirstFrameExit>(app.window->windowHandle());
    });
}

struct Run {
    double seconds = 0;  // exec to first frame
    double cpu = 0;      // user + system time of the child
    double peakMiB = 0;  // its peak resident memory
};

// A child ends at its first frame, while the display server may still be drawing it; the next
// run starts only after a pause, so neither program pays for the other's leftover work.
void settle() {
    ::usleep(300 * 1000);
}

Run runChild(std::vector<std::string> arguments) {
    settle();
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    int pipe[2];
    if (::pipe(pipe) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipe[0]);
    pid_t pid = 0;
    const double start = monotonicSeconds();
    const int error =
        ::posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    std::string output;
    char buffer[256];
    for (ssize_t n; error == 0 && (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, size_t(n));
    ::close(pipe[0]);
    Run run;
    if (error != 0) return run;
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const auto at = output.find("first-paint ");
    if (at != std::string::npos) run.seconds = std::stod(output.substr(at + 12)) - start;
    run.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peakMiB = double(usage.ru_maxrss) / 1024.0;
    return run;
}

void report(const char* name, const std::vector<Run>& runs) {
    std::vector<double> seconds, cpu, peak;
    for (const auto& run : runs) {
        seconds.push_back(run.seconds * 1000);
        cpu.push_back(run.cpu * 1000);
        peak.push_back(run.peakMiB);
    }
    std::printf(
        "%-28s first frame %7.1f ms   cpu %7.1f ms   peak RSS %6.1f MiB  (medians of %zu)\n", name,
        medianOf(seconds), medianOf(cpu), medianOf(peak), runs.size());
}

struct Ratios {
    double wall = 0;
    double cpu = 0;
};

// Medians of the per-round ratios of `runs` to `baseline`; a failed run (no figure) is left out.
Ratios ratiosOf(const std::vector<Run>& runs, const std::vector<Run>& baseline) {
    std::vector<double> wall, cpu;
    for (size_t i = 0; i < runs.size() && i < baseline.size(); ++i) {
        if (runs[i].seconds > 0 && baseline[i].seconds > 0) {
            wall.push_back(runs[i].seconds / baseline[i].seconds);
        }
        if (runs[i].cpu > 0 && baseline[i].cpu > 0) cpu.push_back(runs[i].cpu / baseline[i].cpu);
    }
    return {medianOf(wall), medianOf(cpu)};
}

}  // namespace

int main(int argc, char** argv) {
    // The panel is measured with pretend engines, which need no sound card or server.
    ::setenv("VORNISEL_HOST_SIMULATE", "1", 1);
    if (argc > 1 && std::strcmp(argv[1], "--minimal") == 0) {
        return minimalWindow(argc, argv, false);
    }
    if (argc > 1 && std::strcmp(argv[1], "--minimal-text") == 0) {
        return minimalWindow(argc, argv, true);
    }
    if (argc > 2 && std::strcmp(argv[1], "--panel") == 0) return panel(argv[0], argv[2]);
    if (argc > 2 && std::strcmp(argv[1], "--write-data") == 0) {
        writeDataFolder(argv[2], 8);  // a folder to profile one panel start-up with
        return 0;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    // The runs themselves keep about half a core busy; more than a core's worth besides is
    // someone else's work.
    const double busyAt = 0.5 * double(::sysconf(_SC_NPROCESSORS_ONLN)) + 0.5;
    reportLoad("before", busyAt);
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vornisel-startup-bench-" + std::to_string(::getpid()));
    writeDataFolder(dir, 8);
    std::vector<Run> minimal, text, full;
    // Warms the page cache and the font caches for all three.
    runChild({"startup", "--minimal"});
    runChild({"startup", "--minimal-text"});
    runChild({"startup", "--panel", dir.string()});
    for (int i = 0; i < rounds; ++i) {
        minimal.push_back(runChild({"startup", "--minimal"}));
        full.push_back(runChild({"startup", "--panel", dir.string()}));
        text.push_back(runChild({"startup", "--minimal-text"}));
    }
    std::filesystem::remove_all(dir);
    report("minimal Qt window 1040x720", minimal);
    report("panel with 8 devices", full);
    report("same window, one text line", text);
    const Ratios goal = ratiosOf(full, minimal);
    std::printf(
        "start-up ratio panel/minimal: wall %.2fx, cpu %.2fx (medians of per-pair ratios; goals "
        "1.3x wall, 1.5x cpu)\n",
        goal.wall, goal.cpu);
    const Ratios textCost = ratiosOf(text, minimal);
    const Ratios beyondText = ratiosOf(full, text);
    std::printf(
        "for reference: one text line/minimal wall %.2fx, cpu %.2fx; panel/one text line wall "
        "%.2fx, cpu %.2fx\n",
        textCost.wall, textCost.cpu, beyondText.wall, beyondText.cpu);
    reportLoad("after", busyAt);
    return 0;
}

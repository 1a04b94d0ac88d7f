// Soak: eight engines run for a long time while one of them is restarted every few seconds and
// all are polled every second, as the panel does. Every sampling interval it prints the panel
// side's resident memory, open descriptors, threads and zombie children, then a summary with the
// growth after warm-up.
//
//     soak_engines BUNDLE [--minutes N] [--engines N] [--restart-seconds S]
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_controller.h"
#include "engine/manual_dispatch.h"
#include "engine/window_hooks.h"
#include "model/panel_store.h"

using namespace vornisel;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    std::filesystem::path bundle;
    double minutes = 30;
    int engines = 8;
    double restartSeconds = 4;
};

struct Sample {
    double minute = 0;
    long rssKiB = 0;
    int descriptors = 0;
    int threads = 0;
    int zombies = 0;
    int running = 0;
};

long statusField(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name + ":", 0) == 0) return std::atol(line.c_str() + name.size() + 1);
    }
    return -1;
}

int countEntries(const char* dir) {
    int count = 0;
    DIR* listing = ::opendir(dir);
    if (!listing) return -1;
    while (const dirent* entry = ::readdir(listing)) {
        if (entry->d_name[0] != '.') ++count;
    }
    ::closedir(listing);
    return count - (std::string(dir) == "/proc/self/fd" ? 1 : 0);  // the listing's own
}

// Children of this process in state Z.
int zombies() {
    const std::string self = std::to_string(::getpid());
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        std::getline(stat, text);
        const auto close = text.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        long parent = 0;
        if (std::sscanf(text.c_str() + close + 1, " %c %ld", &state, &parent) != 2) continue;
        if (state == 'Z' && std::to_string(parent) == self) ++count;
    }
    return count;
}

Options parse(int argc, char** argv) {
    Options options;
    if (argc < 2) {
        std::fprintf(
            stderr,
            "usage: soak_engines BUNDLE [--minutes N] [--engines N] [--restart-seconds S]\n");
        std::exit(2);
    }
    options.bundle = argv[1];
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const double value = std::atof(argv[i + 1]);
        if (flag == "--minutes")
            options.minutes = value;
        else if (flag == "--engines")
            options.engines = static_cast<int>(value);
        else if (flag == "--restart-seconds")
            options.restartSeconds = value;
    }
    return options;
}

void summarise(const std::vector<Sample>& samples, double warmUpMinutes) {
    std::vector<Sample> settled;
    std::copy_if(samples.begin(), samples.end(), std::back_inserter(settled),
                 [warmUpMinutes](const Sample& s) { return s.minute >= warmUpMinutes; });
    if (settled.empty()) return;
    const auto [rssLow, rssHigh] = std::minmax_element(
        settled.begin(), settled.end(), [](auto& a, auto& b) { return a.rssKiB < b.rssKiB; });
    const auto [fdLow, fdHigh] =
        std::minmax_element(settled.begin(), settled.end(),
                            [](auto& a, auto& b) { return a.descriptors < b.descriptors; });
    int mostZombies = 0;
    for (const auto& s : samples)
        mostZombies = std::max(mostZombies, s.zombies);
    std::printf("summary after %.1f min warm-up (%zu samples):\n", warmUpMinutes, settled.size());
    std::printf(
        "  resident memory: first %ld KiB, last %ld KiB, low %ld KiB, high %ld KiB, "
        "growth last-first %+ld KiB\n",
        settled.front().rssKiB, settled.back().rssKiB, rssLow->rssKiB, rssHigh->rssKiB,
        settled.back().rssKiB - settled.front().rssKiB);
    std::printf("  open descriptors: low %d, high %d\n", fdLow->descriptors, fdHigh->descriptors);
    std::printf("  zombie children at any sample: at most %d\n", mostZombies);
}

}  // namespace

int main(int argc, char** argv) {
    // The panel is measured with pretend engines, which need no sound card or server.
    ::setenv("VORNISEL_HOST_SIMULATE", "1", 1);
    const Options options = parse(argc, argv);
    const auto dataDir =
        std::filesystem::temp_directory_path() / ("vornisel-soak-" + std::to_string(::getpid()));
    PanelStore store(dataDir);
    std::vector<Profile> clients;
    for (int i = 0; i < options.engines; ++i) {
        clients.push_back(
            Profile{.id = store.nextID() + static_cast<uint32_t>(i),
                    .driverOutputs = std::to_string(2 * i) + "," + std::to_string(2 * i + 1),
                    .outputMap = "0,1"});  // separate driver channels: no conflict notices
    }
    store.setClients(clients);
    NoWindow window;
    auto dispatch = std::make_shared<ManualDispatch>();
    auto controller = EngineController::create(store, dispatch, window, options.bundle);
    for (const auto& client : clients)
        controller->start(client.id);

    const auto begin = Clock::now();
    const auto end = begin + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(options.minutes * 60));
    const auto minutes = [begin] {
        return std::chrono::duration<double>(Clock::now() - begin).count() / 60;
    };
    auto nextRestart = begin;
    auto nextSample = begin;
    size_t restarts = 0;
    std::vector<Sample> samples;
    std::printf("minute  rss_kib  fds  threads  zombies  running\n");
    while (Clock::now() < end) {
        controller->poll();
        if (Clock::now() >= nextRestart) {
            const uint32_t id = clients[restarts++ % clients.size()].id;
            auto weak = std::weak_ptr<EngineController>(controller);
            controller->stop(id, [weak, id](bool) {
                if (auto self = weak.lock()) self->start(id);
            });
            nextRestart += std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(options.restartSeconds));
        }
        if (Clock::now() >= nextSample) {
            Sample s{minutes(),
                     statusField("VmRSS"),
                     countEntries("/proc/self/fd"),
                     static_cast<int>(statusField("Threads")),
                     zombies(),
                     0};
            for (const auto& client : clients)
                s.running += controller->runtime(client.id)->isRunning() ? 1 : 0;
            samples.push_back(s);
            std::printf("%6.2f  %7ld  %3d  %7d  %7d  %7d\n", s.minute, s.rssKiB, s.descriptors,
                        s.threads, s.zombies, s.running);
            std::fflush(stdout);
            nextSample += std::chrono::seconds(10);
        }
        dispatch->runMainUntil([] { return false; }, std::chrono::milliseconds(1000));
    }
    std::printf("restarts: %zu\n", restarts);
    summarise(samples, std::min(2.0, options.minutes / 4));

    bool stopped = false;
    controller->stopGroup([&stopped](bool) { stopped = true; });
    dispatch->runMainUntil([&stopped] { return stopped; }, std::chrono::seconds(120));
    std::filesystem::remove_all(dataDir);
    return stopped ? 0 : 1;
}

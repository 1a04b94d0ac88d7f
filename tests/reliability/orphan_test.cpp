// A panel killed outright cannot stop its engines; they must notice on their own ("--parent-pid")
// and leave within 2 seconds, taking their socket and statistics object with them.
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "reliability_support.h"

namespace vornisel::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Orphaned engines are handed to this process instead of to init, so that their end can be
// seen (and reaped) here even where init does not reap.
class Subreaper {
public:
    Subreaper() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
    ~Subreaper() { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
};

std::vector<pid_t> readPids(Piped& panel, size_t count) {
    std::string text;
    const auto deadline = Clock::now() + 30s;
    while (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) < count &&
           Clock::now() < deadline) {
        text += panel.read(256, 1000ms);
    }
    std::vector<pid_t> pids;
    std::istringstream lines(text);
    for (pid_t pid = 0; lines >> pid;)
        pids.push_back(pid);
    return pids;
}

TEST(OrphanTest, EnginesOfAKilledPanelAreGoneWithinTwoSeconds) {
    Subreaper subreaper;
    TempDir data;
    std::vector<uint32_t> ids;
    std::vector<std::string> arguments = {bundleDir().string(), data.path().string()};
    for (int i = 0; i < 3; ++i) {
        ids.push_back(freshDeviceId());
        arguments.push_back(std::to_string(ids.back()));
    }
    auto panel = startPiped(toolPath("fake_panel"), arguments);
    const auto pids = readPids(*panel, ids.size());
    ASSERT_EQ(pids.size(), ids.size());
    for (uint32_t id : ids)
        ASSERT_TRUE(hostReady(id, 20s));

    panel->process->signal(SIGKILL);
    const auto killed = Clock::now();
    std::set<pid_t> alive(pids.begin(), pids.end());
    const bool allGone = waitFor(
        [&] {
            for (auto it = alive.begin(); it != alive.end();) {
                it = ::waitpid(*it, nullptr, WNOHANG) == *it ? alive.erase(it) : std::next(it);
            }
            bool leftovers = false;
            for (uint32_t id : ids)
                leftovers = leftovers || socketFileExists(id) || statsObjectExists(id);
            return alive.empty() && !leftovers;
        },
        2000ms, 5ms);
    const double took = secondsSince(killed);
    EXPECT_TRUE(allGone) << alive.size() << " engines still running after " << took << " s";
    for (uint32_t id : ids) {
        EXPECT_FALSE(socketFileExists(id)) << id;
        EXPECT_FALSE(statsObjectExists(id)) << id;
    }
    RecordProperty("seconds_to_clean_up", std::to_string(took));
    for (pid_t pid : alive) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

}  // namespace
}  // namespace vornisel::test

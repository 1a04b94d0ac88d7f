// A panel killed outright cannot stop its engines; they must notice on their own ("--parent-pid")
// and leave within 2 seconds, taking their socket and statistics object with them.
#include <sys/prctl.h>
#include <sys/wait.h>

#include <csignal>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "reliability_support.h"

namespace vornisel::test {
namespace {

using namespace std::chrono_literals;

// How many of the devices have their socket and statistics object.
size_t serving(const std::vector<uint32_t>& ids) {
    return std::count_if(ids.begin(), ids.end(),
                         [](uint32_t id) { return socketFileExists(id) && statsObjectExists(id); });
}

TEST(OrphanTest, EnginesOfAKilledPanelAreGoneWithinTwoSeconds) {
    // Orphaned engines are handed to this process instead of to init, so that their end can be
    // seen (and reaped) here even where init does not reap.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    TempDir data;
    std::vector<uint32_t> ids;
    std::vector<std::string> arguments = {bundleDir().string(), data.path().string()};
    for (int i = 0; i < 3; ++i) {
        ids.push_back(freshDeviceId());
        arguments.push_back(std::to_string(ids.back()));
    }
    auto panel = startPiped(toolPath("fake_panel"), arguments);
    // The panel prints each engine's process id on a line.
    std::string text;
    ASSERT_TRUE(waitFor(
        [&] {
            text += panel->read(256, 100ms);
            return std::count(text.begin(), text.end(), '\n') == 3;
        },
        30s));
    std::set<pid_t> alive;
    std::istringstream lines(text);
    for (pid_t pid = 0; lines >> pid;)
        alive.insert(pid);
    ASSERT_TRUE(waitFor([&] { return serving(ids) == ids.size(); }, 20s));

    panel->process->signal(SIGKILL);
    EXPECT_TRUE(waitFor(
        [&] {
            std::erase_if(alive, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == pid; });
            return alive.empty() && std::none_of(ids.begin(), ids.end(), [](uint32_t id) {
                       return socketFileExists(id) || statsObjectExists(id);
                   });
        },
        2000ms, 5ms))
        << alive.size() << " engines still running";
    for (pid_t pid : alive) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

}  // namespace
}  // namespace vornisel::test

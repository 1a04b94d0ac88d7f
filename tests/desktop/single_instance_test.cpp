#include "desktop/single_instance.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <future>
#include <optional>

#include "desktop/reopen_listener.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Claim = SingleInstance::Claim;
using Reopen = SingleInstance::Reopen;
using test::TempDir;

TEST(SingleInstanceTest, OneLockPerDataDirectoryThatNoEndedPanelKeeps) {
    TempDir temp;
    std::optional<SingleInstance> panel(std::in_place, temp / "data/new", temp.path());
    EXPECT_EQ(panel->claim(), Claim::mine);
    EXPECT_EQ(panel->holder(), ::getpid());
    // Another spelling of the same directory meets the same lock and the same socket.
    const SingleInstance second(temp / "data/./new", temp.path());
    EXPECT_EQ(second.claim(), Claim::taken);
    EXPECT_EQ(second.holder(), ::getpid());
    EXPECT_EQ(second.socketPath(), panel->socketPath());
    // Nobody listens there: the second launch gives up when its time is over.
    EXPECT_EQ(second.requestReopen(100ms), Reopen::unreachable);
    const SingleInstance other(temp / "other", temp.path());
    EXPECT_EQ(other.claim(), Claim::mine);
    EXPECT_NE(other.socketPath(), panel->socketPath());
    test::writeFile(temp / "file", "");
    EXPECT_EQ(SingleInstance(temp / "file/data", temp.path()).claim(), Claim::unavailable);
    // The lock file stays behind, but not the lock: it ends with its holder, however that ends.
    panel.reset();
    EXPECT_EQ(SingleInstance(temp / "data/new", temp.path()).claim(), Claim::mine);
    // A socket address has room for 107 bytes; a longer runtime folder gives way to /tmp.
    EXPECT_EQ(SingleInstance::socketPathFor(temp.path(), std::string(120, 'r')).parent_path(),
              fs::path("/tmp"));
}

// A second launch hands its launcher's token to the running panel, which acts and answers; a
// value that could not travel whole is left out rather than cut.
TEST(SingleInstanceTest, ASecondLaunchPassesItsTokenToTheRunningPanel) {
    TempDir temp;
    const SingleInstance panel(temp / "data", temp.path());
    const SingleInstance second(temp / "data", temp.path());
    std::optional<LaunchToken> received;
    ReopenListener listener([&](const LaunchToken& token) { received = token; });
    ASSERT_EQ(listener.listen(panel.socketPath()), "");
    const std::vector<std::pair<LaunchToken, LaunchToken>> cases = {
        {{"host-42_TIME1234", ""}, {"host-42_TIME1234", ""}},
        {{"", "wl:token=x"}, {"", "wl:token=x"}},
        {{"id with space", std::string(256, 't')}, {"", ""}},
    };
    for (const auto& [sent, expected] : cases) {
        received.reset();
        auto reply = std::async(std::launch::async, [&] { return second.requestReopen(5s, sent); });
        while (reply.wait_for(5ms) != std::future_status::ready)
            QCoreApplication::processEvents();
        EXPECT_EQ(reply.get(), Reopen::answered) << sent.startupId;
        EXPECT_EQ(received, expected) << sent.startupId;
    }
}

}  // namespace
}  // namespace vornisel

#include "desktop/single_instance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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

TEST(SingleInstanceTest, OneLockPerDataDirectoryThatASecondLaunchReaches) {
    TempDir temp;
    std::optional<SingleInstance> panel(std::in_place, temp / "data/new", temp.path());
    EXPECT_EQ(panel->claim(), Claim::mine);
    EXPECT_EQ(panel->holder(), ::getpid());
    // Another spelling of the same directory, or a link to it, meets the same lock and socket.
    const SingleInstance second(temp / "data/./new", temp.path());
    EXPECT_EQ(second.claim(), Claim::taken);
    EXPECT_EQ(second.holder(), ::getpid());
    EXPECT_EQ(second.socketPath(), panel->socketPath());
    fs::create_directory_symlink(temp / "data/new", temp / "alias");
    EXPECT_EQ(SingleInstance(temp / "alias", temp.path()).socketPath(), panel->socketPath());
    // Nobody listens there: the second launch gives up when its time is over.
    EXPECT_EQ(second.requestReopen(100ms), Reopen::unreachable);
    // Once the panel listens, the second launch reaches it: it reopens its window once, from its
    // event loop, and answers, so that the second launch ends knowing it was heard.
    int reopened = 0;
    ReopenListener listener([&](const LaunchToken&) { ++reopened; });
    ASSERT_EQ(listener.listen(panel->socketPath()), "");
    struct stat socket {};
    EXPECT_TRUE(::stat(panel->socketPath().c_str(), &socket) == 0 && (socket.st_mode & 077) == 0);
    auto reply = std::async(std::launch::async, [&] { return second.requestReopen(10s); });
    while (reply.wait_for(10ms) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(reply.get(), Reopen::answered);
    EXPECT_EQ(reopened, 1);
    const SingleInstance other(temp / "other", temp.path());
    EXPECT_EQ(other.claim(), Claim::mine);
    EXPECT_NE(other.socketPath(), panel->socketPath());
    test::writeFile(temp / "file", "");
    EXPECT_EQ(SingleInstance(temp / "file/data", temp.path()).claim(), Claim::unavailable);
    // The lock file stays behind, but not the lock: it ends with its holder, however that ends.
    panel.reset();
    EXPECT_EQ(SingleInstance(temp / "data/new", temp.path()).claim(), Claim::mine);
    // A socket address has room for 107 bytes; a longer runtime folder gives way to a folder of
    // ours in /tmp that nobody else may enter.
    const fs::path fallback =
        SingleInstance::socketPathFor(temp.path(), std::string(120, 'r')).parent_path();
    struct stat info {};
    EXPECT_TRUE(fallback.parent_path() == "/tmp" && ::lstat(fallback.c_str(), &info) == 0 &&
                S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0);
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

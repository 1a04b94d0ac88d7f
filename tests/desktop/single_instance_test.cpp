#include "desktop/single_instance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <optional>

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
    // A socket address has room for 107 bytes; a longer runtime folder gives way to a folder of
    // ours in /tmp that nobody else may enter.
    const fs::path fallback =
        SingleInstance::socketPathFor(temp.path(), std::string(120, 'r')).parent_path();
    struct stat info {};
    EXPECT_TRUE(fallback.parent_path() == "/tmp" && ::lstat(fallback.c_str(), &info) == 0 &&
                S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0);
}

}  // namespace
}  // namespace vornisel

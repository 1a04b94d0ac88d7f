#include "model/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "support/temp_dir.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;

size_t entries(const fs::path& directory) {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(directory), fs::directory_iterator()));
}

TEST(AtomicFileTest, ReplacesTheFileKeepingItsPermissionsOrLeavesItAsItWas) {
    TempDir temp;
    const fs::path path = temp / "panel.json";
    writeFileAtomically(path, "first");
    // mkstemp makes 0600; a new file must be readable like any file the user writes.
    EXPECT_NE(fs::status(path).permissions() & fs::perms::others_read, fs::perms::none);
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(path, mode);
    writeFileAtomically(path, "second");
    EXPECT_EQ(readFile(path), "second");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, mode);

    // A file-size limit makes write() fail with EFBIG, for root too.
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, previous.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_THROW(writeFileAtomically(path, std::string(100000, 'n')), fs::filesystem_error);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, handler);
    // A non-empty directory in the target's place: the rename fails, for root too.
    fs::create_directory(temp / "taken");
    writeFile(temp / "taken" / "inside", "old");
    EXPECT_THROW(writeFileAtomically(temp / "taken", "new"), fs::filesystem_error);
    EXPECT_EQ(readFile(path) + readFile(temp / "taken" / "inside"), "secondold");
    EXPECT_EQ(entries(temp.path()), 2u) << "no temporary is left behind";
}

TEST(AtomicFileTest, SweepRemovesOnlyThisUsersTemporariesThatNoLiveSaveHolds) {
    TempDir temp;
    for (const char* name : {".panel.json.killed", ".panel.json.inflit", ".panel.json.others",
                             ".panel.jsonxkilled", ".panel.json.x"})
        writeFile(temp / name, "x");
    // A save under way holds its temporary locked; another user's files are never ours to remove.
    const int writer = ::open((temp / ".panel.json.inflit").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    const bool otherOwner = ::chown((temp / ".panel.json.others").c_str(), 65534, 65534) == 0;
    if (!otherOwner) fs::remove(temp / ".panel.json.others");
    removeLeftoverTemporaries(temp / "panel.json");
    EXPECT_FALSE(fs::exists(temp / ".panel.json.killed"));
    EXPECT_TRUE(fs::exists(temp / ".panel.jsonxkilled") && fs::exists(temp / ".panel.json.x"));
    EXPECT_TRUE(fs::exists(temp / ".panel.json.inflit"));
    EXPECT_EQ(fs::exists(temp / ".panel.json.others"), otherOwner);
    ::close(writer);
    removeLeftoverTemporaries(temp / "panel.json");
    EXPECT_FALSE(fs::exists(temp / ".panel.json.inflit"));
}

}  // namespace
}  // namespace vornisel::test

#include "model/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "support/temp_dir.h"

namespace vornisel {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

size_t entries(const fs::path& directory) {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(directory), fs::directory_iterator()));
}

TEST(AtomicFileTest, ReplacesContentAndKeepsPermissions) {
    TempDir temp;
    const fs::path path = temp / "panel.json";
    writeFileAtomically(path, "first");
    EXPECT_EQ(readFile(path), "first");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::string big(3 * 1024 * 1024, 'x');
    writeFileAtomically(path, big);
    EXPECT_EQ(readFile(path), big);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    writeFileAtomically(path, "");
    EXPECT_EQ(readFile(path), "");
    EXPECT_EQ(entries(temp.path()), 1u);
}

TEST(AtomicFileTest, NewFileIsNotPrivate) {
    TempDir temp;
    writeFileAtomically(temp / "config.ini", "x");
    // mkstemp makes 0600; the result must be readable like any file the user writes.
    EXPECT_NE(fs::status(temp / "config.ini").permissions() & fs::perms::others_read,
              fs::perms::none);
}

TEST(AtomicFileTest, FailuresLeaveTheOldFileAndNoTemporaryBehind) {
    TempDir temp;
    // Target is a non-empty directory: the rename fails, even for root.
    fs::create_directory(temp / "taken");
    writeFile(temp / "taken" / "inside", "old");
    EXPECT_THROW(writeFileAtomically(temp / "taken", "new"), fs::filesystem_error);
    EXPECT_EQ(readFile(temp / "taken" / "inside"), "old");
    EXPECT_EQ(entries(temp.path()), 1u);

    // Missing folder: the temporary file cannot be created.
    EXPECT_THROW(writeFileAtomically(temp / "missing" / "file", "new"), fs::filesystem_error);
    EXPECT_FALSE(fs::exists(temp / "missing"));
}

TEST(AtomicFileTest, WriteFailureMidwayKeepsTheOldBytes) {
    TempDir temp;
    const fs::path path = temp / "panel.json";
    writeFile(path, "old content");
    // A file-size limit makes write() fail with EFBIG for root too; done in a child so the limit
    // does not reach the test process.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            writeFileAtomically(path, std::string(100000, 'n'));
        } catch (const fs::filesystem_error& error) {
            _exit(error.code() == std::errc::file_too_large ? 0 : 2);
        } catch (...) {
            _exit(3);
        }
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(path), "old content");
    EXPECT_EQ(entries(temp.path()), 1u);
}

TEST(AtomicFileTest, SweepRemovesOnlyThisUsersTemporariesThatNoLiveSaveHolds) {
    TempDir temp;
    const fs::path target = temp / "panel.json";
    for (const char* name : {".panel.json.killed", ".panel.json.inflit", ".panel.json.others"})
        writeFile(temp / name, "x");
    // A save under way holds its temporary locked; another user's files are never ours to remove.
    const int writer = ::open((temp / ".panel.json.inflit").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    const bool otherOwner = ::chown((temp / ".panel.json.others").c_str(), 65534, 65534) == 0;
    if (!otherOwner) fs::remove(temp / ".panel.json.others");
    removeLeftoverTemporaries(target);
    EXPECT_FALSE(fs::exists(temp / ".panel.json.killed"));
    EXPECT_TRUE(fs::exists(temp / ".panel.json.inflit"));
    EXPECT_EQ(fs::exists(temp / ".panel.json.others"), otherOwner);
    ::close(writer);
    removeLeftoverTemporaries(target);
    EXPECT_FALSE(fs::exists(temp / ".panel.json.inflit"));
}

}  // namespace
}  // namespace vornisel

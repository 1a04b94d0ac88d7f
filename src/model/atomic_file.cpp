#include "model/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace vornisel {
namespace {

[[noreturn]] void throwErrno(int error, const std::string& what,
                             const std::filesystem::path& path) {
    throw std::filesystem::filesystem_error(what, path,
                                            std::error_code(error, std::generic_category()));
}

// The process's file-creation mask, read without changing it (umask() itself would, racing with
// other threads that create files).
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    return 022;
}

// mkstemp creates the file private (0600); the result should have the permissions a plain write
// would give: the old file's, or the usual ones under the umask.
mode_t targetMode(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return info.st_mode & 07777;
    return 0666 & ~currentUmask();
}

void writeAll(int fd, std::string_view bytes, const std::filesystem::path& temporary) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            throwErrno(errno, "cannot write", temporary);
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
}

// ".panel.json.XXXXXX" beside "panel.json": the names temporaries of `target` get.
std::string temporaryPattern(const std::filesystem::path& target) {
    std::filesystem::path name(".");
    name += target.filename();
    name += ".XXXXXX";
    return (target.parent_path() / name).string();
}

// Takes the lock that marks a temporary as being written. The lock lasts as long as the file is
// open and dies with the process, so a temporary nobody holds locked is a killed save's leftover.
// File systems without locks leave the temporary unlocked; the sweep then cannot lock it either
// and leaves it alone.
void lockTemporary(int fd) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EINTR) {
    }
}

// The data is written to an unnamed file (O_TMPFILE), which gets a name only just before the
// rename: a process killed while it writes or flushes (the long part) leaves nothing behind.
// File systems without unnamed files get a named temporary from the start. Either way the
// temporary is locked from its creation until after the rename and removed on failure, and a
// leftover of a killed process is swept by removeLeftoverTemporaries.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& target) : target_(target) {
        if (::access("/proc/self/fd", X_OK) == 0) {
            fd_ = ::open(target.parent_path().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
            if (fd_ >= 0) {
                lockTemporary(fd_);
                return;
            }
        }
        std::string pattern = temporaryPattern(target);
        fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd_ < 0) throwErrno(errno, "cannot create a temporary file beside", target);
        path_ = pattern;
        lockTemporary(fd_);
    }
    // Closing last keeps the lock until the temporary has its final name or is gone. The data was
    // flushed before, so an error of close() can no longer change the outcome.
    ~TemporaryFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
        ::close(fd_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return fd_; }
    // For messages: the unnamed file has no path of its own yet.
    std::filesystem::path shownPath() const { return path_.empty() ? target_ : path_; }
    const std::filesystem::path& path() const { return path_; }

    // Links an unnamed file into the folder under a fresh temporary name.
    void giveName() {
        if (!path_.empty()) return;
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        std::random_device seed;
        std::mt19937 random(seed());
        const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::uniform_int_distribution<size_t> pick(0, sizeof letters - 2);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = temporaryPattern(target_);
            for (size_t i = name.size() - 6; i < name.size(); ++i)
                name[i] = letters[pick(random)];
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                path_ = name;
                return;
            }
            if (errno != EEXIST) break;
        }
        throwErrno(errno, "cannot name a temporary file beside", target_);
    }

    void release() { path_.clear(); }

private:
    std::filesystem::path target_;
    int fd_ = -1;
    std::filesystem::path path_;
};

// Removes the temporary at `path` if it is a killed save's leftover: a regular file of this user
// that no live writer holds locked. It is removed while the sweep itself holds the lock.
void removeIfLeftover(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        ::unlink(path.c_str());
    }
    ::close(fd);
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    const std::filesystem::path target = path.has_parent_path() ? path : "." / path;
    TemporaryFile temporary(target);
    writeAll(temporary.fd(), bytes, temporary.shownPath());
    if (::fchmod(temporary.fd(), targetMode(target)) != 0) {
        throwErrno(errno, "cannot set permissions of", temporary.shownPath());
    }
    // Without the flush a crash soon after the rename could leave an empty file in place of both
    // the old and the new content.
    if (::fsync(temporary.fd()) != 0) throwErrno(errno, "cannot flush", temporary.shownPath());
    temporary.giveName();
    if (::rename(temporary.path().c_str(), target.c_str()) != 0) {
        throwErrno(errno, "cannot replace", target);
    }
    temporary.release();
}

void removeLeftoverTemporaries(const std::filesystem::path& path) {
    const std::filesystem::path target = path.has_parent_path() ? path : "." / path;
    const std::string prefix = std::filesystem::path(temporaryPattern(target)).filename().string();
    const size_t stem = prefix.size() - 6;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(target.parent_path(), ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == prefix.size() && name.compare(0, stem, prefix, 0, stem) == 0) {
            removeIfLeftover(entry.path());
        }
    }
}

}  // namespace vornisel

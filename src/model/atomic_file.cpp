#include "model/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

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

// A fresh temporary is private (0600); the result should have the permissions a plain write
// would give: the old file's, or the usual ones under the umask.
mode_t targetMode(const Folder& folder, const std::string& name) {
    struct stat info {};
    if (::fstatat(folder.fd.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode))
        return info.st_mode & 07777;
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

// ".panel.json.XXXXXX" beside "panel.json": the names temporaries of `name` get.
std::string temporaryPattern(const std::string& name) {
    return "." + name + ".XXXXXX";
}

std::string randomTemporaryName(const std::string& name) {
    static thread_local std::mt19937 random(std::random_device{}());
    const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uniform_int_distribution<size_t> pick(0, sizeof letters - 2);
    std::string temporary = temporaryPattern(name);
    for (size_t i = temporary.size() - 6; i < temporary.size(); ++i)
        temporary[i] = letters[pick(random)];
    return temporary;
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
// leftover of a killed process is swept by removeLeftoverTemporaries. Everything is relative to
// the folder's descriptor, so a folder swapped for a link meanwhile cannot send the data elsewhere.
class TemporaryFile {
public:
    TemporaryFile(const Folder& folder, std::string name)
        : folder_(folder), name_(std::move(name)) {
        if (::access("/proc/self/fd", X_OK) == 0) {
            fd_ = ::openat(folder.fd.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
            if (fd_ >= 0) {
                lockTemporary(fd_);
                return;
            }
        }
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            const std::string candidate = randomTemporaryName(name_);
            fd_ = ::openat(folder.fd.get(), candidate.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd_ >= 0) temporary_ = candidate;
            if (fd_ < 0 && errno != EEXIST) break;
        }
        if (fd_ < 0) throwErrno(errno, "cannot create a temporary file beside", target());
        lockTemporary(fd_);
    }
    // Closing last keeps the lock until the temporary has its final name or is gone. The data was
    // flushed before, so an error of close() can no longer change the outcome.
    ~TemporaryFile() {
        if (!temporary_.empty()) ::unlinkat(folder_.fd.get(), temporary_.c_str(), 0);
        ::close(fd_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return fd_; }
    std::filesystem::path target() const { return folder_.path / name_; }
    // For messages: the unnamed file has no path of its own yet.
    std::filesystem::path shownPath() const {
        return temporary_.empty() ? target() : folder_.path / temporary_;
    }

    // Links an unnamed file into the folder under a fresh temporary name, then renames it over
    // the target.
    void replaceTarget() {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        for (int attempt = 0; attempt < 100 && temporary_.empty(); ++attempt) {
            const std::string candidate = randomTemporaryName(name_);
            if (::linkat(AT_FDCWD, self.c_str(), folder_.fd.get(), candidate.c_str(),
                         AT_SYMLINK_FOLLOW) == 0) {
                temporary_ = candidate;
            } else if (errno != EEXIST) {
                break;
            }
        }
        if (temporary_.empty()) throwErrno(errno, "cannot name a temporary file beside", target());
        if (::renameat(folder_.fd.get(), temporary_.c_str(), folder_.fd.get(), name_.c_str()) != 0)
            throwErrno(errno, "cannot replace", target());
        temporary_.clear();
    }

private:
    const Folder& folder_;
    std::string name_;
    int fd_ = -1;
    std::string temporary_;
};

// Removes the temporary `name` if it is a killed save's leftover: a regular file of this user
// that no live writer holds locked. It is removed while the sweep itself holds the lock.
void removeIfLeftover(const Folder& folder, const std::string& name) {
    try {
        const FileDescriptor fd = openFileIn(folder, name, O_RDONLY);
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) ::unlinkat(folder.fd.get(), name.c_str(), 0);
    } catch (const UnsafeFileError&) {
        // Not ours or not a file: left alone.
    }
}

Folder parentFolder(const std::filesystem::path& path) {
    return openRootFolder(path.has_parent_path() ? path.parent_path() : ".", false);
}

}  // namespace

void writeFileAtomically(const Folder& folder, const std::string& name, std::string_view bytes) {
    TemporaryFile temporary(folder, name);
    writeAll(temporary.fd(), bytes, temporary.shownPath());
    if (::fchmod(temporary.fd(), targetMode(folder, name)) != 0) {
        throwErrno(errno, "cannot set permissions of", temporary.shownPath());
    }
    // Without the flush a crash soon after the rename could leave an empty file in place of both
    // the old and the new content.
    if (::fsync(temporary.fd()) != 0) throwErrno(errno, "cannot flush", temporary.shownPath());
    temporary.replaceTarget();
    // The rename itself is only durable once the folder is: a power cut before that could bring
    // the previous document back.
    syncFolder(folder);
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    writeFileAtomically(parentFolder(path), path.filename().string(), bytes);
}

void removeLeftoverTemporaries(const Folder& folder, const std::string& name) {
    const std::string prefix = temporaryPattern(name);
    const size_t stem = prefix.size() - 6;
    const int fd = ::dup(folder.fd.get());
    DIR* listing = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!listing) {
        if (fd >= 0) ::close(fd);
        return;
    }
    std::vector<std::string> leftovers;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view entryName = entry->d_name;
        if (entryName.size() == prefix.size() &&
            entryName.compare(0, stem, prefix.substr(0, stem)) == 0)
            leftovers.emplace_back(entryName);
    }
    ::closedir(listing);
    for (const std::string& leftover : leftovers)
        removeIfLeftover(folder, leftover);
}

void removeLeftoverTemporaries(const std::filesystem::path& path) {
    try {
        removeLeftoverTemporaries(parentFolder(path), path.filename().string());
    } catch (const UnsafeFileError&) {
        // No folder to sweep.
    }
}

}  // namespace vornisel

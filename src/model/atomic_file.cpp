#include "model/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
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

// Removes the temporary file unless the rename has consumed it.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& target) {
        std::filesystem::path name(".");
        name += target.filename();
        name += ".XXXXXX";
        std::string pattern = (target.parent_path() / name).string();
        fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd_ < 0) throwErrno(errno, "cannot create a temporary file beside", target);
        path_ = pattern;
    }
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return fd_; }
    const std::filesystem::path& path() const { return path_; }

    void close() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) throwErrno(errno, "cannot close", path_);
    }
    void release() { path_.clear(); }

private:
    int fd_ = -1;
    std::filesystem::path path_;
};

}  // namespace

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    const std::filesystem::path target = path.has_parent_path() ? path : "." / path;
    TemporaryFile temporary(target);
    writeAll(temporary.fd(), bytes, temporary.path());
    if (::fchmod(temporary.fd(), targetMode(target)) != 0) {
        throwErrno(errno, "cannot set permissions of", temporary.path());
    }
    // Without the flush a crash soon after the rename could leave an empty file in place of both
    // the old and the new content.
    if (::fsync(temporary.fd()) != 0) throwErrno(errno, "cannot flush", temporary.path());
    temporary.close();
    if (::rename(temporary.path().c_str(), target.c_str()) != 0) {
        throwErrno(errno, "cannot replace", target);
    }
    temporary.release();
}

}  // namespace vornisel

#include "desktop/single_instance.h"
#include "base/text_hash.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/safe_file.h"
#include "base/text_hash.h"

namespace vornisel {

namespace {

using Clock = std::chrono::steady_clock;

std::filesystem::path canonicalDirectory(const std::filesystem::path& directory) {
    std::error_code error;
    auto canonical = std::filesystem::canonical(directory, error);
    if (!error) return canonical;
    return std::filesystem::absolute(directory, error).lexically_normal();
}

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// A connected socket to a listener of this user at `path`, or -1. The socket does not block: a
// stranger's listener with a full backlog refuses at once (EAGAIN) instead of holding the
// launch, and the caller tries again until its deadline.
int connectToListener(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof(address.sun_path)) return -1;
    std::memcpy(address.sun_path, path.c_str(), path.native().size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    ucred peer{};
    socklen_t size = sizeof(peer);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid()) {
        return fd;
    }
    ::close(fd);
    return -1;
}

// Reads until a line feed, the end of the stream or the deadline.
std::string readLine(int fd, Clock::time_point deadline) {
    std::string text;
    while (text.find('\n') == std::string::npos && text.size() < 64) {
        pollfd waiting{fd, POLLIN, 0};
        if (::poll(&waiting, 1, remainingMs(deadline)) <= 0) break;
        char buffer[64];
        const ssize_t got = ::read(fd, buffer, sizeof(buffer));
        if (got <= 0) break;
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

}  // namespace

SingleInstance::SingleInstance(const std::filesystem::path& dataDirectory,
                               const std::filesystem::path& runtimeDirectory) {
    Folder folder;
    try {
        folder = openRootFolder(dataDirectory, true);
    } catch (const UnsafeFileError&) {
        return;  // The store reports the directory's problem.
    }
    directory_ = canonicalDirectory(dataDirectory);
    socket_ = socketPathFor(directory_, runtimeDirectory);
    // Only a regular file of this user: truncating and writing through a link would destroy its
    // target, and a folder or FIFO in its place would silently turn the one-panel rule off.
    try {
        fd_ = openFileIn(folder, lockFileName, O_RDWR | O_CREAT).release();
    } catch (const UnsafeFileError& error) {
        if (error.error() != EROFS) {
            claim_ = Claim::refused;
            refusal_ = error.what();
        }
        return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        claim_ = errno == EWOULDBLOCK ? Claim::taken : Claim::unavailable;
        return;
    }
    claim_ = Claim::mine;
    // Written over the last holder's number, then cut to length: cutting to nothing first would
    // free the file's block, which a file system mounted with "discard" passes to the disk while
    // the launch waits (up to milliseconds here). A reader in between still reads up to the first
    // line's end.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::pwrite(fd_, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size())) {
        [[maybe_unused]] const int cut = ::ftruncate(fd_, static_cast<off_t>(pid.size()));
    }
}

SingleInstance::~SingleInstance() {
    if (fd_ >= 0) ::close(fd_);
}

std::optional<long> SingleInstance::holder() const {
    if (fd_ < 0) return std::nullopt;
    char buffer[32] = {};
    const ssize_t got = ::pread(fd_, buffer, sizeof(buffer) - 1, 0);
    char* end = nullptr;
    const long pid = got > 0 ? std::strtol(buffer, &end, 10) : 0;
    if (pid <= 0 || end == buffer || *end != '\n') return std::nullopt;
    return pid;
}

SingleInstance::Reopen SingleInstance::requestReopen(std::chrono::milliseconds timeout,
                                                     const LaunchToken& token) const {
    const auto deadline = Clock::now() + timeout;
    // The panel holding the lock may still be on its way to listening.
    int fd = connectToListener(socket_);
    while (fd < 0 && remainingMs(deadline) > 0) {
        ::poll(nullptr, 0, std::min(20, remainingMs(deadline)));
        fd = connectToListener(socket_);
    }
    if (fd < 0) return Reopen::unreachable;
    const std::string request = reopenRequestLine(token);
    const bool sent = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
                      static_cast<ssize_t>(request.size());
    const bool answered = sent && readLine(fd, deadline) == reopenAnswer;
    ::close(fd);
    if (!sent) return Reopen::unreachable;
    return answered ? Reopen::answered : Reopen::unanswered;
}

std::filesystem::path SingleInstance::runtimeDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return runtime;
    const char* temporary = std::getenv("TMPDIR");
    return privateFolderIn(temporary && temporary[0] == '/' ? temporary : "/tmp");
}

std::filesystem::path SingleInstance::privateFolderIn(const std::filesystem::path& shared) {
    // A name in a shared folder can be taken first by anyone; a folder of our own, closed to
    // others, cannot. One that is not ours is left as it is: listening there then fails, naming
    // it.
    const auto folder = shared / ("vornisel-" + std::to_string(::getuid()));
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return folder;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) == 0 && info.st_uid == ::getuid() &&
        (info.st_mode & 077) != 0)
        ::fchmod(fd, 0700);
    if (fd >= 0) ::close(fd);
    return folder;
}

std::filesystem::path SingleInstance::socketPathFor(const std::filesystem::path& dataDirectory,
                                                    const std::filesystem::path& runtimeDirectory) {
    const std::string name = "vornisel-control-" + std::to_string(::getuid()) + "-" +
                             hashText(canonicalDirectory(dataDirectory).string()) + ".sock";
    const auto path = runtimeDirectory / name;
    // sun_path holds 108 bytes with its terminating zero.
    return path.native().size() < sizeof(sockaddr_un::sun_path) ? path
                                                                : privateFolderIn("/tmp") / name;
}

}  // namespace vornisel

#include "base/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vornisel {
namespace {

namespace fs = std::filesystem;

UnsafeReason reasonFor(int error) {
    switch (error) {
        case ELOOP:
            return UnsafeReason::link;
        case EISDIR:
            return UnsafeReason::folder;
        case ENOTDIR:
            return UnsafeReason::notFolder;
        case ENXIO:
            return UnsafeReason::special;
        default:
            return UnsafeReason::system;
    }
}

std::string describe(UnsafeReason why, int error) {
    switch (why) {
        case UnsafeReason::link:
            return "is a symbolic link, which is not followed here";
        case UnsafeReason::folder:
            return "is a folder, not a file";
        case UnsafeReason::notFolder:
            return "is not a folder";
        case UnsafeReason::special:
            return "is a FIFO or a socket, not a regular file";
        default:
            return std::strerror(error);
    }
}

[[noreturn]] void fail(const fs::path& path, int error) {
    const UnsafeReason why = reasonFor(error);
    throw UnsafeFileError(path, why, describe(why, error), error);
}

// What stands at a name, said the way a user sees it.
std::string kindOf(const struct stat& info) {
    if (S_ISDIR(info.st_mode)) return "a folder";
    if (S_ISFIFO(info.st_mode)) return "a FIFO";
    if (S_ISSOCK(info.st_mode)) return "a socket";
    if (S_ISLNK(info.st_mode)) return "a symbolic link";
    return "a device or special file";
}

void check(int fd, const fs::path& path, bool folder, Owner owner) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) fail(path, errno);
    const bool right = folder ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode);
    if (!right) {
        const UnsafeReason why = S_ISDIR(info.st_mode) ? UnsafeReason::folder
                                 : folder              ? UnsafeReason::notFolder
                                                       : UnsafeReason::special;
        throw UnsafeFileError(
            path, why, "is " + kindOf(info) + ", not " + (folder ? "a folder" : "a regular file"));
    }
    if (owner == Owner::me && info.st_uid != ::geteuid()) {
        throw UnsafeFileError(path, UnsafeReason::otherUser,
                              "belongs to another user (uid " + std::to_string(info.st_uid) + ")");
    }
}

FileDescriptor openChecked(int parent, const fs::path& path, const char* name, int flags,
                           bool folder, Owner owner, mode_t mode) {
    int fd = -1;
    do {
        fd = ::openat(parent, name, flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) fail(path, errno);
    FileDescriptor result(fd);
    check(fd, path, folder, owner);
    return result;
}

Folder openFolderAt(int parent, const fs::path& path, const char* name, bool create) {
    if (create && ::mkdirat(parent, name, 0700) != 0 && errno != EEXIST) fail(path, errno);
    return {openChecked(parent, path, name, O_RDONLY | O_DIRECTORY, true, Owner::me, 0), path};
}

}  // namespace

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

UnsafeFileError::UnsafeFileError(const fs::path& path, UnsafeReason why, const std::string& reason,
                                 int error)
    : std::runtime_error(path.string() + ": " + reason), path_(path), why_(why), error_(error) {}

Folder openRootFolder(const fs::path& root, bool create, Owner owner) {
    if (create) {
        std::error_code ignored;
        fs::create_directories(root, ignored);
    }
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) fail(root, errno);
    Folder folder{FileDescriptor(fd), root};
    check(fd, root, true, owner);
    return folder;
}

Folder openSubfolder(const Folder& parent, std::string_view name, bool create) {
    const fs::path path = parent.path / name;
    if (!isPlainName(name))
        throw UnsafeFileError(path, UnsafeReason::notPlainName, "is not a plain name");
    return openFolderAt(parent.fd.get(), path, std::string(name).c_str(), create);
}

FileDescriptor openFileIn(const Folder& folder, std::string_view name, int flags, Owner owner,
                          mode_t mode) {
    const fs::path path = folder.path / name;
    if (!isPlainName(name))
        throw UnsafeFileError(path, UnsafeReason::notPlainName, "is not a plain name");
    FileDescriptor fd = openChecked(folder.fd.get(), path, std::string(name).c_str(),
                                    flags & ~O_TRUNC, false, owner, mode);
    if ((flags & O_TRUNC) && ::ftruncate(fd.get(), 0) != 0) fail(path, errno);
    return fd;
}

FileDescriptor replaceWithOwnFile(const Folder& folder, std::string_view name, mode_t mode) {
    const fs::path path = folder.path / name;
    if (!isPlainName(name))
        throw UnsafeFileError(path, UnsafeReason::notPlainName, "is not a plain name");
    const std::string entry(name);
    struct stat info {};
    const bool exists = ::fstatat(folder.fd.get(), entry.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISDIR(info.st_mode)) fail(path, EISDIR);
    if (exists && !(S_ISREG(info.st_mode) && info.st_uid == ::geteuid()) &&
        ::unlinkat(folder.fd.get(), entry.c_str(), 0) != 0 && errno != ENOENT) {
        fail(path, errno);
    }
    // What another process puts there between the look and the open is refused by the checks.
    return openFileIn(folder, name, O_WRONLY | O_CREAT | O_TRUNC, Owner::me, mode);
}

std::string readFileIn(const Folder& folder, std::string_view name, size_t maxBytes, Owner owner) {
    const fs::path path = folder.path / name;
    const FileDescriptor fd = openFileIn(folder, name, O_RDONLY, owner);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) fail(path, errno);
    const auto tooLarge = [&] {
        throw UnsafeFileError(
            path, UnsafeReason::tooLarge,
            "is larger than " + std::to_string(maxBytes) + " bytes and is not read");
    };
    if (static_cast<uintmax_t>(info.st_size) > maxBytes) tooLarge();
    std::string bytes;
    char buffer[65536];
    while (true) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) fail(path, errno);
        if (count == 0) return bytes;
        bytes.append(buffer, static_cast<size_t>(count));
        if (bytes.size() > maxBytes) tooLarge();
    }
}

void syncFolder(const Folder& folder) {
    if (::fsync(folder.fd.get()) != 0 && errno != EINVAL) fail(folder.path, errno);
}

bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

}  // namespace vornisel

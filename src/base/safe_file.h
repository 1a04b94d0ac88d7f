#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace vornisel {

// One owned descriptor, closed when it goes.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

// Why a file was refused, for callers that say it in the user's language.
enum class UnsafeReason {
    link,
    folder,
    notFolder,
    special,
    otherUser,
    notPlainName,
    tooLarge,
    system
};

// A file that was not opened, and why. what() is "<path>: <reason>" in English, for logs.
class UnsafeFileError : public std::runtime_error {
public:
    UnsafeFileError(const std::filesystem::path& path, UnsafeReason why, const std::string& reason,
                    int error = 0);
    const std::filesystem::path& path() const { return path_; }
    UnsafeReason why() const { return why_; }
    // The errno behind it (with UnsafeReason::system), or 0 when refused for what it is.
    int error() const { return error_; }

private:
    std::filesystem::path path_;
    UnsafeReason why_;
    int error_;
};

// A folder opened for walking: its descriptor and the path that names it in messages.
struct Folder {
    FileDescriptor fd;
    std::filesystem::path path;
};

// Whose files are acceptable: the data directory holds only this user's; the application bundle
// is installed by root.
enum class Owner { me, anyone };

// The data directory (or another root the user named), following links in `root` itself: the
// user chose that path (or it is the bundle's). It must be a folder (of this user unless `owner` is
// anyone); it is created when missing and `create` is set. Throws UnsafeFileError.
Folder openRootFolder(const std::filesystem::path& root, bool create, Owner owner = Owner::me);

// The folder `name` inside `parent`, never through a link, created (0700) when missing and
// `create` is set. It must be a folder of this user. Throws UnsafeFileError.
Folder openSubfolder(const Folder& parent, std::string_view name, bool create);

// The file `name` inside `folder`, never through a link and never waiting on a FIFO, checked to
// be a regular file (of this user unless `owner` is anyone). `flags` are the access mode with
// O_CREAT, O_EXCL, O_TRUNC or O_APPEND; O_TRUNC is applied only once the file has passed the
// checks. Throws UnsafeFileError.
FileDescriptor openFileIn(const Folder& folder, std::string_view name, int flags,
                          Owner owner = Owner::me, mode_t mode = 0600);

// A fresh, empty regular file of this user at `name` for writing: whatever else stands there (a
// link, a FIFO, a socket, another user's file) is removed first. A folder is not. Throws
// UnsafeFileError.
FileDescriptor replaceWithOwnFile(const Folder& folder, std::string_view name, mode_t mode);

// The whole file `name`, refused unread when it is larger than `maxBytes`, and refused as well
// when it grows past that while it is read. Throws UnsafeFileError.
std::string readFileIn(const Folder& folder, std::string_view name, size_t maxBytes,
                       Owner owner = Owner::me);

// Flushes a folder's entries (a rename, a new file) to the disk. Throws UnsafeFileError.
void syncFolder(const Folder& folder);

// A plain name for a file or folder: not empty, "." or "..", without "/" or NUL.
bool isPlainName(std::string_view name);

}  // namespace vornisel

#include "hardware/path_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace vornisel {

namespace {

// Entries coming, going or renamed, and the watched folder itself going.
constexpr uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                  IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// A watched file's folder also reports writes, once the writer closes the file (an editor's
// save, a tool's rewrite), never on each write of a program appending to a file beside it.
constexpr uint32_t kFileEvents = kEntryEvents | IN_CLOSE_WRITE;

}  // namespace

PathWatch::PathWatch(std::vector<std::filesystem::path> files,
                     std::vector<std::filesystem::path> folders)
    : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      files_(std::move(files)),
      folders_(std::move(folders)) {
    rewatch();
}

PathWatch::~PathWatch() {
    if (fd_ >= 0) close(fd_);
}

void PathWatch::watch(const std::filesystem::path& folder, const std::string& name,
                      uint32_t events) {
    // Several paths may share a folder: their events add up.
    const int wd = inotify_add_watch(fd_, folder.c_str(), events | IN_MASK_ADD);
    if (wd >= 0) names_[wd].insert(name);
}

void PathWatch::watchTowards(const std::filesystem::path& path, bool file) {
    std::error_code error;
    std::filesystem::path folder = path.parent_path();
    std::string name = path.filename();
    bool parent = true;
    while (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
        if (folder == folder.parent_path()) return;
        name = folder.filename();
        folder = folder.parent_path();
        parent = false;
    }
    if (!folder.empty()) watch(folder, name, file && parent ? kFileEvents : kEntryEvents);
}

void PathWatch::rewatch() {
    if (fd_ < 0) return;
    for (const auto& [wd, names] : names_)
        inotify_rm_watch(fd_, wd);
    names_.clear();
    for (const auto& file : files_)
        watchTowards(file, true);
    std::error_code error;
    for (const auto& folder : folders_) {
        watchTowards(folder, false);
        if (std::filesystem::is_directory(folder, error)) watch(folder, "", kEntryEvents);
    }
}

bool PathWatch::readEvents() {
    if (fd_ < 0) return false;
    bool relevant = false;
    alignas(inotify_event) std::array<char, 4096> buffer;
    while (true) {
        const ssize_t n = read(fd_, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                relevant = true;
                continue;
            }
            const auto found = names_.find(event->wd);
            if (found == names_.end()) continue;  // a watch already replaced
            const std::string name = event->len > 0 ? event->name : "";
            relevant = relevant || (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) ||
                       found->second.count("") > 0 || found->second.count(name) > 0;
        }
    }
    // A folder on the way may have come or gone: the watches follow it.
    if (relevant) rewatch();
    return relevant;
}

}  // namespace vornisel

#include "hardware/path_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace vornisel {

namespace {

// Writes are seen when the file is closed (an editor's save, a tool's rewrite), never on each
// write of a program that appends to a file beside ours.
constexpr uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                   IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

}  // namespace

PathWatch::PathWatch(std::vector<std::filesystem::path> paths)
    : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), paths_(std::move(paths)) {
    rewatch();
}

PathWatch::~PathWatch() {
    if (fd_ >= 0) close(fd_);
}

void PathWatch::watch(const std::filesystem::path& folder, const std::string& name) {
    const int wd = inotify_add_watch(fd_, folder.c_str(), kFolderEvents);
    if (wd >= 0) names_[wd].insert(name);
}

void PathWatch::rewatch() {
    if (fd_ < 0) return;
    for (const auto& [wd, names] : names_)
        inotify_rm_watch(fd_, wd);
    names_.clear();
    std::error_code error;
    for (const auto& path : paths_) {
        // The nearest existing folder on the way, watched for the next step towards the path.
        std::filesystem::path folder = path.parent_path();
        std::string name = path.filename();
        while (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
            name = folder.filename();
            if (folder == folder.parent_path()) break;
            folder = folder.parent_path();
        }
        if (!folder.empty()) watch(folder, name);
        if (std::filesystem::is_directory(path, error)) watch(path, "");
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

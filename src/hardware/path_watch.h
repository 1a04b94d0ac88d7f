#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace vornisel {

// Notices, through inotify, when one of a set of files is created, written, replaced, renamed or
// deleted, or when one of a set of folders comes or goes or has an entry created, deleted or
// renamed inside it (writes to the entries do not count: a device node that a program opens and
// closes is no change). A path whose folder does not exist yet is watched from the nearest
// folder on the way that does, and the watches follow the folders as they come and go.
class PathWatch {
public:
    PathWatch(std::vector<std::filesystem::path> files, std::vector<std::filesystem::path> folders);
    ~PathWatch();
    PathWatch(const PathWatch&) = delete;
    PathWatch& operator=(const PathWatch&) = delete;

    // Readable when events are pending; -1 when inotify is not available (nothing is noticed).
    int fd() const { return fd_; }

    // Reads the pending events without blocking; true when one concerns a watched path.
    bool readEvents();

private:
    void rewatch();
    // Watches the nearest existing folder on the way to `path` for the next step towards it.
    void watchTowards(const std::filesystem::path& path, bool file);
    void watch(const std::filesystem::path& folder, const std::string& name, uint32_t events);

    int fd_ = -1;
    std::vector<std::filesystem::path> files_;
    std::vector<std::filesystem::path> folders_;
    // Per watch descriptor, the entry names that matter; "" stands for every entry.
    std::map<int, std::set<std::string>> names_;
};

}  // namespace vornisel

#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace vornisel {

// Notices, through inotify, when one of a set of paths is created, written, replaced, renamed or
// deleted, also while the folder that would hold it does not exist yet: it then watches the
// nearest folder on the way that does, and follows the folders as they come and go. A path that
// is a folder also reports entries created or deleted inside it.
class PathWatch {
public:
    explicit PathWatch(std::vector<std::filesystem::path> paths);
    ~PathWatch();
    PathWatch(const PathWatch&) = delete;
    PathWatch& operator=(const PathWatch&) = delete;

    // Readable when events are pending; -1 when inotify is not available (nothing is noticed).
    int fd() const { return fd_; }

    // Reads the pending events without blocking; true when one concerns a watched path.
    bool readEvents();

private:
    void rewatch();
    void watch(const std::filesystem::path& folder, const std::string& name);

    int fd_ = -1;
    std::vector<std::filesystem::path> paths_;
    // Per watch descriptor, the entry names that matter; "" stands for every entry.
    std::map<int, std::set<std::string>> names_;
};

}  // namespace vornisel

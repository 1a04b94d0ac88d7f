#pragma once

#include <chrono>
#include <filesystem>
#include <optional>

#include "desktop/launch_token.h"

namespace vornisel {

// One panel per data directory. The running panel holds an exclusive flock on "panel.lock" in its
// data directory, which the kernel drops when the process ends however it ends, so a crashed
// panel's lock never blocks. It also listens on a local socket whose name derives from the
// directory (ReopenListener); a second launch on the same directory finds the lock held and asks
// the running panel through that socket to bring its window back.
//
// Plain POSIX, no Qt: a second launch decides before any display is opened.
class SingleInstance {
public:
    static constexpr const char* lockFileName = "panel.lock";
    // What the running panel answers once it has acted on a request (reopenRequestLine).
    static constexpr const char* reopenAnswer = "ok\n";

    enum class Claim {
        mine,         // this process holds the lock
        taken,        // another process holds it
        unavailable,  // no lock could be made (the store will report the directory's problem)
    };

    // Creates the directory if it is missing and tries to take its lock without waiting.
    // `runtimeDirectory` holds the socket (see runtimeDirectory()).
    SingleInstance(const std::filesystem::path& dataDirectory,
                   const std::filesystem::path& runtimeDirectory);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    Claim claim() const { return claim_; }
    // The process that holds the lock, as it wrote itself into the lock file, when known.
    std::optional<long> holder() const;
    // The socket the panel holding the lock listens on.
    const std::filesystem::path& socketPath() const { return socket_; }

    enum class Reopen {
        answered,     // the running panel acted on the request
        unanswered,   // delivered, but not answered within the time (it acts once it can)
        unreachable,  // nothing of this user listened on the socket within the time
    };
    // Asks the panel holding the lock to reopen its window, waiting at most `timeout` in all;
    // `token` is this launch's, for the panel to complete the launch with.
    Reopen requestReopen(std::chrono::milliseconds timeout, const LaunchToken& token = {}) const;

    // $XDG_RUNTIME_DIR when it is an absolute path, else the temporary folder.
    static std::filesystem::path runtimeDirectory();
    // "vornisel-control-<uid>-<hash of the directory's canonical path>.sock" in `runtimeDirectory`,
    // or in /tmp when that path would be too long for a socket address.
    static std::filesystem::path socketPathFor(const std::filesystem::path& dataDirectory,
                                               const std::filesystem::path& runtimeDirectory);

private:
    std::filesystem::path directory_;
    std::filesystem::path socket_;
    int fd_ = -1;
    Claim claim_ = Claim::unavailable;
};

}  // namespace vornisel

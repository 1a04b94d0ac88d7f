#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vornisel {

// A child process started with posix_spawn. Only the descriptors the caller hands over (standard
// output and error) reach the child; everything else is closed in the child before exec, so an
// engine host never holds a socket or log file of another engine open.
//
// A waiter thread per launched process reaps it with waitpid, wakes every `waitForExit` and then
// runs the termination handler on that thread. The waiter keeps the process object alive until
// the handler has returned.
class Process : public std::enable_shared_from_this<Process> {
public:
    using TerminationHandler = std::function<void(Process&)>;

    static std::shared_ptr<Process> create(std::filesystem::path executable,
                                           std::vector<std::string> arguments);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    const std::filesystem::path& executable() const { return executable_; }
    const std::vector<std::string>& arguments() const { return arguments_; }

    // The descriptor becomes the child's standard output / error; the caller keeps ownership.
    // Unset (-1) leaves the panel's own in place. Standard input is never redirected.
    void setStandardOutput(int fd) { stdoutFd_ = fd; }
    // The largest file the process may write (RLIMIT_FSIZE, set right after it starts). Writes
    // past it fail with EFBIG; the process is not killed for them (SIGXFSZ stays ignored).
    void setFileSizeLimit(off_t bytes) { fileSizeLimit_ = bytes; }
    void setStandardError(int fd) { stderrFd_ = fd; }
    // The folder the child starts in; empty keeps the panel's own.
    void setWorkingDirectory(std::filesystem::path folder) {
        workingDirectory_ = std::move(folder);
    }
    // Runs on the waiter thread once the process has ended; set it before `launch`.
    void setTerminationHandler(TerminationHandler handler) { handler_ = std::move(handler); }

    // Starts the process once. On failure returns false and puts a readable reason in `error`.
    bool launch(std::string* error = nullptr);

    bool isRunning() const;
    // 0 before launch.
    pid_t processIdentifier() const;
    // The exit status, or the number of the signal that ended it; 0 while running.
    int terminationStatus() const;
    bool endedBySignal() const;

    // SIGTERM. Does nothing once the process is reaped, so a recycled pid is never hit.
    void terminate();
    // Any signal, with the same guarantee.
    void signal(int number);
    // How `terminate` and `signal` reach the child: ::kill unless replaced. A sender that drops
    // signals makes a child that outlives every stop, as a hung engine can. Runs locked.
    using SignalSender = std::function<void(pid_t, int)>;
    void setSignalSender(SignalSender sender);

    // Blocks until the process ended or the deadline passed; returns true when it ended.
    // Returns at once for a process that never launched.
    bool waitForExit(std::chrono::steady_clock::time_point deadline) const;

private:
    Process(std::filesystem::path executable, std::vector<std::string> arguments);
    static void wait(std::shared_ptr<Process> self);

    const std::filesystem::path executable_;
    std::filesystem::path workingDirectory_;
    const std::vector<std::string> arguments_;
    int stdoutFd_ = -1;
    off_t fileSizeLimit_ = -1;
    int stderrFd_ = -1;
    TerminationHandler handler_;
    SignalSender sender_;

    mutable std::mutex mutex_;
    mutable std::condition_variable ended_;
    pid_t pid_ = 0;
    bool launched_ = false;
    bool running_ = false;
    // Set before the final waitpid: from then on the pid may be recycled and is never signalled.
    bool reaping_ = false;
    int status_ = 0;
    bool signalled_ = false;
};

}  // namespace vornisel

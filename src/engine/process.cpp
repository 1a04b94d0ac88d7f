#include "engine/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

extern char** environ;

namespace vornisel {

namespace {

// posix_spawn's file actions and attributes, released on every path.
class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

int prepare(SpawnSetup& setup, int stdoutFd, int stderrFd,
            const std::filesystem::path& workingDirectory) {
    int error = 0;
    if (!workingDirectory.empty())
        error = posix_spawn_file_actions_addchdir_np(&setup.actions, workingDirectory.c_str());
    if (!error && stdoutFd >= 0)
        error = posix_spawn_file_actions_adddup2(&setup.actions, stdoutFd, 1);
    if (!error && stderrFd >= 0)
        error = posix_spawn_file_actions_adddup2(&setup.actions, stderrFd, 2);
    // Descriptors the panel opened without O_CLOEXEC (a library's, say) must not leak into an
    // engine host either: close everything above standard error in the child.
    if (!error) error = posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    // The panel may block or ignore signals (SIGPIPE for its sockets); a host starts clean.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    // Left as the panel has it (ignored, see ignoreFileSizeSignal): a host over its file size
    // limit gets write errors rather than being killed.
    sigdelset(&all, SIGXFSZ);
    if (!error) error = posix_spawnattr_setsigmask(&setup.attributes, &none);
    if (!error) error = posix_spawnattr_setsigdefault(&setup.attributes, &all);
    if (!error)
        error = posix_spawnattr_setflags(&setup.attributes,
                                         POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    return error;
}

// A child inherits an ignored signal through exec, and only an ignored one. The panel itself is
// then told EFBIG, too, where it would have been killed.
void ignoreFileSizeSignal() {
    static const bool ignored = [] {
        struct sigaction action {};
        action.sa_handler = SIG_IGN;
        sigemptyset(&action.sa_mask);
        return ::sigaction(SIGXFSZ, &action, nullptr) == 0;
    }();
    (void)ignored;
}

void limitFileSize(pid_t pid, off_t bytes) {
    if (bytes < 0) return;
    const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    ::prlimit(pid, RLIMIT_FSIZE, &limit, nullptr);
}

}  // namespace

std::shared_ptr<Process> Process::create(std::filesystem::path executable,
                                         std::vector<std::string> arguments) {
    return std::shared_ptr<Process>(new Process(std::move(executable), std::move(arguments)));
}

Process::Process(std::filesystem::path executable, std::vector<std::string> arguments)
    : executable_(std::move(executable)), arguments_(std::move(arguments)) {}

Process::~Process() = default;

bool Process::launch(std::string* error) {
    auto fail = [&](int code) {
        if (error) *error = "Could not launch " + executable_.string() + ": " + std::strerror(code);
        return false;
    };
    {
        std::lock_guard lock(mutex_);
        if (launched_) return fail(EALREADY);
    }
    if (fileSizeLimit_ >= 0) ignoreFileSizeSignal();
    SpawnSetup setup;
    if (int code = prepare(setup, stdoutFd_, stderrFd_, workingDirectory_)) return fail(code);

    std::vector<std::string> words;
    words.push_back(executable_.string());
    words.insert(words.end(), arguments_.begin(), arguments_.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    const std::string path = executable_.string();
    // A bare name is looked up on the search path, as a shell would; a path is taken as it is.
    const auto spawn = path.find('/') == std::string::npos ? posix_spawnp : posix_spawn;
    if (int code =
            spawn(&pid, path.c_str(), &setup.actions, &setup.attributes, argv.data(), environ))
        return fail(code);
    // Set at once: the spawn returns only after the exec, before the host can have written much.
    limitFileSize(pid, fileSizeLimit_);
    {
        std::lock_guard lock(mutex_);
        pid_ = pid;
        launched_ = true;
        running_ = true;
    }
    try {
        std::thread(&Process::wait, shared_from_this()).detach();
    } catch (const std::system_error&) {
        // Without a waiter nobody would reap the child; do it here rather than leave a zombie.
        wait(shared_from_this());
    }
    return true;
}

void Process::wait(std::shared_ptr<Process> self) {
    // Look without reaping first, so that the pid stays ours while `signal` may still use it.
    siginfo_t info{};
    while (waitid(P_PID, self->pid_, &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    {
        std::lock_guard lock(self->mutex_);
        self->reaping_ = true;
    }
    int status = 0;
    pid_t reaped = -1;
    do {
        reaped = waitpid(self->pid_, &status, 0);
    } while (reaped < 0 && errno == EINTR);
    {
        std::lock_guard lock(self->mutex_);
        self->running_ = false;
        if (reaped < 0) {
            self->status_ = 255;
        } else if (WIFSIGNALED(status)) {
            self->status_ = WTERMSIG(status);
            self->signalled_ = true;
        } else {
            self->status_ = WEXITSTATUS(status);
        }
    }
    self->ended_.notify_all();
    if (self->handler_) {
        auto handler = std::move(self->handler_);
        handler(*self);
    }
}

bool Process::isRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

pid_t Process::processIdentifier() const {
    std::lock_guard lock(mutex_);
    return pid_;
}

int Process::terminationStatus() const {
    std::lock_guard lock(mutex_);
    return running_ ? 0 : status_;
}

bool Process::endedBySignal() const {
    std::lock_guard lock(mutex_);
    return !running_ && signalled_;
}

void Process::terminate() {
    signal(SIGTERM);
}

void Process::signal(int number) {
    std::lock_guard lock(mutex_);
    if (!launched_ || !running_ || reaping_) return;
    if (sender_)
        sender_(pid_, number);
    else
        ::kill(pid_, number);
}

void Process::setSignalSender(SignalSender sender) {
    std::lock_guard lock(mutex_);
    sender_ = std::move(sender);
}

bool Process::waitForExit(std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(mutex_);
    ended_.wait_until(lock, deadline, [this] { return !running_; });
    return !running_;
}

}  // namespace vornisel

#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <stdexcept>

extern char** environ;

namespace vornisel::test {

namespace {

std::vector<std::string> childEnvironment(
    const std::map<std::string, std::optional<std::string>>& changes) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (!changes.contains(text.substr(0, text.find('=')))) result.push_back(text);
    }
    for (const auto& [name, value] : changes) {
        if (value) result.push_back(name + "=" + *value);
    }
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts)
        result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

// Reads both pipes until both are closed (the child is gone), killing the child at the deadline
// or once `stopWhen` holds.
void drain(pid_t pid, std::array<int, 2> fds, std::array<std::string*, 2> sinks,
           std::chrono::steady_clock::time_point deadline, const std::function<bool()>& stopWhen) {
    std::array<bool, 2> open{true, true};
    bool killed = false;
    while (open[0] || open[1]) {
        const auto now = std::chrono::steady_clock::now();
        // A grandchild may hold the pipes after the child is gone; it gets a moment, no more.
        if (killed && now >= deadline + std::chrono::seconds(2)) break;
        if (!killed && now >= deadline) {
            kill(pid, SIGKILL);
            killed = true;
        }
        if (!killed && stopWhen && stopWhen()) {
            kill(pid, SIGKILL);
            killed = true;
            deadline = now;
        }
        std::array<pollfd, 2> polls{};
        for (int i = 0; i < 2; ++i)
            polls[i] = {open[i] ? fds[i] : -1, POLLIN, 0};
        if (poll(polls.data(), 2, 20) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (!open[i] || polls[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t got = read(fds[i], buffer, sizeof buffer);
            if (got <= 0) {
                open[i] = false;
            } else {
                sinks[i]->append(buffer, static_cast<size_t>(got));
            }
        }
    }
}

}  // namespace

ChildResult runChild(const std::filesystem::path& program,
                     const std::vector<std::string>& arguments,
                     const std::map<std::string, std::optional<std::string>>& environment,
                     const std::filesystem::path& workingDirectory,
                     std::chrono::milliseconds timeout, const std::function<bool()>& stopWhen) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    if (!workingDirectory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    }
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envp = childEnvironment(environment);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, pointers(argv).data(),
                                    pointers(envp).data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);

    ChildResult result;
    if (spawned == 0) {
        drain(pid, {out[0], err[0]}, {&result.out, &result.err},
              std::chrono::steady_clock::now() + timeout, stopWhen);
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    }
    close(out[0]);
    close(err[0]);
    return result;
}

}  // namespace vornisel::test

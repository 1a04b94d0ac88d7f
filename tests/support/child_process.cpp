#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "support/temp_dir.h"

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

}  // namespace

ChildResult runChild(const std::filesystem::path& program,
                     const std::vector<std::string>& arguments,
                     const std::map<std::string, std::optional<std::string>>& environment,
                     const std::filesystem::path& workingDirectory,
                     std::chrono::milliseconds timeout) {
    // The child writes into files, so a grandchild that keeps them open never stalls the test.
    const TempDir outputs;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC;
    posix_spawn_file_actions_addopen(&actions, 1, (outputs / "out").c_str(), flags, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (outputs / "err").c_str(), flags, 0600);
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

    ChildResult result;
    if (spawned != 0) return result;
    int status = 0;
    if (!waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeout)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    } else if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    }
    result.out = readFile(outputs / "out");
    result.err = readFile(outputs / "err");
    return result;
}

}  // namespace vornisel::test

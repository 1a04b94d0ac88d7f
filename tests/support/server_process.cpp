#include "support/server_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <vector>

extern char** environ;

namespace vornisel::test {

ServerProcess::ServerProcess(uint16_t port) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC;
    posix_spawn_file_actions_addopen(&actions, 1, (dir_ / "out").c_str(), flags, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (dir_ / "err").c_str(), flags, 0600);
    std::vector<std::string> args = {VORNISEL_SERVER_PATH, "--bind",    "127.0.0.1", "--port",
                                     std::to_string(port), "--no-dnssd"};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (pid_ < 0) return;
    const std::string marker = " port ";
    waitFor([&] { return readFile(dir_ / "out").find('\n') != std::string::npos; },
            std::chrono::seconds(20));
    const std::string line = readFile(dir_ / "out");
    const auto at = line.rfind(marker);
    if (at != std::string::npos)
        port_ = static_cast<uint16_t>(std::stoi(line.substr(at + marker.size())));
}

ServerProcess::~ServerProcess() {
    stop();
}

int ServerProcess::stop() {
    if (pid_ < 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    const bool ended =
        waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, std::chrono::seconds(20));
    if (!ended) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace vornisel::test

#include "server_process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace vornisel::test {

ServerProcess::ServerProcess(uint16_t port)
    : process_(Process::create(VORNISEL_SERVER_PATH, {"--bind", "127.0.0.1", "--port",
                                                      std::to_string(port), "--no-dnssd"})) {
    const int out = ::open((dir_ / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const int err = ::open((dir_ / "err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    process_->setStandardOutput(out);
    process_->setStandardError(err);
    process_->launch();
    ::close(out);
    ::close(err);
    // The server names its port in its first line.
    const std::string marker = " port ";
    waitFor([&] { return readFile(dir_ / "out").find('\n') != std::string::npos; },
            std::chrono::seconds(20));
    const std::string line = readFile(dir_ / "out");
    if (const auto at = line.rfind(marker); at != std::string::npos)
        port_ = static_cast<uint16_t>(std::stoi(line.substr(at + marker.size())));
}

int ServerProcess::stop() {
    process_->terminate();
    if (process_->waitForExit(std::chrono::steady_clock::now() + std::chrono::seconds(20)))
        return process_->endedBySignal() ? -1 : process_->terminationStatus();
    process_->signal(SIGKILL);
    process_->waitForExit(std::chrono::steady_clock::now() + std::chrono::seconds(20));
    return -1;
}

}  // namespace vornisel::test

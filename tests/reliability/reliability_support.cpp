#include "reliability_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "engine/host_contract.h"

namespace vornisel::test {

namespace fs = std::filesystem;

uint32_t freshDeviceId() {
    // Above any prefix a clock gives and apart from the engine tests' range; the process id keeps
    // parallel test processes apart, the counter the ids of one process.
    static uint32_t counter = 0;
    const auto pid = static_cast<uint32_t>(::getpid()) % 4000000u;
    return 4000000000u + pid * 64u + (counter++ % 64u);
}

fs::path toolPath(const std::string& name) {
    return fs::path(VORNISEL_TOOL_DIR) / name;
}

Piped::~Piped() {
    if (process && process->isRunning()) {
        process->signal(SIGKILL);
        process->waitForExit(std::chrono::steady_clock::now() + std::chrono::seconds(5));
    }
    if (output >= 0) ::close(output);
}

std::string Piped::read(size_t bytes, std::chrono::milliseconds timeout) {
    pollfd entry{output, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(timeout.count())) <= 0) return {};
    std::string text(bytes, '\0');
    const ssize_t n = ::read(output, text.data(), bytes);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

std::unique_ptr<Piped> startPiped(const fs::path& program,
                                  const std::vector<std::string>& arguments) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    auto piped = std::make_unique<Piped>();
    piped->output = ends[0];
    piped->process = Process::create(program, arguments);
    piped->process->setStandardOutput(ends[1]);
    std::string error;
    const bool launched = piped->process->launch(&error);
    ::close(ends[1]);
    if (!launched) throw std::runtime_error("cannot start " + program.string() + ": " + error);
    return piped;
}

bool socketFileExists(uint32_t id) {
    struct stat info {};
    return ::lstat(host::socketPath(id).c_str(), &info) == 0;
}

bool statsObjectExists(uint32_t id) {
    struct stat info {};
    return ::stat(("/dev/shm" + host::statsName(id)).c_str(), &info) == 0;
}

std::vector<std::string> strayFiles(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name != "panel.json" && name != "profiles.json") names.push_back(name);
    }
    return names;
}

}  // namespace vornisel::test

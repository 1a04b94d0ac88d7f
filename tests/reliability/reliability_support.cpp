#include "reliability_support.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
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

std::shared_ptr<Process> startHost(uint32_t id, const std::string& faults, const fs::path& dir) {
    const fs::path config = dir / ("host-" + std::to_string(id) + ".ini");
    writeFile(config,
              "[latency]\nclient_latency_blocks=2\n[vornisel]\ndriver_outputs=0,1\n"
              "driver_inputs=0\n[network]\nserver_ip=auto\n");
    ::setenv("VORNISEL_HOST_STARTING_MS", "0", 1);
    ::setenv("VORNISEL_HOST_WAITING_MS", "0", 1);
    if (faults.empty()) {
        ::unsetenv("VORNISEL_HOST_FAULT");
    } else {
        ::setenv("VORNISEL_HOST_FAULT", faults.c_str(), 1);
    }
    auto host = Process::create(engineHostPath(),
                                {"--config", config.string(), "--client-id", std::to_string(id),
                                 "--parent-pid", std::to_string(::getpid())});
    std::string error;
    const bool launched = host->launch(&error);
    ::unsetenv("VORNISEL_HOST_FAULT");
    if (!launched) throw std::runtime_error("cannot start the engine host: " + error);
    return host;
}

bool socketFileExists(uint32_t id) {
    struct stat info {};
    return ::lstat(host::socketPath(id).c_str(), &info) == 0;
}

bool statsObjectExists(uint32_t id) {
    struct stat info {};
    return ::stat(("/dev/shm" + host::statsName(id)).c_str(), &info) == 0;
}

bool hostReady(uint32_t id, std::chrono::milliseconds timeout) {
    return waitFor([id] { return socketFileExists(id) && statsObjectExists(id); }, timeout);
}

pid_t spawnAsNobody(const std::function<int()>& job) {
    const pid_t child = ::fork();
    if (child != 0) return child;
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
        _exit(255);
    _exit(job());
}

int reap(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 255) return -1;
    return WEXITSTATUS(status);
}

int runAsNobody(const std::function<int()>& job) {
    const pid_t child = spawnAsNobody(job);
    return child < 0 ? -1 : reap(child);
}

FakeServer::FakeServer(uint32_t id, Serve serve) : id_(id), serve_(std::move(serve)) {
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = host::socketPath(id);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ::unlink(path.c_str());
    if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0) {
        throw std::runtime_error("cannot listen on " + path);
    }
    thread_ = std::thread([this] { run(); });
}

FakeServer::~FakeServer() {
    stopping_ = true;
    thread_.join();
    for (auto& connection : connections_)
        connection.join();
    ::close(listener_);
    ::unlink(host::socketPath(id_).c_str());
}

void FakeServer::run() {
    while (!stopping_) {
        pollfd entry{listener_, POLLIN, 0};
        if (::poll(&entry, 1, 50) <= 0) continue;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        connections_.emplace_back([this, connection] { serve_(connection); });
    }
}

bool sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void closeWithReset(int fd) {
    const linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
}

std::vector<std::string> strayFiles(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name != "panel.json" && name != "profiles.json") names.push_back(name);
    }
    return names;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace vornisel::test

#include "host_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/host_contract.h"
#include "support/temp_dir.h"

namespace vornisel::test {

uint32_t uniqueId() {
    static std::atomic<uint32_t> counter{0};
    return static_cast<uint32_t>(::getpid()) * 100 + (counter++ % 100);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (previous_)
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

HostRun::HostRun(uint32_t id, const std::string& faults) : id_(id) {
    dir_ = std::filesystem::temp_directory_path() / ("vornisel-host-" + std::to_string(id));
    std::filesystem::create_directories(dir_);
    const auto config = dir_ / "host.ini";
    writeFile(config,
              "[network]\nserver_ip=auto\nserver_port=28010\nclient_id=" + std::to_string(id) +
                  "\n[latency]\nclient_latency_blocks=2\nlatency_mode=Custom\n[vornisel]\n"
                  "driver_outputs=0,1\ndriver_inputs=0\n[coreaudio]\ndevice_uid=hw\n"
                  "output_map=0,1\ninput_map=0\n");
    log_ = dir_ / "host.log";
    const int log = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ScopedEnv fault("VORNISEL_HOST_FAULT", faults);
    ScopedEnv starting("VORNISEL_HOST_STARTING_MS", "0");
    ScopedEnv waiting("VORNISEL_HOST_WAITING_MS", "0");
    process_ = Process::create(engineHostPath(),
                               {"--config", config.string(), "--client-id", std::to_string(id),
                                "--parent-pid", std::to_string(::getpid())});
    process_->setStandardOutput(log);
    process_->setStandardError(log);
    process_->launch();
    ::close(log);
}

HostRun::~HostRun() {
    process_->signal(SIGKILL);
    process_->waitForExit(std::chrono::steady_clock::now() + std::chrono::seconds(5));
    // A killed host cannot clean up after itself.
    ::unlink(host::socketPath(id_).c_str());
    ::shm_unlink(host::statsName(id_).c_str());
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

bool HostRun::ready() {
    return waitFor([&] { return socketExists(id_) && statsExist(id_); }) && process_->isRunning();
}

namespace {

int listenOn(uint32_t id) {
    const std::string path = host::socketPath(id);
    ::unlink(path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string serve(int listener, const std::string& reply) {
    const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return "";
    std::string request;
    char buffer[256];
    ssize_t n = 0;
    while ((n = ::recv(client, buffer, sizeof buffer, 0)) > 0)
        request.append(buffer, n);
    ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
    ::close(client);
    return request;
}

}  // namespace

FakeHost::FakeHost(uint32_t id, std::string reply, std::optional<uid_t> uid) : id_(id) {
    if (!uid) {
        fd_ = listenOn(id);
        thread_ = std::thread([this, reply] { request_ = serve(fd_, reply); });
        return;
    }
    // The socket must be made by the other user for the kernel to record them as its owner.
    ::unlink(host::socketPath(id).c_str());
    child_ = ::fork();
    if (child_ == 0) {
        if (::setresgid(*uid, *uid, *uid) != 0 || ::setresuid(*uid, *uid, *uid) != 0) _exit(1);
        const int listener = listenOn(id);
        if (listener < 0) _exit(2);
        serve(listener, reply);
        _exit(0);
    }
}

FakeHost::~FakeHost() {
    if (thread_.joinable()) {
        // Unblock an accept that never came.
        ::shutdown(fd_, SHUT_RDWR);
        thread_.join();
    }
    if (fd_ >= 0) ::close(fd_);
    if (child_ > 0) {
        ::kill(child_, SIGKILL);
        ::waitpid(child_, nullptr, 0);
    }
    ::unlink(host::socketPath(id_).c_str());
}

std::string FakeHost::request() {
    if (thread_.joinable()) thread_.join();
    return request_;
}

bool socketExists(uint32_t id) {
    return std::filesystem::exists(host::socketPath(id));
}

bool statsExist(uint32_t id) {
    return std::filesystem::exists("/dev/shm" + host::statsName(id));
}

size_t openDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

size_t childProcesses() {
    size_t count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "children");
        std::string pid;
        while (in >> pid)
            ++count;
    }
    return count;
}

}  // namespace vornisel::test

#include "command_server.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <thread>

#include "engine/host_contract.h"

namespace vornisel::enginehost {

namespace {

constexpr size_t kMaxHeld = 64;
constexpr size_t kMaxRequest = 256;

sockaddr_un addressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

bool someoneListens(const std::string& path) {
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    const sockaddr_un address = addressOf(path);
    const bool listening =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return listening;
}

bool clearStale(const std::string& path, std::string& error) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return true;
    if (info.st_uid != ::geteuid()) {
        error = path + " belongs to another user; not touching it";
        return false;
    }
    if (!S_ISSOCK(info.st_mode)) {
        error = path + " exists and is not a socket; not touching it";
        return false;
    }
    if (someoneListens(path)) {
        error = "another engine host already serves " + path;
        return false;
    }
    ::unlink(path.c_str());
    return true;
}

void setTimeouts(int fd) {
    timeval second{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &second, sizeof second);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &second, sizeof second);
}

std::string readCommand(int client) {
    std::string request;
    char buffer[128];
    while (request.size() < kMaxRequest && request.find('\n') == std::string::npos) {
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
    }
    return request.substr(0, request.find('\n'));
}

void sendAll(int client, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

// Streams a reply that never ends until the reader gives up; on its own thread so the host
// keeps serving.
void streamEndlessly(int client) {
    std::thread([client] {
        sendAll(client, "{\"ok\":true,\"padding\":\"");
        const std::string chunk(4096, 'x');
        while (::send(client, chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0) {
        }
        ::close(client);
    }).detach();
}

}  // namespace

std::unique_ptr<CommandServer> CommandServer::open(uint32_t id, const Faults& faults,
                                                   std::string& error) {
    const std::string path = host::socketPath(id);
    if (!clearStale(path, error)) return nullptr;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot create the command socket: ") + std::strerror(errno);
        return nullptr;
    }
    const sockaddr_un address = addressOf(path);
    // Only our own user may connect.
    const mode_t old = ::umask(077);
    const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(old);
    struct stat info {};
    if (bound != 0 || ::listen(fd, 16) != 0 || ::stat(path.c_str(), &info) != 0) {
        error = "cannot listen on " + path + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<CommandServer>(
        new CommandServer(id, fd, faults, info.st_dev, info.st_ino));
}

CommandServer::CommandServer(uint32_t id, int fd, const Faults& faults, dev_t device, ino_t inode)
    : id_(id), fd_(fd), faults_(faults), device_(device), inode_(inode) {}

CommandServer::~CommandServer() {
    remove();
}

void CommandServer::remove() {
    for (int held : held_)
        ::close(held);
    held_.clear();
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    const std::string path = host::socketPath(id_);
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_)
        ::unlink(path.c_str());
}

std::string CommandServer::serveOne(const std::string& stateReply) {
    const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return "";
    setTimeouts(client);
    const std::string command = readCommand(client);
    answer(client, command, stateReply);
    return command;
}

std::string CommandServer::stopReply() const {
    return nlohmann::ordered_json{
        {"ok", true}, {"clientId", id_}, {"abiVersion", host::kAbiVersion}}
        .dump();
}

void CommandServer::answer(int client, const std::string& command, const std::string& stateReply) {
    if (faults_.silent) {
        if (held_.size() >= kMaxHeld) {
            ::close(held_.front());
            held_.erase(held_.begin());
        }
        held_.push_back(client);
        return;
    }
    if (faults_.endlessReply) return streamEndlessly(client);
    if (faults_.reset) {
        // A zero linger turns close into a connection reset.
        linger abort{1, 0};
        ::setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    } else if (faults_.garbage) {
        sendAll(client, "this is not json {\n");
    } else if (faults_.emptyObject) {
        sendAll(client, "{}");
    } else if (faults_.notOk) {
        sendAll(client, "{\"ok\":false,\"clientId\":" + std::to_string(id_) + ",\"abiVersion\":5}");
    } else if (faults_.noReply) {
        // Close without a byte.
    } else if (command == host::kGetState) {
        if (faults_.wrongClientId || faults_.wrongAbi || faults_.hugeReply) {
            auto reply = nlohmann::ordered_json::parse(stateReply);
            if (faults_.wrongClientId) reply["clientId"] = id_ + 1;
            if (faults_.wrongAbi) reply["abiVersion"] = faults_.abi;
            if (faults_.hugeReply) reply["padding"] = std::string(300 * 1024, 'x');
            sendAll(client, reply.dump());
        } else {
            sendAll(client, stateReply);
        }
    } else if (command == host::kStop) {
        sendAll(client, stopReply());
    } else {
        sendAll(client, "{\"ok\":false,\"error\":\"unknown command\"}");
    }
    ::close(client);
}

}  // namespace vornisel::enginehost

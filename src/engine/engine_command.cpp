#include "engine/engine_command.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "engine/host_contract.h"
#include "engine/json_integer.h"

namespace vornisel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kReplyCap = 262144;
constexpr size_t kReadSize = 4096;
constexpr auto kTimeout = std::chrono::seconds(1);
// Each read may wait 1 s; a host that trickles a byte just before each time-out would otherwise
// hold a worker for days. No real reply takes more than a few milliseconds.
constexpr auto kReplyDeadline = std::chrono::seconds(2);
// Real replies are three levels deep.
constexpr int kMaxReplyDepth = 64;

class Socket {
public:
    Socket() : fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd >= 0) ::close(fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    const int fd;
};

void setTimeout(int fd, int option, Clock::duration duration) {
    const timeval tv = socketTimeout(duration);
    ::setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv);
}

bool connectTo(int fd, uint32_t id) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = host::socketPath(id);
    if (path.size() + 1 > sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int result = 0;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

// The socket path is predictable and /tmp is shared: only a host of our own user is believed.
bool peerIsOurs(int fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return false;
    return credentials.uid == ::geteuid();
}

bool sendAll(int fd, const std::string& request) {
    size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::string> receiveAll(int fd) {
    std::string reply;
    char buffer[kReadSize];
    const auto deadline = Clock::now() + kReplyDeadline;
    while (reply.size() < kReplyCap) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return std::nullopt;
        if (left < kTimeout) setTimeout(fd, SO_RCVTIMEO, left);
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        reply.append(buffer, static_cast<size_t>(n));
    }
    return reply;
}

bool validState(const nlohmann::ordered_json& reply, uint32_t id) {
    const auto clientId = reply.find("clientId");
    if (clientId == reply.end()) return false;
    const auto client = exactInteger(*clientId);
    if (!client || *client != static_cast<int64_t>(id)) return false;
    const auto abi = reply.find("abiVersion");
    if (abi == reply.end()) return false;
    const auto version = exactInteger(*abi);
    return version && *version == host::kAbiVersion;
}

std::optional<nlohmann::ordered_json> exchange(int fd, uint32_t id, const std::string& command) {
    if (fd < 0) return std::nullopt;
    setTimeout(fd, SO_RCVTIMEO, kTimeout);
    setTimeout(fd, SO_SNDTIMEO, kTimeout);
    if (!connectTo(fd, id) || !peerIsOurs(fd)) return std::nullopt;
    if (!sendAll(fd, command + "\n")) return std::nullopt;
    ::shutdown(fd, SHUT_WR);
    const auto bytes = receiveAll(fd);
    if (!bytes) return std::nullopt;
    return parseEngineReply(*bytes, id, command);
}

}  // namespace

timeval socketTimeout(Clock::duration left) {
    const auto micros =
        std::max<int64_t>(std::chrono::ceil<std::chrono::microseconds>(left).count(), 1);
    return timeval{static_cast<time_t>(micros / 1000000),
                   static_cast<suseconds_t>(micros % 1000000)};
}

std::optional<nlohmann::ordered_json> parseEngineReply(std::string_view bytes, uint32_t id,
                                                       std::string_view command) {
    // The parser keeps its own stack, but copying the state into a runtime and dumping it into a
    // support bundle recurse: a hostile reply of 256 KiB of brackets would overflow the stack.
    bool tooDeep = false;
    const auto depthGuard = [&tooDeep](int depth, nlohmann::ordered_json::parse_event_t,
                                       nlohmann::ordered_json&) {
        if (depth > kMaxReplyDepth) tooDeep = true;
        return !tooDeep;
    };
    auto reply = nlohmann::ordered_json::parse(bytes, depthGuard, false);
    if (tooDeep || reply.is_discarded() || !reply.is_object() || reply.empty()) return std::nullopt;
    const auto ok = reply.find("ok");
    if (ok == reply.end() || !ok->is_boolean() || !ok->get<bool>()) return std::nullopt;
    if (command == host::kGetState && !validState(reply, id)) return std::nullopt;
    return reply;
}

std::optional<nlohmann::ordered_json> engineCommand(uint32_t id, const std::string& command) {
    Socket socket;
    return exchange(socket.fd, id, command);
}

}  // namespace vornisel

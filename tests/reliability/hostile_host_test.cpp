// Engine hosts the panel must neither wait for nor believe: one that trickles its reply a byte at
// a time, each just inside the read time-out, and one of another user that answers rightly.
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include <gtest/gtest.h>

#include "engine/engine_command.h"
#include "engine/host_contract.h"
#include "reliability_support.h"

namespace vornisel::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Serves one request on the device's socket path from a child running as `uid`: it sends `reply`
// a byte every `pause` (all at once without one) and exits 0 if the request was "STOP\n". Only
// system calls after the fork: the child of a threaded process may not allocate.
pid_t startFakeHost(uint32_t id, const std::string& reply, uid_t uid,
                    std::chrono::milliseconds pause) {
    const std::string path = host::socketPath(id);
    ::unlink(path.c_str());
    const pid_t child = ::fork();
    if (child != 0) return child;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0 ||
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 4) != 0)
        _exit(1);
    const int client = ::accept(listener, nullptr, nullptr);
    char request[64] = {};
    for (size_t got = 0; got < sizeof request - 1;) {
        const ssize_t n = ::recv(client, request + got, sizeof request - 1 - got, 0);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    const size_t chunk = pause.count() > 0 ? 1 : reply.size();
    for (size_t sent = 0; sent < reply.size(); sent += chunk) {
        if (::send(client, reply.data() + sent, chunk, MSG_NOSIGNAL) <= 0) break;
        ::usleep(static_cast<useconds_t>(pause.count() * 1000));
    }
    _exit(std::strcmp(request, "STOP\n") == 0 ? 0 : 2);
}

// The child's exit status; killed first when `kill` is set.
int finish(pid_t child, bool kill) {
    if (kill) ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(HostileHostTest, TricklingHostIsGivenUpOnAtTheReplyDeadline) {
    const uint32_t id = freshDeviceId();
    const pid_t host = startFakeHost(id, std::string(100, ' '), ::geteuid(), 200ms);
    ASSERT_TRUE(waitFor([id] { return socketFileExists(id); }));
    const auto start = Clock::now();
    EXPECT_FALSE(engineCommand(id, "GET_STATE"));
    EXPECT_LT(Clock::now() - start, 2800ms);
    finish(host, true);
    ::unlink(host::socketPath(id).c_str());
}

// Our own host is sent the command and a line feed and believed; the same reply from a host of
// another user is not.
TEST(HostileHostTest, OnlyAHostOfOurOwnUserIsBelieved) {
    for (const uid_t uid : {::geteuid(), static_cast<uid_t>(65534)}) {
        const bool ours = uid == ::geteuid();
        if (!ours && ::geteuid() != 0) GTEST_SKIP() << "listening as another user needs root";
        const uint32_t id = freshDeviceId();
        const pid_t host = startFakeHost(id, R"({"ok":true})", uid, 0ms);
        ASSERT_TRUE(waitFor([id] { return socketFileExists(id); }));
        EXPECT_EQ(engineCommand(id, "STOP").has_value(), ours);
        if (ours) {
            EXPECT_EQ(finish(host, false), 0) << "the request was not \"STOP\\n\"";
        } else {
            finish(host, true);
        }
        ::unlink(host::socketPath(id).c_str());
    }
}

}  // namespace
}  // namespace vornisel::test

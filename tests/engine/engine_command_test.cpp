#include "engine/engine_command.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "controller_harness.h"
#include "engine/host_contract.h"

namespace vornisel {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Every way a host can fail to answer ends in no reply within the reply deadline; a silent host
// costs the one-second read time-out.
TEST(EngineCommandTest, FaultyHostsGiveNoReplyInTime) {
    // Fault, command, and the least and most time it may take.
    const std::tuple<const char*, const char*, double, double> cases[] = {
        {"silent", "GET_STATE", 0.9, 1.8},      {"garbage", "GET_STATE", 0, 2.5},
        {"empty-object", "GET_STATE", 0, 2.5},  {"not-ok", "STOP", 0, 2.5},
        {"no-reply", "GET_STATE", 0, 2.5},      {"wrong-client-id", "GET_STATE", 0, 2.5},
        {"abi=4", "GET_STATE", 0, 2.5},         {"huge-reply", "GET_STATE", 0, 2.5},
        {"endless-reply", "GET_STATE", 0, 2.5}, {"reset", "GET_STATE", 0, 2.5},
    };
    for (const auto& [fault, command, least, most] : cases) {
        SCOPED_TRACE(fault);
        test::ControllerHarness h(fault);
        const uint32_t id = h.startServing();
        const auto start = Clock::now();
        EXPECT_FALSE(engineCommand(id, command));
        const std::chrono::duration<double> took = Clock::now() - start;
        EXPECT_GE(took.count(), least);
        EXPECT_LT(took.count(), most);
    }
    test::ControllerHarness h;
    EXPECT_TRUE(engineCommand(h.startServing(), "STOP")) << "a sound host answers before it leaves";
}

// Serves one request at `path` from a child running as `uid`, sending a right reply to "STOP" a
// byte every `pause`. Only system calls after the fork: the child of a
// threaded process may not allocate.
pid_t startFakeHost(const std::string& path, uid_t uid, std::chrono::milliseconds pause) {
    const char reply[] = R"(                    {"ok":true})";
    const pid_t child = ::fork();
    if (child != 0) return child;
    const int listener = ::setresgid(uid, uid, uid) == 0 && ::setresuid(uid, uid, uid) == 0
                             ? test::listenAt(path.c_str())
                             : -1;
    const int client = ::accept(listener, nullptr, nullptr);
    char request[64];
    ::recv(client, request, sizeof request, 0);
    for (size_t sent = 0; sent < sizeof reply - 1; ++sent) {
        ::send(client, reply + sent, 1, MSG_NOSIGNAL);
        ::usleep(static_cast<useconds_t>(pause.count() * 1000));
    }
    _exit(0);
}

// Only a host of our own user that answers within the reply deadline is believed: not one that
// trickles its reply a byte at a time, each just inside the read time-out, nor one of another
// user.
TEST(EngineCommandTest, OnlyAPromptHostOfOurOwnUserIsBelieved) {
    const std::tuple<uid_t, std::chrono::milliseconds, bool> cases[] = {
        {::geteuid(), 0ms, true},
        {::geteuid(), 200ms, false},
        {65534, 0ms, false},
    };
    for (const auto& [uid, pause, believed] : cases) {
        // The row of another user comes last.
        if (uid != ::geteuid() && ::geteuid() != 0) GTEST_SKIP() << "only root can be another user";
        const uint32_t id = test::uniqueId();
        const std::string path = host::socketPath(id);
        const pid_t host = startFakeHost(path, uid, pause);
        ASSERT_TRUE(test::waitFor([&] { return test::socketExists(id); }));
        const auto start = Clock::now();
        EXPECT_EQ(engineCommand(id, "STOP").has_value(), believed) << uid << " " << pause.count();
        EXPECT_LT(Clock::now() - start, 2800ms);
        ::kill(host, SIGKILL);
        ::waitpid(host, nullptr, 0);
        ::unlink(path.c_str());
    }
}

TEST(EngineCommandTest, RepliesAreValidatedByMember) {
    const auto nested = [](size_t depth) {
        return R"({"ok":true,"x":)" + std::string(depth, '[') + std::string(depth, ']') + "}";
    };
    const std::pair<std::string, bool> stops[] = {
        {R"({"ok":true})", true},    {R"({"ok":1})", false},
        {R"([{"ok":true}])", false}, {"", false},
        {R"({"ok":false})", false},  {"{\"ok\":true,\"n\":\"\xC3\x28\"}", false},
        {nested(64), true},          {nested(65), false},
        {nested(100000), false},
    };
    for (const auto& [reply, accepted] : stops)
        EXPECT_EQ(parseEngineReply(reply, 7, "STOP").has_value(), accepted) << reply.substr(0, 80);
    const std::pair<std::string, bool> states[] = {
        {R"({"ok":true,"abiVersion":5})", false},
        {R"({"ok":true,"clientId":7})", false},
        {R"({"ok":true,"clientId":7,"abiVersion":5})", true},
        {R"({"ok":true,"clientId":7.0,"abiVersion":5.0})", true},
        {R"({"ok":true,"clientId":"7","abiVersion":5})", false},
        {R"({"ok":true,"clientId":7,"abiVersion":"5"})", false},
        {R"({"ok":true,"clientId":7.5,"abiVersion":5})", false},
        {R"({"ok":true,"clientId":true,"abiVersion":5})", false},
        {R"({"ok":true,"clientId":8,"abiVersion":5})", false},
        {R"({"ok":true,"clientId":7,"abiVersion":6})", false},
    };
    for (const auto& [reply, accepted] : states)
        EXPECT_EQ(parseEngineReply(reply, 7, "GET_STATE").has_value(), accepted) << reply;
}

// Whatever is left of the reply deadline, the socket never gets "no time-out" (zero), and the
// microseconds stay below a second.
TEST(EngineCommandTest, TimeLeftBecomesAFiniteSocketTimeout) {
    using std::chrono::nanoseconds;
    const std::pair<nanoseconds, int64_t> cases[] = {
        {nanoseconds(-5), 1}, {nanoseconds(1001), 2}, {nanoseconds(999'999'001), 1'000'000}};
    for (const auto& [left, micros] : cases) {
        const timeval tv = socketTimeout(left);
        EXPECT_LT(tv.tv_usec, 1'000'000);
        EXPECT_EQ(tv.tv_sec * 1'000'000 + tv.tv_usec, micros) << left.count() << " ns";
    }
}

}  // namespace
}  // namespace vornisel

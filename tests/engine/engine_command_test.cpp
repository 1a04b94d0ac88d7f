#include "engine/engine_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "host_harness.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

using Clock = std::chrono::steady_clock;
using test::FakeHost;
using test::HostRun;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(EngineCommandTest, NoHostListeningFailsAtOnce) {
    const auto start = Clock::now();
    EXPECT_FALSE(engineCommand(test::uniqueId(), "GET_STATE"));
    EXPECT_LT(secondsSince(start), 0.2);
}

TEST(EngineCommandTest, RealHostAnswersStateAndStops) {
    HostRun host(test::uniqueId());
    ASSERT_TRUE(host.ready());
    const auto state = engineCommand(host.id(), "GET_STATE");
    ASSERT_TRUE(state);
    EXPECT_EQ((*state)["clientId"], host.id());
    EXPECT_EQ((*state)["status"], 3);
    EXPECT_EQ((*state)["outputLevels"].size(), 2u);

    const auto stopped = engineCommand(host.id(), "STOP");
    ASSERT_TRUE(stopped);
    EXPECT_EQ((*stopped)["ok"], true);
    EXPECT_TRUE(host.process().waitForExit(Clock::now() + std::chrono::seconds(3)));
    EXPECT_EQ(host.process().terminationStatus(), 0);
    EXPECT_FALSE(test::socketExists(host.id()));
    EXPECT_FALSE(test::statsExist(host.id()));
}

TEST(EngineCommandTest, SilentHostCostsAboutOneSecond) {
    HostRun host(test::uniqueId(), "silent");
    ASSERT_TRUE(host.ready());
    const auto start = Clock::now();
    EXPECT_FALSE(engineCommand(host.id(), "GET_STATE"));
    const double elapsed = secondsSince(start);
    EXPECT_GT(elapsed, 0.9);
    EXPECT_LT(elapsed, 1.8);
}

// Every way a real host can answer wrongly collapses to no reply, without hanging or crashing.
TEST(EngineCommandTest, FaultyHostsGiveNoReply) {
    struct Case {
        const char* fault;
        const char* command;
    };
    const Case cases[] = {
        {"garbage", "GET_STATE"},  {"empty-object", "GET_STATE"},    {"not-ok", "STOP"},
        {"no-reply", "GET_STATE"}, {"wrong-client-id", "GET_STATE"}, {"abi=4", "GET_STATE"},
        {"abi=6", "GET_STATE"},    {"huge-reply", "GET_STATE"},      {"endless-reply", "GET_STATE"},
        {"reset", "GET_STATE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        HostRun host(test::uniqueId(), c.fault);
        ASSERT_TRUE(host.ready());
        const auto start = Clock::now();
        EXPECT_FALSE(engineCommand(host.id(), c.command));
        EXPECT_LT(secondsSince(start), 2.5);
    }
}

// Replies checked byte for byte against an impostor host.
TEST(EngineCommandTest, RepliesAreValidatedByMember) {
    struct Case {
        const char* command;
        std::string reply;
        bool accepted;
    };
    const uint32_t id = test::uniqueId();
    const std::string idText = std::to_string(id);
    const Case cases[] = {
        {"STOP", R"({"ok":true})", true},
        {"STOP", R"({"ok":1})", false},
        {"STOP", R"([{"ok":true}])", false},
        {"STOP", "", false},
        {"GET_STATE", R"({"ok":true,"abiVersion":5})", false},
        {"GET_STATE", R"({"ok":true,"clientId":)" + idText + "}", false},
        {"GET_STATE", R"({"ok":true,"clientId":)" + idText + R"(,"abiVersion":5})", true},
        {"GET_STATE", R"({"ok":true,"clientId":)" + idText + R"(.0,"abiVersion":5.0})", true},
        {"GET_STATE", R"({"ok":true,"clientId":")" + idText + R"(","abiVersion":5})", false},
        {"GET_STATE", R"({"ok":true,"clientId":)" + idText + R"(,"abiVersion":"5"})", false},
        {"GET_STATE", R"({"ok":true,"clientId":)" + idText + R"(.5,"abiVersion":5})", false},
        {"GET_STATE", R"({"ok":true,"clientId":-1,"abiVersion":5})", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        FakeHost fake(id, c.reply);
        EXPECT_EQ(engineCommand(id, c.command).has_value(), c.accepted);
    }
}

// Whatever is left of the reply deadline, the socket never gets "no time-out" (zero).
TEST(EngineCommandTest, TimeLeftBecomesAFiniteSocketTimeout) {
    using std::chrono::nanoseconds;
    const std::pair<nanoseconds, timeval> cases[] = {
        {nanoseconds(-5), {0, 1}},          {nanoseconds(0), {0, 1}},
        {nanoseconds(999), {0, 1}},         {nanoseconds(1001), {0, 2}},
        {nanoseconds(999'999'001), {1, 0}}, {nanoseconds(1'500'000'000), {1, 500'000}},
    };
    for (const auto& [left, expected] : cases) {
        const timeval tv = socketTimeout(left);
        EXPECT_EQ(std::make_pair(tv.tv_sec, tv.tv_usec),
                  std::make_pair(expected.tv_sec, expected.tv_usec))
            << left.count() << " ns";
    }
}

TEST(EngineCommandTest, RequestIsTheCommandAndOneLineFeed) {
    const uint32_t id = test::uniqueId();
    FakeHost fake(id, R"({"ok":true})");
    engineCommand(id, "GET_STATE");
    EXPECT_EQ(fake.request(), "GET_STATE\n");
}

TEST(EngineCommandTest, HostOfAnotherUserIsNotBelieved) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to listen as another user";
    const uint32_t id = test::uniqueId();
    FakeHost impostor(id, R"({"ok":true,"clientId":)" + std::to_string(id) + R"(,"abiVersion":5})",
                      65534);
    ASSERT_TRUE(test::waitFor([&] { return test::socketExists(id); }));
    EXPECT_FALSE(engineCommand(id, "GET_STATE"));
}

}  // namespace
}  // namespace vornisel

#include "engine/engine_command.h"

#include <gtest/gtest.h>

#include "controller_harness.h"

namespace vornisel {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Every way a host can fail to answer ends in no reply within the reply deadline: nothing
// listening fails at once, a silent host costs the one-second read time-out.
TEST(EngineCommandTest, FaultyHostsGiveNoReplyInTime) {
    const auto start = Clock::now();
    EXPECT_FALSE(engineCommand(test::uniqueId(), "GET_STATE"));
    EXPECT_LT(Clock::now() - start, 200ms);
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
        {R"({"ok":true,"clientId":8,"abiVersion":5})", false},
        {R"({"ok":true,"clientId":7,"abiVersion":6})", false},
    };
    for (const auto& [reply, accepted] : states)
        EXPECT_EQ(parseEngineReply(reply, 7, "GET_STATE").has_value(), accepted) << reply;
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

}  // namespace
}  // namespace vornisel

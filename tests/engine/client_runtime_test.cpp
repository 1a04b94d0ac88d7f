#include "engine/client_runtime.h"

#include <gtest/gtest.h>

#include "l10n/localizer.h"
#include "model/profile.h"

namespace vornisel {
namespace {

using Json = nlohmann::ordered_json;

// Keys come back as themselves; the few with arguments show them so the tests can see them.
class ClientRuntimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        Localizer::shared().values = {{"status.buffer_format", "format {0}/{1}"},
                                      {"telemetry.latency_ms", "ms {0}"},
                                      {"telemetry.latency_blocks", "blocks {0}"}};
    }
    void TearDown() override { Localizer::shared().values.clear(); }
};

TEST_F(ClientRuntimeTest, TextsFollowTheEngineState) {
    // What the panel knows of the engine besides its state.
    enum Engine { ended, running, unanswered, stopping, endedUnanswered };
    const std::tuple<const char*, Engine, const char*, const char*> cases[] = {
        {"{}", ended, "status.stopped", "status.ready"},
        {R"({"status":1})", running, "status.starting", "status.starting"},
        {R"({"status":3,"health":1})", running, "status.running", "format 0/0"},
        {R"({"status":4})", running, "status.recovering", "status.recovering"},
        {R"({"status":3,"health":0,"healthMessageKey":"msg.key"})", running,
         "status.running_warnings", "msg.key"},
        {R"({"status":3,"health":0,"healthMessageKey":"","lastErrorKey":"err.key"})", running,
         "status.running_warnings", "err.key"},
        {R"({"status":2})", running, "status.waiting_vornisel", "status.waiting_sync"},
        {R"({"status":3,"health":1,"healthReason":1})", running, "status.waiting_vornisel",
         "status.waiting_sync"},
        {R"({"status":3,"health":1})", unanswered, "status.command_unavailable_title",
         "status.command_timeout"},
        {R"({"status":3,"health":1})", stopping, "status.stopping", "format 0/0"},
        {R"({"status":"3"})", running, "status.engine_created", "status.engine_created"},
        {R"({"status":7,"lastErrorKey":"status.engine_no_response"})", ended, "status.error",
         "status.engine_no_response"},
        {R"({"status":7,"lastErrorKey":""})", ended, "status.error", "status.ready"},
        {R"({"status":6})", endedUnanswered, "status.stopped", "status.ready"},
    };
    const auto live = Process::create("/bin/sleep", {"30"});
    ASSERT_TRUE(live->launch());
    for (const auto& [state, engine, status, health] : cases) {
        SCOPED_TRACE(state);
        ClientRuntime rt;
        rt.state = Json::parse(state);
        if (engine != ended && engine != endedUnanswered) rt.process = live;
        rt.commandFailed = engine == unanswered || engine == endedUnanswered;
        rt.stopping = engine == stopping;
        EXPECT_EQ(rt.status(), status);
        EXPECT_EQ(rt.health(), health);
    }
    live->signal(SIGKILL);
}

TEST_F(ClientRuntimeTest, LatencyInMillisecondsOrBlocks) {
    ClientRuntime rt;
    Profile profile;
    profile.latency = "6";
    EXPECT_EQ(rt.latency(profile), "blocks 6");
    rt.state = Json{{"sampleRate", 48000}, {"blockFrames", 64}};
    EXPECT_EQ(rt.latency(profile), "ms 8.00");
    rt.state = Json{{"sampleRate", 0}, {"blockFrames", 128}};
    EXPECT_EQ(rt.latency(3), "blocks 3");
}

TEST_F(ClientRuntimeTest, RecommendationCases) {
    using Samples = std::vector<std::map<std::string, int64_t>>;
    using P = std::pair<int, std::string>;
    const auto format = [](int frames) {
        return Json{{"sampleRate", 48000}, {"blockFrames", frames}};
    };
    const Json usual = format(64);  // 1.33 ms blocks: at least 2 of them
    // One sample of the network figures; with underruns, but a single sample shows no pressure.
    const auto network = [](int64_t p99, int64_t p50, int64_t sync, int64_t underruns = 0) {
        return Samples{{{"net_time_probe_p99_rtt_microseconds", p99},
                        {"net_time_probe_p50_rtt_microseconds", p50},
                        {"net_sync_age_p99_microseconds", sync},
                        {"underrun_count", underruns}}};
    };
    const Samples lastSync = {{{"net_sync_age_last_microseconds", 5000}}};
    const Samples underruns = {{{"underrun_count", 3}}, {{"underrun_count", 5}}};
    const std::string below = "telemetry.latency_recommendation_below_limit";
    const std::string pressure = "telemetry.latency_recommendation_raise_pressure";
    const std::string slower = "telemetry.latency_recommendation_raise_network";
    const std::string lower = "telemetry.latency_recommendation_lower";
    const std::tuple<const char*, Json, Samples, int, std::optional<P>> cases[] = {
        {"no block frames", Json{{"sampleRate", 48000}}, {{}}, 1, std::nullopt},
        {"rate 0", Json{{"sampleRate", 0}, {"blockFrames", 64}}, {{}}, 1, std::nullopt},
        {"rate 1", Json{{"sampleRate", 1}, {"blockFrames", 1}}, {}, 1, P{2, below}},
        {"below floor", usual, {}, 1, P{2, below}},
        {"at floor", usual, {}, 2, P{3, below}},
        {"floor 1 at 128 frames", format(128), {}, 1, P{2, below}},
        {"floor 64 at 1 frame", format(1), {}, 64, P{65, below}},
        {"no samples", usual, {}, 6, std::nullopt},
        {"underruns", usual, underruns, 6, P{7, pressure}},
        {"pressure capped", usual, underruns, 128, std::nullopt},
        {"fast network", usual, network(600, 0, 800, 5), 6, P{3, lower}},
        {"fast network already there", usual, network(600, 0, 800), 3, std::nullopt},
        {"a microsecond is measured", usual, network(1, 0, 1), 6, P{3, lower}},
        {"sync age of three quarters of a block", format(96), network(600, 0, 1500), 6,
         P{2, lower}},
        {"slow network", usual, network(3000, 1000, 500), 3, P{4, slower}},
        {"slow network satisfied", usual, network(3000, 1000, 500), 4, std::nullopt},
        {"sync age only", usual, network(0, 0, 5000), 4, P{5, slower}},
        {"sync age falls back to last", usual, lastSync, 4, P{5, slower}},
        {"nothing measured", usual, {{}}, 4, std::nullopt},
        {"needs fewer", usual, network(0, 0, 2500), 10, P{3, lower}},
    };
    for (const auto& [name, state, samples, current, expected] : cases) {
        SCOPED_TRACE(name);
        ClientRuntime rt;
        rt.state = state;
        for (const auto& values : samples)
            rt.samples.emplace_back(values);
        EXPECT_EQ(rt.recommendation(current), expected);
    }
}

}  // namespace
}  // namespace vornisel

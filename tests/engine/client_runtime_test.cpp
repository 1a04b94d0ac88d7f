#include "engine/client_runtime.h"

#include <gtest/gtest.h>

#include "l10n/localizer.h"
#include "model/profile.h"
#include "support/scoped_locale.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

using Json = nlohmann::ordered_json;

// Keys come back as themselves; the few with arguments show them so the tests can see them.
class ClientRuntimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Localizer::shared().values;
        Localizer::shared().values = {{"status.buffer_format", "format {0}/{1}"},
                                      {"telemetry.latency_ms", "ms {0}"},
                                      {"telemetry.latency_blocks", "blocks {0}"}};
    }
    void TearDown() override { Localizer::shared().values = saved_; }

    // A runtime whose process is a real, running child (or an ended one).
    static std::shared_ptr<ClientRuntime> runtime(Json state, bool running) {
        auto rt = std::make_shared<ClientRuntime>();
        rt->state = std::move(state);
        rt->process = Process::create("/bin/sh", {"-c", running ? "sleep 30" : "exit 0"});
        rt->process->launch();
        if (!running)
            rt->process->waitForExit(std::chrono::steady_clock::now() + std::chrono::seconds(5));
        return rt;
    }

    static void finish(ClientRuntime& rt) {
        rt.process->signal(9);
        rt.process->waitForExit(std::chrono::steady_clock::now() + std::chrono::seconds(5));
    }

private:
    std::map<std::string, std::string> saved_;
};

TEST_F(ClientRuntimeTest, IntegersAreExactNumbersOnly) {
    ClientRuntime rt;
    rt.state = Json::parse(
        R"({"a":48000.0,"b":"3","c":true,"d":1.5,"e":-7,"f":null,"g":18446744073709551615})");
    EXPECT_EQ(rt.value("a"), 48000);
    EXPECT_EQ(rt.value("e"), -7);
    for (const char* key : {"b", "c", "d", "f", "g", "missing"}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(rt.integer(key));
        EXPECT_EQ(rt.value(key), 0);
    }
}

TEST_F(ClientRuntimeTest, TextsFollowTheEngineState) {
    struct Case {
        const char* state;
        bool running;
        bool commandFailed;
        bool stopping;
        const char* status;
        const char* health;
    };
    const Case cases[] = {
        {"{}", false, false, false, "status.stopped", "status.ready"},
        {R"({"status":1})", true, false, false, "status.starting", "status.starting"},
        {R"({"status":3,"health":1,"sampleRate":48000,"blockFrames":64})", true, false, false,
         "status.running", "format 48000/64"},
        {R"({"status":3,"health":0,"healthMessageKey":"msg.key"})", true, false, false,
         "status.running_warnings", "msg.key"},
        {R"({"status":3,"health":0,"healthMessageKey":"","lastErrorKey":"err.key"})", true, false,
         false, "status.running_warnings", "err.key"},
        {R"({"status":2})", true, false, false, "status.waiting_vornisel", "status.waiting_sync"},
        {R"({"status":3,"health":1,"healthReason":1})", true, false, false,
         "status.waiting_vornisel", "status.waiting_sync"},
        {R"({"status":3,"health":1})", true, true, false, "status.command_unavailable_title",
         "status.command_timeout"},
        {R"({"status":3,"health":1})", true, false, true, "status.stopping", "format 0/0"},
        {R"({"status":"3"})", true, false, false, "status.engine_created", "status.engine_created"},
        {R"({"status":4})", true, false, false, "status.recovering", "status.recovering"},
        {R"({"status":42})", true, false, false, "status.starting", "status.starting"},
        {R"({"status":7,"lastErrorKey":"status.engine_no_response"})", false, false, false,
         "status.error", "status.engine_no_response"},
        {R"({"status":7,"lastErrorKey":""})", false, false, false, "status.error", "status.ready"},
        {R"({"status":6})", false, true, false, "status.stopped", "status.ready"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        auto rt = runtime(Json::parse(c.state), c.running);
        rt->commandFailed = c.commandFailed;
        rt->stopping = c.stopping;
        EXPECT_EQ(rt->status(), c.status);
        EXPECT_EQ(rt->health(), c.health);
        if (c.running) finish(*rt);
    }
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
    rt.state = Json{{"sampleRate", 44100}, {"blockFrames", 128}};
    for (const char* name : {"C", "de_DE.UTF-8"}) {
        test::ScopedLocale locale(name);
        if (!locale) GTEST_SKIP() << name << " is not installed";
        EXPECT_EQ(rt.latency(3), "ms 8.71") << name;
    }
}

struct RecommendationCase {
    const char* name;
    Json state;
    std::vector<std::map<std::string, int64_t>> samples;
    int current;
    std::optional<std::pair<int, std::string>> expected;
};

TEST_F(ClientRuntimeTest, RecommendationCases) {
    const Json format{{"sampleRate", 48000}, {"blockFrames", 64}};
    auto rate = [](int frames) { return Json{{"sampleRate", 48000}, {"blockFrames", frames}}; };
    using P = std::pair<int, std::string>;
    const std::string below = "telemetry.latency_recommendation_below_limit";
    const std::string pressure = "telemetry.latency_recommendation_raise_pressure";
    const std::string network = "telemetry.latency_recommendation_raise_network";
    const std::string lower = "telemetry.latency_recommendation_lower";
    const RecommendationCase cases[] = {
        {"no block frames", Json{{"sampleRate", 48000}}, {{}}, 1, std::nullopt},
        {"rate 0", Json{{"sampleRate", 0}, {"blockFrames", 64}}, {{}}, 1, std::nullopt},
        {"text frames", Json{{"sampleRate", 48000}, {"blockFrames", "64"}}, {{}}, 1, std::nullopt},
        {"below floor", format, {}, 1, P{2, below}},
        {"at floor", format, {}, 2, P{3, below}},
        {"floor 1 at 128 frames", rate(128), {}, 1, P{2, below}},
        {"floor 4 at 32 frames", rate(32), {}, 4, P{5, below}},
        {"floor 8 at 16 frames", rate(16), {}, 3, P{8, below}},
        {"floor 64 at 1 frame", rate(1), {}, 64, P{65, below}},
        {"no samples", format, {}, 6, std::nullopt},
        {"pressure", format, {{{"underrun_count", 3}}, {{"underrun_count", 5}}}, 6, P{7, pressure}},
        {"pressure capped",
         format,
         {{{"underrun_count", 3}}, {{"underrun_count", 5}}},
         128,
         std::nullopt},
        {"probe timeouts",
         format,
         {{{"net_time_probe_timeout_count", 0}}, {{"net_time_probe_timeout_count", 1}}},
         6,
         P{7, pressure}},
        {"single sample has no pressure",
         format,
         {{{"underrun_count", 5},
           {"net_time_probe_p99_rtt_microseconds", 600},
           {"net_sync_age_p99_microseconds", 800}}},
         6,
         P{3, lower}},
        {"fast network",
         format,
         {{{"net_time_probe_p99_rtt_microseconds", 600}, {"net_sync_age_p99_microseconds", 800}}},
         6,
         P{3, lower}},
        {"fast network already there",
         format,
         {{{"net_time_probe_p99_rtt_microseconds", 600}, {"net_sync_age_p99_microseconds", 800}}},
         3,
         std::nullopt},
        {"slow network",
         format,
         {{{"net_time_probe_p99_rtt_microseconds", 3000},
           {"net_time_probe_p50_rtt_microseconds", 1000},
           {"net_sync_age_p99_microseconds", 500}}},
         3,
         P{4, network}},
        {"slow network satisfied",
         format,
         {{{"net_time_probe_p99_rtt_microseconds", 3000},
           {"net_time_probe_p50_rtt_microseconds", 1000},
           {"net_sync_age_p99_microseconds", 500}}},
         4,
         std::nullopt},
        {"sync age only", format, {{{"net_sync_age_p99_microseconds", 5000}}}, 4, P{5, network}},
        {"sync age falls back to last",
         format,
         {{{"net_sync_age_p99_microseconds", 0}, {"net_sync_age_last_microseconds", 5000}}},
         4,
         P{5, network}},
        {"nothing measured", format, {{}}, 4, std::nullopt},
        {"needs fewer", format, {{{"net_sync_age_p99_microseconds", 2500}}}, 10, P{3, lower}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClientRuntime rt;
        rt.state = c.state;
        for (const auto& values : c.samples)
            rt.samples.emplace_back(values);
        EXPECT_EQ(rt.recommendation(c.current), c.expected);
    }
}

}  // namespace
}  // namespace vornisel

#include "engine/engine_controller.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>

#include <chrono>

#include "controller_harness.h"
#include "engine/conflict_description.h"
#include "engine/host_contract.h"
#include "l10n/localizer.h"

namespace vornisel {
namespace {

using Clock = std::chrono::steady_clock;
using Json = nlohmann::ordered_json;
using test::ControllerHarness;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// An engine that obeys "STOP" is gone well within the first wait; one that does not costs 1 s.
constexpr EngineController::StopTimings kShortStop{0.6, 0.2, 0.2, 0.02};

TEST(EngineControllerTest, StartWritesConfigTruncatesLogAndPassesSixArguments) {
    ControllerHarness h;
    const uint32_t id = h.addDevice();
    const auto log = h.store.directory() / ("engine-" + std::to_string(id) + ".log");
    test::writeFile(log, "output of an earlier engine\n");

    h.controller->start(id);
    const auto rt = h.rt(id);
    ASSERT_TRUE(rt->isRunning());
    EXPECT_EQ(rt->state, Json({{"status", 1}}));
    EXPECT_TRUE(std::filesystem::exists(h.store.configURL(h.profile(id))));
    EXPECT_EQ(rt->process->executable(), test::engineHostPath());
    EXPECT_EQ(rt->process->arguments(),
              (std::vector<std::string>{"--config", h.store.configURL(h.profile(id)).string(),
                                        "--client-id", std::to_string(id), "--parent-pid",
                                        std::to_string(::getpid())}));
    ASSERT_TRUE(
        test::waitFor([&] { return test::readFile(log).find("serving") != std::string::npos; }));
    EXPECT_EQ(test::readFile(log).find("earlier"), std::string::npos);
    EXPECT_TRUE(h.hooks.notices.empty());
    EXPECT_GT(h.hooks.updates, 0);
}

TEST(EngineControllerTest, StartDoesNothingWhileRunningStoppingOrForUnknownDevice) {
    ControllerHarness h;
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    const auto first = h.rt(id)->process;
    h.controller->start(id);
    EXPECT_EQ(h.rt(id)->process, first);

    h.controller->stop(id);
    ASSERT_TRUE(h.rt(id)->stopping);
    h.controller->start(id);
    EXPECT_EQ(h.rt(id)->process, first);

    const uint32_t unknown = test::uniqueId();
    h.controller->start(unknown);
    EXPECT_FALSE(h.rt(unknown)->process);
    EXPECT_EQ(h.rt(unknown)->state, Json::object());
    EXPECT_TRUE(h.hooks.notices.empty());
    EXPECT_TRUE(h.until([&] { return !h.rt(id)->stopping; }));
}

TEST(EngineControllerTest, FailedLaunchBecomesErrorStateAndNotice) {
    ControllerHarness h;
    const uint32_t id = h.addDevice();
    // The log file cannot be opened where a folder of that name stands.
    std::filesystem::create_directories(h.store.directory() /
                                        ("engine-" + std::to_string(id) + ".log"));
    h.controller->start(id);
    const auto rt = h.rt(id);
    EXPECT_FALSE(rt->process);
    EXPECT_EQ(rt->value("status"), 7);
    ASSERT_EQ(h.hooks.notices.size(), 1u);
    EXPECT_TRUE(h.hooks.notices[0].second);
    EXPECT_EQ(rt->text("lastErrorKey"), h.hooks.notices[0].first);
    EXPECT_EQ(rt->health(), h.hooks.notices[0].first);
}

TEST(EngineControllerTest, StopOfNeverStartedDeviceCompletesTrueAtOnce) {
    ControllerHarness h;
    const uint32_t id = h.addDevice();
    h.rt(id)->state = Json{{"status", 3}};
    std::optional<bool> result;
    h.controller->stop(id, [&](bool stopped) { result = stopped; });
    EXPECT_EQ(result, true);
    EXPECT_EQ(h.rt(id)->state, Json({{"status", 3}}));
}

TEST(EngineControllerTest, HostThatObeysStopEndsInStatusSix) {
    ControllerHarness h;
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    ASSERT_TRUE(h.pollUntilStatus(id, 3));
    const auto start = Clock::now();
    EXPECT_EQ(h.stopAndWait(id), true);
    EXPECT_LT(secondsSince(start), 1.0);
    const auto rt = h.rt(id);
    EXPECT_EQ(rt->state, Json({{"status", 6}}));
    EXPECT_FALSE(rt->stopping);
    EXPECT_FALSE(rt->commandFailed);
    EXPECT_EQ(rt->process->terminationStatus(), 0);
    EXPECT_EQ(rt->status(), "status.stopped");
    EXPECT_FALSE(rt->samples.empty()) << "the last minute stays visible after a stop";
    // The termination handler arrives too and must not turn a requested stop into an error.
    h.dispatch->drainMain();
    EXPECT_EQ(rt->state, Json({{"status", 6}}));
    EXPECT_FALSE(test::socketExists(id));
    EXPECT_FALSE(test::statsExist(id));
}

TEST(EngineControllerTest, StubbornHostIsKilledAfterStopAndTerminateWaits) {
    ControllerHarness h("ignore-stop,ignore-sigterm");
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    ASSERT_TRUE(h.pollUntilStatus(id, 3));
    const auto start = Clock::now();
    EXPECT_EQ(h.stopAndWait(id, std::chrono::seconds(15)), true);
    const double elapsed = secondsSince(start);
    // 3 s after STOP and 2 s after SIGTERM, then the kill; the STOP exchange itself may take up to
    // its 2 s reply limit on a busy machine before the first wait begins.
    EXPECT_GT(elapsed, 4.9);
    EXPECT_LT(elapsed, 9.5);
    EXPECT_TRUE(h.rt(id)->process->endedBySignal());
    EXPECT_EQ(h.rt(id)->process->terminationStatus(), SIGKILL);
    // The killed host's end is reported with a non-zero status, before or after the stop's own
    // completion; either way an asked-for stop is no error.
    h.dispatch->drainMain();
    EXPECT_EQ(h.rt(id)->state, Json({{"status", 6}}));
}

TEST(EngineControllerTest, FailedStopKeepsTheStateAndALaterCrashIsReported) {
    ControllerHarness h;
    h.controller->setStopTimings(kShortStop);
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    ASSERT_TRUE(h.pollUntilStatus(id, 3));
    const auto rt = h.rt(id);
    const Json state = rt->state;
    h.makeUnstoppable(id);
    EXPECT_EQ(h.stopAndWait(id), false);
    EXPECT_FALSE(rt->stopping);
    EXPECT_TRUE(rt->isRunning());
    EXPECT_EQ(rt->state, state);
    ::kill(rt->process->processIdentifier(), SIGKILL);
    ASSERT_TRUE(h.until([&] { return rt->value("status") == 7; }));
    EXPECT_EQ(rt->health(), "status.engine_no_response");
}

TEST(EngineControllerTest, NonZeroExitWithoutStopIsReportedAsNoResponse) {
    ControllerHarness h("exit-after=0.3,status=3");
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    ASSERT_TRUE(h.until([&] { return h.rt(id)->value("status") == 7; }));
    EXPECT_EQ(h.rt(id)->text("lastErrorKey"), "status.engine_no_response");
    EXPECT_EQ(h.rt(id)->status(), "status.error");
    EXPECT_EQ(h.rt(id)->health(), "status.engine_no_response");
}

TEST(EngineControllerTest, ZeroExitWithoutStopLeavesTheLastState) {
    ControllerHarness h("exit-after=0.3,status=0");
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    ASSERT_TRUE(h.until([&] { return !h.rt(id)->isRunning(); }));
    h.dispatch->drainMain();
    EXPECT_EQ(h.rt(id)->state, Json({{"status", 1}}));
    EXPECT_EQ(h.rt(id)->status(), "status.stopped");
}

TEST(EngineControllerTest, LateHandlerOfReplacedTaskChangesNothing) {
    ControllerHarness h;
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    const auto old = h.rt(id)->process;
    h.dispatch->drainMain();
    old->signal(SIGKILL);
    ASSERT_TRUE(test::waitFor([&] { return h.dispatch->pendingMain() > 0; }));
    h.controller->start(id);
    ASSERT_NE(h.rt(id)->process, old);
    h.dispatch->drainMain();
    EXPECT_EQ(h.rt(id)->state, Json({{"status", 1}}));
}

TEST(EngineControllerTest, LatePollOfReplacedTaskChangesNothing) {
    ControllerHarness h;
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    ASSERT_TRUE(h.pollUntilStatus(id, 3));
    const auto old = h.rt(id)->process;
    h.controller->poll();
    ASSERT_TRUE(h.rt(id)->polling);
    ASSERT_TRUE(test::waitFor([&] { return h.dispatch->pendingMain() > 0; }));
    old->signal(SIGKILL);
    ASSERT_TRUE(test::waitFor([&] { return !old->isRunning(); }));
    h.controller->start(id);
    h.dispatch->drainMain();
    EXPECT_FALSE(h.rt(id)->polling);
    EXPECT_EQ(h.rt(id)->state, Json({{"status", 1}}));
    EXPECT_TRUE(h.rt(id)->samples.empty());
}

TEST(EngineControllerTest, PollOfUnreachableHostKeepsStateAndHistory) {
    ControllerHarness h("silent");
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    ASSERT_TRUE(test::waitFor([&] { return test::socketExists(id) && test::statsExist(id); }));
    const auto rt = h.rt(id);
    // A snapshot older than a minute goes at the next poll that brings one.
    const auto old = Telemetry::Clock::now() - std::chrono::seconds(61);
    rt->samples.emplace_back(std::map<std::string, int64_t>{}, old);
    h.controller->poll();
    ASSERT_TRUE(h.until([&] { return !rt->polling; }));
    EXPECT_TRUE(rt->commandFailed);
    EXPECT_EQ(rt->state, Json({{"status", 1}}));
    EXPECT_EQ(rt->status(), "status.command_unavailable_title");
    EXPECT_EQ(rt->health(), "status.command_timeout");
    ASSERT_EQ(rt->samples.size(), 1u);
    EXPECT_GT(rt->samples[0].time, old);
}

TEST(EngineControllerTest, PollInFlightIsNotRepeatedAndNoSnapshotTrimsNothing) {
    ControllerHarness h;
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    ASSERT_TRUE(h.pollUntilStatus(id, 3));
    const auto rt = h.rt(id);
    // The host still answers, but without its statistics block a poll brings no snapshot.
    ::shm_unlink(host::statsName(id).c_str());
    const auto old = Telemetry::Clock::now() - std::chrono::seconds(61);
    rt->samples.emplace_front(std::map<std::string, int64_t>{}, old);
    const size_t kept = rt->samples.size();
    const int jobs = h.dispatch->utilityJobs;
    h.controller->poll();
    h.controller->poll();
    EXPECT_EQ(h.dispatch->utilityJobs, jobs + 1);
    ASSERT_TRUE(h.until([&] { return !rt->polling; }));
    EXPECT_FALSE(rt->commandFailed);
    EXPECT_EQ(rt->samples.size(), kept);
    EXPECT_EQ(rt->samples.front().time, old);
}

TEST(EngineControllerTest, StoppingOrStoppedEnginesAreNotPolled) {
    ControllerHarness h;
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    h.controller->stop(id);
    h.controller->poll();
    EXPECT_FALSE(h.rt(id)->polling);
    ASSERT_TRUE(h.until([&] { return !h.rt(id)->stopping; }));
    h.controller->poll();
    EXPECT_FALSE(h.rt(id)->polling);
}

TEST(EngineControllerTest, GroupStopRunsOneAtATimeAndCompletesOnce) {
    ControllerHarness h;
    const uint32_t a = h.addDevice("0");
    const uint32_t b = h.addDevice("1");
    const uint32_t c = h.addDevice("2");
    std::reverse(h.store.clients().begin(), h.store.clients().end());
    h.controller->toggleGroup();
    EXPECT_EQ(h.hooks.started, (std::vector<uint32_t>{c, b, a})) << "in stored order";
    EXPECT_TRUE(h.hooks.notices.empty());

    int completions = 0;
    bool result = false;
    h.controller->stopGroup([&](bool stopped) {
        ++completions;
        result = stopped;
    });
    EXPECT_TRUE(h.controller->groupBusy());
    std::optional<bool> refused;
    h.controller->stopGroup([&](bool stopped) { refused = stopped; });
    EXPECT_EQ(refused, false);
    EXPECT_TRUE(h.controller->groupBusy());
    // A single device's button does nothing meanwhile.
    const auto before = h.rt(c)->process;
    h.controller->toggle(c);
    h.controller->toggle(a);
    EXPECT_EQ(h.rt(c)->process, before);

    ASSERT_TRUE(h.until([&] { return completions > 0; }));
    h.dispatch->drainMain();
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(result);
    EXPECT_FALSE(h.controller->groupBusy());
    EXPECT_EQ(h.hooks.mostStopping, 1u);
    for (uint32_t id : {a, b, c})
        EXPECT_EQ(h.rt(id)->state, Json({{"status", 6}}));
}

TEST(EngineControllerTest, GroupStopEndsAtTheFirstEngineThatSurvives) {
    ControllerHarness h;
    h.controller->setStopTimings(kShortStop);
    for (const char* outputs : {"0", "1", "2"}) {
        const uint32_t id = h.addDevice(outputs);
        h.controller->start(id);
        ASSERT_TRUE(h.pollUntilStatus(id, 3));
    }
    std::vector<uint32_t> order;  // the group stops them in this order
    for (const auto& [id, rt] : h.controller->runtimes())
        order.push_back(id);
    h.makeUnstoppable(order[1]);
    int completions = 0;
    std::optional<bool> result;
    h.controller->stopGroup([&](bool stopped) {
        ++completions;
        result = stopped;
    });
    ASSERT_TRUE(h.until([&] { return completions > 0; }));
    h.dispatch->drainMain();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(result, false);
    EXPECT_FALSE(h.controller->groupBusy());
    EXPECT_FALSE(h.rt(order[0])->isRunning());
    EXPECT_TRUE(h.rt(order[1])->isRunning());
    EXPECT_TRUE(h.rt(order[2])->isRunning());
}

TEST(EngineControllerTest, GroupStopWithNothingRunningCompletesAtOnce) {
    ControllerHarness h;
    h.addDevice();
    std::optional<bool> result;
    h.controller->stopGroup([&](bool stopped) { result = stopped; });
    EXPECT_EQ(result, true);
    EXPECT_FALSE(h.controller->groupBusy());
    EXPECT_EQ(h.hooks.updates, 2);
}

TEST(EngineControllerTest, ToggleGroupStopsWhenAnyRunsAndStartsNone) {
    ControllerHarness h;
    const uint32_t a = h.addDevice("0");
    const uint32_t b = h.addDevice("1");
    h.controller->start(a);
    h.controller->toggleGroup();
    EXPECT_FALSE(h.rt(b)->process);
    ASSERT_TRUE(h.until([&] { return !h.controller->groupBusy(); }));
    EXPECT_FALSE(h.rt(a)->isRunning());
    EXPECT_TRUE(h.hooks.notices.empty());
}

TEST(EngineControllerTest, MappingConflictWarnsAfterStart) {
    ControllerHarness h;
    const uint32_t a = h.addDevice("0,1");
    const uint32_t b = h.addDevice("1");
    const uint32_t c = h.addDevice("5");
    h.controller->start(a);
    h.controller->start(c);
    EXPECT_TRUE(h.hooks.notices.empty());
    h.controller->start(b);
    ASSERT_EQ(h.hooks.notices.size(), 1u);
    const std::string conflicts =
        conflictDescription(mappingConflicts({h.profile(a), h.profile(b)}));
    EXPECT_FALSE(conflicts.empty());
    EXPECT_EQ(h.hooks.notices[0], std::make_pair(tr("notice.mapping_conflict", conflicts), true));
}

TEST(EngineControllerTest, ApplyingOnStoppedDeviceChangesAndSavesAtOnce) {
    ControllerHarness h;
    const uint32_t id = h.addDevice("0", "1");
    h.profile(id).latencyMode = "Low";
    h.rt(id)->state = Json{{"sampleRate", 48000}, {"blockFrames", 64}};
    h.controller->applyRecommendation(id);
    EXPECT_EQ(h.profile(id).latency, "2");
    EXPECT_EQ(h.profile(id).latencyMode, "Custom");
    EXPECT_EQ(PanelStore(h.store.directory()).clients().at(0).latency, "2");
    EXPECT_EQ(h.hooks.rebuilds, 1);
    EXPECT_FALSE(h.rt(id)->process);
    ASSERT_EQ(h.hooks.notices.size(), 1u);
    EXPECT_EQ(h.hooks.notices[0],
              std::make_pair(tr("notice.latency_recommendation_applied", 2), false));

    // Without "blockFrames" there is nothing to apply.
    h.rt(id)->state = Json{{"sampleRate", 48000}};
    h.controller->applyRecommendation(id);
    EXPECT_EQ(h.hooks.notices.size(), 1u);
    EXPECT_EQ(h.hooks.rebuilds, 1);
}

TEST(EngineControllerTest, ApplyingOnRunningDeviceRestartsIt) {
    ControllerHarness h;
    const uint32_t id = h.addDevice("0", "1");
    h.controller->start(id);
    ASSERT_TRUE(h.pollUntilStatus(id, 3));
    const auto old = h.rt(id)->process;
    h.controller->applyRecommendation(id);
    ASSERT_TRUE(h.until([&] { return !h.hooks.notices.empty(); }));
    EXPECT_EQ(h.hooks.notices.back(),
              std::make_pair(tr("notice.latency_recommendation_applied", 2), false));
    EXPECT_NE(h.rt(id)->process, old);
    EXPECT_TRUE(h.rt(id)->isRunning());
    EXPECT_NE(test::readFile(h.store.configURL(h.profile(id))).find("client_latency_blocks=2\n"),
              std::string::npos);
}

// Applying ends where its stop or its save fails: a warning, no restart, no rebuilt cards.
TEST(EngineControllerTest, ApplyingEndsAtAFailedStopOrSave) {
    for (const bool stopFails : {true, false}) {
        SCOPED_TRACE(stopFails ? "the stop fails" : "saving fails");
        ControllerHarness h;
        h.controller->setStopTimings(kShortStop);
        const uint32_t id = h.addDevice("0", "1");
        h.controller->start(id);
        ASSERT_TRUE(h.pollUntilStatus(id, 3));
        const auto engine = h.rt(id)->process;
        if (stopFails) {
            h.makeUnstoppable(id);
        } else {  // a folder stands where panel.json goes
            std::filesystem::remove(h.store.directory() / "panel.json");
            std::filesystem::create_directory(h.store.directory() / "panel.json");
        }
        h.controller->applyRecommendation(id);
        ASSERT_TRUE(h.until([&] { return !h.hooks.notices.empty(); }));
        h.dispatch->drainMain();
        ASSERT_EQ(h.hooks.notices.size(), 1u);
        EXPECT_TRUE(h.hooks.notices[0].second);
        EXPECT_EQ(h.hooks.notices[0].first == tr("notice.latency_apply_stop_failed"), stopFails);
        EXPECT_EQ(h.profile(id).latency, stopFails ? "1" : "2");
        EXPECT_EQ(engine->isRunning(), stopFails);
        EXPECT_EQ(h.rt(id)->process, engine);
        EXPECT_EQ(h.hooks.rebuilds, 0);
    }
}

TEST(EngineControllerTest, ResultsAfterControllerIsGoneDoNothing) {
    ControllerHarness h;
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    const auto rt = h.rt(id);
    bool completed = false;
    h.controller->stop(id, [&](bool) { completed = true; });
    h.controller->poll();
    auto weak = std::weak_ptr<EngineController>(h.controller);
    auto controller = std::move(h.controller);
    h.hooks.controller = nullptr;
    controller.reset();
    EXPECT_TRUE(weak.expired());
    ASSERT_TRUE(test::waitFor([&] { return !rt->isRunning(); }));
    ASSERT_TRUE(test::waitFor([&] { return h.dispatch->pendingMain() >= 2; }));
    h.dispatch->drainMain();
    EXPECT_FALSE(completed);
    EXPECT_TRUE(rt->stopping) << "nobody is left to clear it";
    // Let the harness clean up through a fresh controller.
    h.controller = EngineController::create(h.store, h.dispatch, h.hooks, test::bundleDir());
}

}  // namespace
}  // namespace vornisel

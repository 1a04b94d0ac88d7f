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
using namespace std::chrono_literals;

// Start truncates the log; starting again while the engine runs does nothing. The host
// waits for the server (health reason 1), then runs with one level per driver channel. A stop that
// "STOP" achieves ends in status 6 with the socket and statistics gone and the history kept; a
// stopping or stopped engine is not polled.
TEST(EngineControllerTest, EngineLifecycle) {
    ControllerHarness h;
    ::setenv("VORNISEL_HOST_WAITING_MS", "1000", 1);
    const uint32_t id = h.addDevice();
    const auto log = h.store.directory() / ("engine-" + std::to_string(id) + ".log");
    test::writeFile(log, "output of an earlier engine\n");
    std::optional<bool> result;
    h.controller->stop(id, [&](bool stopped) { result = stopped; });
    EXPECT_EQ(result, true) << "nothing to stop";

    h.controller->start(id);
    const auto rt = h.rt(id);
    const auto engine = rt->process;
    ASSERT_TRUE(rt->isRunning());
    EXPECT_EQ(rt->state, Json({{"status", 1}}));
    h.controller->start(id);
    EXPECT_EQ(rt->process, engine);

    ASSERT_TRUE(h.pollUntilStatus(id, 2));
    EXPECT_EQ(rt->value("healthReason"), 1);
    ASSERT_TRUE(h.pollUntilStatus(id, 3));
    EXPECT_EQ(rt->state["outputLevels"].size(), 2u);
    result.reset();
    h.controller->stop(id, [&](bool stopped) { result = stopped; });
    ASSERT_TRUE(rt->stopping);
    h.controller->poll();
    EXPECT_FALSE(rt->polling);
    ASSERT_TRUE(h.until([&] { return result.has_value(); }));
    EXPECT_EQ(result, true);
    EXPECT_FALSE(rt->stopping);
    EXPECT_FALSE(rt->commandFailed);
    EXPECT_FALSE(rt->samples.empty()) << "the last minute stays visible after a stop";
    // The termination handler arrives too and must not turn a requested stop into an error.
    h.dispatch->drainMain();
    EXPECT_EQ(rt->state, Json({{"status", 6}}));
    EXPECT_FALSE(test::socketExists(id) || test::statsExist(id));
    const std::string output = test::readFile(log);
    EXPECT_EQ(output.find("earlier"), std::string::npos);
    EXPECT_NE(output.find("stopping on request"), std::string::npos) << output;
}

// An engine that ends on its own with a clean exit leaves the last state; one that fails is an
// error (the group stop's survivor shows it).
TEST(EngineControllerTest, EngineEndingOnItsOwn) {
    ControllerHarness h("exit-after=0.3,status=0");
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    // The end is reported when the termination handler refreshes the window.
    const int updates = h.hooks.updates;
    ASSERT_TRUE(h.until([&] { return h.hooks.updates > updates; }));
    EXPECT_FALSE(h.rt(id)->isRunning());
    EXPECT_EQ(h.rt(id)->state, Json({{"status", 1}}));
}

// A host that floods its output goes on serving, with a log that stopped growing at the cap.
TEST(EngineControllerTest, FloodedLogStopsAtTheCap) {
    ControllerHarness h("flood-log");
    const uint32_t id = h.startServing();
    ASSERT_TRUE(h.pollUntilStatus(id, 3));
    const auto log = h.store.directory() / ("engine-" + std::to_string(id) + ".log");
    EXPECT_EQ(std::filesystem::file_size(log), EngineController::kLogLimitBytes);
}

// The poll's result and the end of an engine that has since been replaced belong to nobody.
TEST(EngineControllerTest, LateResultsOfAReplacedTaskChangeNothing) {
    ControllerHarness h;
    const uint32_t id = h.startServing();
    const auto old = h.rt(id)->process;
    h.controller->poll();
    old->signal(SIGKILL);
    ASSERT_TRUE(test::waitFor([&] { return h.dispatch->pendingMain() >= 2; }));
    h.controller->start(id);
    h.dispatch->drainMain();
    EXPECT_FALSE(h.rt(id)->polling);
    EXPECT_EQ(h.rt(id)->state, Json({{"status", 1}}));
    EXPECT_TRUE(h.rt(id)->samples.empty());
}

// A poll keeps the last state when the host does not answer, and trims the minute of history
// only when it brings a snapshot. A host that ignores "STOP" is ended by SIGTERM, one that ignores
// SIGTERM too by the kill after both waits; an asked-for stop is no error either way.
TEST(EngineControllerTest, PollKeepsStateAndTrimsHistoryOnlyWithASnapshot) {
    for (const char* faults : {"ignore-stop", "", "ignore-stop,ignore-sigterm"}) {
        SCOPED_TRACE(faults);
        const bool unanswered = std::string(faults) == "ignore-stop";
        const bool stubborn = std::string(faults).ends_with("sigterm");
        ControllerHarness h(faults);
        // However loaded the machine, the host that ignores only "STOP" ends on SIGTERM.
        if (unanswered) h.controller->setStopTimings({.afterStop = 0.6, .afterTerminate = 20});
        const uint32_t id = h.startServing();
        const auto rt = h.rt(id);
        if (unanswered) {
            ::unlink(host::socketPath(id).c_str());  // neither a poll nor "STOP" gets an answer
        } else {
            ASSERT_TRUE(h.pollUntilStatus(id, 3));
            ::shm_unlink(host::statsName(id).c_str());
        }
        const auto old = Telemetry::Clock::now() - 61s;
        rt->samples.emplace_front(std::map<std::string, int64_t>{}, old);
        h.controller->poll();
        ASSERT_TRUE(h.until([&] { return !rt->polling; }));
        EXPECT_EQ(rt->commandFailed, unanswered);
        EXPECT_EQ(rt->value("status"), unanswered ? 1 : 3);
        EXPECT_EQ(rt->samples.front().time == old, !unanswered);
        const auto start = Clock::now();
        std::optional<bool> stopped;
        h.controller->stop(id, [&](bool result) { stopped = result; });
        ASSERT_TRUE(h.until([&] { return stopped.has_value(); }, 20s));
        EXPECT_EQ(stopped, true);
        EXPECT_GE(Clock::now() - start, stubborn ? 800ms : 0ms);
        EXPECT_EQ(rt->process->endedBySignal(), stubborn);
        EXPECT_EQ(rt->process->terminationStatus(), stubborn ? SIGKILL : 0);
        // The killed host's end is reported too, before or after the stop's own completion.
        h.dispatch->drainMain();
        EXPECT_EQ(rt->state, Json({{"status", 6}}));
        // The killed host could not remove its names; the panel did, since they are ours.
        EXPECT_FALSE(test::socketExists(id) || test::statsExist(id));
    }
}

// A poll whose worker never comes back shows the engine as not answering once its time is up;
// later ticks send nothing, and a stop still ends the engine within its timings.
TEST(EngineControllerTest, PollThatNeverComesBackShowsAsNotAnswering) {
    ControllerHarness h;
    h.controller->setStopTimings({.afterStop = 0.6, .afterTerminate = 0.2, .unansweredPoll = 0.3});
    const uint32_t id = h.startServing();
    h.dispatch->holdNext = true;
    h.controller->poll();
    const int jobs = h.dispatch->utilityJobs;
    EXPECT_FALSE(h.rt(id)->commandFailed);
    ASSERT_TRUE(test::waitFor([&] {
        h.controller->poll();
        return h.rt(id)->commandFailed;
    }));
    EXPECT_EQ(h.dispatch->utilityJobs, jobs);
    std::optional<bool> stopped;
    h.controller->stop(id, [&](bool result) { stopped = result; });
    ASSERT_TRUE(h.until([&] { return stopped.has_value(); }));
    EXPECT_EQ(stopped, true);
}

// The group button starts every device in the stored order, warning once a started device shares
// a driver channel with a running one. The group stop stops them one at a time and completes
// once, leaving no descriptor open (that no child, socket or statistics object is left, the
// built-in UI check verifies on quitting); meanwhile a device's own button does nothing.
TEST(EngineControllerTest, GroupStartsInOrderAndStopsOneAtATime) {
    ControllerHarness h;
    const std::vector<uint32_t> ids = {h.addDevice("0"), h.addDevice("1"), h.addDevice("0,2")};
    std::reverse(h.store.clients().begin(), h.store.clients().end());
    std::optional<bool> result;
    h.controller->stopGroup([&](bool stopped) { result = stopped; });
    EXPECT_EQ(result, true) << "nothing to stop";
    EXPECT_FALSE(h.controller->groupBusy());
    const size_t descriptors = test::openDescriptors();

    h.controller->toggleGroup();
    EXPECT_EQ(h.hooks.started, (std::vector<uint32_t>{ids[2], ids[1], ids[0]}));
    const std::string conflicts = conflictDescription(mappingConflicts(h.store.clients()));
    EXPECT_EQ(h.hooks.notices,
              (decltype(h.hooks.notices){{tr("notice.mapping_conflict", conflicts), true}}));
    // Every host serving, so that each stop goes through "STOP".
    for (uint32_t id : ids)
        ASSERT_TRUE(h.pollUntilStatus(id, 3));
    h.controller->poll();
    int completions = 0;
    result.reset();
    h.controller->stopGroup([&](bool stopped) {
        ++completions;
        result = stopped;
    });
    EXPECT_TRUE(h.controller->groupBusy());
    h.controller->toggle(ids[2]);
    ASSERT_TRUE(h.until([&] { return completions > 0; }));
    ASSERT_TRUE(h.until([&] {
        return std::none_of(ids.begin(), ids.end(), [&](uint32_t id) { return h.rt(id)->polling; });
    }));
    h.dispatch->drainMain();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(result, true);
    EXPECT_FALSE(h.controller->groupBusy());
    EXPECT_EQ(h.hooks.mostStopping, 1u);
    for (uint32_t id : ids)
        EXPECT_EQ(h.rt(id)->state, Json({{"status", 6}}));
    // A log file is closed by its termination handler just after the stop has seen the end.
    EXPECT_TRUE(test::waitFor([&] { return test::openDescriptors() == descriptors; }))
        << test::openDescriptors() << " open, " << descriptors << " before";
}

// A group stop ends at the first engine that outlives its stop: that one keeps its state and
// runs on as if never stopped (its later crash is an error), the devices after it keep running,
// the completion runs once with false and the group is free again. The group button then tells
// that the stop was cancelled.
TEST(EngineControllerTest, GroupStopEndsAtTheFirstEngineThatSurvives) {
    ControllerHarness h;
    for (int i = 0; i < 3; ++i)
        h.startServing();
    std::vector<uint32_t> order;  // the group stops them in this order
    for (const auto& [id, rt] : h.controller->runtimes())
        order.push_back(id);
    const auto survivor = h.rt(order[1]);
    const Json state = survivor->state;
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
    EXPECT_TRUE(survivor->isRunning());
    EXPECT_FALSE(survivor->stopping);
    EXPECT_EQ(survivor->state, state);
    EXPECT_TRUE(h.rt(order[2])->isRunning());

    h.controller->toggleGroup();
    ASSERT_TRUE(h.until([&] { return !h.controller->groupBusy(); }));
    EXPECT_EQ(h.hooks.notices.back(), std::make_pair(tr("notice.exit_canceled"), true));
    // While its stop is under way, a second stop is refused at once.
    std::optional<bool> first, second;
    h.controller->stop(order[1], [&](bool stopped) { first = stopped; });
    h.controller->stop(order[1], [&](bool stopped) { second = stopped; });
    EXPECT_EQ(second, false);
    ASSERT_TRUE(h.until([&] { return first.has_value(); }));
    ::kill(survivor->process->processIdentifier(), SIGKILL);
    ASSERT_TRUE(h.until([&] { return survivor->value("status") == 7; }));
    EXPECT_EQ(survivor->text("lastErrorKey"), "status.engine_no_response");
}

// Applying the recommendation saves the new latency and restarts the device (what it stores and
// writes, the built-in UI check verifies). A failed stop or save ends it with a warning: no
// restart, no rebuilt cards.
TEST(EngineControllerTest, ApplyingTheRecommendation) {
    enum Fails { nothing, stop, save };
    for (const Fails fails : {nothing, stop, save}) {
        SCOPED_TRACE(fails);
        ControllerHarness h;
        const uint32_t id = h.addDevice("0", "1");
        h.profile(id).latencyMode = "Low";
        h.controller->start(id);
        ASSERT_TRUE(h.pollUntilStatus(id, 3));
        const auto engine = h.rt(id)->process;
        if (fails == stop) h.makeUnstoppable(id);
        if (fails == save) {  // a folder stands where panel.json goes
            std::filesystem::remove(h.store.directory() / "panel.json");
            std::filesystem::create_directory(h.store.directory() / "panel.json");
        }
        h.controller->applyRecommendation(id);
        ASSERT_TRUE(h.until([&] { return !h.hooks.notices.empty(); }));
        h.dispatch->drainMain();
        ASSERT_EQ(h.hooks.notices.size(), 1u);
        EXPECT_EQ(h.hooks.notices[0].second, fails != nothing);
        EXPECT_EQ(h.hooks.notices[0].first == tr("notice.latency_apply_stop_failed"),
                  fails == stop);
        EXPECT_EQ(h.profile(id).latency, fails == stop ? "1" : "2");
        EXPECT_EQ(h.hooks.rebuilds, fails == nothing ? 1 : 0);
        EXPECT_EQ(h.rt(id)->process == engine, fails != nothing);
        EXPECT_EQ(h.rt(id)->isRunning(), fails != save);
    }
}

// A host that cannot be launched is an error state with the reason, shown as a warning.
TEST(EngineControllerTest, FailedLaunchBecomesErrorStateAndNotice) {
    ControllerHarness h;
    h.controller = EngineController::create(h.store, h.dispatch, h.hooks, h.dir.path());
    h.hooks.controller = h.controller.get();
    const uint32_t id = h.addDevice();
    h.controller->start(id);
    const auto rt = h.rt(id);
    EXPECT_FALSE(rt->isRunning());
    EXPECT_EQ(rt->value("status"), 7);
    ASSERT_EQ(h.hooks.notices.size(), 1u);
    EXPECT_TRUE(h.hooks.notices[0].second);
    EXPECT_EQ(rt->text("lastErrorKey"), h.hooks.notices[0].first);
}

}  // namespace
}  // namespace vornisel

// The stand-in host itself: its command line, start-up sequence and what it does with the files
// it finds in its place.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>

#include "controller_harness.h"
#include "engine/engine_command.h"
#include "engine/host_contract.h"

namespace vornisel {
namespace {

using Clock = std::chrono::steady_clock;

// Runs the host with `arguments`, waiting for it to end; its exit status, or nothing.
std::optional<int> runToEnd(const std::vector<std::string>& arguments) {
    auto process = Process::create(test::engineHostPath(), arguments);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    process->setStandardOutput(null);
    process->setStandardError(null);
    process->launch();
    ::close(null);
    if (!process->waitForExit(Clock::now() + std::chrono::seconds(10))) {
        process->signal(SIGKILL);
        return std::nullopt;
    }
    return process->terminationStatus();
}

TEST(EngineHostTest, RefusesAnyOtherCommandLine) {
    test::TempDir dir;
    test::writeFile(dir / "c.ini", "[network]\n");
    const std::string config = (dir / "c.ini").string();
    const std::string pid = std::to_string(::getpid());
    const std::vector<std::vector<std::string>> lines = {
        {},
        {"--config", config, "--client-id", "5"},
        {"--client-id", "5", "--config", config, "--parent-pid", pid},
        {"--config", config, "--client-id", "x5", "--parent-pid", pid},
        {"--config", config, "--client-id", "5", "--parent-pid", "0"},
        {"--config", (dir / "missing.ini").string(), "--client-id", "5", "--parent-pid", pid},
    };
    for (const auto& line : lines)
        EXPECT_EQ(runToEnd(line), 2);
    for (const char* faults : {"no-such-fault", "abi=", "status=256", "exit-after=-1"}) {
        ::setenv("VORNISEL_HOST_FAULT", faults, 1);
        EXPECT_EQ(runToEnd({"--config", config, "--client-id", "5", "--parent-pid", pid}), 2)
            << faults;
    }
    ::unsetenv("VORNISEL_HOST_FAULT");
}

// A panel killed outright cannot stop its engines: each engine it started notices on its own and
// leaves, taking its socket and statistics with it. The panel is a child of the test, so an
// engine that took the test (the panel's parent) for its panel would stay.
TEST(EngineHostTest, EnginesLeaveWhenThePanelThatStartedThemIsKilled) {
    test::ControllerHarness h;  // only the forked panel's copy starts engines
    const std::vector<uint32_t> ids = {h.addDevice(), h.addDevice()};
    const pid_t panel = ::fork();
    if (panel == 0) {
        for (const uint32_t id : ids)
            h.controller->start(id);
        ::pause();
        _exit(0);
    }
    const auto left = [](uint32_t id) { return test::socketExists(id) || test::statsExist(id); };
    const bool started =
        test::waitFor([&] { return std::all_of(ids.begin(), ids.end(), test::socketExists); });
    ::kill(panel, SIGKILL);
    ::waitpid(panel, nullptr, 0);
    ASSERT_TRUE(started) << "the panel's engines did not start";
    EXPECT_TRUE(test::waitFor([&] { return std::none_of(ids.begin(), ids.end(), left); },
                              std::chrono::seconds(10)));
}

// What a crashed host of its own leaves behind, the host replaces. Anything else in its place it
// leaves alone and refuses to run (status 1): a file that is no socket, anything of another user
// and the socket of a host that still serves.
TEST(EngineHostTest, ReplacesOnlyItsOwnLeftovers) {
    enum Leftover { staleSocket, plainFile, statistics };
    // What is planted, by whom, and whether the host runs.
    const std::tuple<Leftover, uid_t, bool> cases[] = {
        {staleSocket, ::geteuid(), true}, {statistics, ::geteuid(), true},
        {plainFile, ::geteuid(), false},  {staleSocket, 65534, false},
        {statistics, 65534, false},
    };
    test::ControllerHarness first;
    const uint32_t served = first.startServing();
    EXPECT_EQ(
        runToEnd({"--config", first.store.configURL(first.profile(served)).string(), "--client-id",
                  std::to_string(served), "--parent-pid", std::to_string(::getpid())}),
        1);
    EXPECT_TRUE(engineCommand(served, "GET_STATE")) << "the first host still serves";
    for (const auto& [leftover, owner, runs] : cases) {
        SCOPED_TRACE(::testing::Message() << leftover << " of " << owner);
        // Another user's rows come last: only root can give a file away.
        if (owner != ::geteuid() && ::geteuid() != 0)
            GTEST_SKIP() << "another user's rows need root";
        test::ControllerHarness h;
        const uint32_t id = h.addDevice();
        const std::string path =
            leftover == statistics ? "/dev/shm" + host::statsName(id) : host::socketPath(id);
        if (leftover == staleSocket) {
            ::close(test::listenAt(path.c_str()));
        } else {
            test::writeFile(path, "");
        }
        ASSERT_EQ(::chown(path.c_str(), owner, owner), 0);
        h.controller->start(id);
        if (runs) {
            EXPECT_TRUE(h.pollUntilStatus(id, 3));
            // A second host for the device leaves the one that serves alone.
            EXPECT_EQ(runToEnd(h.rt(id)->process->arguments()), 1);
            EXPECT_TRUE(engineCommand(id, "GET_STATE"));
            continue;
        }
        ASSERT_TRUE(h.rt(id)->process->waitForExit(Clock::now() + std::chrono::seconds(10)));
        EXPECT_EQ(h.rt(id)->process->terminationStatus(), 1);
        EXPECT_TRUE(std::filesystem::exists(path));
        // The card names another user's socket as the cause.
        ASSERT_TRUE(h.until([&] { return h.rt(id)->value("status") == 7; }));
        EXPECT_EQ(h.rt(id)->text("lastErrorKey") == "status.engine_socket_taken",
                  leftover == staleSocket && owner != ::geteuid());
    }
}

}  // namespace
}  // namespace vornisel

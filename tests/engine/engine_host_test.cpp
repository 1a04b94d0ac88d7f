// The stand-in host itself: its command line, start-up sequence, socket-file hygiene and the
// ways it ends.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "engine/engine_command.h"
#include "engine/host_contract.h"
#include "host_harness.h"
#include "support/temp_dir.h"

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

std::vector<std::string> argumentsFor(uint32_t id, const std::string& config, pid_t parent) {
    return {"--config",         config,         "--client-id",
            std::to_string(id), "--parent-pid", std::to_string(parent)};
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
        {"--config", (dir / "missing.ini").string(), "--client-id", "5", "--parent-pid", pid},
    };
    for (const auto& line : lines)
        EXPECT_EQ(runToEnd(line), 2);
    test::ScopedEnv fault("VORNISEL_HOST_FAULT", "no-such-fault");
    EXPECT_EQ(runToEnd(argumentsFor(test::uniqueId(), config, ::getpid())), 2);
}

TEST(EngineHostTest, WaitsForTheServerBeforeRunning) {
    const uint32_t id = test::uniqueId();
    test::ScopedEnv waiting("VORNISEL_HOST_WAITING_MS", "800");
    test::TempDir dir;
    test::writeFile(dir / "c.ini", "[vornisel]\ndriver_outputs=0,1\ndriver_inputs=\n");
    auto process = Process::create(test::engineHostPath(),
                                   argumentsFor(id, (dir / "c.ini").string(), ::getpid()));
    ASSERT_TRUE(process->launch());
    ASSERT_TRUE(test::waitFor([&] { return test::socketExists(id); }));
    // The starting phase lasts 0.2 s by default, the waiting one 0.8 s here.
    std::optional<nlohmann::ordered_json> waitingState;
    ASSERT_TRUE(test::waitFor([&] {
        auto state = engineCommand(id, "GET_STATE");
        if (state && (*state)["status"] == 2) waitingState = state;
        return waitingState.has_value();
    }));
    EXPECT_EQ((*waitingState)["healthReason"], 1);
    ASSERT_TRUE(test::waitFor([&] {
        auto state = engineCommand(id, "GET_STATE");
        return state && (*state)["status"] == 3 && (*state)["health"] == 1 &&
               (*state)["sampleRate"] == 48000 && (*state)["outputLevels"].size() == 2;
    }));
    process->terminate();
    ASSERT_TRUE(process->waitForExit(Clock::now() + std::chrono::seconds(5)));
    EXPECT_EQ(process->terminationStatus(), 0);
    EXPECT_FALSE(test::socketExists(id));
    EXPECT_FALSE(test::statsExist(id));
}

TEST(EngineHostTest, ExitsWhenItsParentIsGone) {
    auto parent = Process::create("/bin/sleep", {"0.3"});
    ASSERT_TRUE(parent->launch());
    test::TempDir dir;
    test::writeFile(dir / "c.ini", "[network]\n");
    const uint32_t id = test::uniqueId();
    auto host = Process::create(test::engineHostPath(), argumentsFor(id, (dir / "c.ini").string(),
                                                                     parent->processIdentifier()));
    ASSERT_TRUE(host->launch());
    ASSERT_TRUE(test::waitFor([&] { return test::socketExists(id); }));
    ASSERT_TRUE(parent->waitForExit(Clock::now() + std::chrono::seconds(5)));
    const auto gone = Clock::now();
    ASSERT_TRUE(host->waitForExit(Clock::now() + std::chrono::seconds(5)));
    EXPECT_LT(Clock::now() - gone, std::chrono::milliseconds(1500));
    EXPECT_FALSE(test::socketExists(id));
    EXPECT_FALSE(test::statsExist(id));
}

TEST(EngineHostTest, ReplacesItsOwnStaleSocketButNoOneElses) {
    test::TempDir dir;
    test::writeFile(dir / "c.ini", "[network]\n");
    const uint32_t id = test::uniqueId();
    const std::string path = host::socketPath(id);
    // A socket file nobody listens on, as a crashed host leaves it.
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    {
        test::HostRun host(id);
        ASSERT_TRUE(host.ready());
        EXPECT_TRUE(engineCommand(id, "GET_STATE"));
        // A second host of the same id must not steal the live socket.
        EXPECT_EQ(runToEnd(argumentsFor(id, (dir / "c.ini").string(), ::getpid())), 1);
        EXPECT_TRUE(engineCommand(id, "GET_STATE"));
    }
    if (::geteuid() != 0) return;
    test::writeFile(path, "");
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    EXPECT_EQ(runToEnd(argumentsFor(id, (dir / "c.ini").string(), ::getpid())), 1);
    EXPECT_TRUE(std::filesystem::exists(path));
    ::unlink(path.c_str());
}

}  // namespace
}  // namespace vornisel

#include "engine/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "support/temp_dir.h"

namespace vornisel {
namespace {

using Clock = std::chrono::steady_clock;

std::shared_ptr<Process> shell(const std::string& script) {
    return Process::create("/bin/sh", {"-c", script});
}

TEST(ProcessTest, ReportsExitStatusAndRunsHandlerOnItsOwnThread) {
    auto process = shell("exit 3");
    std::atomic<bool> handled{false};
    std::thread::id handlerThread;
    process->setTerminationHandler([&](Process& ended) {
        handlerThread = std::this_thread::get_id();
        EXPECT_FALSE(ended.isRunning());
        handled = true;
    });
    ASSERT_TRUE(process->launch());
    EXPECT_GT(process->processIdentifier(), 0);
    ASSERT_TRUE(test::waitFor([&] { return handled.load(); }));
    EXPECT_EQ(process->terminationStatus(), 3);
    EXPECT_FALSE(process->endedBySignal());
    EXPECT_NE(handlerThread, std::this_thread::get_id());
}

TEST(ProcessTest, WaitForExitWakesWhenTheProcessEnds) {
    auto process = shell("sleep 30");
    ASSERT_TRUE(process->launch());
    EXPECT_FALSE(process->waitForExit(Clock::now() + std::chrono::milliseconds(50)));
    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        process->terminate();
    });
    const auto start = Clock::now();
    EXPECT_TRUE(process->waitForExit(Clock::now() + std::chrono::seconds(10)));
    killer.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(process->endedBySignal());
    EXPECT_EQ(process->terminationStatus(), SIGTERM);
    // The pid is reaped and may be recycled: signalling now must be a no-op.
    process->signal(SIGKILL);
}

TEST(ProcessTest, LaunchFailureIsReported) {
    auto process = Process::create("/nonexistent/program", {});
    std::string error;
    EXPECT_FALSE(process->launch(&error));
    EXPECT_NE(error.find("/nonexistent/program"), std::string::npos);
    EXPECT_FALSE(process->isRunning());
    EXPECT_TRUE(process->waitForExit(Clock::now()));
}

// Only standard input, output and error reach the child, even from descriptors opened without
// close-on-exec.
TEST(ProcessTest, ChildInheritsNoOtherDescriptors) {
    test::TempDir dir;
    const int leaky = ::open((dir / "leak").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(leaky, 3);
    const int out = ::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    auto process = shell("ls /proc/self/fd");
    process->setStandardOutput(out);
    ASSERT_TRUE(process->launch());
    ASSERT_TRUE(process->waitForExit(Clock::now() + std::chrono::seconds(5)));
    ::close(out);
    ::close(leaky);
    // ls lists 0, 1, 2 and the descriptor it reads the directory with.
    std::string listing = test::readFile(dir / "out");
    std::erase(listing, '\n');
    EXPECT_EQ(listing, "0123");
}

// The child starts in the folder it was given, and a bare program name is found on the search
// path; a folder that is not there fails the launch instead of running the child elsewhere.
TEST(ProcessTest, StartsInItsWorkingDirectory) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "inside");
    const int out = ::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    auto process = Process::create("pwd", {"-P"});
    process->setStandardOutput(out);
    process->setWorkingDirectory(dir / "inside");
    ASSERT_TRUE(process->launch());
    ASSERT_TRUE(process->waitForExit(Clock::now() + std::chrono::seconds(5)));
    ::close(out);
    EXPECT_EQ(process->terminationStatus(), 0);
    EXPECT_EQ(test::readFile(dir / "out"),
              std::filesystem::canonical(dir / "inside").string() + "\n");

    auto missing = Process::create("pwd", {});
    missing->setWorkingDirectory(dir / "gone");
    std::string error;
    EXPECT_FALSE(missing->launch(&error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

}  // namespace
}  // namespace vornisel

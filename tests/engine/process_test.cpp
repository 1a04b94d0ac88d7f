#include "engine/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace vornisel {
namespace {

using Clock = std::chrono::steady_clock;

// Only standard input, output and error reach the child, even from descriptors opened without
// close-on-exec; it starts in the folder it was given, and a bare program name is found on the
// search path.
TEST(ProcessTest, ChildGetsItsFolderAndNoOtherDescriptors) {
    test::TempDir dir;
    const int leaky = ::open((dir / "leak").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(leaky, 3);
    const int out = ::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    auto process = Process::create("sh", {"-c", "pwd -P; ls /proc/self/fd | tr -d '\\n'"});
    process->setStandardOutput(out);
    process->setWorkingDirectory(dir.path());
    ASSERT_TRUE(process->launch());
    ASSERT_TRUE(process->waitForExit(Clock::now() + std::chrono::seconds(30)));
    ::close(out);
    ::close(leaky);
    EXPECT_EQ(process->terminationStatus(), 0);
    // ls lists 0, 1, 2 and the descriptor it reads the directory with.
    EXPECT_EQ(test::readFile(dir / "out"),
              std::filesystem::canonical(dir.path()).string() + "\n0123");
}

}  // namespace
}  // namespace vornisel

// Saving panel.json while the process is killed at any moment: the file must always hold a whole
// document and never the debris of one. (Failed writes are the model tests' concern.)
#include <sys/stat.h>

#include <csignal>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "engine/process.h"
#include "model/panel_store.h"
#include "support/temp_dir.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

ino_t inode(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(SaveCrashTest, KilledSavesLeaveAWholeDocumentAndNoTemporaries) {
    TempDir dir;
    PanelStore(dir.path()).save();
    std::mt19937 random(20261205);
    std::uniform_int_distribution<int> pause(0, 10000);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        const ino_t before = inode(dir / "panel.json");
        const auto saver =
            Process::create(fs::path(VORNISEL_TOOL_DIR) / "save_loop", {dir.path().string()});
        ASSERT_TRUE(saver->launch());
        // Saving has begun once the first save has replaced the file.
        ASSERT_TRUE(waitFor([&] { return inode(dir / "panel.json") != before; }, 20s, 1ms));
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        saver->signal(SIGKILL);
        ASSERT_TRUE(saver->waitForExit(std::chrono::steady_clock::now() + 10s));

        const PanelStore reopened(dir.path());
        EXPECT_EQ(reopened.clients().size() % 8, 0u) << readFile(dir / "panel.json");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
            << "a temporary outlived the opening";
    }
}

}  // namespace
}  // namespace vornisel::test

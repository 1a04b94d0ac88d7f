// Saving panel.json under the worst conditions: the process killed at any moment, a file-size
// limit, a full disk. The file must always hold a whole document and never the debris of one.
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "known_documents.h"
#include "model/panel_document.h"
#include "model/panel_store.h"
#include "reliability_support.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool isKnown(const PanelDocument& document) {
    const auto& known = knownDocuments();
    return std::find(known.begin(), known.end(), document) != known.end();
}

TEST(SaveCrashTest, KilledSavesLeaveAWholeDocumentAndNoTemporaries) {
    TempDir dir;
    writeFile(dir / "panel.json", panelJsonText(knownDocuments().front()));
    std::mt19937 random(20261205);
    std::uniform_int_distribution<int> pause(0, 15000);
    size_t mostStrays = 0;
    for (int round = 0; round < 200; ++round) {
        auto saver = startPiped(toolPath("save_loop"), {dir.path().string()});
        ASSERT_EQ(saver->read(1, 20s), "r") << "round " << round;
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        saver->process->signal(SIGKILL);
        ASSERT_TRUE(saver->process->waitForExit(std::chrono::steady_clock::now() + 10s));

        mostStrays = std::max(mostStrays, strayFiles(dir.path()).size());
        const PanelStore reopened(dir.path());
        ASSERT_TRUE(isKnown(reopened.document))
            << "round " << round << ": " << readFile(dir / "panel.json");
        EXPECT_TRUE(strayFiles(dir.path()).empty()) << "round " << round;
    }
    // A killed save may leave at most its own temporary, and only until the next opening.
    EXPECT_LE(mostStrays, 1u);
}

TEST(SaveCrashTest, FileSizeLimitFailsTheSaveAndKeepsTheOldFile) {
    TempDir dir;
    const std::string old = panelJsonText(knownDocuments().front());
    writeFile(dir / "panel.json", old);
    ASSERT_LT(old.size(), 4096u);
    ASSERT_GT(panelJsonText(knownDocuments().back()).size(), 4096u);

    auto saver = startPiped(toolPath("save_loop"), {dir.path().string(), "--limit", "4096"});
    const std::string shown = saver->read(4096, 20s);
    ASSERT_TRUE(saver->process->waitForExit(std::chrono::steady_clock::now() + 10s));
    EXPECT_EQ(saver->process->terminationStatus(), 0) << "the save did not fail";
    EXPECT_NE(shown.find("File too large"), std::string::npos) << shown;
    EXPECT_EQ(readFile(dir / "panel.json"), old);
    EXPECT_TRUE(strayFiles(dir.path()).empty());
}

// Fills a small file system of its own so that writes fail with "No space left on device".
class FullDisk {
public:
    FullDisk() {
        mount_ = dir_.path() / "small";
        fs::create_directory(mount_);
        mounted_ = ::mount("tmpfs", mount_.c_str(), "tmpfs", 0, "size=256k") == 0;
    }
    ~FullDisk() {
        if (mounted_) ::umount2(mount_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    const fs::path& path() const { return mount_; }
    void fill() {
        std::ofstream filler(mount_ / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), block.size())) {
        }
    }

private:
    TempDir dir_;
    fs::path mount_;
    bool mounted_ = false;
};

TEST(SaveCrashTest, FullDiskFailsTheSaveAndKeepsTheOldFile) {
    FullDisk disk;
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    PanelStore store(disk.path());
    store.document = knownDocuments().front();
    store.save();
    const std::string old = readFile(disk.path() / "panel.json");
    disk.fill();

    store.document = knownDocuments().back();
    try {
        store.save();
        FAIL() << "the save did not fail";
    } catch (const std::exception& error) {
        EXPECT_NE(std::string(error.what()).find("No space left on device"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(store.document, knownDocuments().back()) << "the document in memory stays";
    EXPECT_EQ(readFile(disk.path() / "panel.json"), old);
    const auto strays = strayFiles(disk.path());
    EXPECT_EQ(strays, std::vector<std::string>{"filler"});
}

}  // namespace
}  // namespace vornisel::test

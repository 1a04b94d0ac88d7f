#include "hardware/path_watch.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/temp_dir.h"

namespace vornisel {
namespace {

using test::TempDir;
using test::writeFile;

// Each step changes the disk and says whether the watch must report it; inotify queues events
// within the changing call, so they are there to read right after it.
TEST(PathWatchTest, ReportsTheWatchedPathsAlsoBeforeTheirFoldersExist) {
    TempDir dir;
    PathWatch watch({dir / "conf/alsa/asoundrc", dir / "home.rc"}, {dir / "snd"});
    ASSERT_GE(watch.fd(), 0);
    namespace fs = std::filesystem;
    const std::vector<std::tuple<const char*, std::function<void()>, bool>> steps = {
        {"an unrelated file", [&] { writeFile(dir / "other", "x"); }, false},
        {"a file in the home folder", [&] { writeFile(dir / "home.rc", "x"); }, true},
        {"its folder's folder appears", [&] { fs::create_directory(dir / "conf"); }, true},
        {"an unrelated folder there", [&] { fs::create_directory(dir / "conf/gtk"); }, false},
        {"its folder appears", [&] { fs::create_directory(dir / "conf/alsa"); }, true},
        {"the file is created", [&] { writeFile(dir / "conf/alsa/asoundrc", "a"); }, true},
        {"a file beside it", [&] { writeFile(dir / "conf/alsa/other", "a"); }, false},
        {"the file is replaced",
         [&] { fs::rename(dir / "conf/alsa/other", dir / "conf/alsa/asoundrc"); }, true},
        {"the node folder appears", [&] { fs::create_directory(dir / "snd"); }, true},
        {"a node in it", [&] { writeFile(dir / "snd/pcmC1D0p", ""); }, true},
        {"a node written and closed", [&] { writeFile(dir / "snd/pcmC1D0p", "x"); }, false},
        {"a node goes", [&] { fs::remove(dir / "snd/pcmC1D0p"); }, true},
        {"the folders go", [&] { fs::remove_all(dir / "conf"); }, true},
        {"the file's folder is back", [&] { fs::create_directories(dir / "conf/alsa"); }, true},
    };
    for (const auto& [what, change, reported] : steps) {
        change();
        EXPECT_EQ(watch.readEvents(), reported) << what;
    }
}

}  // namespace
}  // namespace vornisel

// A panel.json that never ends (a FIFO nobody writes, a link to /dev/zero) must neither hang the
// opening nor fill the memory: it is refused as no regular file, and left where it is.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "model/panel_store.h"
#include "support/temp_dir.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;

TEST(BadFileTest, EndlessPanelFileIsRefusedAndLeftAlone) {
    for (const bool fifo : {true, false}) {
        TempDir dir;
        const fs::path path = dir / "panel.json";
        if (fifo) {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        } else {
            fs::create_symlink("/dev/zero", path);
        }
        std::string error;
        try {
            PanelStore store(dir.path());
        } catch (const std::exception& thrown) {
            error = thrown.what();
        }
        EXPECT_EQ(error, "panel.json: is not a regular file and is not read");
        EXPECT_EQ(fs::symlink_status(path).type(),
                  fifo ? fs::file_type::fifo : fs::file_type::symlink);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    }
}

}  // namespace
}  // namespace vornisel::test

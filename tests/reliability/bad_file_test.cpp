// A panel.json that never ends (a FIFO nobody writes) must neither hang the opening nor fill the
// memory: it is refused as no regular file, and left where it is.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "model/panel_store.h"
#include "support/temp_dir.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;

TEST(BadFileTest, EndlessPanelFileIsRefusedAndLeftAlone) {
    TempDir dir;
    const fs::path path = dir / "panel.json";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    std::string error;
    try {
        PanelStore store(dir.path());
    } catch (const std::exception& thrown) {
        error = thrown.what();
    }
    EXPECT_EQ(error, "panel.json: is not a regular file and is not read");
    EXPECT_EQ(fs::status(path).type(), fs::file_type::fifo);
}

}  // namespace
}  // namespace vornisel::test

// Opening the store on damaged or hostile files: each is refused with an error that names the
// file, nothing is written and the file stays exactly as it was. The wording of each error is the
// model tests' concern.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "model/panel_document.h"
#include "model/panel_store.h"
#include "reliability_support.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;

std::string nested(size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

// Inode, size and modification time: a write or a replacement changes one of them.
std::string fileState(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return "missing";
    return std::to_string(info.st_ino) + "/" + std::to_string(info.st_size) + "/" +
           std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
}

void expectRefusedAndLeftAlone(const TempDir& dir, const std::string& file) {
    const std::string before = fileState(dir / file);
    std::string error;
    try {
        PanelStore store(dir.path());
    } catch (const std::exception& thrown) {
        error = thrown.what();
    }
    EXPECT_TRUE(error.starts_with(file + ": ")) << error;
    EXPECT_EQ(fileState(dir / file), before);
    // Nothing else appears: no panel.json from a failed migration, no temporaries.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(BadFileTest, DamagedFilesAreRefusedNamingTheFileAndLeftAlone) {
    const std::string panel = panelJsonText(PanelDocument{});
    const std::string profiles =
        R"([{"id":7,"name":"a","server":"auto","port":"1","device":"d","latency":"2",)"
        R"("driverOutputs":"","outputMap":"","driverInputs":"","inputMap":""}])";
    const std::pair<std::string, std::string> cases[] = {
        {"panel.json", ""},
        {"panel.json", panel.substr(0, panel.size() / 2)},
        {"panel.json", std::string("\0\0\0\0", 4)},
        {"panel.json", nested(10000)},
        {"panel.json", panel + "}"},
        {"panel.json", R"({"version":"2"})"},
        {"profiles.json", profiles.substr(0, profiles.size() / 2)},
        {"profiles.json", "[{\"name\":\"M\xFCller\"}]"},
        {"profiles.json", nested(65)},
        {"profiles.json", "2"},
        {"profiles.json", R"([{"id":"7"}])"},
    };
    for (const auto& [file, bytes] : cases) {
        SCOPED_TRACE(file + " holding " + bytes.substr(0, 40));
        TempDir dir;
        writeFile(dir / file, bytes);
        expectRefusedAndLeftAlone(dir, file);
    }
    // A panel.json that never ends (a FIFO nobody writes, a link to /dev/zero) must neither hang
    // the opening nor fill the memory.
    TempDir fifo;
    ASSERT_EQ(::mkfifo((fifo / "panel.json").c_str(), 0600), 0);
    expectRefusedAndLeftAlone(fifo, "panel.json");
    TempDir zero;
    fs::create_symlink("/dev/zero", zero / "panel.json");
    expectRefusedAndLeftAlone(zero, "panel.json");
}

}  // namespace
}  // namespace vornisel::test

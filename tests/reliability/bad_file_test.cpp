// Opening the store on damaged or hostile files: each is refused with a message that tells the
// user which file is wrong and how, nothing is written, and the file stays exactly as it was.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>

#include "model/panel_document.h"
#include "model/panel_store.h"
#include "reliability_support.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;

struct BadFile {
    const char* name;
    std::string bytes;
    // Part of the error text the user sees.
    std::string says;
};

std::string nested(size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

const std::string kProfile =
    R"({"id":7,"name":"a","server":"auto","port":"1","device":"d","latency":"2",)"
    R"("driverOutputs":"","outputMap":"","driverInputs":"","inputMap":""})";

std::vector<BadFile> badContents(const std::string& file, const std::string& valid) {
    return {
        {"empty", "", file + ": is not valid JSON (it ends early)"},
        {"truncated", valid.substr(0, valid.size() / 2),
         file + ": is not valid JSON (it ends early)"},
        {"not UTF-8", "[\"\xC3\x28\"]", file + ": is not valid UTF-8 text (at line 1, column 3)"},
        {"Latin-1 name", "{\"name\":\"M\xFCller\"}", file + ": is not valid UTF-8 text"},
        {"nested 10000 deep", nested(10000), file + ": is nested more than 64 levels deep"},
        {"nested 65 deep", nested(65), file + ": is nested more than 64 levels deep"},
        {"NUL bytes", std::string("\0\0\0\0", 4), file + ": is not valid JSON"},
        {"not JSON at all", "version=2\n", file + ": is not valid JSON (at line 1, column 1)"},
        {"trailing garbage", valid + "}", file + ": is not valid JSON"},
        {"a number", "2", file + ": must hold"},
    };
}

std::string fileState(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return "missing";
    return std::to_string(info.st_size) + "/" + std::to_string(info.st_mtim.tv_sec) + "." +
           std::to_string(info.st_mtim.tv_nsec);
}

// Opens the store and returns the error text; "" when it opened.
std::string openingError(const fs::path& dir) {
    try {
        PanelStore store(dir);
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

void expectRefused(const std::string& file, const BadFile& bad) {
    SCOPED_TRACE(file + ", " + bad.name);
    TempDir dir;
    writeFile(dir / file, bad.bytes);
    const std::string before = fileState(dir / file);
    const std::string error = openingError(dir.path());
    EXPECT_NE(error.find(bad.says), std::string::npos) << error;
    EXPECT_EQ(readFile(dir / file), bad.bytes);
    EXPECT_EQ(fileState(dir / file), before);
    // Nothing else appears: no panel.json from a failed migration, no temporaries.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(BadFileTest, DamagedPanelJsonIsRefusedWithAClearTextAndLeftAlone) {
    const std::string valid = panelJsonText(PanelDocument{});
    for (const auto& bad : badContents("panel.json", valid))
        expectRefused("panel.json", bad);
    expectRefused("panel.json", {"wrong type", R"({"version":"2"})", "panel.json: "});
}

TEST(BadFileTest, DamagedProfilesJsonIsRefusedWithAClearTextAndLeftAlone) {
    const std::string valid = "[" + kProfile + "]";
    for (const auto& bad : badContents("profiles.json", valid))
        expectRefused("profiles.json", bad);
    expectRefused("profiles.json", {"wrong type", R"([{"id":"7"}])", "profiles.json: [0]"});
}

// Larger than any panel document: refused before a byte is read (the file is sparse, so making
// it costs nothing).
TEST(BadFileTest, AbsurdlyLargeFilesAreRefusedUnread) {
    for (const std::string file : {"panel.json", "profiles.json"}) {
        SCOPED_TRACE(file);
        TempDir dir;
        {
            std::ofstream out(dir / file);
            out << "{";
        }
        fs::resize_file(dir / file, maxDocumentBytes + 1);
        const std::string before = fileState(dir / file);
        const auto start = std::chrono::steady_clock::now();
        const std::string error = openingError(dir.path());
        EXPECT_LT(secondsSince(start), 1.0);
        EXPECT_EQ(error, file + ": is larger than 16 MiB and is not read");
        EXPECT_EQ(fileState(dir / file), before);
    }
}

// A panel.json that never ends (a FIFO nobody writes, a link to /dev/zero) must not hang the
// launch or eat the memory.
TEST(BadFileTest, EndlessPanelJsonDoesNotHangTheOpening) {
    TempDir fifoDir;
    ASSERT_EQ(::mkfifo((fifoDir / "panel.json").c_str(), 0600), 0);
    TempDir zeroDir;
    fs::create_symlink("/dev/zero", zeroDir / "panel.json");
    for (const TempDir* dir : {&fifoDir, &zeroDir}) {
        const auto start = std::chrono::steady_clock::now();
        const std::string error = openingError(dir->path());
        EXPECT_LT(secondsSince(start), 2.0);
        EXPECT_NE(error.find("panel.json"), std::string::npos) << error;
    }
    EXPECT_TRUE(fs::is_fifo(fifoDir / "panel.json"));
    EXPECT_TRUE(fs::is_symlink(zeroDir / "panel.json"));
}

}  // namespace
}  // namespace vornisel::test

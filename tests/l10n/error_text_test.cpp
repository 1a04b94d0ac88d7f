#include "l10n/error_text.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "base/safe_file.h"
#include "l10n/localizer.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

namespace fs = std::filesystem;

// Each way a file is refused reads in the user's language, names the file, and tells the
// refusals apart.
TEST(ErrorTextTest, RefusedFilesAreNamedInTheUsersLanguage) {
    test::TempDir temp;
    fs::create_symlink(temp / "file", temp / "link");
    ::mkfifo((temp / "fifo").c_str(), 0600);
    fs::create_directory(temp / "folder");
    test::writeFile(temp / "file", "12");
    Localizer::shared().load("ru", test::sourceDir() / "resources");
    const Folder folder = openRootFolder(temp.path(), false);
    const std::function<void()> refusals[] = {
        [&] { openFileIn(folder, "link", O_RDONLY); },
        [&] { openFileIn(folder, "fifo", O_RDONLY); },
        [&] { openFileIn(folder, "folder", O_RDONLY); },
        [&] { openFileIn(folder, "missing", O_RDONLY); },
        [&] { openSubfolder(folder, "file", false); },
        [&] { readFileIn(folder, "file", 1); },
    };
    std::set<std::string> reasons;
    for (const auto& refuse : refusals) {
        try {
            refuse();
            ADD_FAILURE() << "not refused";
        } catch (const UnsafeFileError& error) {
            const std::string said = errorText(error);
            const size_t named = said.find(error.path().string());
            ASSERT_NE(named, std::string::npos) << said;
            EXPECT_NE(said, error.what());
            EXPECT_TRUE(reasons.insert(said.substr(named + error.path().string().size())).second)
                << said;
        }
    }
}

}  // namespace
}  // namespace vornisel

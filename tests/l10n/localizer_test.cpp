#include "l10n/localizer.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "base/app_bundle.h"
#include "base/safe_file.h"
#include "l10n/error_text.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

using Values = std::map<std::string, std::string>;

TEST(LocalizerTest, ParsesEntriesExactlyAsWritten) {
    const std::map<std::string, Values> cases = {
        {"key = v=w", {{"key ", " v=w"}}},
        {";c=commented\n[section]\nplain", {}},
        {"k=first\nk=second", {{"k", "second"}}},
        {"=empty key\nv=", {{"", "empty key"}, {"v", ""}}},
        {" ;not=comment", {{" ;not", "comment"}}},
        {"a=1\r\nb=2\rc=3\vd=4\fe=5", {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}, {"e", "5"}}},
        {"a=1\u0085b=2\u2028c=3\u2029d=4", {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}},
        {"a=x\u2027y\u00A0z", {{"a", "x\u2027y\u00A0z"}}},  // not line separators
    };
    for (const auto& [file, values] : cases) {
        Localizer localizer;
        localizer.addEntries(file);
        EXPECT_EQ(localizer.values, values) << file;
    }
}

TEST(LocalizerTest, TextSubstitutesArgumentsInOrderThenPlatformWords) {
    Localizer::shared().values = {
        {"two", "{0} and {1}, {0} again"},
        {"words", "Windows ASIO tray Tray"},
        {"all", "{0}|{1}|{2}|{3}"},
    };
    const std::string name = "name";
    EXPECT_EQ(tr("two", "A", "B"), "A and B, A again");
    EXPECT_EQ(tr("two", "A"), "A and {1}, A again");
    EXPECT_EQ(tr("two", "{1}", "X"), "X and X, X again");    // an argument's placeholder is filled
    EXPECT_EQ(tr("two", "A", "{0}"), "A and {0}, A again");  // later, but never an earlier one
    EXPECT_EQ(tr("words"), "Linux ALSA tray Tray");
    EXPECT_EQ(tr("all", name, 42, -7LL, 4294967295u), "name|42|-7|4294967295");
    EXPECT_EQ(tr("missing.{0}", "key"), "missing.key");
    Localizer::shared().values.clear();
}

TEST(LocalizerTest, LoadsEnglishThenTheLanguageOnTopSkippingBrokenFiles) {
    test::TempDir temp;
    std::filesystem::create_directories(temp / "Contents/Resources/lang");
    for (const auto& [code, text] :
         Values{{"en", "a=A\nb=B"}, {"ru", "a=Ру\nd=Д"}, {"bad", "a=\xFF\xFE"}}) {
        test::writeFile(temp / ("Contents/Resources/lang/" + code + ".ini"), text);
    }
    AppBundle::setLocation(temp.path());
    const std::map<std::string, Values> cases = {
        {"ru", {{"a", "Ру"}, {"b", "B"}, {"d", "Д"}}},
        {"de", {{"a", "A"}, {"b", "B"}}},
        {"bad", {{"a", "A"}, {"b", "B"}}},
    };
    for (const auto& [language, values] : cases) {
        Localizer::shared().values = {{"stale", "x"}};
        Localizer::shared().load(language);
        EXPECT_EQ(Localizer::shared().values, values) << language;
    }
    Localizer::shared().load("en", "");
    EXPECT_TRUE(Localizer::shared().values.empty());
}

// Each way a file is refused reads in the user's language, names the file, and tells the
// refusals apart.
TEST(LocalizerTest, RefusedFilesAreNamedInTheUsersLanguage) {
    test::TempDir temp;
    namespace fs = std::filesystem;
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

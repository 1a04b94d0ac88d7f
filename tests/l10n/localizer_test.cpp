#include "l10n/localizer.h"

#include <gtest/gtest.h>

#include "base/app_bundle.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

using test::TempDir;
using test::writeFile;

// A resource folder with the given language files.
void writeLanguages(const std::filesystem::path& resources,
                    const std::map<std::string, std::string>& files) {
    std::filesystem::create_directories(resources / "lang");
    for (const auto& [code, text] : files)
        writeFile(resources / "lang" / (code + ".ini"), text);
}

TEST(LocalizerTest, ParsesEntriesExactlyAsWritten) {
    struct Case {
        std::string file;
        std::map<std::string, std::string> values;
    };
    const std::vector<Case> cases = {
        {"a=1\nb=2", {{"a", "1"}, {"b", "2"}}},
        {"key = value", {{"key ", " value"}}},
        {";c=commented\n[section]\nplain", {}},
        {"k=v=w", {{"k", "v=w"}}},
        {"k=\\n stays", {{"k", "\\n stays"}}},
        {"k=first\nk=second", {{"k", "second"}}},
        {"=empty key\nv=", {{"", "empty key"}, {"v", ""}}},
        {" ;not=comment", {{" ;not", "comment"}}},
        {"a=1\r\nb=2\rc=3", {{"a", "1"}, {"b", "2"}, {"c", "3"}}},
        {"a=1\vb=2\fc=3", {{"a", "1"}, {"b", "2"}, {"c", "3"}}},
        {"a=1\u0085b=2\u2028c=3\u2029d=4", {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}},
        {"a=x\u2027y\u00A0z", {{"a", "x\u2027y\u00A0z"}}},  // not line separators
        {"ru=Привет", {{"ru", "Привет"}}},
    };
    for (const auto& c : cases) {
        Localizer localizer;
        localizer.addEntries(c.file);
        EXPECT_EQ(localizer.values, c.values) << c.file;
    }
}

TEST(LocalizerTest, TextSubstitutesArgumentsInOrderThenPlatformWords) {
    Localizer localizer;
    localizer.values = {
        {"two", "{0} and {1}, {0} again"},
        {"words", "Windows ASIO tray Tray WindowsASIO"},
        {"chain", "<{0}>"},
    };
    struct Case {
        std::string key;
        std::vector<std::string> args;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"two", {"A", "B"}, "A and B, A again"},
        {"two", {"A"}, "A and {1}, A again"},
        {"two", {}, "{0} and {1}, {0} again"},
        {"two", {"{1}", "X"}, "X and X, X again"},    // an argument's placeholder is filled later
        {"two", {"A", "{0}"}, "A and {0}, A again"},  // but never an earlier one
        {"words", {}, "Linux ALSA tray Tray LinuxALSA"},
        {"chain", {"MYASIOX"}, "<MYALSAX>"},
        {"chain", {"a", "b", "c"}, "<a>"},
        {"missing.key", {"x"}, "missing.key"},
        {"{0}", {"arg"}, "arg"},  // a missing key is its own text and is formatted too
    };
    for (const auto& c : cases)
        EXPECT_EQ(localizer.text(c.key, c.args), c.text) << c.key;
}

TEST(LocalizerTest, TrConvertsArgumentsToText) {
    Localizer::shared().values = {{"k", "{0}|{1}|{2}|{3}|{4}"}};
    const std::string name = "name";
    EXPECT_EQ(tr("k", name, "literal", 42, -7LL, 4294967295u), "name|literal|42|-7|4294967295");
    EXPECT_EQ(tr("k"), "{0}|{1}|{2}|{3}|{4}");
    Localizer::shared().values.clear();
    EXPECT_EQ(tr("main.settings"), "main.settings");
}

TEST(LocalizerTest, LoadsEnglishThenTheLanguageOnTop) {
    TempDir temp;
    writeLanguages(temp.path(), {{"en", "a=A\nb=B\nc=C"}, {"ru", "a=Ру\nd=Д"}});
    struct Case {
        std::string language;
        std::map<std::string, std::string> values;
    };
    const std::vector<Case> cases = {
        {"en", {{"a", "A"}, {"b", "B"}, {"c", "C"}}},
        {"ru", {{"a", "Ру"}, {"b", "B"}, {"c", "C"}, {"d", "Д"}}},
        {"de", {{"a", "A"}, {"b", "B"}, {"c", "C"}}},
    };
    for (const auto& c : cases) {
        Localizer localizer;
        localizer.values = {{"stale", "x"}};
        localizer.load(c.language, temp.path());
        EXPECT_EQ(localizer.values, c.values) << c.language;
    }
}

TEST(LocalizerTest, MissingOrBrokenFilesAreSkipped) {
    TempDir temp;
    writeLanguages(temp.path(), {{"en", "a=A"}, {"bad", "a=\xFF\xFE"}});
    Localizer localizer;
    localizer.load("bad", temp.path());
    EXPECT_EQ(localizer.values, (std::map<std::string, std::string>{{"a", "A"}}));

    TempDir empty;
    localizer.load("en", empty.path());
    EXPECT_TRUE(localizer.values.empty());
    localizer.load("en", "");
    EXPECT_TRUE(localizer.values.empty());
}

TEST(LocalizerTest, SharedInstanceReadsTheBundlesResources) {
    TempDir temp;
    writeLanguages(temp / "Contents/Resources", {{"en", "main.settings=Settings"}});
    AppBundle::setLocation(temp.path());
    Localizer::shared().load("ru");
    EXPECT_EQ(tr("main.settings"), "Settings");
    Localizer::shared().values.clear();
}

}  // namespace
}  // namespace vornisel

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "l10n/localizer.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> languageTable(const std::string& code) {
    Localizer localizer;
    localizer.addEntries(test::readFile(test::sourceDir() / "resources/lang" / (code + ".ini")));
    return localizer.values;
}

// The keys the program looks up: every "section.name" literal in its sources whose section is a
// section of the language files. Names of files the program writes are no keys.
std::set<std::string> keysInSources(const std::set<std::string>& sections) {
    const std::regex literal(R"re("([a-z_]+)\.([a-z0-9_]+)")re");
    const std::set<std::string> fileTypes = {"csv", "txt", "png", "json", "ini", "h"};
    std::set<std::string> keys;
    for (const char* folder : {"src", "engine_host"}) {
        for (const auto& entry : fs::recursive_directory_iterator(test::sourceDir() / folder)) {
            if (!entry.is_regular_file()) continue;
            const std::string text = test::readFile(entry.path());
            for (std::sregex_iterator it(text.begin(), text.end(), literal), end; it != end; ++it) {
                if (sections.contains((*it)[1]) && !fileTypes.contains((*it)[2]))
                    keys.insert((*it)[1].str() + "." + (*it)[2].str());
            }
        }
    }
    return keys;
}

// The placeholder numbers a value uses.
std::set<std::string> placeholders(const std::string& value) {
    const std::regex placeholder(R"(\{[0-9]+\})");
    return {std::sregex_token_iterator(value.begin(), value.end(), placeholder),
            std::sregex_token_iterator()};
}

TEST(LanguageFilesTest, DefineEveryKeyTheProgramLooksUpAndNoOther) {
    const auto english = languageTable("en");
    std::set<std::string> sections;
    for (const auto& [key, value] : english)
        sections.insert(key.substr(0, key.find('.')));
    const std::set<std::string> used = keysInSources(sections);
    const std::regex platformWords("ASIO|Windows");
    for (const std::string code : {"en", "ru"}) {
        const auto table = languageTable(code);
        for (const std::string& key : used)
            EXPECT_TRUE(table.contains(key)) << code << " lacks " << key;
        for (const auto& [key, value] : table) {
            EXPECT_TRUE(used.contains(key)) << code << " defines unused " << key;
            EXPECT_TRUE(english.contains(key) &&
                        placeholders(value) == placeholders(english.at(key)))
                << code << ": " << key << "=" << value;
            EXPECT_TRUE(!value.empty() && value.front() != ' ' && value.back() != ' ') << key;
            // The platform rewrite would turn these into other words mid-sentence.
            EXPECT_FALSE(std::regex_search(value, platformWords)) << key;
        }
    }
}

}  // namespace
}  // namespace vornisel

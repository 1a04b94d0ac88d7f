#include "hardware/alsa_user_pcms.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace vornisel {

bool operator==(const ConfiguredPcm& a, const ConfiguredPcm& b) {
    return a.name == b.name && a.description == b.description;
}

void PrintTo(const ConfiguredPcm& pcm, std::ostream* out) {
    *out << pcm.name << " \"" << pcm.description << '"';
}

namespace {

using test::TempDir;
using test::writeFile;

TEST(AlsaUserPcmsTest, FindsTheUsersOwnFilesAsAlsaDoes) {
    using Files = std::vector<std::filesystem::path>;
    EXPECT_EQ(userConfigFiles("/home/u", ""),
              (Files{"/home/u/.asoundrc", "/home/u/.config/alsa/asoundrc"}));
    EXPECT_EQ(userConfigFiles("/home/u", "/xdg"),
              (Files{"/home/u/.asoundrc", "/xdg/alsa/asoundrc"}));
    EXPECT_EQ(userConfigFiles("", "/xdg"), (Files{"/xdg/alsa/asoundrc"}));
    EXPECT_TRUE(userConfigFiles("", "").empty());
}

TEST(AlsaUserPcmsTest, ListsHintedPcmsInDefinitionOrder) {
    TempDir dir;
    writeFile(dir / "first", R"(
pcm.zeta { type null hint { show on description "Zeta Box" } }
pcm.hidden { type null hint { show off description "Hidden" } }
pcm.unhinted { type null }
pcm.alias "zeta"
pcm.plain_hint { type null hint.description "Shown without show" }
pcm.bare_hint { type null hint { show yes } }
pcm.odd_show { type null hint { show maybe description "Unreadable show" } }
)");
    writeFile(dir / "second", R"(
pcm.alpha { type null hint { show true description "Alpha" } }
pcm.zeta { hint.description "Zeta Renamed" }
pcm.unhinted.hint.show on
)");
    const std::vector<ConfiguredPcm> expected = {
        {"zeta", "Zeta Renamed"}, {"unhinted", ""},   {"plain_hint", "Shown without show"},
        {"bare_hint", ""},        {"alpha", "Alpha"},
    };
    EXPECT_EQ(visiblePcms({dir / "first", dir / "missing", dir / "second"}), expected);
}

TEST(AlsaUserPcmsTest, MalformedOrAbsentFilesGiveNothing) {
    TempDir dir;
    writeFile(dir / "broken", "pcm.x { type null hint { show on description \"X\" \n");
    writeFile(dir / "nopcm", "ctl.y { type hw card 0 }\n");
    writeFile(dir / "scalar", "pcm 3\n");
    for (const char* name : {"broken", "nopcm", "scalar", "missing"}) {
        EXPECT_TRUE(visiblePcms({dir / name}).empty()) << name;
    }
    EXPECT_TRUE(visiblePcms({dir.path()}).empty());
}

}  // namespace
}  // namespace vornisel

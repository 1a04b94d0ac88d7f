#include "desktop/login_item.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace vornisel {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

// The bundle's path reaches both files with their own escapes.
TEST(LoginItemTest, EscapesTheBundlesPathInBothFiles) {
    const LoginItem item("/h", "/a$b\"c`d/100%/back\\slash/<A&B>.app", "/x");
    EXPECT_NE(
        item.desktopEntryText().find("\nExec=\"/a\\\\$b\\\\\"c\\\\`d/100%%/back\\\\\\\\slash/"
                                     "<A&B>.app/Contents/MacOS/vornisel-control\" --autostart\n"),
        std::string::npos)
        << item.desktopEntryText();
    EXPECT_NE(
        item.plistText().find("<string>/a$b\"c`d/100%/back\\slash/&lt;A&amp;B&gt;.app</string>"),
        std::string::npos)
        << item.plistText();
}

TEST(LoginItemTest, AnInstalledPanelStartsFromItsLauncherWithTheThemesIcon) {
    TempDir prefix;
    const fs::path bundle = prefix / "lib/vornisel-control/VorniselControl.app";
    const fs::path program = bundle / "Contents/MacOS/vornisel-control";
    const fs::path launcher = prefix / "bin/vornisel-control";
    const fs::path themeIcon =
        prefix / "share/icons/hicolor/256x256/apps/com.quelt.vornisel.client.png";
    const auto starts = [&](const fs::path& exec, const std::string& icon) {
        const std::string text = LoginItem("/h", bundle, "/x").desktopEntryText();
        return text.find("\nTryExec=" + exec.string() + "\nExec=\"" + exec.string() +
                         "\" --autostart\nIcon=" + icon + "\n") != std::string::npos;
    };
    writeFile(program, "");
    writeFile(themeIcon, "");
    // Another program in the launcher's place is not ours to start.
    writeFile(launcher, "");
    EXPECT_TRUE(starts(program, "com.quelt.vornisel.client"));
    fs::remove(launcher);
    fs::create_symlink(
        "../lib/vornisel-control/VorniselControl.app/Contents/MacOS/vornisel-control", launcher);
    EXPECT_TRUE(starts(launcher, "com.quelt.vornisel.client"));
    fs::remove(themeIcon);
    EXPECT_TRUE(starts(launcher, (bundle / "Contents/Resources/vornisel.png").string()));
}

TEST(LoginItemTest, EnablingWritesBothFilesAndAFailureLeavesNoHalfRegistration) {
    TempDir dir;
    const LoginItem item(dir / "home", "/b", dir / "config");
    item.configure(true);
    EXPECT_EQ(readFile(item.plistPath()), item.plistText());
    EXPECT_EQ(readFile(item.autostartPath()), item.desktopEntryText());
    item.configure(false);
    EXPECT_NO_THROW(item.configure(false));

    // A folder in place of the entry cannot be deleted as a file; the property list stays.
    item.configure(true);
    fs::remove(item.autostartPath());
    fs::create_directories(item.autostartPath() / "inside");
    EXPECT_THROW(item.configure(false), fs::filesystem_error);
    EXPECT_EQ(readFile(item.plistPath()), item.plistText());

    // A plain file where the autostart folder, or the agents' home, should be.
    writeFile(dir / "config2", "not a folder");
    const LoginItem blockedAutostart(dir / "home2", "/b", dir / "config2");
    EXPECT_THROW(blockedAutostart.configure(true), fs::filesystem_error);
    EXPECT_FALSE(fs::exists(blockedAutostart.plistPath()));
    writeFile(dir / "home3", "not a folder");
    const LoginItem blockedAgent(dir / "home3", "/b", dir / "config3");
    EXPECT_THROW(blockedAgent.configure(true), fs::filesystem_error);
    EXPECT_FALSE(fs::exists(blockedAgent.autostartPath()));
}

}  // namespace
}  // namespace vornisel

#include "desktop/login_item.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "base/app_bundle.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(LoginItemTest, PropertyListHasExactlyTheThreeKeys) {
    const LoginItem item("/home/ann", "/opt/A&B <x>/VorniselControl.app", "/home/ann/.config");
    EXPECT_EQ(item.plistPath(),
              fs::path("/home/ann/Library/LaunchAgents/com.quelt.vornisel.client.plist"));
    EXPECT_EQ(item.plistText(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
              "<plist version=\"1.0\">\n<dict>\n"
              "\t<key>Label</key>\n\t<string>com.quelt.vornisel.client</string>\n"
              "\t<key>ProgramArguments</key>\n\t<array>\n"
              "\t\t<string>/usr/bin/open</string>\n\t\t<string>-a</string>\n"
              "\t\t<string>/opt/A&amp;B &lt;x&gt;/VorniselControl.app</string>\n"
              "\t</array>\n"
              "\t<key>RunAtLoad</key>\n\t<true/>\n"
              "</dict>\n</plist>\n");
}

TEST(LoginItemTest, AutostartEntryStartsTheProgramInsideTheBundle) {
    struct Case {
        std::string bundle;
        std::string exec;
    };
    const Case cases[] = {
        {"/opt/VorniselControl.app",
         "Exec=\"/opt/VorniselControl.app/Contents/MacOS/vornisel-control\""},
        {"/my apps/V.app", "Exec=\"/my apps/V.app/Contents/MacOS/vornisel-control\""},
        {"/a$b\"c`d/V.app", "Exec=\"/a\\\\$b\\\\\"c\\\\`d/V.app/Contents/MacOS/vornisel-control\""},
        {"/100%/V.app", "Exec=\"/100%%/V.app/Contents/MacOS/vornisel-control\""},
        {"/back\\slash/V.app", "Exec=\"/back\\\\\\\\slash/V.app/Contents/MacOS/vornisel-control\""},
    };
    for (const Case& c : cases) {
        const LoginItem item("/home/ann", c.bundle, "/xdg");
        const std::string text = item.desktopEntryText();
        EXPECT_EQ(text.rfind("[Desktop Entry]\nType=Application\n", 0), 0u) << text;
        EXPECT_NE(text.find("\n" + c.exec + "\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\nName=Vornisel Control\n"), std::string::npos);
    }
    EXPECT_EQ(LoginItem("/h", "/b", "/xdg").autostartPath(),
              fs::path("/xdg/autostart/com.quelt.vornisel.client.desktop"));
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
        return text.find("\nExec=\"" + exec.string() + "\"\nIcon=" + icon + "\n") !=
               std::string::npos;
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

TEST(LoginItemTest, EnableWritesBothDisableDeletesBothAndDisablingAgainIsSilent) {
    TempDir dir;
    const LoginItem item(dir / "home", "/opt/VorniselControl.app", dir / "config");

    item.configure(true);
    EXPECT_EQ(readFile(item.plistPath()), item.plistText());
    EXPECT_EQ(readFile(item.autostartPath()), item.desktopEntryText());

    // Enabling again replaces the files rather than failing on them.
    writeFile(item.plistPath(), "stale");
    item.configure(true);
    EXPECT_EQ(readFile(item.plistPath()), item.plistText());

    item.configure(false);
    EXPECT_FALSE(fs::exists(item.plistPath()));
    EXPECT_FALSE(fs::exists(item.autostartPath()));
    EXPECT_NO_THROW(item.configure(false));
    EXPECT_TRUE(fs::is_directory(item.plistPath().parent_path()));
}

TEST(LoginItemTest, FailureOfEitherFileIsThrownAndLeavesNoHalfRegistration) {
    TempDir dir;
    // A plain file where the autostart folder should be.
    writeFile(dir / "config", "not a folder");
    const LoginItem blockedAutostart(dir / "home", "/b", dir / "config");
    EXPECT_THROW(blockedAutostart.configure(true), fs::filesystem_error);
    EXPECT_FALSE(fs::exists(blockedAutostart.plistPath()));

    writeFile(dir / "home2", "not a folder");
    const LoginItem blockedAgent(dir / "home2", "/b", dir / "config2");
    EXPECT_THROW(blockedAgent.configure(true), fs::filesystem_error);
    EXPECT_FALSE(fs::exists(blockedAgent.autostartPath()));

    // A folder in place of the entry cannot be deleted as a file; the property list stays.
    const LoginItem item(dir / "home3", "/b", dir / "config3");
    item.configure(true);
    fs::remove(item.autostartPath());
    fs::create_directories(item.autostartPath() / "inside");
    EXPECT_THROW(item.configure(false), fs::filesystem_error);
    EXPECT_EQ(readFile(item.plistPath()), item.plistText());
}

TEST(LoginItemTest, CurrentUserFollowsHomeAndAnAbsoluteXdgConfigHome) {
    TempDir dir;
    const ScopedEnv home("HOME", (dir / "h").string());
    {
        const ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "x").string());
        const LoginItem item = LoginItem::forCurrentUser();
        EXPECT_EQ(item.plistPath(), dir / "h/Library/LaunchAgents/com.quelt.vornisel.client.plist");
        EXPECT_EQ(item.autostartPath(), dir / "x/autostart/com.quelt.vornisel.client.desktop");
        EXPECT_NE(item.plistText().find("<string>" + AppBundle::location().string() + "</string>"),
                  std::string::npos);
    }
    for (const std::optional<std::string>& value :
         {std::optional<std::string>(), std::optional<std::string>("relative/x")}) {
        const ScopedEnv xdg("XDG_CONFIG_HOME", value);
        EXPECT_EQ(LoginItem::forCurrentUser().autostartPath(),
                  dir / "h/.config/autostart/com.quelt.vornisel.client.desktop");
    }
}

}  // namespace
}  // namespace vornisel

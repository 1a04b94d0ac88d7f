#include <unistd.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRegularExpression>
#include <cstdlib>

#include "app/main_window.h"
#include "app/status_menu.h"
#include "app_fixture.h"
#include "l10n/localizer.h"
#include "ui/card/device_card.h"
#include "ui/dialogs/preset_dialog.h"
#include "ui/dialogs/settings_dialog.h"
#include "ui/theme/action_button.h"
#include "ui/theme/menu_button.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;

class PresetsFlowTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        // The login item goes below the test's home folder, whatever the desktop sets.
        ::unsetenv("XDG_CONFIG_HOME");
    }

    // Two presets, "Default" (active) with one demo device and "Студия" with another.
    void launchWithTwoPresets() {
        const auto demo = demoDevices();
        ASSERT_GE(demo.size(), 2u) << "the demo devices are missing";
        {
            PanelStore store(dataDir);
            store.document.presets = {
                {"default", "Default", {demoProfile(deviceID(1), demo[0].uid, "First")}},
                {"studio", "Студия", {demoProfile(deviceID(2), demo[1].uid, "Second")}},
            };
            store.save();
        }
        ASSERT_TRUE(launch());
    }

    void startAndWait(uint32_t id) {
        app->start(id);
        ASSERT_TRUE(waitUntil([&] { return app->runtime(id)->isRunning(); }));
    }

    SettingsDialog* openSettings() {
        app->showSettings();
        return dynamic_cast<SettingsDialog*>(app->activeDialog.get());
    }

    void saveSettings(SettingsDialog* dialog) {
        dialog->commit();
        ASSERT_TRUE(waitUntil([&] { return !app->activeDialog; }));
    }

    fs::path plist() const { return home / "Library/LaunchAgents/com.quelt.vornisel.client.plist"; }
    fs::path autostart() const {
        return home / ".config/autostart/com.quelt.vornisel.client.desktop";
    }
};

TEST_F(PresetsFlowTest, ChoosingTheActivePresetOrNoPresetDoesNothing) {
    launchWithTwoPresets();
    startAndWait(deviceID(1));
    for (int index : {0, -1, 2, 99}) {
        app->selectPreset(index);
        settle();
        EXPECT_EQ(app->store->document.active, "default");
        EXPECT_TRUE(app->runtime(deviceID(1))->isRunning());
        EXPECT_FALSE(app->runtime(deviceID(1))->stopping);
        EXPECT_FALSE(noticeVisible()) << index;
    }
}

TEST_F(PresetsFlowTest, EngineThatDoesNotStopKeepsThePresetAndRestoresTheSelection) {
    launchWithTwoPresets();
    startAndWait(deviceID(1));
    // A stop already under way cannot be joined by the group stop, which then reports failure.
    app->stop(deviceID(1));
    ASSERT_TRUE(app->runtime(deviceID(1))->stopping);
    app->presets->choose(1);
    ASSERT_TRUE(waitUntil([&] { return noticeVisible(); }));
    EXPECT_EQ(noticeShown(), tr("notice.stop_before_preset"));
    EXPECT_EQ(app->store->document.active, "default");
    EXPECT_EQ(app->presets->selected(), 0);
    EXPECT_EQ(app->cards.at(0)->profile().name, "First");
}

// A name that differs only in case overwrites that preset; a new name appends one with a fresh
// id. Either becomes the active preset.
TEST_F(PresetsFlowTest, SavingOverwritesASameNamedPresetOrAppendsANewOne) {
    launchWithTwoPresets();
    const std::vector<Profile> current = app->store->clients();
    app->saveAsPreset("сТУДИЯ");
    ASSERT_EQ(app->store->document.presets.size(), 2u);
    EXPECT_EQ(app->store->document.presets[1].name, "Студия");
    EXPECT_EQ(app->store->document.presets[1].clients, current);
    EXPECT_EQ(app->store->document.active, "studio");
    EXPECT_EQ(app->presets->selected(), 1);
    EXPECT_EQ(noticeShown(), tr("notice.preset_saved", "сТУДИЯ"));

    app->saveAsPreset("Live");
    app->saveAsPreset("Tour");
    ASSERT_EQ(app->store->document.presets.size(), 4u);
    const QRegularExpression uuid(
        "^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$");
    const Preset& live = app->store->document.presets[2];
    EXPECT_TRUE(uuid.match(QString::fromStdString(live.id)).hasMatch()) << live.id;
    EXPECT_NE(live.id, app->store->document.presets[3].id);
    EXPECT_EQ(app->store->document.active, app->store->document.presets[3].id);
    EXPECT_EQ(app->presets->selected(), 3);
    EXPECT_EQ(PanelStore(dataDir).document, app->store->document);
}

TEST_F(PresetsFlowTest, SavePresetDialogProposesTheActiveNameAndTrimsTheAnswer) {
    launchWithTwoPresets();
    app->savePreset->click();
    auto* dialog = dynamic_cast<PresetDialog*>(app->activeDialog.get());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->name->text(), "Default");
    dialog->name->setText("  Night\n");
    dialog->commit();
    ASSERT_TRUE(waitUntil([&] { return !app->activeDialog; }));
    EXPECT_EQ(app->store->document.presets.back().name, "Night");
    EXPECT_EQ(noticeShown(), tr("notice.preset_saved", "Night"));
}

TEST_F(PresetsFlowTest, LanguageChangeRelabelsWindowMenusAndCardsAtOnce) {
    launchWithTwoPresets();
    std::vector<QPointer<QMenu>> oldMenus;
    for (QAction* menu : app->window->menuBar()->actions())
        oldMenus.emplace_back(menu->menu());
    SettingsDialog* dialog = openSettings();
    ASSERT_NE(dialog, nullptr);
    dialog->language->setSelected(1);
    saveSettings(dialog);

    Localizer russian;
    russian.load("ru");
    auto ru = [&](const std::string& key) { return QString::fromStdString(russian.text(key)); };
    EXPECT_EQ(app->devicesHeading->text(), ru("main.devices"));
    EXPECT_EQ(app->statusItem->titles().last(), ru("tray.exit"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const QPointer<QMenu>& menu : oldMenus)
        EXPECT_TRUE(menu.isNull()) << "the menus of the old language are deleted";
    ASSERT_EQ(app->cards.size(), 1u);
    EXPECT_EQ(app->cards[0]->texts().status, ru("status.stopped"));
    EXPECT_EQ(noticeShown(), russian.text("notice.settings_saved"));
    EXPECT_EQ(app->store->document.settings.language, "ru");
    EXPECT_FALSE(fs::exists(plist()));
    EXPECT_FALSE(fs::exists(autostart()));
}

TEST_F(PresetsFlowTest, LoginItemThatCannotBeWrittenKeepsTheOldSettings) {
    launchWithTwoPresets();
    writeFile(home / "Library", "a file where a folder belongs");
    SettingsDialog* dialog = openSettings();
    ASSERT_NE(dialog, nullptr);
    dialog->login->setChecked(true);
    dialog->language->setSelected(1);
    saveSettings(dialog);

    EXPECT_TRUE(noticeVisible());
    EXPECT_NE(noticeShown().find("Library"), std::string::npos) << noticeShown();
    EXPECT_FALSE(app->store->document.settings.login);
    EXPECT_EQ(app->store->document.settings.language, "en");
    EXPECT_FALSE(fs::exists(autostart()));
}

TEST_F(PresetsFlowTest, ConfigurationThatCannotBeWrittenStopsBeforeSaving) {
    launchWithTwoPresets();
    const std::string before = readFile(dataDir / "panel.json");
    fs::remove_all(dataDir / "config");
    writeFile(dataDir / "config", "a file where a folder belongs");
    SettingsDialog* dialog = openSettings();
    ASSERT_NE(dialog, nullptr);
    dialog->port->setText("29001");
    saveSettings(dialog);

    EXPECT_TRUE(noticeVisible());
    EXPECT_NE(noticeShown(), tr("notice.settings_saved"));
    // Updated in memory, not on disk.
    EXPECT_EQ(app->store->clients().at(0).port, "29001");
    EXPECT_EQ(readFile(dataDir / "panel.json"), before);
}

}  // namespace
}  // namespace vornisel::test

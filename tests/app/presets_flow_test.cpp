#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "app_fixture.h"
#include "l10n/localizer.h"
#include "ui/card/device_card.h"
#include "ui/dialogs/settings_dialog.h"
#include "ui/theme/action_button.h"
#include "ui/theme/menu_button.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;

class PresetsFlowTest : public AppFixture {
protected:
    // Two presets, "Default" (active) with device D1 and "Студия" with D2.
    void launchWithTwoPresets() {
        const std::vector<Profile> clients = demoClients(2);
        {
            PanelStore store(dataDir);
            store.document.presets = {{"default", "Default", {clients[0]}},
                                      {"studio", "Студия", {clients[1]}}};
            store.save();
        }
        ASSERT_TRUE(launch());
    }

    // Opens the settings, lets `change` fill them in, and saves.
    void saveSettings(const std::function<void(SettingsDialog&)>& change) {
        app->showSettings();
        auto* dialog = dynamic_cast<SettingsDialog*>(app->activeDialog.get());
        ASSERT_NE(dialog, nullptr);
        change(*dialog);
        dialog->commit();
        ASSERT_TRUE(waitUntil([&] { return !app->activeDialog; }));
    }
};

TEST_F(PresetsFlowTest, ChoosingTheActivePresetDoesNothingAndSavingByNameOverwrites) {
    launchWithTwoPresets();
    for (int index : {0, -1, 2, 99}) {
        app->selectPreset(index);
        settle();
        EXPECT_EQ(app->store->document.active, "default");
        EXPECT_FALSE(noticeVisible()) << index;
    }
    // Saving under a name that differs only in case overwrites that preset and makes it active.
    const std::vector<Profile> current = app->store->clients();
    app->saveAsPreset("сТУДИЯ");
    ASSERT_EQ(app->store->document.presets.size(), 2u);
    EXPECT_EQ(app->store->document.presets[1].clients, current);
    EXPECT_EQ(app->store->document.active, "studio");
    EXPECT_EQ(noticeShown(), tr("notice.preset_saved", "сТУДИЯ"));
}

TEST_F(PresetsFlowTest, EngineThatDoesNotStopKeepsThePresetAndRestoresTheSelection) {
    launchWithTwoPresets();
    ::setenv("VORNISEL_HOST_FAULT", "ignore-stop", 1);
    app->start(deviceID(1));
    ::unsetenv("VORNISEL_HOST_FAULT");
    const auto engine = app->runtime(deviceID(1));
    ASSERT_TRUE(waitUntil([&] { return engine->isRunning(); }));
    // A stop already under way cannot be joined by the group stop, which then reports failure.
    // The host ignores "STOP" and its signals are held back, so that stop cannot end meanwhile.
    engine->process->setSignalSender([](pid_t, int) {});
    app->stop(deviceID(1));
    app->presets->choose(1);
    EXPECT_TRUE(waitUntil([&] { return noticeVisible(); }));
    engine->process->setSignalSender([](pid_t pid, int signal) { ::kill(pid, signal); });
    EXPECT_EQ(noticeShown(), tr("notice.stop_before_preset"));
    EXPECT_EQ(app->store->document.active, "default");
    EXPECT_EQ(app->presets->selected(), 0);
    EXPECT_EQ(app->cards.at(0)->profile().name, "D1");
}

// Settings that cannot be written are not kept: a login item that cannot be made keeps the old
// settings; engine configurations that cannot be written stop the save before panel.json.
TEST_F(PresetsFlowTest, SettingsThatCannotBeWrittenAreNotKept) {
    launchWithTwoPresets();
    writeFile(home / ".config/autostart", "a file where a folder belongs");
    saveSettings([](SettingsDialog& dialog) {
        dialog.login->setChecked(true);
        dialog.language->setSelected(1);
    });
    EXPECT_NE(noticeShown().find("autostart"), std::string::npos) << noticeShown();
    EXPECT_FALSE(app->store->document.settings.login);
    EXPECT_EQ(app->store->document.settings.language, "en");

    fs::remove(home / ".config/autostart");
    const std::string before = readFile(dataDir / "panel.json");
    fs::remove_all(dataDir / "config");
    writeFile(dataDir / "config", "a file where a folder belongs");
    app->notice->hide();
    saveSettings([](SettingsDialog& dialog) { dialog.port->setText("29001"); });
    EXPECT_TRUE(noticeVisible());
    EXPECT_NE(noticeShown(), tr("notice.settings_saved"));
    // Updated in memory, not on disk.
    EXPECT_EQ(app->store->clients().at(0).port, "29001");
    EXPECT_EQ(readFile(dataDir / "panel.json"), before);
}

}  // namespace
}  // namespace vornisel::test

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <cstdlib>

#include "app/main_window.h"
#include "app_fixture.h"
#include "hardware/alsa_config_path.h"
#include "l10n/localizer.h"
#include "support/child_process.h"
#include "ui/card/device_card.h"
#include "ui/dialogs/device_dialog.h"
#include "ui/theme/action_button.h"
#include "ui/theme/panel_view.h"
#include "ui/theme/theme.h"

namespace vornisel::test {
namespace {

using ClientAppDevicesTest = AppFixture;

// The saved devices show at once; the hardware list, which may wait for sound servers, arrives
// after the window is up, and whoever waits for it learns when.
TEST_F(ClientAppDevicesTest, SavedDevicesShowAtOnceAndTheHardwareListFollows) {
    prepareStore(demoClients(2));
    ASSERT_TRUE(launch(false));
    EXPECT_EQ(app->cards.size(), 2u);
    EXPECT_TRUE(app->hardware.empty());
    EXPECT_TRUE(app->listingDevices());
    std::vector<size_t> listed;
    app->whenDevicesListed([&] { listed.push_back(app->hardware.size()); });
    ASSERT_TRUE(waitUntil([&] { return !app->listingDevices(); }));
    EXPECT_EQ(listed, std::vector<size_t>{devices().size()});
    EXPECT_EQ(app->cards.size(), 2u);
    // Asked once the list is there, it answers at once.
    app->whenDevicesListed([&] { listed.push_back(0); });
    EXPECT_EQ(listed.size(), 2u);
}

TEST_F(ClientAppDevicesTest, EditingOffersOnlyFreeDevicesAndKeepsAMissingOne) {
    std::vector<Profile> clients = demoClients(2);
    clients[1].device = "unplugged_device";
    clients[1].name = "Gone";
    prepareStore(clients);
    ASSERT_TRUE(launch());
    app->showDevice(deviceID(2));
    auto* dialog = dynamic_cast<DeviceDialog*>(app->activeDialog.get());
    ASSERT_NE(dialog, nullptr);
    // The first device's hardware is taken; the unplugged one comes last under its own name.
    const std::vector<Device>& offered = dialog->available();
    EXPECT_TRUE(std::none_of(offered.begin(), offered.end(), [&](const Device& device) {
        return device.uid == clients[0].device;
    }));
    EXPECT_EQ(dialog->available().back(), (Device{"unplugged_device", "Gone", 32, 32}));
    dialog->save->click();
    ASSERT_TRUE(waitUntil([&] { return !app->activeDialog; }));
    EXPECT_EQ(noticeShown(), tr("notice.device_settings_saved"));

    // A stopped device is removed with its card and runtime.
    ASSERT_EQ(app->cards.size(), 2u);
    QPointer<DeviceCard> removed = app->cards[1];
    app->cards[1]->remove()->click();
    settle();
    EXPECT_TRUE(removed.isNull() || removed->isHidden());
    ASSERT_EQ(app->cards.size(), 1u);
    EXPECT_EQ(app->cards[0]->profile().id, deviceID(1));
    EXPECT_EQ(app->runtimes().count(deviceID(2)), 0u);
}

// Every notice of the device flows that does not need a running engine.
TEST_F(ClientAppDevicesTest, FailuresAreReportedInTheNoticeBar) {
    // Eight devices: adding is refused and the add button is off.
    prepareStore(demoClients(8));
    ASSERT_TRUE(launch());
    EXPECT_FALSE(app->add->isEnabled());
    app->showDevice(std::nullopt);
    EXPECT_EQ(noticeShown(), tr("notice.max_clients"));
    EXPECT_EQ(app->notice->stroke(), Theme::warning());
    EXPECT_FALSE(app->activeDialog);
    app.reset();

    // Every demo device taken.
    std::filesystem::remove_all(dataDir);
    ASSERT_LT(devices().size(), 8u);
    const std::vector<Profile> taken = demoClients(devices().size());
    prepareStore(taken);
    ASSERT_TRUE(launch());
    app->showDevice(std::nullopt);
    EXPECT_EQ(noticeShown(), tr("notice.all_asio_added"));
    EXPECT_EQ(app->notice->stroke(), Theme::warning());

    // A save that fails: a folder stands where panel.json goes.
    std::filesystem::remove(dataDir / "panel.json");
    std::filesystem::create_directory(dataDir / "panel.json");
    app->remove(deviceID(1));
    // The warning names the file that could not be written.
    EXPECT_NE(noticeShown().find("panel.json"), std::string::npos) << noticeShown();
    EXPECT_EQ(app->cards.size(), taken.size());
    // Quitting stores the window size first, so it is refused too.
    app->terminate();
    EXPECT_EQ(terminations, 0);
}

bool listed(const std::vector<Device>& hardware, const Device& device) {
    return std::find(hardware.begin(), hardware.end(), device) != hardware.end();
}

// A PipeWire daemon of the test's own (pipewire_null.conf: a stereo null sink and source, no
// session manager) in XDG_RUNTIME_DIR; stopped when the test ends.
class PipeWireDaemon {
public:
    static constexpr std::chrono::seconds kStartup{20};  // a loaded machine starts it slowly
    static bool installed() {
        return access("/usr/bin/pipewire", X_OK) == 0 &&
               access("/usr/share/alsa/alsa.conf.d/50-pipewire.conf", R_OK) == 0;
    }
    bool start() {
        const auto config = sourceDir() / "tests/support/pipewire_null.conf";
        const ChildResult shell = runChild(
            "/bin/sh", {"-c", "pipewire -c \"$0\" </dev/null >/dev/null 2>&1 & echo $!", config});
        pid_ = std::atoi(shell.out.c_str());
        const std::filesystem::path socket = std::string(getenv("XDG_RUNTIME_DIR")) + "/pipewire-0";
        return pid_ > 0 && waitFor([&] { return std::filesystem::exists(socket); }, kStartup);
    }
    ~PipeWireDaemon() {
        if (pid_ > 0) kill(pid_, SIGTERM);
    }

private:
    pid_t pid_ = 0;
};

// The list follows the machine by itself: an edited ALSA file and a sound server that starts
// are noticed without a click; a change that nothing announces needs the refresh button.
TEST_F(ClientAppDevicesTest, TheHardwareListFollowsTheMachineAndTheRefreshButton) {
    TempDir runtime;
    ScopedEnvironment noServer({{"XDG_RUNTIME_DIR", runtime.path().string()}});
    prepareStore({});
    ASSERT_TRUE(launch());
    writeFile(home / ".asoundrc", demoAlsaConfig() + "pcm.added { type null hint.show on }\n");
    EXPECT_TRUE(waitUntil([&] { return listed(app->hardware, {"added", "added", 2, 2}); }));

    // ALSA reads a file that ALSA_CONFIG_PATH adds, but nothing watches it.
    writeFile(runtime / "extra.conf", "pcm.clicked { type null hint.description \"Clicked\" }\n");
    ScopedEnvironment extra(
        {{"ALSA_CONFIG_PATH", alsaTopConfig().string() + ":" + (runtime / "extra.conf").string()}});
    app->refresh->click();
    EXPECT_TRUE(waitUntil([&] { return listed(app->hardware, {"clicked", "Clicked", 2, 2}); }));

    if (!PipeWireDaemon::installed()) GTEST_SKIP() << "PipeWire is not installed";
    const Device server{"pipewire", "PipeWire Sound Server", 2, 2};
    ASSERT_FALSE(listed(app->hardware, server));
    PipeWireDaemon pipewire;
    ASSERT_TRUE(pipewire.start());
    EXPECT_TRUE(waitUntil([&] { return listed(app->hardware, server); })) << "at the sink's count";
}

// The keyboard's place survives what the panel does by itself: the same control of the same
// device, or of the device that took the removed one's place, never another device's toggle.
TEST_F(ClientAppDevicesTest, FocusKeepsItsPlaceThroughRebuilds) {
    prepareStore(demoClients(3));
    ASSERT_TRUE(launch());
    app->window->show();
    QApplication::setActiveWindow(app->window);
    const auto saveEdit = [&] {
        app->showDevice(deviceID(2));
        ASSERT_TRUE(app->activeDialog);
        app->activeDialog->save->click();
        ASSERT_TRUE(waitUntil([&] { return !app->activeDialog; }));
    };
    const auto relist = [&] {
        app->refreshDevices();
        ASSERT_TRUE(waitUntil([&] { return !app->listingDevices(); }));
    };
    const auto removeFocused = [&] {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(app->window->focusWidget(), &enter);
        settle();
    };
    const struct {
        const char* what;
        uint32_t device;
        CardRole role;
        std::function<void()> act;
        uint32_t expectedDevice;
        CardRole expectedRole;
    } rows[] = {
        {"re-listing", 2, CardRole::info, relist, 2, CardRole::info},
        {"saving the edited device", 2, CardRole::edit, saveEdit, 2, CardRole::edit},
        {"removing a device", 2, CardRole::remove, removeFocused, 3, CardRole::remove},
        {"removing the last device", 3, CardRole::remove, removeFocused, 1, CardRole::remove},
    };
    for (const auto& row : rows) {
        app->card(deviceID(row.device))->button(row.role)->setFocus(Qt::TabFocusReason);
        row.act();
        DeviceCard* card = app->card(deviceID(row.expectedDevice));
        ASSERT_NE(card, nullptr) << row.what;
        EXPECT_EQ(app->window->focusWidget(), card->button(row.expectedRole)) << row.what;
        EXPECT_EQ(card->button(row.expectedRole)->focusPolicy(), Qt::TabFocus) << row.what;
    }
}

}  // namespace
}  // namespace vornisel::test

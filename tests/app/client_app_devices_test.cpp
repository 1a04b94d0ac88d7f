#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>

#include "app/main_window.h"
#include "app_fixture.h"
#include "l10n/localizer.h"
#include "ui/card/device_card.h"
#include "ui/dialogs/device_dialog.h"
#include "ui/theme/action_button.h"
#include "ui/theme/panel_view.h"
#include "ui/theme/theme.h"

namespace vornisel::test {
namespace {

using ClientAppDevicesTest = AppFixture;

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
    EXPECT_NE(noticeShown(), tr("notice.all_asio_added"));
    EXPECT_EQ(app->cards.size(), taken.size());
    // Quitting stores the window size first, so it is refused too.
    app->terminate();
    EXPECT_EQ(terminations, 0);
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

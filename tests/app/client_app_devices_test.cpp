#include <QLabel>
#include <QPointer>

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
    const auto demo = devices();
    ASSERT_GE(demo.size(), 2u);
    prepareStore(1040, 720,
                 {demoProfile(deviceID(1), demo[0].uid, "First"),
                  demoProfile(deviceID(2), "unplugged_device", "Gone")});
    ASSERT_TRUE(launch());
    app->showDevice(deviceID(2));
    auto* dialog = dynamic_cast<DeviceDialog*>(app->activeDialog.get());
    ASSERT_NE(dialog, nullptr);
    std::vector<std::string> offered;
    for (const Device& device : dialog->available()) {
        offered.push_back(device.uid);
    }
    // The first device's hardware is taken; the unplugged one comes last under its own name.
    EXPECT_EQ(std::count(offered.begin(), offered.end(), demo[0].uid), 0);
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
    const auto demo = devices();
    ASSERT_FALSE(demo.empty());

    // Eight devices: adding is refused and the add button is off.
    std::vector<Profile> eight;
    for (uint32_t k = 1; k <= 8; ++k) {
        eight.push_back(
            demoProfile(deviceID(k), demo[k % demo.size()].uid, "D" + std::to_string(k)));
    }
    prepareStore(1040, 720, eight);
    ASSERT_TRUE(launch());
    EXPECT_FALSE(app->add->isEnabled());
    app->showDevice(std::nullopt);
    EXPECT_EQ(noticeShown(), tr("notice.max_clients"));
    EXPECT_EQ(app->notice->stroke(), Theme::warning());
    EXPECT_FALSE(app->activeDialog);
    app.reset();

    // Every demo device taken.
    std::filesystem::remove_all(dataDir);
    std::vector<Profile> taken;
    for (size_t k = 0; k < demo.size() && k < 8; ++k) {
        taken.push_back(demoProfile(deviceID(k + 1), demo[k].uid, demo[k].name));
    }
    ASSERT_LT(demo.size(), 8u);
    prepareStore(1040, 720, taken);
    ASSERT_TRUE(launch());
    app->showDevice(std::nullopt);
    EXPECT_EQ(noticeShown(), tr("notice.all_asio_added"));
    EXPECT_EQ(app->notice->stroke(), Theme::warning());

    // A save that fails: a folder stands where panel.json goes.
    std::filesystem::remove(dataDir / "panel.json");
    std::filesystem::create_directory(dataDir / "panel.json");
    app->remove(deviceID(1));
    EXPECT_FALSE(noticeShown().empty());
    EXPECT_NE(noticeShown(), tr("notice.all_asio_added"));
    EXPECT_EQ(app->cards.size(), taken.size());
    // Quitting stores the window size first, so it is refused too.
    app->terminate();
    EXPECT_EQ(terminations, 0);
}

}  // namespace
}  // namespace vornisel::test

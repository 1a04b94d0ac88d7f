// Renders the main window in the states a person meets first, as PNG files: into
// $VORNISEL_SCREENSHOT_DIR when it is set (to look at them), else into a temporary folder.

#include <QImage>
#include <QPixmap>
#include <cstdlib>

#include "app/main_window.h"
#include "app_fixture.h"
#include "ui/card/device_card.h"
#include "ui/theme/action_button.h"

namespace vornisel::test {
namespace {

using ClientAppScreenshotTest = AppFixture;

std::filesystem::path shotFolder(const TempDir& fallback) {
    const char* folder = std::getenv("VORNISEL_SCREENSHOT_DIR");
    std::filesystem::path path = folder && *folder ? folder : fallback.path() / "shots";
    std::filesystem::create_directories(path);
    return path;
}

QImage shoot(ClientApp& app, const std::filesystem::path& file) {
    settle();
    QImage image = app.window->grab().toImage();
    image.save(QString::fromStdString(file.string()));
    return image;
}

TEST_F(ClientAppScreenshotTest, MainWindowStates) {
    const auto demo = demoDevices();
    ASSERT_GE(demo.size(), 3u);
    const auto folder = shotFolder(home);
    prepareStore(1040, 720);
    ASSERT_TRUE(launch());
    QImage image = shoot(*app, folder / "main-empty.png");
    EXPECT_EQ(image.width(), app->window->width());
    app.reset();

    std::filesystem::remove_all(dataDir);
    prepareStore(1040, 720,
                 {demoProfile(deviceID(1), demo[0].uid, "Studio Monitors"),
                  demoProfile(deviceID(2), demo[1].uid, "Broadcast Desk"),
                  demoProfile(deviceID(3), "missing_device", "Unplugged Interface")});
    ASSERT_TRUE(launch());
    auto running = app->runtime(deviceID(1));
    app->start(deviceID(1));
    app->start(deviceID(3));  // fails: the engine cannot open a device that is not there
    ASSERT_TRUE(waitUntil([&] { return running->value("status") == 3; }));
    waitUntil([&] { return app->runtime(deviceID(3))->value("status") == 7; });
    shoot(*app, folder / "main-three-cards.png");

    app->showNotice(tr("notice.device_added"), false);
    shoot(*app, folder / "main-notice.png");

    app->cards[0]->info()->click();
    waitUntil([&] { return running->samples.size() >= 3; });
    image = shoot(*app, folder / "main-expanded.png");
    EXPECT_FALSE(image.isNull());
}

}  // namespace
}  // namespace vornisel::test

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <QLabel>
#include <nlohmann/json.hpp>

#include "app/main_window.h"
#include "app_fixture.h"
#include "desktop/quit_signals.h"
#include "engine/engine_controller.h"
#include "l10n/localizer.h"
#include "ui/card/main_content.h"

namespace vornisel::test {
namespace {

using ClientAppQuitTest = AppFixture;

nlohmann::json storedSettings(const std::filesystem::path& dataDir) {
    return nlohmann::json::parse(readFile(dataDir / "panel.json"))["settings"];
}

TEST_F(ClientAppQuitTest, QuittingWithNothingRunningEndsAtOnceAndStoresTheSize) {
    prepareStore(1040, 720);
    ASSERT_TRUE(launch());
    app->window->resize(1100, app->window->height() + 50);
    settle();
    const QSize size = app->root->size();
    EXPECT_EQ(app->applicationShouldTerminate(), TerminateReply::now);
    EXPECT_EQ(storedSettings(dataDir)["width"].get<double>(), size.width());
    EXPECT_EQ(storedSettings(dataDir)["height"].get<double>(), size.height());
}

TEST_F(ClientAppQuitTest, QuittingWithTwoEnginesStopsBothThenEnds) {
    const auto demo = demoDevices();
    ASSERT_GE(demo.size(), 2u);
    prepareStore(1040, 720,
                 {demoProfile(deviceID(1), demo[0].uid, "One"),
                  demoProfile(deviceID(2), demo[1].uid, "Two")});
    ASSERT_TRUE(launch());
    app->toggleGroup();
    auto one = app->runtime(deviceID(1));
    auto two = app->runtime(deviceID(2));
    ASSERT_TRUE(waitUntil([&] { return one->isRunning() && two->isRunning(); }));

    app->window->resize(900, 600);
    settle();
    const QSize size = app->root->size();
    // Both devices use driver channels 1 and 2: the start warned about it.
    EXPECT_TRUE(noticeVisible());
    app->notice->hide();
    app->terminate();
    EXPECT_TRUE(app->exiting);
    // A second quit while the first waits is refused at once, without a notice.
    EXPECT_EQ(app->applicationShouldTerminate(), TerminateReply::cancel);
    EXPECT_FALSE(noticeVisible());

    ASSERT_TRUE(waitUntil([&] { return terminations == 1; }, std::chrono::seconds(20)));
    EXPECT_FALSE(one->isRunning());
    EXPECT_FALSE(two->isRunning());
    EXPECT_FALSE(app->exiting);
    EXPECT_EQ(storedSettings(dataDir)["width"].get<double>(), size.width());
    EXPECT_EQ(storedSettings(dataDir)["height"].get<double>(), size.height());
}

TEST_F(ClientAppQuitTest, QuitDuringAGroupStopIsCancelledAndTheWindowComesBack) {
    const auto demo = demoDevices();
    prepareStore(1040, 720, {demoProfile(deviceID(1), demo[0].uid, "One")});
    ASSERT_TRUE(launch());
    // An engine that ignores "STOP" keeps the group stop busy until the stop's first wait ends,
    // however late this thread gets to ask for the quit.
    ::setenv("VORNISEL_HOST_FAULT", "ignore-stop", 1);
    app->start(deviceID(1));
    ::unsetenv("VORNISEL_HOST_FAULT");
    auto one = app->runtime(deviceID(1));
    ASSERT_TRUE(waitUntil([&] { return one->isRunning(); }));
    app->window->hide();

    app->stopGroup([](bool) {});
    ASSERT_TRUE(app->groupBusy());
    EXPECT_EQ(app->applicationShouldTerminate(), TerminateReply::later);
    ASSERT_TRUE(waitUntil([&] { return !app->exiting; }));
    EXPECT_EQ(terminations, 0);
    EXPECT_TRUE(app->window->isVisible());
    EXPECT_EQ(noticeShown(), tr("notice.exit_canceled"));
}

TEST_F(ClientAppQuitTest, AnUnsavableStoreMakesQuittingImpossible) {
    prepareStore(1040, 720);
    ASSERT_TRUE(launch());
    // Writes end in a rename onto panel.json, which a folder in its place refuses even to root.
    std::filesystem::remove(dataDir / "panel.json");
    std::filesystem::create_directory(dataDir / "panel.json");
    for (int attempt = 0; attempt < 2; ++attempt) {
        app->notice->hide();
        app->terminate();
        settle();
        EXPECT_EQ(terminations, 0);
        EXPECT_TRUE(noticeVisible());
        EXPECT_FALSE(noticeShown().empty());
    }
}

TEST_F(ClientAppQuitTest, TerminationSignalAsksTheSameQuestion) {
    prepareStore(1040, 720);
    ASSERT_TRUE(launch());
    ::raise(SIGTERM);
    ASSERT_TRUE(waitUntil([&] { return terminations == 1; }));
}

}  // namespace
}  // namespace vornisel::test

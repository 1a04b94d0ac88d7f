#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QLabel>
#include <QSessionManager>

#include "app/main_window.h"
#include "app_fixture.h"
#include "engine/engine_controller.h"
#include "l10n/localizer.h"
#include "ui/card/main_content.h"
#include "ui/theme/panel_view.h"
#include "ui/theme/theme.h"

namespace vornisel::test {
namespace {

class ClientAppQuitTest : public AppFixture {
protected:
    // Two demo devices, both running, their hosts with the given test faults.
    void launchTwoRunning(const char* faults = nullptr) {
        prepareStore(demoClients(2));
        ASSERT_TRUE(launch());
        if (faults) ::setenv("VORNISEL_HOST_FAULT", faults, 1);
        app->toggleGroup();
        ::unsetenv("VORNISEL_HOST_FAULT");
        one = app->runtime(deviceID(1));
        two = app->runtime(deviceID(2));
        ASSERT_TRUE(waitUntil([&] { return one->isRunning() && two->isRunning(); }));
        app->notice->hide();
    }

    // A test may have kept signals from an engine; the engines are stopped for real here.
    void TearDown() override {
        if (one && one->process) {
            one->process->setSignalSender([](pid_t pid, int signal) { ::kill(pid, signal); });
        }
        AppFixture::TearDown();
    }

    std::shared_ptr<ClientRuntime> one, two;
};

// The end of the desktop session and SIGTERM stop the engines first and end the panel within the
// stop timings: also when panel.json cannot be saved (the session would otherwise wait until it
// kills the panel), and when the engines never answer or obey only SIGKILL.
TEST_F(ClientAppQuitTest, SessionEndAndTerminationSignalStopTheEnginesFirst) {
    struct Row {
        const char* what;
        bool session;
        bool unsavable;
        const char* faults;
    };
    const Row rows[] = {
        {"session end, panel.json unsavable", true, true, nullptr},
        {"SIGTERM, panel.json unsavable", false, true, nullptr},
        {"SIGTERM, engines that never answer", false, false, "silent"},
        {"SIGTERM, engines that only SIGKILL ends", false, false, "ignore-stop,ignore-sigterm"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        launchTwoRunning(row.faults);
        app->engines()->setStopTimings({0.3, 0.3, 2.0, 0.05, 5.0});
        if (row.unsavable) {
            std::filesystem::remove(dataDir / "panel.json");
            std::filesystem::create_directory(dataDir / "panel.json");
        }
        bool stoppedFirst = false;
        app->setTerminateHandler([&] {
            ++terminations;
            stoppedFirst = !one->isRunning() && !two->isRunning();
        });
        if (row.session) {
            auto* manager = qApp->findChild<QSessionManager*>();
            ASSERT_NE(manager, nullptr);
            emit qApp->commitDataRequest(*manager);
            EXPECT_FALSE(one->isRunning() || two->isRunning());
            EXPECT_EQ(terminations, 0);  // the session, not the panel, ends the program
        } else {
            ::raise(SIGTERM);
            ASSERT_TRUE(waitUntil([&] { return terminations == 1; }, std::chrono::seconds(20)));
            EXPECT_TRUE(stoppedFirst);
        }
        EXPECT_TRUE(noticeVisible() || !row.unsavable);  // the failed save
        std::filesystem::remove(dataDir / "panel.json");
        app.reset();
        terminations = 0;
    }
}

// An engine that neither obeys STOP nor receives signals makes the group stop fail at it: the
// devices after it keep running, and a quit is called off.
TEST_F(ClientAppQuitTest, AStopThatFailsCancelsTheGroupStopAndTheQuit) {
    launchTwoRunning("ignore-stop");
    app->engines()->setStopTimings({0.2, 0.2, 0.2, 0.02});
    one->process->setSignalSender([](pid_t, int) {});

    // A running device can be neither edited nor removed.
    app->showDevice(deviceID(1));
    EXPECT_EQ(noticeShown(), tr("notice.stop_before_edit"));
    EXPECT_EQ(app->notice->stroke(), Theme::warning());
    app->remove(deviceID(1));
    EXPECT_EQ(app->store->clients().size(), 2u);

    app->notice->hide();
    app->toggleGroup();
    ASSERT_TRUE(waitUntil([&] { return noticeVisible(); }));
    EXPECT_EQ(noticeShown(), tr("notice.exit_canceled"));
    EXPECT_FALSE(app->groupBusy());
    EXPECT_TRUE(one->isRunning());
    EXPECT_FALSE(one->stopping);
    EXPECT_TRUE(two->isRunning());

    // A quit while a group stop is under way is called off, and the window comes back.
    for (const bool duringGroupStop : {true, false}) {
        SCOPED_TRACE(duringGroupStop ? "during a group stop" : "by its own group stop");
        ASSERT_TRUE(waitUntil([&] { return !app->groupBusy(); }));
        app->notice->hide();
        app->window->hide();
        if (duringGroupStop) {
            app->stopGroup([](bool) {});
            ASSERT_TRUE(app->groupBusy());
        }
        app->terminate();
        // A second quit while the first waits is refused at once, without a notice.
        EXPECT_EQ(app->applicationShouldTerminate(), TerminateReply::cancel);
        EXPECT_FALSE(noticeVisible());
        ASSERT_TRUE(waitUntil([&] { return noticeVisible() && !app->exiting; }));
        EXPECT_EQ(noticeShown(), tr("notice.exit_canceled"));
        EXPECT_EQ(terminations, 0);
        EXPECT_TRUE(app->window->isVisible());
    }
}

}  // namespace
}  // namespace vornisel::test

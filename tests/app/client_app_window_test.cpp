#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>

#include "app/main_window.h"
#include "app/status_menu.h"
#include "app_fixture.h"
#include "l10n/localizer.h"
#include "ui/card/device_card.h"
#include "ui/card/main_content.h"
#include "ui/theme/action_button.h"
#include "ui/theme/menu_button.h"
#include "ui/theme/panel_view.h"
#include "ui/theme/theme.h"

namespace vornisel::test {
namespace {

using ClientAppWindowTest = AppFixture;

QString text(const std::string& key) {
    return QString::fromStdString(tr(key));
}

TEST_F(ClientAppWindowTest, OpensAtTheStoredSizeButNeverBelowTheMinimum) {
    struct Row {
        double width, height;
        QSize expected;
    };
    const Row rows[] = {{1200, 800, {1200, 800}}, {500, 300, {800, 450}}, {1040, 400, {1040, 450}}};
    for (const Row& row : rows) {
        std::filesystem::remove_all(dataDir);
        prepareStore(row.width, row.height);
        ASSERT_TRUE(launch());
        EXPECT_TRUE(app->window->isVisible());
        EXPECT_EQ(app->root->size(), row.expected) << row.width << "x" << row.height;
        EXPECT_EQ(app->window->contentSize(), row.expected);
        // An empty list: only adding is offered.
        EXPECT_TRUE(app->empty->isVisible());
        EXPECT_FALSE(app->toggleAll->isEnabled());
        EXPECT_TRUE(app->add->isEnabled());
        EXPECT_EQ(app->body->height(), app->scroll->viewport()->height());
        app.reset();
    }
}

TEST_F(ClientAppWindowTest, NoticeBarMovesTheListDownUntilClosed) {
    prepareStore(1040, 720);
    ASSERT_TRUE(launch());
    const QRect heading = app->devicesHeading->geometry();
    const QRect list = app->scroll->geometry();
    for (const bool warning : {true, false}) {
        app->showNotice("Something happened", warning);
        EXPECT_TRUE(noticeVisible());
        EXPECT_EQ(app->devicesHeading->y(), heading.y() + 42);
        EXPECT_EQ(app->scroll->height(), list.height() - 42);
        EXPECT_EQ(app->notice->stroke(), warning ? Theme::warning() : Theme::accent());
    }
    app->closeNotice->click();
    settle();
    EXPECT_FALSE(noticeVisible());
    EXPECT_EQ(app->devicesHeading->geometry(), heading);
    EXPECT_EQ(app->scroll->geometry(), list);
}

TEST_F(ClientAppWindowTest, TheScrollerShowsExactlyWhenTheCardsOverflow) {
    std::vector<Profile> clients;
    for (uint32_t id = 1; id <= 8; ++id) {
        clients.push_back(demoProfile(id, demoDevices().at(0).uid, "Studio " + std::to_string(id)));
    }
    prepareStore(800, 450, clients);
    ASSERT_TRUE(launch());
    settle();
    QScrollBar* scroller = app->scroll->verticalScrollBar();
    EXPECT_TRUE(scroller->isVisible());
    EXPECT_GT(app->body->height(), app->scroll->viewport()->height());
    // The cards were laid out for the width the scroller leaves.
    EXPECT_EQ(app->body->width(), app->scroll->viewport()->width());

    app->window->fitContent(QSize(800, 3000));
    settle();
    EXPECT_FALSE(scroller->isVisible());
    EXPECT_EQ(app->body->width(), app->scroll->viewport()->width());
    EXPECT_EQ(app->body->height(), app->scroll->viewport()->height());
}

// With a tray the window hides into it; without one it is minimised instead, so that the task
// bar can bring it back. Either way it counts as not shown. A panel stored hidden starts so.
TEST_F(ClientAppWindowTest, HidingConcealsTheWindowAndTheStatusMenuFollows) {
    {
        PanelStore store(dataDir);
        store.document.settings.minimized = true;
        store.save();
    }
    for (const bool tray : {true, false}) {
        SCOPED_TRACE(tray ? "with a tray" : "without a tray");
        trayAvailable = tray;
        ASSERT_TRUE(launch());
        EXPECT_EQ(app->window->isVisible(), !tray);
        EXPECT_EQ(app->window->isMinimized(), !tray);
        // The icon is offered to the tray once the window's first frame is out.
        EXPECT_TRUE(waitUntil([&] { return app->statusItem->attached(); }));
        EXPECT_EQ(app->statusItem->titles(),
                  (QStringList{text("tray.start"), text("tray.show"), text("tray.exit")}));
        app->toggleWindow();
        EXPECT_TRUE(app->windowShown());
        EXPECT_EQ(app->statusItem->titles().at(1), text("tray.hide"));

        app->window->close();
        settle();
        EXPECT_EQ(app->window->isVisible(), !tray);
        EXPECT_EQ(app->window->isMinimized(), !tray);
        EXPECT_EQ(terminations, 0);
        EXPECT_EQ(app->statusItem->titles().at(1), text("tray.show"));
        // The status menu's window item brings it back.
        app->statusItem->menu()->actions().at(1)->trigger();
        ASSERT_TRUE(waitUntil([&] { return app->windowShown(); }));
        EXPECT_EQ(app->statusItem->titles().at(1), text("tray.hide"));
    }
}

TEST_F(ClientAppWindowTest, StoreThatCannotBeOpenedEndsLaunchWithAnAlert) {
    // A file where the data directory should be: the store cannot create it.
    writeFile(dataDir, "not a directory");
    EXPECT_FALSE(launch());
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_FALSE(alerts[0].isEmpty());
    EXPECT_EQ(terminations, 1);
    EXPECT_EQ(app->window, nullptr);
    EXPECT_EQ(app->statusItem, nullptr);
    EXPECT_EQ(app->timer, nullptr);
}

}  // namespace
}  // namespace vornisel::test

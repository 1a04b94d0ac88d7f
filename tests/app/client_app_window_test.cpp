#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include "app/main_window.h"
#include "app_fixture.h"
#include "ui/card/main_content.h"
#include "ui/dialogs/settings_dialog.h"
#include "ui/theme/action_button.h"
#include "ui/theme/panel_view.h"
#include "ui/theme/theme.h"

namespace vornisel::test {
namespace {

using ClientAppWindowTest = AppFixture;

// A first run opens the settings. The size a person gives the window is stored when the panel
// quits, and the next launch, no longer a first run, opens at that size without the settings. A
// stored size below the smallest window opens at the smallest; one larger than the screen's free
// area (the test screen is 800 x 800) shrinks into it.
TEST_F(ClientAppWindowTest, OpensAtTheSizeStoredAtQuitButNeverBelowTheMinimum) {
    ASSERT_TRUE(launch());
    EXPECT_NE(dynamic_cast<SettingsDialog*>(app->activeDialog.get()), nullptr);
    // The taskbar and the window switcher show the program's own icon.
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    const QSize chosen = app->root->size() - QSize(0, 100);
    app->window->resize(app->window->size() - QSize(0, 100));
    ASSERT_TRUE(waitUntil([&] { return app->root->size() == chosen; }));
    app->terminate();
    EXPECT_EQ(terminations, 1);
    app.reset();
    ASSERT_TRUE(launch());
    EXPECT_EQ(app->root->size(), chosen);
    EXPECT_EQ(app->activeDialog, nullptr);
    // An empty list: only adding is offered.
    EXPECT_FALSE(app->toggleAll->isEnabled());
    EXPECT_TRUE(app->add->isEnabled());
    struct Row {
        double width, height;
        QSize expected;
    };
    const Row rows[] = {
        {800, 600, {800, 600}}, {500, 300, {800, 450}}, {790, 400, {800, 450}}, {3000, 3000, {}}};
    for (const Row& row : rows) {
        app.reset();
        prepareStore({}, row.width, row.height);
        ASSERT_TRUE(launch());
        if (row.expected.isValid()) {
            EXPECT_EQ(app->root->size(), row.expected) << row.width << "x" << row.height;
        }
        const QSize area = app->window->screen()->availableGeometry().size();
        EXPECT_EQ(app->window->size().boundedTo(area), app->window->size()) << row.width;
    }
}

// A panel set to start hidden waits in the tray, or minimised in the taskbar where there is no
// tray; showing it brings the window back either way.
TEST_F(ClientAppWindowTest, StartingHiddenUsesTheTrayOrElseTheTaskbar) {
    for (const bool tray : {true, false}) {
        std::filesystem::remove_all(dataDir);
        PanelStore store(dataDir);
        store.document.settings.minimized = true;
        store.save();
        trayPresent = tray;
        ASSERT_TRUE(launch());
        EXPECT_EQ(app->window->isVisible(), !tray) << tray;
        EXPECT_EQ(app->window->isMinimized(), !tray) << tray;
        app->showWindow();
        EXPECT_TRUE(app->windowShown()) << tray;
        app.reset();
    }
}

TEST_F(ClientAppWindowTest, TheScrollerShowsExactlyWhenTheCardsOverflow) {
    prepareStore(demoClients(8), 800, 450);
    ASSERT_TRUE(launch());
    QScrollBar* scroller = app->scroll->verticalScrollBar();
    EXPECT_TRUE(scroller->isVisible());
    EXPECT_GT(app->body->height(), app->scroll->viewport()->height());
    // The cards were laid out for the width the scroller leaves.
    EXPECT_EQ(app->body->width(), app->scroll->viewport()->width());

    app->window->fitContent(QSize(800, 3000));
    settle();
    EXPECT_FALSE(scroller->isVisible());
    EXPECT_EQ(app->body->size(), app->scroll->viewport()->size());

    // The content never shrinks below the smallest window.
    app->window->fitContent(QSize(300, 200));
    settle();
    EXPECT_EQ(app->root->size(), QSize(800, 450));
}

TEST_F(ClientAppWindowTest, StoreThatCannotBeOpenedEndsLaunchWithAnAlert) {
    // A file where the data directory should be: the store cannot create it.
    writeFile(dataDir, "not a directory");
    EXPECT_FALSE(launch());
    EXPECT_EQ(alerts.size(), 1u);
    EXPECT_EQ(terminations, 1);
    EXPECT_EQ(app->window, nullptr);
}

}  // namespace
}  // namespace vornisel::test

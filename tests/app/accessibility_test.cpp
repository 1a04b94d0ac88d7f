#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <map>

#include "app/main_window.h"
#include "app_fixture.h"
#include "engine/engine_controller.h"
#include "l10n/localizer.h"
#include "support/accessible_events.h"
#include "ui/card/device_card.h"
#include "ui/dialogs/panel_dialog.h"
#include "ui/theme/theme.h"

namespace vornisel::test {
namespace {

using AccessibilityTest = AppFixture;

// Each control has a role and a name, and looks different while it has the keyboard focus.
void walk(QWidget* window, const std::string& where) {
    window->show();
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(waitUntil([&] { return window->isActiveWindow(); })) << where;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!(control->focusPolicy() & Qt::TabFocus) || !control->isEnabled() ||
            !control->isVisibleTo(window))
            continue;
        const std::string what = where + ": " + control->metaObject()->className();
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(face, nullptr) << what;
        EXPECT_NE(face->role(), QAccessible::Client) << what;
        EXPECT_FALSE(face->text(QAccessible::Name).trimmed().isEmpty()) << what;
        control->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(control->hasFocus()) << what;
        const QImage focused = control->grab().toImage();
        control->clearFocus();
        EXPECT_NE(control->grab().toImage(), focused) << what << " shows no focus";
    }
}

// Every control of the window and of each dialog, in both languages.
TEST_F(AccessibilityTest, EveryControlIsNamedAndShowsItsFocus) {
    Theme::applyDarkAppearance(*qApp);  // the program's look, as main() sets it
    prepareStore(demoClients(2));
    ASSERT_TRUE(launch());
    const std::pair<const char*, std::function<void()>> dialogs[] = {
        {"device", [&] { app->showDevice(std::nullopt); }},
        {"edit", [&] { app->showDevice(deviceID(1)); }},
        {"settings", [&] { app->showSettings(); }},
        {"preset", [&] { app->showSavePreset(); }},
    };
    for (const std::string language : {"en", "ru"}) {
        Localizer::shared().load(language, sourceDir() / "resources");
        app->localize();
        app->rebuildCards();
        app->showNotice(tr("notice.device_added"), false);
        walk(app->window, language + " window");
        for (const auto& [name, open] : dialogs) {
            open();
            ASSERT_TRUE(app->activeDialog) << name;
            walk(app->activeDialog->window(), language + " " + name);
            app->activeDialog->finish(false);
            ASSERT_TRUE(waitUntil([&] { return !app->activeDialog; })) << name;
        }
    }
}

// With three engines running and polled, the panel tells assistive tools nothing that did not
// change: no names set again, and a description only when its text is new. Nor does it poll
// more often than once a second.
TEST_F(AccessibilityTest, AnIdlePanelSendsNoEvents) {
    prepareStore(demoClients(3));
    ASSERT_TRUE(launch());
    app->window->show();
    for (DeviceCard* card : app->cards)
        app->start(card->profile().id);
    const auto steady = [&] {
        return std::all_of(app->cards.begin(), app->cards.end(), [](DeviceCard* card) {
            return card->runtime()->isRunning() && card->runtime()->value("status") == 3;
        });
    };
    ASSERT_TRUE(waitUntil([&] {
        app->poll();
        settle();
        return steady();
    }));
    app->poll();
    settle();
    std::map<QObject*, QString> described;
    for (DeviceCard* card : app->cards)
        described[card] = card->accessibleDescription();
    AccessibleEvents events;
    for (int tick = 0; tick < 5; ++tick) {
        const size_t samples = app->cards[0]->runtime()->samples.size();
        app->poll();
        ASSERT_TRUE(waitUntil([&] { return app->cards[0]->runtime()->samples.size() > samples; }));
    }
    for (const auto& event : events.events()) {
        EXPECT_EQ(event.type, QAccessible::DescriptionChanged) << event.type;
        // A recovery of the stand-in engine may change a card's health line; a repeat may not.
        EXPECT_NE(std::exchange(described[event.object], event.description), event.description);
    }
    // Left to its timer, the panel polls once a second, never faster.
    const size_t samples = app->cards[0]->runtime()->samples.size();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitUntil([&] { return app->cards[0]->runtime()->samples.size() >= samples + 3; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

}  // namespace
}  // namespace vornisel::test

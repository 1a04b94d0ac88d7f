#include "ui/card/device_card.h"

#include <QCoreApplication>
#include <QScrollArea>
#include <QScrollBar>

#include "support/accessible_events.h"
#include "ui/card/card_fixture.h"
#include "ui/card/diagnostic_view.h"
#include "ui/card/meter_bridge.h"
#include "ui/theme/action_button.h"

namespace vornisel {
namespace {

using DeviceCardTest = test::CardTest;

// Stopped, the card offers start, edit and delete; running, it locks deleting; stopping, the
// toggle waits.
TEST_F(DeviceCardTest, ButtonsAndTextsFollowTheRuntime) {
    DeviceCard stopped(test::cardProfile(), std::make_shared<ClientRuntime>());
    EXPECT_EQ(stopped.toggle()->glyph(), Glyph::play);
    EXPECT_EQ(stopped.toggle()->accessibleName(), "Start Studio A");
    EXPECT_TRUE(stopped.toggle()->isEnabled());
    EXPECT_TRUE(stopped.edit()->isEnabled());
    EXPECT_TRUE(stopped.remove()->isEnabled());
    EXPECT_EQ(stopped.texts().statusGlyph, Glyph::device);
    EXPECT_EQ(stopped.texts().status, "Stopped");
    EXPECT_TRUE(stopped.diagnostics()->isHidden());
    EXPECT_TRUE(stopped.recommend()->title().isEmpty());  // no recommendation without samples
    EXPECT_FALSE(stopped.recommend()->isEnabled());
    EXPECT_FALSE(stopped.info()->attention());
    std::string pressed;  // each button runs its own handler
    const auto press = [&](const char* name) { return [&pressed, name] { pressed += name; }; };
    stopped.setHandlers({press("t"), press("e"), press("i"), press("r"), {}, {}});
    for (ActionButton* button :
         {stopped.toggle(), stopped.edit(), stopped.info(), stopped.remove()})
        button->click();
    EXPECT_EQ(pressed, "teir");

    // A running card's texts and buttons are read by the built-in UI check. Underruns make it
    // recommend more latency, and its button says what applying that sets.
    test::RunningRuntime engine(
        {{"status", 3}, {"health", 1}, {"sampleRate", 48000}, {"blockFrames", 64}});
    for (const int64_t underruns : {3, 5})
        engine.runtime->samples.push_back(Telemetry({{"underrun_count", underruns}}));
    DeviceCard card(test::cardProfile(), engine.runtime);
    EXPECT_EQ(card.recommend()->toolTip(), "Set the latency to 7 blocks");
    engine.runtime->state["health"] = 0;
    engine.runtime->stopping = true;
    card.refresh();
    EXPECT_EQ(card.texts().statusGlyph, Glyph::refresh);
    EXPECT_FALSE(card.toggle()->isEnabled());

    // While a group stop runs, the card's own stop ending, expanding it and a new width of the
    // list leave its toggle locked.
    engine.runtime->stopping = false;
    card.setLocked(true);
    for (const bool expanded : {false, true}) {
        engine.runtime->expanded = expanded;
        card.refresh();
        card.resize(card.width() + 40, card.requestedHeight());
        EXPECT_FALSE(card.toggle()->isEnabled()) << (expanded ? "expanded" : "collapsed");
    }
    card.setLocked(false);
    EXPECT_TRUE(card.toggle()->isEnabled());
}

// A screen reader hears the card as a group named after its device. Refreshes that change nothing
// tell it nothing; a new status is one change of the card's description, carrying the new text.
TEST_F(DeviceCardTest, TellsAssistiveToolsOnlyWhatChanged) {
    test::RunningRuntime engine({{"status", 3}, {"health", 1}});
    DeviceCard card(test::cardProfile(), engine.runtime);
    QAccessibleInterface* group = QAccessible::queryAccessibleInterface(&card);
    EXPECT_EQ(group->role(), QAccessible::Grouping);
    EXPECT_EQ(group->text(QAccessible::Name), "Studio A");
    const QString running = card.texts().status;
    EXPECT_TRUE(group->text(QAccessible::Description).contains(running));
    test::AccessibleEvents events;
    card.refresh();
    EXPECT_TRUE(events.events().empty());
    engine.runtime->state["status"] = 6;
    card.refresh();
    card.refresh();
    ASSERT_NE(card.texts().status, running);
    const auto told = events.of(&card);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].type, QAccessible::DescriptionChanged);
    EXPECT_TRUE(told[0].description.contains(card.texts().status));
}

// A wide meter scrolls inside its strip on a thin bar; the position a person scrolled to
// survives the refresh of every poll and is clamped when the strip widens.
TEST_F(DeviceCardTest, WideMeterKeepsItsScrollPositionAcrossRefreshes) {
    const std::string channels = "0,1,2,3,4,5,6,7,8,9,10,11";
    DeviceCard card(test::cardProfile(channels, channels), std::make_shared<ClientRuntime>());
    card.resize(900, card.requestedHeight());
    card.show();
    // The scroller is laid out from a posted request, as the application's event loop would.
    QCoreApplication::processEvents();
    QScrollBar* bar = card.meterScroll()->horizontalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    bar->setValue(30);
    card.refresh();
    EXPECT_EQ(bar->value(), 30);
    EXPECT_EQ(card.meter()->x(), -30);
    card.resize(700, card.requestedHeight());
    bar->setValue(150);
    card.resize(900, card.requestedHeight());
    card.refresh();
    EXPECT_EQ(bar->value(), 50);
    EXPECT_EQ(card.meter()->x(), -50);
}

}  // namespace
}  // namespace vornisel

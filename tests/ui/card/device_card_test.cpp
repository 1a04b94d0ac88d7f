#include "ui/card/device_card.h"

#include <QCoreApplication>
#include <QScrollArea>
#include <QScrollBar>

#include "ui/card/card_fixture.h"
#include "ui/card/diagnostic_view.h"
#include "ui/card/meter_bridge.h"
#include "ui/theme/action_button.h"
#include "ui/theme/pixel_check.h"
#include "ui/theme/theme.h"

namespace vornisel {
namespace {

using DeviceCardTest = test::CardTest;
const nlohmann::ordered_json kRunning = {
    {"status", 3}, {"health", 1}, {"sampleRate", 48000}, {"blockFrames", 64}};

// The meter strip gives way to the texts on narrow cards, but never below 70 points, and never
// grows past the meter itself or 360 points; the text column keeps at least 60.
TEST(CardLayoutTest, StripGivesWayToTheTextsWithinItsLimits) {
    const struct {
        int width, meter, strip, textWidth;
    } table[] = {
        {1000, 90, 90, 536}, {1000, 410, 360, 266}, {700, 410, 210, 116},
        {520, 410, 70, 76},  {520, 58, 58, 88},     {400, 410, 70, 60},
    };
    for (const auto& row : table) {
        const CardFrames f = cardFrames(row.width, row.meter);
        EXPECT_EQ(f.meterScroll.width(), row.strip) << row.width << " " << row.meter;
        EXPECT_EQ(f.textWidth, row.textWidth) << row.width << " " << row.meter;
        EXPECT_EQ(f.meter.size(), QSize(row.meter, 84));
        EXPECT_LT(f.meterScroll.right(), f.toggle.left() - 100);  // room for the status text
    }
}

// The four icon buttons are alike, evenly spaced and centred on the collapsed card; the last
// one, the diagnostics and the export link share the right margin.
TEST_F(DeviceCardTest, PartsLineUp) {
    auto runtime = std::make_shared<ClientRuntime>();
    runtime->expanded = true;
    DeviceCard card(test::cardProfile(), runtime);
    card.resize(900, card.requestedHeight());
    card.refresh();
    const ActionButton* icons[] = {card.toggle(), card.edit(), card.info(), card.remove()};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(icons[i]->size(), QSize(32, 32)) << i;
        EXPECT_EQ(QRectF(icons[i]->geometry()).center().y(), kCollapsedCardHeight / 2.0) << i;
        if (i > 0) {
            EXPECT_EQ(icons[i]->x() - icons[i - 1]->x(), 36) << i;
        }
    }
    const int right = card.diagnostics()->geometry().right();
    EXPECT_EQ(card.remove()->geometry().right(), right);
    EXPECT_EQ(card.exportButton()->geometry().right(), right);
    EXPECT_EQ(card.recommend()->y(), card.exportButton()->y());
    EXPECT_EQ(card.recommend()->height(), card.exportButton()->height());
    EXPECT_LT(card.recommend()->geometry().right(), card.exportButton()->x());
}

// The card paints its status icon, its name in the text colour and the lines below it in the
// secondary colour left of the meter strip, and its status right of it.
TEST_F(DeviceCardTest, PaintsItsIconAndTexts) {
    DeviceCard card(test::cardProfile(), std::make_shared<ClientRuntime>());
    card.resize(900, card.requestedHeight());
    const QImage image = test::renderWidget(card);
    const QRect icon(0, 0, 60, card.height()), texts(60, 0, card.meterScroll()->x() - 60, 100);
    EXPECT_GT(test::strongestMix(image, icon, Theme::card(), Theme::text()), 0.5);
    EXPECT_GT(test::strongestMix(image, texts, Theme::card(), Theme::text()), 0.9);
    EXPECT_GT(test::strongestMix(image, texts, Theme::card(), Theme::secondary()), 0.9);
    const int strip = card.meterScroll()->geometry().right();
    const QRect status(strip + 1, 0, card.toggle()->x() - strip - 1, 100);
    EXPECT_GT(test::strongestMix(image, status, Theme::card(), Theme::text()), 0.9);
}

// Stopped, the card offers start, edit and delete; running, it offers stop and locks editing;
// stopping, the toggle waits.
TEST_F(DeviceCardTest, ButtonsAndTextsFollowTheRuntime) {
    DeviceCard stopped(test::cardProfile(), std::make_shared<ClientRuntime>());
    EXPECT_EQ(stopped.requestedHeight(), kCollapsedCardHeight);
    EXPECT_EQ(stopped.toggle()->glyph(), Glyph::play);
    EXPECT_EQ(stopped.toggle()->accessibleName(), "Start device");
    EXPECT_TRUE(stopped.toggle()->isEnabled());
    EXPECT_TRUE(stopped.edit()->isEnabled());
    EXPECT_TRUE(stopped.remove()->isEnabled());
    EXPECT_EQ(stopped.texts().statusGlyph, Glyph::device);
    EXPECT_EQ(stopped.texts().name, "Studio A");
    EXPECT_EQ(stopped.texts().subtitle, "ID 1004  -  Latency: 6 blocks");
    EXPECT_EQ(stopped.texts().status, "Stopped");
    EXPECT_TRUE(stopped.diagnostics()->isHidden());
    for (ActionButton* b : {stopped.edit(), stopped.info(), stopped.remove()})
        EXPECT_FALSE(b->accessibleName().isEmpty());

    test::RunningRuntime engine(kRunning);
    DeviceCard card(test::cardProfile(), engine.runtime);
    EXPECT_EQ(card.toggle()->glyph(), Glyph::stop);
    EXPECT_EQ(card.toggle()->accessibleName(), "Stop device");
    EXPECT_FALSE(card.edit()->isEnabled());
    EXPECT_FALSE(card.remove()->isEnabled());
    EXPECT_EQ(card.texts().statusGlyph, Glyph::play);
    EXPECT_EQ(card.texts().health, "48000 Hz, 64 frames per block");
    EXPECT_EQ(card.texts().status, "Running");
    engine.runtime->state["health"] = 0;
    engine.runtime->stopping = true;
    card.refresh();
    EXPECT_EQ(card.texts().statusGlyph, Glyph::refresh);
    EXPECT_FALSE(card.toggle()->isEnabled());
}

// A recommendation titles the link and flags the info button, even on a collapsed card; without
// one the link is empty and disabled.
TEST_F(DeviceCardTest, RecommendationTitlesTheLinkAndFlagsInfo) {
    test::RunningRuntime engine(kRunning);
    // 64 frames at 48 kHz, six blocks, a fast network: three blocks suffice.
    engine.runtime->samples.push_back(Telemetry(
        {{"net_time_probe_p99_rtt_microseconds", 600}, {"net_sync_age_p99_microseconds", 800}}));
    DeviceCard card(test::cardProfile(), engine.runtime);
    EXPECT_EQ(card.recommend()->title(), "Lower latency: the network is fast");
    EXPECT_EQ(card.recommend()->toolTip(), "Set the latency to 3 blocks");
    EXPECT_TRUE(card.recommend()->isEnabled());
    EXPECT_TRUE(card.recommend()->link());
    EXPECT_TRUE(card.info()->attention());
    engine.runtime->samples.clear();
    card.refresh();
    EXPECT_TRUE(card.recommend()->title().isEmpty());
    EXPECT_FALSE(card.recommend()->isEnabled());
    EXPECT_FALSE(card.info()->attention());
}

// Expanded, the card shows its diagnostics and links, and every button runs its handler (the
// recommendation only when there is one).
TEST_F(DeviceCardTest, ExpandedCardShowsDiagnosticsAndButtonsRunTheirHandlers) {
    auto runtime = std::make_shared<ClientRuntime>();
    runtime->expanded = true;
    DeviceCard card(test::cardProfile(), runtime);
    EXPECT_EQ(card.requestedHeight(), kExpandedCardHeight);
    for (QWidget* part : {(QWidget*)card.diagnostics(), (QWidget*)card.recommend(),
                          (QWidget*)card.exportButton()}) {
        EXPECT_FALSE(part->isHidden());
    }
    EXPECT_EQ(card.exportButton()->accessibleName(), "Export support bundle");
    std::vector<std::string> calls;
    card.setHandlers({[&] { calls.push_back("toggle"); }, [&] { calls.push_back("edit"); },
                      [&] { calls.push_back("info"); }, [&] { calls.push_back("remove"); },
                      [&] { calls.push_back("recommend"); }, [&] { calls.push_back("export"); }});
    for (ActionButton* b : {card.toggle(), card.edit(), card.info(), card.remove(),
                            card.recommend(), card.exportButton()}) {
        b->click();
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"toggle", "edit", "info", "remove", "export"}));
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
    EXPECT_EQ(card.meterScroll()->width(), 360);
    EXPECT_EQ(card.meter()->width(), 410);
    QScrollBar* bar = card.meterScroll()->horizontalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 50);
    EXPECT_LE(bar->height(), 8);  // thin, so the channel numbers stay readable
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

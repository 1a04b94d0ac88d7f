#include "ui/card/device_card.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QScrollArea>
#include <QScrollBar>

#include "ui/card/card_fixture.h"
#include "ui/card/diagnostic_view.h"
#include "ui/card/main_content.h"
#include "ui/card/meter_bridge.h"
#include "ui/theme/action_button.h"
#include "ui/theme/pixel_check.h"
#include "ui/theme/theme.h"

namespace vornisel {
namespace {

using nlohmann::ordered_json;

class DeviceCardTest : public ::testing::Test {
protected:
    void SetUp() override { test::loadEnglish(); }
};

TEST(CardLayoutTest, FramesFollowTheCardWidth) {
    const struct {
        int width, meter;
        int stripX, strip, textWidth;
    } table[] = {
        {1000, 90, 622, 90, 536},    // the strip is as wide as the meter
        {1000, 410, 352, 360, 266},  // wide meter: the strip stops at 360
        {700, 410, 202, 210, 116},   // W - 490
        {520, 410, 162, 70, 76},     // never below 70 ...
        {520, 58, 174, 58, 88},      // ... unless the meter itself is narrower
        {400, 410, 42, 70, 60},      // the text column keeps 60 points
    };
    for (const auto& row : table) {
        const CardFrames f = cardFrames(row.width, row.meter);
        EXPECT_EQ(f.meterScroll, QRect(row.stripX, 19, row.strip, 86)) << row.width;
        EXPECT_EQ(f.meter, QRect(0, 0, row.meter, 84));
        EXPECT_EQ(f.textWidth, row.textWidth) << row.width;
        EXPECT_EQ(f.toggle, QRect(row.width - 160, 46, 32, 32));
        EXPECT_EQ(f.edit, QRect(row.width - 124, 46, 32, 32));
        EXPECT_EQ(f.info, QRect(row.width - 88, 46, 32, 32));
        EXPECT_EQ(f.remove, QRect(row.width - 52, 46, 32, 32));
        EXPECT_EQ(f.diagnostics, QRect(70, 142, row.width - 90, 124));
        EXPECT_EQ(f.exportButton, QRect(row.width - 280, 275, 260, 25));
    }
    EXPECT_EQ(cardFrames(1000, 90).recommend, QRect(64, 275, 518, 25));
    EXPECT_EQ(cardFrames(240, 90).recommend, QRect(64, 275, 100, 25));
}

TEST_F(DeviceCardTest, StoppedCardOffersStartEditAndDelete) {
    auto runtime = std::make_shared<ClientRuntime>();
    DeviceCard card(test::cardProfile(), runtime);
    card.resize(900, card.requestedHeight());
    card.refresh();
    EXPECT_EQ(card.requestedHeight(), 124);
    EXPECT_EQ(card.toggle()->glyph(), Glyph::play);
    EXPECT_EQ(card.toggle()->toolTip(), "Start device");
    EXPECT_EQ(card.toggle()->accessibleName(), "Start device");
    EXPECT_TRUE(card.toggle()->isEnabled());
    EXPECT_TRUE(card.edit()->isEnabled());
    EXPECT_TRUE(card.remove()->isEnabled());
    const struct {
        ActionButton* button;
        Glyph glyph;
        QString name;
    } icons[] = {{card.edit(), Glyph::edit, "Edit device and channels"},
                 {card.info(), Glyph::info, "Diagnostics"},
                 {card.remove(), Glyph::trash, "Delete device"}};
    for (const auto& row : icons) {
        EXPECT_EQ(row.button->glyph(), row.glyph);
        EXPECT_EQ(row.button->toolTip(), row.name);
        EXPECT_EQ(row.button->accessibleName(), row.name);
    }
    EXPECT_EQ(card.texts().statusGlyph, Glyph::device);
    EXPECT_EQ(card.texts().name, "Studio A");
    EXPECT_EQ(card.texts().subtitle, "ID 1004  -  Latency: 6 blocks");
    EXPECT_EQ(card.texts().health, "Ready");
    EXPECT_EQ(card.texts().status, "Stopped");
    EXPECT_TRUE(card.diagnostics()->isHidden());
    EXPECT_TRUE(card.recommend()->isHidden());
    EXPECT_TRUE(card.exportButton()->isHidden());
    EXPECT_FALSE(card.recommend()->isEnabled());
    EXPECT_FALSE(card.info()->attention());
}

TEST_F(DeviceCardTest, RunningCardLocksEditingAndStoppingLocksToggle) {
    test::RuntimeGuard guard{test::runningRuntime(
        {{"status", 3}, {"health", 1}, {"sampleRate", 48000}, {"blockFrames", 64}})};
    DeviceCard card(test::cardProfile(), guard.runtime);
    card.resize(900, card.requestedHeight());
    card.refresh();
    EXPECT_EQ(card.toggle()->glyph(), Glyph::stop);
    EXPECT_EQ(card.toggle()->toolTip(), "Stop device");
    EXPECT_TRUE(card.toggle()->isEnabled());
    EXPECT_FALSE(card.edit()->isEnabled());
    EXPECT_FALSE(card.remove()->isEnabled());
    EXPECT_EQ(card.texts().statusGlyph, Glyph::play);
    EXPECT_EQ(card.texts().subtitle, "ID 1004  -  Latency: 8.00 ms");
    EXPECT_EQ(card.texts().health, "48000 Hz, 64 frames per block");
    EXPECT_EQ(card.texts().status, "Running");

    guard.runtime->state["health"] = 0;
    guard.runtime->stopping = true;
    card.refresh();
    EXPECT_EQ(card.texts().statusGlyph, Glyph::refresh);
    EXPECT_EQ(card.texts().status, "Stopping");
    EXPECT_FALSE(card.toggle()->isEnabled());
}

TEST_F(DeviceCardTest, RecommendationTitlesTheButtonAndFlagsInfo) {
    // 64 frames at 48 kHz, six blocks, a fast network: three blocks suffice.
    test::RuntimeGuard guard{test::runningRuntime(
        {{"status", 3}, {"health", 1}, {"sampleRate", 48000}, {"blockFrames", 64}})};
    guard.runtime->samples.push_back(test::sample(
        {{"net_time_probe_p99_rtt_microseconds", 600}, {"net_sync_age_p99_microseconds", 800}}));
    DeviceCard card(test::cardProfile(), guard.runtime);
    card.resize(900, card.requestedHeight());
    card.refresh();
    EXPECT_EQ(card.recommend()->title(), "Lower latency: the network is fast");
    EXPECT_EQ(card.recommend()->toolTip(), "Set the latency to 3 blocks");
    EXPECT_TRUE(card.recommend()->isEnabled());
    EXPECT_TRUE(card.recommend()->link());
    EXPECT_TRUE(card.info()->attention());
    // Collapsed, the info button still shows the warning colour.
    const QImage image = test::renderWidget(card);
    const QRect info = card.frames().info;
    EXPECT_GT(
        test::strongestMix(image, info.adjusted(2, 2, -2, -2), Theme::control(), Theme::warning()),
        0.6);

    guard.runtime->samples.clear();
    card.refresh();
    EXPECT_TRUE(card.recommend()->title().isEmpty());
    EXPECT_EQ(card.recommend()->toolTip(), "Set the latency to 3 blocks");  // left as it was
    EXPECT_FALSE(card.recommend()->isEnabled());
    EXPECT_FALSE(card.info()->attention());
}

TEST_F(DeviceCardTest, ExpandedCardShowsDiagnosticsAndLinks) {
    auto runtime = std::make_shared<ClientRuntime>();
    runtime->expanded = true;
    DeviceCard card(test::cardProfile(), runtime);
    EXPECT_EQ(card.requestedHeight(), 308);
    card.resize(900, card.requestedHeight());
    card.show();
    card.refresh();
    EXPECT_FALSE(card.diagnostics()->isHidden());
    EXPECT_FALSE(card.recommend()->isHidden());
    EXPECT_FALSE(card.exportButton()->isHidden());
    EXPECT_EQ(card.diagnostics()->geometry(), QRect(70, 142, 810, 124));
    EXPECT_EQ(card.exportButton()->title(), "Export support bundle");
    EXPECT_EQ(card.exportButton()->accessibleName(), "Export support bundle");
    const QImage image = test::renderWidget(card);
    EXPECT_TRUE(test::sameColor(image.pixelColor(0, 0), QColor(60, 68, 79)));
    EXPECT_TRUE(test::sameColor(image.pixelColor(899, 307), QColor(60, 68, 79)));
    EXPECT_TRUE(test::sameColor(image.pixelColor(5, 5), Theme::card()));
    EXPECT_TRUE(test::sameColor(image.pixelColor(75, 196), QColor(37, 42, 49)));
    EXPECT_TRUE(test::sameColor(image.pixelColor(480, 144), Theme::background()));
    // Export link: accent text on the card, no button body.
    EXPECT_GT(test::strongestMix(image, QRect(620, 275, 260, 25), Theme::card(), Theme::accent()),
              0.8);
    EXPECT_TRUE(test::sameColor(image.pixelColor(621, 276), Theme::card()));
    card.hide();
}

TEST_F(DeviceCardTest, DrawsStatusIconTextsAndMeterStrip) {
    test::RuntimeGuard guard{test::runningRuntime(
        {{"status", 3}, {"health", 1}, {"sampleRate", 48000}, {"blockFrames", 64}})};
    DeviceCard card(test::cardProfile("0,1", "0,1"), guard.runtime);
    card.resize(900, 124);
    card.refresh();
    EXPECT_EQ(card.meterScroll()->geometry(), QRect(522, 19, 90, 86));
    EXPECT_EQ(card.meter()->size(), QSize(90, 84));
    const QImage image = test::renderWidget(card);
    // Status icon: the play triangle's left edge at x 28 + 4, in the text colour.
    EXPECT_GT(test::strongestMix(image, QRect(31, 60, 2, 8), Theme::card(), Theme::text()), 0.5);
    // Name in bold 17 from y 28; subtitle and health in the secondary colour below it.
    EXPECT_GT(test::strongestMix(image, QRect(70, 28, 80, 23), Theme::card(), Theme::text()), 0.9);
    EXPECT_GT(test::strongestMix(image, QRect(70, 53, 80, 19), Theme::card(), Theme::secondary()),
              0.9);
    EXPECT_GT(test::strongestMix(image, QRect(628, 49, 104, 19), Theme::card(), Theme::text()),
              0.9);
    // Meter strip background around the wells.
    EXPECT_TRUE(test::sameColor(image.pixelColor(524, 60), QColor(23, 26, 24)));
}

TEST_F(DeviceCardTest, ButtonsRunTheInstalledHandlers) {
    auto runtime = std::make_shared<ClientRuntime>();
    runtime->expanded = true;
    DeviceCard card(test::cardProfile(), runtime);
    std::vector<std::string> calls;
    card.setHandlers({[&] { calls.push_back("toggle"); }, [&] { calls.push_back("edit"); },
                      [&] { calls.push_back("info"); }, [&] { calls.push_back("remove"); },
                      [&] { calls.push_back("recommend"); }, [&] { calls.push_back("export"); }});
    for (ActionButton* b : {card.toggle(), card.edit(), card.info(), card.remove(),
                            card.recommend(), card.exportButton()}) {
        b->click();
    }
    // The recommendation button is disabled while there is nothing to recommend.
    EXPECT_EQ(calls, (std::vector<std::string>{"toggle", "edit", "info", "remove", "export"}));
}

TEST_F(DeviceCardTest, WideMeterScrollsInsideItsStrip) {
    auto runtime = std::make_shared<ClientRuntime>();
    DeviceCard card(test::cardProfile("0,1,2,3,4,5,6,7,8,9,10,11", "0,1,2,3,4,5,6,7,8,9,10,11"),
                    runtime);
    card.resize(900, card.requestedHeight());
    card.show();
    card.refresh();
    // The scroller is laid out from a posted request, as the application's event loop would.
    QCoreApplication::processEvents();
    EXPECT_EQ(card.meterScroll()->geometry(), QRect(252, 19, 360, 86));
    EXPECT_EQ(card.meter()->size(), QSize(410, 84));
    QScrollBar* bar = card.meterScroll()->horizontalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 50);
    EXPECT_LE(bar->height(), 8);  // thin, so the channel numbers stay readable
    const QImage image = test::renderWidget(card);
    EXPECT_GT(
        test::strongestMix(image, QRect(252, 99, 200, 6), QColor(23, 26, 24), Theme::border()),
        0.8);
    // What the person scrolled to survives the refresh of every poll, and the meter stays where
    // the scroller says it is.
    bar->setValue(30);
    card.refresh();
    EXPECT_EQ(bar->value(), 30);
    EXPECT_EQ(card.meter()->x(), -30);
    // A narrower card narrows the strip, leaving more to scroll; a wider one clamps the offset.
    card.resize(700, card.requestedHeight());
    bar->setValue(150);
    card.resize(900, card.requestedHeight());
    card.refresh();
    EXPECT_EQ(bar->value(), 50);
    EXPECT_EQ(card.meter()->x(), -50);
    card.hide();
}

TEST(MainContentTest, ReportsEveryResize) {
    MainContent content;
    int calls = 0;
    QSize seen;
    content.setResized([&] {
        ++calls;
        seen = content.size();
    });
    content.resize(1040, 720);
    content.show();
    content.resize(800, 450);
    EXPECT_GE(calls, 2);
    EXPECT_EQ(seen, QSize(800, 450));
    EXPECT_EQ(content.fill(), Theme::background());
}

}  // namespace
}  // namespace vornisel

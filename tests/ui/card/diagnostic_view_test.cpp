#include "ui/card/diagnostic_view.h"

#include <gtest/gtest.h>

#include "support/scoped_locale.h"
#include "ui/card/card_fixture.h"
#include "ui/theme/pixel_check.h"
#include "ui/theme/theme.h"

namespace vornisel {
namespace {

using nlohmann::ordered_json;

const QColor kChart(37, 42, 49);

class DiagnosticViewTest : public ::testing::Test {
protected:
    void SetUp() override { test::loadEnglish(); }
};

TEST_F(DiagnosticViewTest, FiguresShowTheNewestSampleOrDashes) {
    std::deque<Telemetry> samples;
    EXPECT_EQ(diagnosticFigures(samples),
              (std::array<std::string, 4>{"Queue –", "RTT –", "Drops –", "Underruns –"}));
    samples.push_back(test::sample({{"underrun_count", 1}}));
    samples.push_back(test::sample({{"asio_queue_depth_centi_blocks", 157},
                                    {"net_time_probe_last_rtt_microseconds", 1234},
                                    {"playback_dropped_count", 2},
                                    {"capture_dropped_count", 5},
                                    {"underrun_count", 9}}));
    for (const char* name : {"C", "de_DE.UTF-8"}) {
        test::ScopedLocale locale(name);
        if (!locale) GTEST_SKIP() << name << " is not installed";
        EXPECT_EQ(diagnosticFigures(samples),
                  (std::array<std::string, 4>{"Queue 1.57 blocks", "RTT 1.23 ms", "Drops 7",
                                              "Underruns 9"}));
    }
}

TEST_F(DiagnosticViewTest, ChartKeepsTheLastSixtySamplesOldestFirst) {
    std::deque<Telemetry> samples;
    for (int i = 0; i < 75; ++i)
        samples.push_back(test::sample({{"underrun_count", i}}));
    const auto values = chartSeries(samples, "underrun_count");
    ASSERT_EQ(values.size(), 60u);
    EXPECT_EQ(values.front(), 15);
    EXPECT_EQ(values.back(), 74);
    EXPECT_EQ(chartSeries({}, "underrun_count").size(), 0u);
}

TEST_F(DiagnosticViewTest, BarsAreStubsUpToFortyPoints) {
    const QRectF chart(10, 52, 200, 64);  // step min(192 / 60, 4) = 3.2, bar 2.2
    const auto bars = chartBars(chart, {0, 50, 100});
    ASSERT_EQ(bars.size(), 3u);
    EXPECT_EQ(bars[0], QRectF(14, 110, 2.2, 2));
    EXPECT_EQ(bars[1], QRectF(17.2, 91, 2.2, 21));
    EXPECT_EQ(bars[2], QRectF(20.4, 72, 2.2, 40));
    // All zeros: scale 1, every bar a 2-point stub. A wide chart steps at most 4 points.
    for (const QRectF& bar : chartBars(QRectF(0, 52, 600, 64), {0, 0})) {
        EXPECT_EQ(bar.height(), 2);
        EXPECT_EQ(bar.width(), 3);
    }
    EXPECT_EQ(chartBars(QRectF(0, 52, 600, 64), {0, 0})[1].x(), 8);
    // A narrow chart still gives each bar a point.
    EXPECT_EQ(chartBars(QRectF(0, 52, 40, 64), {1})[0].width(), 1);
}

TEST_F(DiagnosticViewTest, EventsShowTheSixNewestNewestFirst) {
    ordered_json state = {{"recoveryEvents", ordered_json::array()}};
    for (int i = 1; i <= 7; ++i)
        state["recoveryEvents"].push_back({{"reason", "event " + std::to_string(i)}});
    EXPECT_EQ(eventLines(state), (std::vector<std::string>{"event 7", "event 6", "event 5",
                                                           "event 4", "event 3", "event 2"}));
    const struct {
        ordered_json event;
        std::string text;
    } table[] = {
        {{{"messageKey", "status.recovering"}, {"reason", "x"}}, "Recovering"},
        {{{"messageKey", ""}, {"reason", "queue reset"}}, "queue reset"},
        {{{"messageKey", 5}, {"reason", 42}}, "42"},
        {{{"messageKey", "unknown.key"}}, "unknown.key"},
        {ordered_json::object(), ""},
    };
    for (const auto& row : table) {
        EXPECT_EQ(eventLines({{"recoveryEvents", {row.event}}}), std::vector<std::string>{row.text})
            << row.event.dump();
    }
    EXPECT_TRUE(eventLines({{"recoveryEvents", "none"}}).empty());
    EXPECT_TRUE(eventLines({{"recoveryEvents", {1, 2}}}).empty());
    EXPECT_TRUE(eventLines(ordered_json::object()).empty());
}

TEST_F(DiagnosticViewTest, DrawsFiguresChartsAndEventPanelAtTheirPlaces) {
    auto runtime = std::make_shared<ClientRuntime>();
    for (int i = 0; i < 10; ++i) {
        runtime->samples.push_back(
            test::sample({{"asio_queue_depth_centi_blocks", i == 4 ? 300 : 100},
                          {"net_time_probe_last_rtt_microseconds", 0}}));
    }
    runtime->state = {{"recoveryEvents", {{{"reason", "a"}}, {{"reason", "b"}}}}};
    DiagnosticView view(runtime);
    view.setFill(Theme::background());
    view.resize(812, 124);  // halves of 400: charts 192 wide at x 0 and 200
    view.refresh();
    const DiagnosticPicture& p = view.picture();
    EXPECT_EQ(p.figureRects[3], QRectF(200, 22, 196, 20));
    EXPECT_EQ(p.charts[1], QRectF(200, 52, 192, 64));
    EXPECT_EQ(p.eventPanel, QRectF(412, 0, 400, 124));
    EXPECT_EQ(p.events, (std::vector<QString>{"b", "a"}));
    EXPECT_EQ(p.eventRects[1], QRectF(422, 28, 380, 18));
    EXPECT_TRUE(p.emptyText.isEmpty());

    const QImage image = test::renderWidget(view);
    EXPECT_TRUE(test::sameColor(image.pixelColor(2, 54), kChart));
    // Queue chart: step 3.07; the fifth bar is the tallest, 40 points up from y 112.
    const int x = int(4 + 3.0667 * 4) + 1;
    EXPECT_TRUE(test::sameColor(image.pixelColor(x, 73), Theme::accent()));
    EXPECT_TRUE(test::sameColor(image.pixelColor(x, 71), kChart));
    EXPECT_TRUE(test::sameColor(image.pixelColor(5, 111), Theme::accent(), 1));
    EXPECT_TRUE(test::sameColor(image.pixelColor(5, 95), kChart));
    // RTT chart: all zero, stubs of 2 points only.
    EXPECT_TRUE(test::sameColor(image.pixelColor(205, 111), Theme::accent()));
    EXPECT_TRUE(test::sameColor(image.pixelColor(205, 108), kChart));
    // Event panel fill and outline; the figures sit on the view's own background.
    EXPECT_TRUE(test::sameColor(image.pixelColor(412, 60), QColor(60, 68, 79)));
    EXPECT_TRUE(test::sameColor(image.pixelColor(811, 60), QColor(60, 68, 79)));
    EXPECT_TRUE(test::sameColor(image.pixelColor(600, 100), kChart));
    EXPECT_TRUE(test::sameColor(image.pixelColor(405, 60), Theme::background()));
}

TEST_F(DiagnosticViewTest, NoEventsShowsTheCalmMessage) {
    // A stopped device: the message must not claim that it runs.
    DiagnosticView view(std::make_shared<ClientRuntime>());
    view.resize(600, 124);
    view.refresh();
    EXPECT_EQ(view.picture().emptyText.toStdString(), "No change recommended.");
    const QImage image = test::renderWidget(view);
    const QRect panel = view.picture().eventPanel.toRect();
    EXPECT_GT(
        test::strongestMix(image, panel.adjusted(10, 10, -10, -90), kChart, Theme::secondary()),
        0.8);
}

}  // namespace
}  // namespace vornisel

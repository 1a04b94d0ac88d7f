#include "ui/card/diagnostic_view.h"

#include "support/scoped_locale.h"
#include "ui/card/card_fixture.h"

namespace vornisel {
namespace {

using nlohmann::ordered_json;
using DiagnosticViewTest = test::CardTest;

// The newest sample's figures, the same under a comma-decimal locale; dashes without samples.
TEST_F(DiagnosticViewTest, FiguresShowTheNewestSampleOrDashes) {
    std::deque<Telemetry> samples;
    EXPECT_EQ(diagnosticFigures(samples),
              (std::array<std::string, 4>{"Queue –", "RTT –", "Drops –", "Underruns –"}));
    samples.push_back(Telemetry({{"underrun_count", 1}}));
    samples.push_back(Telemetry({{"asio_queue_depth_centi_blocks", 157},
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

// A chart shows the last sixty samples, oldest first.
TEST_F(DiagnosticViewTest, ChartsShowTheLastSixtySamples) {
    std::deque<Telemetry> samples;
    for (int i = 0; i < 75; ++i)
        samples.push_back(Telemetry({{"underrun_count", i}}));
    const auto values = chartSeries(samples, "underrun_count");
    ASSERT_EQ(values.size(), 60u);
    EXPECT_EQ(values.front(), 15);
    EXPECT_EQ(values.back(), 74);
}

// The panel lists the six newest events, newest first, by their message or else their reason;
// without events it says no change is recommended.
TEST_F(DiagnosticViewTest, EventsShowTheSixNewestNewestFirst) {
    auto runtime = std::make_shared<ClientRuntime>();
    DiagnosticView view(runtime);
    view.refresh();
    EXPECT_EQ(view.picture().emptyText, "No recovery events.");
    runtime->state = {{"recoveryEvents", ordered_json::array()}};
    for (int i = 1; i <= 7; ++i)
        runtime->state["recoveryEvents"].push_back({{"reason", "event " + std::to_string(i)}});
    view.refresh();
    EXPECT_EQ(view.picture().events, (std::vector<QString>{"event 7", "event 6", "event 5",
                                                           "event 4", "event 3", "event 2"}));
    EXPECT_TRUE(view.picture().emptyText.isEmpty());
    const struct {
        ordered_json event;
        std::string text;
    } table[] = {
        {{{"messageKey", "status.recovering"}, {"reason", "x"}}, "Recovering"},
        {{{"messageKey", 5}, {"reason", 42}}, "42"},
        {ordered_json::object(), ""},
    };
    for (const auto& row : table) {
        EXPECT_EQ(eventLines({{"recoveryEvents", {row.event}}}), std::vector<std::string>{row.text})
            << row.event.dump();
    }
    EXPECT_TRUE(eventLines({{"recoveryEvents", {1, 2}}}).empty());
}

}  // namespace
}  // namespace vornisel

#include "ui/card/diagnostic_view.h"

#include <QPainter>
#include <algorithm>

#include "engine/client_runtime.h"
#include "engine/json_integer.h"
#include "l10n/localizer.h"
#include "l10n/number_format.h"
#include "ui/card/card_colors.h"
#include "ui/theme/theme.h"

namespace vornisel {

namespace {

constexpr size_t kChartWindow = 60;
constexpr size_t kShownEvents = 6;
const char* const kSeries[2] = {"asio_queue_depth_centi_blocks",
                                "net_time_probe_last_rtt_microseconds"};

// How an event's "reason" reads when it has no message key: text as it is, numbers in decimal.
std::string describe(const nlohmann::ordered_json& reason) {
    if (reason.is_string()) return reason.get<std::string>();
    if (reason.is_null()) return "";
    if (reason.is_boolean()) return reason.get<bool>() ? "1" : "0";
    if (auto integer = exactInteger(reason)) return std::to_string(*integer);
    return reason.dump();
}

std::string eventText(const nlohmann::ordered_json& event) {
    const auto key = event.find("messageKey");
    if (key != event.end() && key->is_string() && !key->get<std::string>().empty()) {
        return tr(key->get<std::string>());
    }
    const auto reason = event.find("reason");
    return reason == event.end() ? std::string() : describe(*reason);
}

}  // namespace

std::array<std::string, 4> diagnosticFigures(const std::deque<Telemetry>& samples) {
    if (samples.empty()) {
        return {tr("telemetry.queue_empty"), tr("telemetry.rtt_empty"), tr("telemetry.drops_empty"),
                tr("telemetry.underruns_empty")};
    }
    const Telemetry& last = samples.back();
    // A figure whose statistics the block did not have (or had as garbage) shows as missing.
    const auto shown = [&last](const char* key, std::initializer_list<const char*> names,
                               const auto& text) {
        for (const char* name : names)
            if (!last.has(name)) return tr(std::string(key) + "_empty");
        return text();
    };
    return {
        shown("telemetry.queue", {"asio_queue_depth_centi_blocks"},
              [&] {
                  return tr(
                      "telemetry.queue",
                      fixedDecimals(
                          static_cast<double>(last["asio_queue_depth_centi_blocks"]) / 100.0, 2));
              }),
        shown("telemetry.rtt", {"net_time_probe_last_rtt_microseconds"},
              [&] {
                  return tr("telemetry.rtt",
                            fixedDecimals(
                                static_cast<double>(last["net_time_probe_last_rtt_microseconds"]) /
                                    1000.0,
                                2));
              }),
        shown("telemetry.drops", {"playback_dropped_count", "capture_dropped_count"},
              [&] {
                  return tr("telemetry.drops",
                            last["playback_dropped_count"] + last["capture_dropped_count"]);
              }),
        shown("telemetry.underruns", {"underrun_count"},
              [&] { return tr("telemetry.underruns", last["underrun_count"]); }),
    };
}

std::vector<double> chartSeries(const std::deque<Telemetry>& samples, const std::string& field) {
    const size_t first = samples.size() > kChartWindow ? samples.size() - kChartWindow : 0;
    // Find the statistic's position once: a lookup by name per sample was the costliest part of
    // a card refresh.
    const auto& names = Telemetry::fields();
    const size_t index = size_t(std::find(names.begin(), names.end(), field) - names.begin());
    std::vector<double> values;
    values.reserve(samples.size() - first);
    for (size_t i = first; i < samples.size(); ++i) {
        values.push_back(static_cast<double>(samples[i].at(index)));
    }
    return values;
}

std::vector<QRectF> chartBars(const QRectF& chart, const std::vector<double>& values) {
    double scale = 1;
    for (double v : values)
        scale = std::max(scale, v);
    const double step = std::min((chart.width() - 8) / double(kChartWindow), 4.0);
    const double width = std::max(step - 1, 1.0);
    std::vector<QRectF> bars;
    bars.reserve(values.size());
    for (size_t j = 0; j < values.size(); ++j) {
        // A negative reading has no meaning here; it shows as the empty stub.
        const double h = std::max(values[j], 0.0) / scale * 38 + 2;
        bars.emplace_back(chart.x() + 4 + step * double(j), chart.bottom() - 4 - h, width, h);
    }
    return bars;
}

std::vector<std::string> eventLines(const nlohmann::ordered_json& state) {
    const auto found = state.find("recoveryEvents");
    if (found == state.end() || !found->is_array()) return {};
    for (const auto& event : *found) {
        if (!event.is_object()) return {};
    }
    std::vector<std::string> lines;
    for (auto it = found->rbegin(); it != found->rend() && lines.size() < kShownEvents; ++it) {
        lines.push_back(eventText(*it));
    }
    return lines;
}

DiagnosticPicture diagnosticPicture(double width, const ClientRuntime& runtime) {
    DiagnosticPicture picture;
    const double half = (width - 12) / 2;
    const auto figures = diagnosticFigures(runtime.samples);
    for (int i = 0; i < 4; ++i) {
        picture.figures[i] = qtext(figures[i]);
        picture.figureRects[i] = QRectF((i % 2) * half / 2, (i / 2) * 22, half / 2 - 4, 20);
    }
    for (int k = 0; k < 2; ++k) {
        picture.charts[k] = QRectF(k * half / 2, 52, half / 2 - 8, 64);
        picture.bars[k] = chartBars(picture.charts[k], chartSeries(runtime.samples, kSeries[k]));
    }
    picture.eventPanel = QRectF(half + 12, 0, half, 124);
    const auto lines = eventLines(runtime.state);
    for (size_t k = 0; k < lines.size(); ++k) {
        picture.events.push_back(qtext(lines[k]));
        picture.eventRects.emplace_back(picture.eventPanel.x() + 10, 10 + 18 * double(k),
                                        picture.eventPanel.width() - 20, 18);
    }
    if (lines.empty()) picture.emptyText = qtext(tr("diagnostics.no_action"));
    return picture;
}

DiagnosticView::DiagnosticView(std::shared_ptr<ClientRuntime> runtime, QWidget* parent)
    : PanelView(parent), runtime_(std::move(runtime)) {
    refresh();
}

void DiagnosticView::refresh() {
    picture_ = diagnosticPicture(width(), *runtime_);
    update();
}

void DiagnosticView::resizeEvent(QResizeEvent*) {
    refresh();
}

void DiagnosticView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawPanel(painter);
    painter.setRenderHint(QPainter::Antialiasing, true);
    drawFigures(painter);
    drawCharts(painter);
    drawEvents(painter);
}

void DiagnosticView::drawFigures(QPainter& painter) const {
    for (size_t i = 0; i < picture_.figures.size(); ++i) {
        Theme::draw(painter, picture_.figures[i], picture_.figureRects[i], 12, Theme::secondary());
    }
}

void DiagnosticView::drawCharts(QPainter& painter) const {
    for (size_t k = 0; k < picture_.charts.size(); ++k) {
        painter.fillRect(picture_.charts[k], card_colors::chartFill());
        for (const QRectF& bar : picture_.bars[k])
            painter.fillRect(bar, Theme::accent());
    }
}

void DiagnosticView::drawEvents(QPainter& painter) const {
    const QRectF& panel = picture_.eventPanel;
    painter.fillRect(panel, card_colors::chartFill());
    Theme::outline(painter, panel, card_colors::eventOutline());
    if (picture_.events.empty()) {
        Theme::draw(painter, picture_.emptyText, panel.adjusted(10, 10, -10, -10), 12,
                    Theme::secondary());
        return;
    }
    for (size_t k = 0; k < picture_.events.size(); ++k) {
        Theme::draw(painter, picture_.events[k], picture_.eventRects[k], 11, Theme::text());
    }
}

}  // namespace vornisel

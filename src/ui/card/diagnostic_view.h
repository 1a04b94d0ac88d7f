#pragma once

#include <QRectF>
#include <QString>
#include <array>
#include <deque>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/telemetry.h"
#include "ui/theme/panel_view.h"

namespace vornisel {

class ClientRuntime;

// The four headline texts (queue, round trip, drops, underruns) of the newest sample, or their
// empty forms when there is none.
std::array<std::string, 4> diagnosticFigures(const std::deque<Telemetry>& samples);

// The values of one statistic over the last 60 samples, oldest first.
std::vector<double> chartSeries(const std::deque<Telemetry>& samples, const std::string& field);

// The bars of one chart inside `chart`: a 2-point stub for every value, 40 points for the
// largest of the window.
std::vector<QRectF> chartBars(const QRectF& chart, const std::vector<double>& values);

// The texts of at most the six newest recovery events of an engine state, newest first.
std::vector<std::string> eventLines(const nlohmann::ordered_json& state);

// Everything the diagnostics view draws for a width.
struct DiagnosticPicture {
    std::array<QString, 4> figures;
    std::array<QRectF, 4> figureRects;
    std::array<QRectF, 2> charts;
    std::array<std::vector<QRectF>, 2> bars;
    QRectF eventPanel;
    std::vector<QString> events;  // newest first
    std::vector<QRectF> eventRects;
    QString emptyText;  // shown in the panel when there are no events
};

DiagnosticPicture diagnosticPicture(double width, const ClientRuntime& runtime);

// Headline figures, two history charts and the latest recovery events of one engine.
class DiagnosticView : public PanelView {
    Q_OBJECT
public:
    explicit DiagnosticView(std::shared_ptr<ClientRuntime> runtime, QWidget* parent = nullptr);

    // Reads the runtime again and redraws.
    void refresh();
    const DiagnosticPicture& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void drawFigures(QPainter& painter) const;
    void drawCharts(QPainter& painter) const;
    void drawEvents(QPainter& painter) const;

    std::shared_ptr<ClientRuntime> runtime_;
    DiagnosticPicture picture_;
};

}  // namespace vornisel

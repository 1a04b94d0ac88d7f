#pragma once

#include <QString>
#include <QWidget>
#include <map>
#include <optional>

#include "ui/dialogs/route_grid.h"

namespace vornisel {

// The grid on which hardware channels (rows) are routed to the virtual device's channels
// (columns), always 32 x 32. Routes stay one-to-one. Mouse: a primary click toggles the cell under
// it. Keyboard: the arrow keys move a focus cell, Space toggles it. The owner reads routes() when
// it needs the result; the matrix reports nothing when a route changes.
class RouteMatrix : public QWidget {
    Q_OBJECT
public:
    // `input` chooses the texts of the input matrix; the output matrix differs only in texts.
    explicit RouteMatrix(bool input, QWidget* parent = nullptr);

    const std::map<int, int>& routes() const { return routes_; }
    void setRoutes(std::map<int, int> routes);
    int hardwareCount() const { return hardwareCount_; }
    void setHardwareCount(int count);
    bool input() const { return input_; }
    const std::optional<RouteCell>& hover() const { return hover_; }
    RouteCell focused() const { return focused_; }

    // The cell under a point in the matrix's coordinates, unavailable rows included.
    static std::optional<RouteCell> cellAt(QPointF point) { return route_grid::cellAt(point); }
    // Toggles one route; rows at or beyond hardwareCount() are ignored.
    void toggle(RouteCell cell);

    // "Input 3" / "Output 3" for row index 2.
    QString rowTitle(int row) const;
    // "Vornisel 5" for column index 4.
    static QString columnTitle(int column);
    // The tool tip of a cell: "Input 3 → Vornisel 5".
    QString cellTitle(RouteCell cell) const;
    // Whether the cell's route is set, and that in words ("routed", "not routed", "unavailable").
    bool routed(RouteCell cell) const;
    QString cellState(RouteCell cell) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void drawCaptions(QPainter& painter) const;
    void drawCells(QPainter& painter, const QRect& dirty) const;
    QColor cellColor(RouteCell cell) const;
    void followFocus();
    void describeFocus();

    std::map<int, int> routes_;
    int hardwareCount_ = 0;
    bool input_;
    std::optional<RouteCell> hover_;
    RouteCell focused_;
};

}  // namespace vornisel

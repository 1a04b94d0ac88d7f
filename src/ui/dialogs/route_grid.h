#pragma once

#include <QRectF>
#include <map>
#include <optional>

namespace vornisel {

// One cell of the route grid: a hardware channel (row) and a virtual channel (column), from 0.
struct RouteCell {
    int row = 0;
    int column = 0;
    bool operator==(const RouteCell&) const = default;
};

// Pure geometry and routing rules of the route grid, kept apart from the widget so that tests
// check every edge without rendering.
namespace route_grid {

inline constexpr int size = 32;        // rows and columns, whatever the hardware offers
inline constexpr double pitch = 28.0;  // one cell and its gap
inline constexpr double captionWidth = 128.0;
inline constexpr double captionHeight = 28.0;
inline constexpr double width = captionWidth + size * pitch;    // 1024
inline constexpr double height = captionHeight + size * pitch;  // 924

QRectF cornerCaption();
QRectF columnCaption(int column);  // column from 0, captioned column + 1
QRectF rowCaption(int row);
QRectF cellRect(RouteCell cell);
QRectF focusRect(RouteCell cell);
// The square a cell claims for hits; scrolled into view when the focus lands on it.
QRectF hitRect(RouteCell cell);

std::optional<RouteCell> cellAt(QPointF point);

// Applies one toggle to `routes` (hardware row -> virtual column), keeping them one-to-one.
// Rows at or beyond `hardwareCount` are not available and are left alone; returns whether
// anything changed.
bool toggle(std::map<int, int>& routes, int hardwareCount, RouteCell cell);

// The focus after an arrow key, clamped to the grid without wrapping.
RouteCell moved(RouteCell focus, int rowStep, int columnStep);

}  // namespace route_grid
}  // namespace vornisel

#include "ui/dialogs/route_grid.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace vornisel::route_grid {

QRectF cornerCaption() {
    return {0, 6, captionWidth, 19};
}

QRectF columnCaption(int column) {
    return {captionWidth + pitch * column, 6, pitch, 20};
}

QRectF rowCaption(int row) {
    return {0, 34 + pitch * row, captionWidth, 20};
}

QRectF cellRect(RouteCell cell) {
    return {captionWidth + 1 + pitch * cell.column, captionHeight + 1 + pitch * cell.row, 26, 26};
}

QRectF focusRect(RouteCell cell) {
    return cellRect(cell).adjusted(1, 1, -1, -1);
}

QRectF hitRect(RouteCell cell) {
    return {captionWidth + pitch * cell.column, captionHeight + pitch * cell.row, pitch, pitch};
}

std::optional<RouteCell> cellAt(QPointF point) {
    if (point.x() < captionWidth || point.y() < captionHeight) return std::nullopt;
    // Both offsets are non-negative here, so floor is the integer part.
    const double row = std::floor((point.y() - captionHeight) / pitch);
    const double column = std::floor((point.x() - captionWidth) / pitch);
    if (row > size - 1 || column > size - 1) return std::nullopt;
    return RouteCell{static_cast<int>(row), static_cast<int>(column)};
}

bool toggle(std::map<int, int>& routes, int hardwareCount, RouteCell cell) {
    if (cell.row >= hardwareCount) return false;
    const auto current = routes.find(cell.row);
    if (current != routes.end() && current->second == cell.column) {
        routes.erase(current);
        return true;
    }
    std::erase_if(routes, [&](const auto& route) { return route.second == cell.column; });
    routes[cell.row] = cell.column;
    return true;
}

RouteCell moved(RouteCell focus, int rowStep, int columnStep) {
    return {std::clamp(focus.row + rowStep, 0, size - 1),
            std::clamp(focus.column + columnStep, 0, size - 1)};
}

}  // namespace vornisel::route_grid

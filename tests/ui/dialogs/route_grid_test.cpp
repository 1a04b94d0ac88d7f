#include "ui/dialogs/route_grid.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace vornisel {
namespace {

using route_grid::cellAt;
using Routes = std::map<int, int>;

TEST(RouteGridTest, HitTestEdges) {
    const struct {
        QPointF point;
        std::optional<RouteCell> expected;
    } rows[] = {
        {{127.9, 100}, std::nullopt},
        {{200, 27.9}, std::nullopt},
        {{128, 28}, RouteCell{0, 0}},
        {{155.9, 55.9}, RouteCell{0, 0}},
        {{156, 56}, RouteCell{1, 1}},
        {{1023.9, 923.9}, RouteCell{31, 31}},
        {{1024, 500}, std::nullopt},
        {{500, 924}, std::nullopt},
        {{128 + 28 * 5 + 3, 28 + 28 * 7 + 27}, RouteCell{7, 5}},
        {{-5, -5}, std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(cellAt(row.point), row.expected) << row.point.x() << "," << row.point.y();
}

// Each cell lies one point inside the square it claims for hits, which leads back to it; the
// focus ring lies inside the cell.
TEST(RouteGridTest, CellsSitInsideTheirHitSquares) {
    for (int r = 0; r < 32; r += 7) {
        for (int c = 0; c < 32; c += 5) {
            const QRectF hit = route_grid::hitRect({r, c});
            EXPECT_EQ(route_grid::cellRect({r, c}), hit.adjusted(1, 1, -1, -1));
            EXPECT_EQ(route_grid::focusRect({r, c}), hit.adjusted(2, 2, -2, -2));
            EXPECT_EQ(cellAt(hit.topLeft()), (RouteCell{r, c}));
            EXPECT_EQ(cellAt(hit.bottomRight() - QPointF(0.01, 0.01)), (RouteCell{r, c}));
        }
    }
}

TEST(RouteGridTest, ToggleKeepsRoutesOneToOne) {
    const struct {
        const char* what;
        Routes before;
        int hardwareCount;
        RouteCell cell;
        Routes after;
        bool changed;
    } rows[] = {
        {"empty cell routes", {}, 4, {1, 2}, {{1, 2}}, true},
        {"routed cell unroutes", {{1, 2}}, 4, {1, 2}, {}, true},
        {"column moves to the new row", {{0, 5}, {2, 7}}, 4, {3, 5}, {{2, 7}, {3, 5}}, true},
        {"row moves to the new column", {{1, 2}}, 4, {1, 6}, {{1, 6}}, true},
        {"both at once", {{0, 1}, {1, 2}}, 4, {0, 2}, {{0, 2}}, true},
        {"unavailable row ignored", {{0, 1}}, 2, {2, 1}, {{0, 1}}, false},
        {"last available row", {}, 32, {31, 31}, {{31, 31}}, true},
    };
    for (const auto& row : rows) {
        Routes routes = row.before;
        EXPECT_EQ(route_grid::toggle(routes, row.hardwareCount, row.cell), row.changed) << row.what;
        EXPECT_EQ(routes, row.after) << row.what;
    }
}

}  // namespace
}  // namespace vornisel

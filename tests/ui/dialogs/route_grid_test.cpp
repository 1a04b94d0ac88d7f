#include "ui/dialogs/route_grid.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace vornisel {
namespace {

using Routes = std::map<int, int>;

// The edges between cells and the far edges of the grid; the near edges are clicked in the matrix.
TEST(RouteGridTest, HitTestEdges) {
    const struct {
        QPointF point;
        std::optional<RouteCell> expected;
    } rows[] = {
        {{155.9, 55.9}, RouteCell{0, 0}},     {{156, 56}, RouteCell{1, 1}},
        {{1023.9, 923.9}, RouteCell{31, 31}}, {{1024, 500}, std::nullopt},
        {{500, 924}, std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(route_grid::cellAt(row.point), row.expected)
            << row.point.x() << "," << row.point.y();
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

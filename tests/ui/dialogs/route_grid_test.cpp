#include "ui/dialogs/route_grid.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace vornisel {
namespace {

using route_grid::cellAt;
using Routes = std::map<int, int>;

TEST(RouteGridTest, HitTestEdges) {
    struct Row {
        QPointF point;
        std::optional<RouteCell> expected;
    };
    const Row rows[] = {
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
    for (const auto& row : rows) {
        EXPECT_EQ(cellAt(row.point), row.expected) << row.point.x() << "," << row.point.y();
    }
}

TEST(RouteGridTest, RectanglesFollowThePitch) {
    EXPECT_EQ(route_grid::width, 1024);
    EXPECT_EQ(route_grid::height, 924);
    EXPECT_EQ(route_grid::cornerCaption(), QRectF(0, 6, 128, 19));
    EXPECT_EQ(route_grid::columnCaption(0), QRectF(128, 6, 28, 20));
    EXPECT_EQ(route_grid::columnCaption(31), QRectF(128 + 28 * 31, 6, 28, 20));
    EXPECT_EQ(route_grid::rowCaption(2), QRectF(0, 34 + 56, 128, 20));
    EXPECT_EQ(route_grid::cellRect({2, 3}), QRectF(129 + 84, 29 + 56, 26, 26));
    EXPECT_EQ(route_grid::focusRect({2, 3}), QRectF(130 + 84, 30 + 56, 24, 24));
    EXPECT_EQ(route_grid::hitRect({2, 3}), QRectF(128 + 84, 28 + 56, 28, 28));
    // Every cell's own hit area leads back to it.
    for (int r = 0; r < 32; r += 7) {
        for (int c = 0; c < 32; c += 5) {
            EXPECT_EQ(cellAt(route_grid::cellRect({r, c}).center()), (RouteCell{r, c}));
        }
    }
}

TEST(RouteGridTest, ToggleKeepsRoutesOneToOne) {
    struct Row {
        const char* what;
        Routes before;
        int hardwareCount;
        RouteCell cell;
        Routes after;
        bool changed;
    };
    const Row rows[] = {
        {"empty cell routes", {}, 4, {1, 2}, {{1, 2}}, true},
        {"routed cell unroutes", {{1, 2}}, 4, {1, 2}, {}, true},
        {"column moves to the new row", {{0, 5}, {2, 7}}, 4, {3, 5}, {{2, 7}, {3, 5}}, true},
        {"row moves to the new column", {{1, 2}}, 4, {1, 6}, {{1, 6}}, true},
        {"both at once", {{0, 1}, {1, 2}}, 4, {0, 2}, {{0, 2}}, true},
        {"unavailable row ignored", {{0, 1}}, 2, {2, 1}, {{0, 1}}, false},
        {"no hardware ignores all", {}, 0, {0, 0}, {}, false},
        {"last available row", {}, 32, {31, 31}, {{31, 31}}, true},
    };
    for (const auto& row : rows) {
        Routes routes = row.before;
        EXPECT_EQ(route_grid::toggle(routes, row.hardwareCount, row.cell), row.changed) << row.what;
        EXPECT_EQ(routes, row.after) << row.what;
    }
}

TEST(RouteGridTest, FocusStopsAtTheEdges) {
    EXPECT_EQ(route_grid::moved({0, 0}, -1, 0), (RouteCell{0, 0}));
    EXPECT_EQ(route_grid::moved({0, 0}, 0, -1), (RouteCell{0, 0}));
    EXPECT_EQ(route_grid::moved({31, 31}, 1, 0), (RouteCell{31, 31}));
    EXPECT_EQ(route_grid::moved({31, 31}, 0, 1), (RouteCell{31, 31}));
    EXPECT_EQ(route_grid::moved({4, 9}, 1, 0), (RouteCell{5, 9}));
    EXPECT_EQ(route_grid::moved({4, 9}, 0, -1), (RouteCell{4, 8}));
}

}  // namespace
}  // namespace vornisel

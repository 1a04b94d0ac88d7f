#include "ui/dialogs/route_matrix.h"

#include <QImage>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>

#include "dialog_test_support.h"

namespace vornisel {
namespace {

using Routes = std::map<int, int>;

class RouteMatrixTest : public test::DialogTest {
protected:
    // The centre of a cell, where a person clicks.
    static QPoint centre(int row, int column) {
        return route_grid::cellRect({row, column}).center().toPoint();
    }
    static void clickAt(RouteMatrix& matrix, QPoint point) {
        QTest::mouseClick(&matrix, Qt::LeftButton, Qt::NoModifier, point);
    }
    // Shows a top-level widget and makes its window the active one, so it can hold the focus.
    static void showActive(QWidget& widget) {
        widget.show();
        widget.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&widget));
    }
    // A pointer move, by default with no button held, delivered straight to the matrix.
    static void hoverAt(RouteMatrix& matrix, QPointF point, Qt::MouseButtons held = Qt::NoButton) {
        QMouseEvent move(QEvent::MouseMove, point, matrix.mapToGlobal(point), Qt::NoButton, held,
                         Qt::NoModifier);
        QApplication::sendEvent(&matrix, &move);
    }
    static QColor pixel(RouteMatrix& matrix, QPoint point) {
        return matrix.grab().toImage().pixelColor(point);
    }
};

TEST_F(RouteMatrixTest, StartsEmptyWithTheGridSizeAndTexts) {
    RouteMatrix inputs(true);
    RouteMatrix outputs(false);
    EXPECT_EQ(inputs.geometry(), QRect(0, 0, 1024, 924));
    EXPECT_TRUE(inputs.routes().empty());
    EXPECT_EQ(inputs.hardwareCount(), 0);
    EXPECT_EQ(inputs.focused(), (RouteCell{0, 0}));
    EXPECT_FALSE(inputs.hover());
    EXPECT_EQ(inputs.accessibleName(), text("new_device.inputs"));
    EXPECT_EQ(outputs.accessibleName(), text("new_device.outputs"));
    EXPECT_EQ(inputs.whatsThis(), QStringLiteral("Arrow keys move; Space toggles a route."));
    EXPECT_EQ(inputs.rowTitle(2), text("new_device.input") + " 3");
    EXPECT_EQ(outputs.cellTitle({2, 4}), text("new_device.output") + " 3 \u2192 Vornisel 5");
}

TEST_F(RouteMatrixTest, ClicksToggleAndKeepRoutesOneToOne) {
    RouteMatrix matrix(false);
    matrix.setHardwareCount(4);
    showActive(matrix);
    clickAt(matrix, centre(0, 5));
    EXPECT_EQ(matrix.routes(), (Routes{{0, 5}}));
    EXPECT_EQ(matrix.focused(), (RouteCell{0, 5}));
    EXPECT_TRUE(matrix.hasFocus());
    clickAt(matrix, centre(2, 5));  // column 5 moves to row 2
    EXPECT_EQ(matrix.routes(), (Routes{{2, 5}}));
    clickAt(matrix, centre(2, 7));  // row 2 moves to column 7
    EXPECT_EQ(matrix.routes(), (Routes{{2, 7}}));
    clickAt(matrix, centre(2, 7));  // off again
    EXPECT_TRUE(matrix.routes().empty());
    clickAt(matrix, centre(3, 0));
    clickAt(matrix, centre(4, 1));  // row 4 is beyond the hardware: ignored, but focused
    EXPECT_EQ(matrix.routes(), (Routes{{3, 0}}));
    EXPECT_EQ(matrix.focused(), (RouteCell{4, 1}));
    // The top left corner of the first cell's hit area; column 0 moves from row 3 to row 0.
    clickAt(matrix, {128, 28});
    EXPECT_EQ(matrix.routes(), (Routes{{0, 0}}));
}

TEST_F(RouteMatrixTest, OnlyThePrimaryButtonToggles) {
    const struct {
        Qt::MouseButton button;
        Routes routes;
    } rows[] = {
        {Qt::LeftButton, {{1, 2}}},
        {Qt::RightButton, {}},
        {Qt::MiddleButton, {}},
    };
    for (const auto& row : rows) {
        RouteMatrix matrix(true);
        matrix.setHardwareCount(4);
        showActive(matrix);
        QTest::mouseClick(&matrix, row.button, Qt::NoModifier, centre(1, 2));
        EXPECT_EQ(matrix.routes(), row.routes) << row.button;
    }
}

TEST_F(RouteMatrixTest, ClickOutsideTheCellsOnlyTakesTheFocus) {
    RouteMatrix matrix(true);
    matrix.setHardwareCount(8);
    showActive(matrix);
    for (QPoint point : {QPoint(127, 100), QPoint(300, 27), QPoint(10, 10)}) {
        clickAt(matrix, point);
        EXPECT_TRUE(matrix.routes().empty()) << point.x() << "," << point.y();
        EXPECT_EQ(matrix.focused(), (RouteCell{0, 0}));
    }
    EXPECT_TRUE(matrix.hasFocus());
}

TEST_F(RouteMatrixTest, KeyboardMovesTheFocusAndSpaceToggles) {
    RouteMatrix matrix(true);
    matrix.setHardwareCount(2);
    matrix.show();
    matrix.setFocus();
    QTest::keyClick(&matrix, Qt::Key_Up);
    QTest::keyClick(&matrix, Qt::Key_Left);
    EXPECT_EQ(matrix.focused(), (RouteCell{0, 0}));
    QTest::keyClick(&matrix, Qt::Key_Right);
    QTest::keyClick(&matrix, Qt::Key_Right);
    QTest::keyClick(&matrix, Qt::Key_Down);
    EXPECT_EQ(matrix.focused(), (RouteCell{1, 2}));
    QTest::keyClick(&matrix, Qt::Key_Space);
    EXPECT_EQ(matrix.routes(), (Routes{{1, 2}}));
    QTest::keyClick(&matrix, Qt::Key_Space);
    EXPECT_TRUE(matrix.routes().empty());
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(&matrix, Qt::Key_Down);
        QTest::keyClick(&matrix, Qt::Key_Right);
    }
    EXPECT_EQ(matrix.focused(), (RouteCell{31, 31}));
    QTest::keyClick(&matrix, Qt::Key_Space);  // an unavailable row: nothing happens
    EXPECT_TRUE(matrix.routes().empty());
}

TEST_F(RouteMatrixTest, AssistiveTechnologyHearsTheFocusedCell) {
    RouteMatrix matrix(true);
    matrix.setHardwareCount(2);
    matrix.show();
    matrix.setFocus();
    const QString first = matrix.cellTitle({0, 0});
    EXPECT_EQ(matrix.accessibleDescription(), first + ", not routed");
    QTest::keyClick(&matrix, Qt::Key_Space);
    EXPECT_EQ(matrix.accessibleDescription(), first + ", routed");
    QTest::keyClick(&matrix, Qt::Key_Down);
    QTest::keyClick(&matrix, Qt::Key_Down);
    EXPECT_EQ(matrix.accessibleDescription(), matrix.cellTitle({2, 0}) + ", unavailable");
}

TEST_F(RouteMatrixTest, HoverSetsTheToolTipAndLeavingClearsIt) {
    RouteMatrix matrix(false);
    matrix.setHardwareCount(4);
    matrix.show();
    hoverAt(matrix, centre(1, 3));
    EXPECT_EQ(matrix.hover(), (RouteCell{1, 3}));
    EXPECT_EQ(matrix.toolTip(), text("new_device.output") + " 2 \u2192 Vornisel 4");
    EXPECT_EQ(pixel(matrix, centre(1, 3)), QColor(58, 66, 78));
    hoverAt(matrix, {127.9, 100});
    EXPECT_FALSE(matrix.hover());
    // Off the cells the tool tip stays as it was.
    EXPECT_EQ(matrix.toolTip(), text("new_device.output") + " 2 \u2192 Vornisel 4");
    hoverAt(matrix, {128, 28});
    EXPECT_EQ(matrix.hover(), (RouteCell{0, 0}));
    // With a button held the hover stays where it was.
    hoverAt(matrix, centre(2, 2), Qt::LeftButton);
    EXPECT_EQ(matrix.hover(), (RouteCell{0, 0}));
    EXPECT_EQ(matrix.toolTip(), text("new_device.output") + " 1 \u2192 Vornisel 1");
    // A routed cell shows as routed even under the pointer.
    matrix.setRoutes({{0, 0}});
    EXPECT_EQ(pixel(matrix, centre(0, 0)), Theme::accent());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&matrix, &leave);
    EXPECT_FALSE(matrix.hover());
}

TEST_F(RouteMatrixTest, CellColoursAndTheFocusRing) {
    RouteMatrix matrix(true);
    matrix.setHardwareCount(2);
    matrix.setRoutes({{1, 4}});
    showActive(matrix);
    EXPECT_EQ(pixel(matrix, centre(0, 0)), Theme::control());
    EXPECT_EQ(pixel(matrix, centre(1, 4)), Theme::accent());
    EXPECT_EQ(pixel(matrix, centre(2, 0)), QColor(35, 38, 44));
    EXPECT_EQ(pixel(matrix, {128, 28}), Theme::background());  // the gap between cells
    // The ring sits one pixel inside cell (0, 0), only while the matrix has keyboard focus.
    const QPoint ring(130, 40);
    matrix.clearFocus();
    EXPECT_EQ(pixel(matrix, ring), Theme::control());
    matrix.setFocus();
    ASSERT_TRUE(matrix.hasFocus());
    EXPECT_EQ(pixel(matrix, ring), Theme::text());
    matrix.clearFocus();
    EXPECT_EQ(pixel(matrix, ring), Theme::control());
}

TEST_F(RouteMatrixTest, TheScrollAreaFollowsTheFocus) {
    QScrollArea area;
    area.resize(400, 300);
    auto* matrix = new RouteMatrix(true);
    area.setWidget(matrix);
    area.show();
    matrix->setFocus();
    for (int i = 0; i < 31; ++i)
        QTest::keyClick(matrix, Qt::Key_Down);
    for (int i = 0; i < 31; ++i)
        QTest::keyClick(matrix, Qt::Key_Right);
    const QRect visible(-matrix->pos(), area.viewport()->size());
    EXPECT_TRUE(visible.contains(route_grid::hitRect({31, 31}).toRect()))
        << visible.x() << "," << visible.y();
    EXPECT_EQ(area.verticalScrollBar()->value(), area.verticalScrollBar()->maximum());
    // Back at the top the first row's square is in view; the captions above it may stay hidden.
    for (int i = 0; i < 31; ++i)
        QTest::keyClick(matrix, Qt::Key_Up);
    EXPECT_EQ(area.verticalScrollBar()->value(), 28);
}

}  // namespace
}  // namespace vornisel

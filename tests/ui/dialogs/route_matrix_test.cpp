#include "ui/dialogs/route_matrix.h"

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
    static void clickAt(RouteMatrix& matrix, QPoint point,
                        Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(&matrix, button, Qt::NoModifier, point);
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

// A click with the primary button focuses the matrix and the cell and toggles it; other buttons,
// rows beyond the hardware and points off the cells change no route.
TEST_F(RouteMatrixTest, PrimaryClicksToggleAndFocus) {
    RouteMatrix matrix(false);
    matrix.setHardwareCount(4);
    showActive(matrix);
    clickAt(matrix, centre(1, 2), Qt::RightButton);
    clickAt(matrix, centre(1, 2), Qt::MiddleButton);
    EXPECT_TRUE(matrix.routes().empty());
    EXPECT_EQ(matrix.focused(), (RouteCell{0, 0}));
    clickAt(matrix, centre(2, 5));
    EXPECT_EQ(matrix.routes(), (Routes{{2, 5}}));
    EXPECT_EQ(matrix.focused(), (RouteCell{2, 5}));
    EXPECT_TRUE(matrix.hasFocus());
    clickAt(matrix, centre(4, 1));  // row 4 is beyond the hardware: ignored, but focused
    clickAt(matrix, {127, 100});
    clickAt(matrix, {300, 27});
    EXPECT_EQ(matrix.routes(), (Routes{{2, 5}}));
    EXPECT_EQ(matrix.focused(), (RouteCell{4, 1}));
    clickAt(matrix, {128, 28});  // the top left corner of the first cell's hit area
    EXPECT_EQ(matrix.routes(), (Routes{{0, 0}, {2, 5}}));
}

// Arrow keys move the focus without wrapping, Space toggles, and assistive technology hears the
// focused cell and its state.
TEST_F(RouteMatrixTest, KeyboardMovesTheFocusAndSpaceToggles) {
    RouteMatrix matrix(true);
    matrix.setHardwareCount(2);
    EXPECT_EQ(matrix.accessibleName(), text("new_device.inputs"));
    EXPECT_EQ(RouteMatrix(false).accessibleName(), text("new_device.outputs"));
    matrix.show();
    matrix.setFocus();
    QTest::keyClick(&matrix, Qt::Key_Up);
    QTest::keyClick(&matrix, Qt::Key_Left);
    EXPECT_EQ(matrix.focused(), (RouteCell{0, 0}));
    EXPECT_EQ(matrix.accessibleDescription(),
              text("new_device.input") + " 1 → Vornisel 1, not routed");
    QTest::keyClick(&matrix, Qt::Key_Right);
    QTest::keyClick(&matrix, Qt::Key_Right);
    QTest::keyClick(&matrix, Qt::Key_Down);
    EXPECT_EQ(matrix.focused(), (RouteCell{1, 2}));
    QTest::keyClick(&matrix, Qt::Key_Space);
    EXPECT_EQ(matrix.routes(), (Routes{{1, 2}}));
    EXPECT_EQ(matrix.accessibleDescription(), matrix.cellTitle({1, 2}) + ", routed");
    QTest::keyClick(&matrix, Qt::Key_Space);
    EXPECT_TRUE(matrix.routes().empty());
    QTest::keyClick(&matrix, Qt::Key_Down);
    EXPECT_EQ(matrix.accessibleDescription(), matrix.cellTitle({2, 2}) + ", unavailable");
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(&matrix, Qt::Key_Down);
        QTest::keyClick(&matrix, Qt::Key_Right);
    }
    EXPECT_EQ(matrix.focused(), (RouteCell{31, 31}));
    QTest::keyClick(&matrix, Qt::Key_Space);  // an unavailable row: nothing happens
    EXPECT_TRUE(matrix.routes().empty());
}

// The hovered cell names itself in the tool tip; a drag or leaving ends the hover. The focus ring
// shows only with the keyboard focus.
TEST_F(RouteMatrixTest, HoverAndTheFocusRing) {
    RouteMatrix matrix(false);
    showActive(matrix);
    hoverAt(matrix, centre(1, 3));
    EXPECT_EQ(matrix.hover(), (RouteCell{1, 3}));
    EXPECT_EQ(matrix.toolTip(), matrix.cellTitle({1, 3}));
    hoverAt(matrix, centre(0, 2), Qt::LeftButton);
    EXPECT_EQ(matrix.hover(), (RouteCell{1, 3}));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&matrix, &leave);
    EXPECT_FALSE(matrix.hover());
    const QPoint ring = route_grid::focusRect({0, 0}).topLeft().toPoint() + QPoint(0, 10);
    EXPECT_EQ(pixel(matrix, ring), Theme::text());
    matrix.clearFocus();
    EXPECT_NE(pixel(matrix, ring), Theme::text());
}

TEST_F(RouteMatrixTest, TheScrollAreaFollowsTheFocus) {
    QScrollArea area;
    area.resize(400, 300);
    auto* matrix = new RouteMatrix(true);
    area.setWidget(matrix);
    area.show();
    matrix->setFocus();
    for (int i = 0; i < 31; ++i) {
        QTest::keyClick(matrix, Qt::Key_Down);
        QTest::keyClick(matrix, Qt::Key_Right);
    }
    const QRect visible(-matrix->pos(), area.viewport()->size());
    EXPECT_TRUE(visible.contains(route_grid::hitRect({31, 31}).toRect()));
    EXPECT_EQ(area.verticalScrollBar()->value(), area.verticalScrollBar()->maximum());
    // Back at the top the first row's square is in view; the captions above it may stay hidden.
    for (int i = 0; i < 31; ++i)
        QTest::keyClick(matrix, Qt::Key_Up);
    EXPECT_EQ(area.verticalScrollBar()->value(), 28);
}

}  // namespace
}  // namespace vornisel

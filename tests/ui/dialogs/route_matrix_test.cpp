#include "ui/dialogs/route_matrix.h"

#include <QAccessible>
#include <QScrollArea>
#include <QScrollBar>

#include "dialog_test_support.h"

namespace vornisel {
namespace {

using Routes = std::map<int, int>;

using RouteMatrixTest = test::DialogTest;

// The centre of a cell, where a person clicks.
QPoint centre(int row, int column) {
    return route_grid::cellRect({row, column}).center().toPoint();
}

// The last pixel of the square a cell claims for clicks.
QPoint lastPixel(RouteCell cell) {
    return route_grid::hitRect(cell).bottomRight().toPoint() - QPoint(1, 1);
}

// Each click in turn, from an empty matrix over four hardware channels: only the primary button
// focuses and toggles a cell. A route moves with its row or column, so routes stay one to one;
// rows beyond the hardware and the captions change no route.
TEST_F(RouteMatrixTest, PrimaryClicksToggleAndFocus) {
    const struct {
        QPoint point;
        Qt::MouseButton button;
        Routes routes;
        RouteCell focused;
    } clicks[] = {
        {centre(1, 2), Qt::RightButton, {}, {0, 0}},
        {centre(1, 2), Qt::MiddleButton, {}, {0, 0}},
        {centre(2, 5), Qt::LeftButton, {{2, 5}}, {2, 5}},
        {centre(4, 1), Qt::LeftButton, {{2, 5}}, {4, 1}},
        {route_grid::rowCaption(3).center().toPoint(), Qt::LeftButton, {{2, 5}}, {4, 1}},
        {route_grid::columnCaption(9).center().toPoint(), Qt::LeftButton, {{2, 5}}, {4, 1}},
        {lastPixel({31, 31}), Qt::LeftButton, {{2, 5}}, {31, 31}},
        {route_grid::hitRect({0, 0}).topLeft().toPoint(), Qt::LeftButton, {{0, 0}, {2, 5}}, {0, 0}},
        {lastPixel({1, 0}), Qt::LeftButton, {{1, 0}, {2, 5}}, {1, 0}},
        {centre(2, 6), Qt::LeftButton, {{1, 0}, {2, 6}}, {2, 6}},
        {centre(3, 0), Qt::LeftButton, {{2, 6}, {3, 0}}, {3, 0}},
        {centre(3, 6), Qt::LeftButton, {{3, 6}}, {3, 6}},
        {centre(3, 6), Qt::LeftButton, {}, {3, 6}},
    };
    RouteMatrix matrix(false);
    matrix.setHardwareCount(4);
    // An active window, so that the matrix can hold the focus.
    matrix.show();
    matrix.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&matrix));
    for (const auto& click : clicks) {
        QTest::mouseClick(&matrix, click.button, Qt::NoModifier, click.point);
        EXPECT_EQ(matrix.routes(), click.routes) << click.point.x() << "," << click.point.y();
        EXPECT_EQ(matrix.focused(), click.focused) << click.point.x() << "," << click.point.y();
    }
    EXPECT_TRUE(matrix.hasFocus());
}

// Arrow keys move the focus without wrapping and scroll it into view, Space toggles, and assistive
// technology hears the focused cell and its state.
TEST_F(RouteMatrixTest, KeyboardMovesTheFocusAndSpaceToggles) {
    QScrollArea area;
    area.resize(400, 300);
    auto* matrix = new RouteMatrix(true);
    area.setWidget(matrix);
    matrix->setHardwareCount(2);
    area.show();
    matrix->setFocus();
    QTest::keyClick(matrix, Qt::Key_Up);
    QTest::keyClick(matrix, Qt::Key_Left);
    EXPECT_EQ(matrix->focused(), (RouteCell{0, 0}));
    EXPECT_EQ(matrix->accessibleDescription(),
              text("new_device.input") + " 1 → Vornisel 1, not routed");
    QTest::keyClick(matrix, Qt::Key_Right);
    QTest::keyClick(matrix, Qt::Key_Right);
    QTest::keyClick(matrix, Qt::Key_Down);
    EXPECT_EQ(matrix->focused(), (RouteCell{1, 2}));
    QTest::keyClick(matrix, Qt::Key_Space);
    EXPECT_EQ(matrix->routes(), (Routes{{1, 2}}));
    EXPECT_EQ(matrix->accessibleDescription(), matrix->cellTitle({1, 2}) + ", routed");
    QTest::keyClick(matrix, Qt::Key_Space);
    EXPECT_TRUE(matrix->routes().empty());
    QTest::keyClick(matrix, Qt::Key_Down);
    EXPECT_EQ(matrix->accessibleDescription(), matrix->cellTitle({2, 2}) + ", unavailable");
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(matrix, Qt::Key_Down);
        QTest::keyClick(matrix, Qt::Key_Right);
    }
    EXPECT_EQ(matrix->focused(), (RouteCell{31, 31}));
    const QRect visible(-matrix->pos(), area.viewport()->size());
    EXPECT_TRUE(visible.contains(route_grid::hitRect({31, 31}).toRect()));
    EXPECT_EQ(area.verticalScrollBar()->value(), area.verticalScrollBar()->maximum());
    QTest::keyClick(matrix, Qt::Key_Space);  // an unavailable row: nothing happens
    EXPECT_TRUE(matrix->routes().empty());
    // Back at the top the first row's square is in view; the captions above it may stay hidden.
    for (int i = 0; i < 31; ++i)
        QTest::keyClick(matrix, Qt::Key_Up);
    EXPECT_LE(area.verticalScrollBar()->value(), route_grid::hitRect({0, 0}).top());
    // Tabbing out and back in brings the focused cell into view again.
    area.verticalScrollBar()->setValue(area.verticalScrollBar()->maximum());
    QFocusEvent back(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(matrix, &back);
    EXPECT_LE(area.verticalScrollBar()->value(), route_grid::hitRect({0, 0}).top());
}

// Assistive tools see a table of 32 x 32 cells, named after the channels they join, checked while
// routed, and toggled through their action; each cell has its row's and its column's header, which
// the table lists among its children.
TEST_F(RouteMatrixTest, IsATableOfCellsThatToggle) {
    RouteMatrix matrix(true);
    matrix.setHardwareCount(2);
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&matrix);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    ASSERT_NE(table->tableInterface(), nullptr);
    EXPECT_EQ(table->childCount(), 32 * 32 + 2 * 32);
    QAccessibleInterface* cell = table->tableInterface()->cellAt(1, 2);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(table->indexOfChild(cell), 1 * 32 + 2);
    EXPECT_EQ(cell->text(QAccessible::Name), matrix.cellTitle({1, 2}));
    EXPECT_FALSE(cell->state().checked);
    cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(matrix.routes(), (Routes{{1, 2}}));
    EXPECT_TRUE(cell->state().checked);
    QAccessibleInterface* unavailable = table->tableInterface()->cellAt(5, 0);
    EXPECT_TRUE(unavailable->state().disabled);
    unavailable->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(matrix.routes(), (Routes{{1, 2}}));
    const struct {
        RouteCell cell;
        const char* row;
        const char* column;
    } headers[] = {{{1, 2}, "Input 2", "Vornisel 3"}, {{31, 0}, "Input 32", "Vornisel 1"}};
    for (const auto& row : headers) {
        auto* cell = table->tableInterface()->cellAt(row.cell.row, row.cell.column);
        const auto heads = cell->tableCellInterface()->rowHeaderCells() +
                           cell->tableCellInterface()->columnHeaderCells();
        ASSERT_EQ(heads.size(), 2);
        EXPECT_EQ(heads[0]->role(), QAccessible::RowHeader);
        EXPECT_EQ(heads[0]->text(QAccessible::Name).toStdString(), row.row);
        EXPECT_EQ(heads[1]->role(), QAccessible::ColumnHeader);
        EXPECT_EQ(heads[1]->text(QAccessible::Name).toStdString(), row.column);
        for (QAccessibleInterface* header : heads)
            EXPECT_EQ(table->child(table->indexOfChild(header)), header);
    }
}

}  // namespace
}  // namespace vornisel

#include "ui/dialogs/route_matrix_accessible.h"

#include <QAccessibleWidget>
#include <vector>

#include "ui/dialogs/route_matrix.h"

namespace vornisel {
namespace {

class MatrixAccessible;

// What a header and a cell share: a leaf of the matrix, with no object or children of its own,
// placed where the grid puts `local` on the screen.
class MatrixLeafAccessible : public QAccessibleInterface {
public:
    explicit MatrixLeafAccessible(RouteMatrix* matrix) : matrix_(matrix) {}

    bool isValid() const override { return matrix_ != nullptr; }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(matrix_);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}

protected:
    QRect onScreen(const QRectF& local) const {
        const QRect aligned = local.toAlignedRect();
        return {matrix_->mapToGlobal(aligned.topLeft()), aligned.size()};
    }

    RouteMatrix* matrix_;
};

// A row's or a column's caption ("Input 3", "Vornisel 5"): the context a screen reader reads with
// a cell as it moves along the row or the column.
class HeaderAccessible : public MatrixLeafAccessible {
public:
    HeaderAccessible(RouteMatrix* matrix, bool row, int index)
        : MatrixLeafAccessible(matrix), row_(row), index_(index) {}

    bool row() const { return row_; }
    int index() const { return index_; }

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name) return {};
        return row_ ? matrix_->rowTitle(index_) : RouteMatrix::columnTitle(index_);
    }
    QRect rect() const override {
        return onScreen(row_ ? route_grid::rowCaption(index_) : route_grid::columnCaption(index_));
    }
    QAccessible::Role role() const override {
        return row_ ? QAccessible::RowHeader : QAccessible::ColumnHeader;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.disabled = row_ && index_ >= matrix_->hardwareCount();
        return state;
    }

private:
    bool row_;
    int index_;
};

// One cell. It holds no state of its own: everything is read from the matrix when asked.
class CellAccessible : public MatrixLeafAccessible,
                       public QAccessibleTableCellInterface,
                       public QAccessibleActionInterface {
public:
    CellAccessible(RouteMatrix* matrix, RouteCell cell)
        : MatrixLeafAccessible(matrix), cell_(cell) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return matrix_->cellTitle(cell_);
        if (t == QAccessible::Description) return matrix_->cellState(cell_);
        return {};
    }
    QRect rect() const override { return onScreen(route_grid::cellRect(cell_)); }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.checkable = true;
        state.checked = matrix_->routed(cell_);
        state.disabled = cell_.row >= matrix_->hardwareCount();
        state.focusable = true;
        state.focused = matrix_->hasFocus() && matrix_->focused() == cell_;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    bool isSelected() const override { return false; }
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override;
    int columnIndex() const override { return cell_.column; }
    int rowIndex() const override { return cell_.row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    QStringList actionNames() const override { return {toggleAction(), pressAction()}; }
    void doAction(const QString& name) override {
        if (name == toggleAction() || name == pressAction()) matrix_->toggle(cell_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    RouteCell cell_;
};

// The children are the cells, row by row, then the column headers, then the row headers.
class MatrixAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    static constexpr int cells = route_grid::size * route_grid::size;

    explicit MatrixAccessible(RouteMatrix* matrix)
        : QAccessibleWidget(matrix, QAccessible::Table),
          ids_(static_cast<size_t>(cells + 2 * route_grid::size), 0) {}
    ~MatrixAccessible() override {
        for (QAccessible::Id id : ids_) {
            if (id) QAccessible::deleteAccessibleInterface(id);
        }
    }

    RouteMatrix* matrix() const { return static_cast<RouteMatrix*>(widget()); }

    int childCount() const override { return static_cast<int>(ids_.size()); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        QAccessible::Id& id = ids_[static_cast<size_t>(index)];
        if (!id) id = QAccessible::registerAccessibleInterface(make(index));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (const auto* header = dynamic_cast<const HeaderAccessible*>(child)) {
            return headerIndex(header->row(), header->index());
        }
        // Qt's interface casts are not const; asking one changes nothing.
        auto* cell =
            child ? const_cast<QAccessibleInterface*>(child)->tableCellInterface() : nullptr;
        return cell ? cell->rowIndex() * route_grid::size + cell->columnIndex() : -1;
    }
    QAccessibleInterface* header(bool row, int index) const {
        return child(headerIndex(row, index));
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const auto cell = RouteMatrix::cellAt(matrix()->mapFromGlobal(QPoint(x, y)));
        return cell ? cellAt(cell->row, cell->column) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        const RouteCell focused = matrix()->focused();
        return matrix()->hasFocus() ? cellAt(focused.row, focused.column) : nullptr;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        return child(row * route_grid::size + column);
    }
    int selectedCellCount() const override { return 0; }
    QList<QAccessibleInterface*> selectedCells() const override { return {}; }
    QString columnDescription(int column) const override {
        return RouteMatrix::columnTitle(column);
    }
    QString rowDescription(int row) const override { return matrix()->rowTitle(row); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return route_grid::size; }
    int rowCount() const override { return route_grid::size; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

private:
    static int headerIndex(bool row, int index) {
        return cells + (row ? route_grid::size : 0) + index;
    }
    QAccessibleInterface* make(int index) const {
        if (index < cells) {
            return new CellAccessible(matrix(),
                                      {index / route_grid::size, index % route_grid::size});
        }
        const int header = index - cells;
        return new HeaderAccessible(matrix(), header >= route_grid::size,
                                    header % route_grid::size);
    }

    mutable std::vector<QAccessible::Id> ids_;
};

QList<QAccessibleInterface*> CellAccessible::columnHeaderCells() const {
    auto* table = dynamic_cast<MatrixAccessible*>(parent());
    return table ? QList<QAccessibleInterface*>{table->header(false, cell_.column)}
                 : QList<QAccessibleInterface*>{};
}

QList<QAccessibleInterface*> CellAccessible::rowHeaderCells() const {
    auto* table = dynamic_cast<MatrixAccessible*>(parent());
    return table ? QList<QAccessibleInterface*>{table->header(true, cell_.row)}
                 : QList<QAccessibleInterface*>{};
}

QAccessibleInterface* matrixAccessible(const QString& className, QObject* object) {
    if (className != QLatin1String("vornisel::RouteMatrix")) return nullptr;
    return new MatrixAccessible(static_cast<RouteMatrix*>(object));
}

}  // namespace

void installRouteMatrixAccessible() {
    static const bool installed = (QAccessible::installFactory(matrixAccessible), true);
    (void)installed;
}

}  // namespace vornisel

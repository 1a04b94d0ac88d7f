#include "ui/dialogs/route_matrix_accessible.h"

#include <QAccessibleWidget>
#include <vector>

#include "ui/dialogs/route_matrix.h"

namespace vornisel {
namespace {

class MatrixAccessible;

// One cell. It holds no state of its own: everything is read from the matrix when asked.
class CellAccessible : public QAccessibleInterface,
                       public QAccessibleTableCellInterface,
                       public QAccessibleActionInterface {
public:
    CellAccessible(RouteMatrix* matrix, RouteCell cell) : matrix_(matrix), cell_(cell) {}

    bool isValid() const override { return matrix_ != nullptr; }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(matrix_);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return matrix_->cellTitle(cell_);
        if (t == QAccessible::Description) return matrix_->cellState(cell_);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const QRect local = route_grid::cellRect(cell_).toAlignedRect();
        return {matrix_->mapToGlobal(local.topLeft()), local.size()};
    }
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
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
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
    RouteMatrix* matrix_;
    RouteCell cell_;
};

class MatrixAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit MatrixAccessible(RouteMatrix* matrix)
        : QAccessibleWidget(matrix, QAccessible::Table),
          ids_(static_cast<size_t>(route_grid::size * route_grid::size), 0) {}
    ~MatrixAccessible() override {
        for (QAccessible::Id id : ids_) {
            if (id) QAccessible::deleteAccessibleInterface(id);
        }
    }

    RouteMatrix* matrix() const { return static_cast<RouteMatrix*>(widget()); }

    int childCount() const override { return route_grid::size * route_grid::size; }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        QAccessible::Id& id = ids_[static_cast<size_t>(index)];
        if (!id) {
            id = QAccessible::registerAccessibleInterface(
                new CellAccessible(matrix(), {index / route_grid::size, index % route_grid::size}));
        }
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        // Qt's interface casts are not const; asking one changes nothing.
        auto* cell =
            child ? const_cast<QAccessibleInterface*>(child)->tableCellInterface() : nullptr;
        return cell ? cell->rowIndex() * route_grid::size + cell->columnIndex() : -1;
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
        return QStringLiteral("Vornisel ") + QString::number(column + 1);
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
    mutable std::vector<QAccessible::Id> ids_;
};

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

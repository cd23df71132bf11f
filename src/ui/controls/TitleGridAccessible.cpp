#include "ui/controls/TitleGridAccessible.h"

#include "ui/controls/TMyStringGrid.h"

#include <QHeaderView>
#include <QPointer>
#include <QWindow>

namespace tunquil::ui {

namespace {

// One cell of a title grid, or a column header (row -1). It holds only where it is; everything
// else is read from the grid when asked.
class TitleGridCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    TitleGridCell(TMyStringGrid* grid, int row, int column)
        : grid_(grid), row_(row), column_(column) {}

    bool isValid() const override {
        return grid_ && row_ < grid_->Model()->rowCount() &&
               column_ < grid_->Model()->columnCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return grid_ ? grid_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return grid_ ? QAccessible::queryAccessibleInterface(grid_.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override {
        if (!isValid() || t != QAccessible::Name)
            return {};
        if (row_ < 0)
            return grid_->Model()->headerData(column_, Qt::Horizontal).toString();
        return grid_->Model()->index(row_, column_).data().toString().trimmed();
    }

    QRect rect() const override {
        if (!isValid())
            return {};
        if (row_ < 0) {
            QHeaderView* header = grid_->horizontalHeader();
            QRect r(header->sectionViewportPosition(column_), 0, header->sectionSize(column_),
                    header->height());
            return QRect(header->viewport()->mapToGlobal(r.topLeft()), r.size());
        }
        QRect r = grid_->visualRect(grid_->Model()->index(row_, column_));
        return QRect(grid_->viewport()->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::Role role() const override {
        return row_ < 0 ? QAccessible::ColumnHeader : QAccessible::Cell;
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        QRect shown =
            row_ < 0 ? grid_->horizontalHeader()->viewport()->rect() : grid_->viewport()->rect();
        QRect r = rect();
        QWidget* area = row_ < 0 ? grid_->horizontalHeader()->viewport() : grid_->viewport();
        if (!shown.intersects(QRect(area->mapFromGlobal(r.topLeft()), r.size())))
            s.invisible = s.offscreen = true;
        if (row_ < 0)
            return s;
        s.selectable = s.focusable = true;
        s.selected = isSelected();
        const QModelIndex current = grid_->currentIndex();
        if (current.row() == row_ && current.column() == column_) {
            s.active = true;
            s.focused = grid_->hasFocus();
        }
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface && row_ >= 0
                   ? static_cast<QAccessibleTableCellInterface*>(this)
                   : nullptr;
    }

    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    int columnIndex() const override { return column_; }
    int rowIndex() const override { return row_; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> columnHeaderCells() const override {
        QAccessibleInterface* table = parent();
        QAccessibleTableInterface* cells = table ? table->tableInterface() : nullptr;
        if (!cells)
            return {};
        return {static_cast<TitleGridAccessible*>(cells)->child(column_)};
    }
    bool isSelected() const override { return grid_ && grid_->View().Selected(row_ + 1); }
    QAccessibleInterface* table() const override { return parent(); }

    int Row() const { return row_; }
    int Column() const { return column_; }
    const TMyStringGrid* Grid() const { return grid_.data(); }

private:
    QPointer<TMyStringGrid> grid_;
    int row_;
    int column_;
};

QAccessibleInterface* TitleGridFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(TMyStringGrid::staticMetaObject.className()))
        if (auto* grid = qobject_cast<TMyStringGrid*>(object))
            return new TitleGridAccessible(grid);
    return nullptr;
}

} // namespace

void InstallTitleGridAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(TitleGridFactory);
        return true;
    }();
    (void)installed;
}

TitleGridAccessible::TitleGridAccessible(TMyStringGrid* grid)
    : QAccessibleWidget(grid, QAccessible::Table) {}

TitleGridAccessible::~TitleGridAccessible() {
    Forget();
}

TMyStringGrid* TitleGridAccessible::Grid() const {
    return static_cast<TMyStringGrid*>(widget());
}

void* TitleGridAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

int TitleGridAccessible::columnCount() const {
    return Grid()->Model()->columnCount();
}

int TitleGridAccessible::rowCount() const {
    return Grid()->Model()->rowCount();
}

int TitleGridAccessible::childCount() const {
    return (rowCount() + 1) * columnCount();
}

QAccessibleInterface* TitleGridAccessible::cellAt(int row, int column) const {
    if (row < -1 || row >= rowCount() || column < 0 || column >= columnCount())
        return nullptr;
    const int index = ChildIndex(row, column);
    if (auto known = cells_.constFind(index); known != cells_.constEnd())
        return QAccessible::accessibleInterface(*known);
    auto* cell = new TitleGridCell(Grid(), row, column);
    cells_.insert(index, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

QAccessibleInterface* TitleGridAccessible::child(int index) const {
    const int columns = columnCount();
    if (index < 0 || columns == 0 || index >= childCount())
        return nullptr;
    return cellAt(index / columns - 1, index % columns);
}

int TitleGridAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* cell = dynamic_cast<const TitleGridCell*>(child);
    if (!cell || cell->Grid() != Grid() || !cell->isValid())
        return -1;
    return ChildIndex(cell->Row(), cell->Column());
}

QAccessibleInterface* TitleGridAccessible::childAt(int x, int y) const {
    const QPoint global(x, y);
    QHeaderView* header = Grid()->horizontalHeader();
    QPoint inHeader = header->viewport()->mapFromGlobal(global);
    if (header->isVisible() && header->viewport()->rect().contains(inHeader))
        return cellAt(-1, header->logicalIndexAt(inHeader));
    QPoint inRows = Grid()->viewport()->mapFromGlobal(global);
    const QModelIndex index = Grid()->indexAt(inRows);
    return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
}

QAccessibleInterface* TitleGridAccessible::focusChild() const {
    const QModelIndex current = Grid()->currentIndex();
    if (Grid()->hasFocus() && current.isValid())
        return cellAt(current.row(), current.column());
    return QAccessibleWidget::focusChild();
}

QString TitleGridAccessible::columnDescription(int column) const {
    return Grid()->Model()->headerData(column, Qt::Horizontal).toString();
}

// The selection is read from the rows' flags each time: a reader asks seldom, the grid's
// selection changes at every click.
int TitleGridAccessible::selectedRowCount() const {
    return Grid()->View().SelectedCount();
}

int TitleGridAccessible::selectedCellCount() const {
    return selectedRowCount() * columnCount();
}

QList<int> TitleGridAccessible::selectedRows() const {
    QList<int> rows;
    const TTitleView& view = Grid()->View();
    for (int row = 1; row <= view.TitleCount(); ++row)
        if (view.Selected(row))
            rows.append(row - 1);
    return rows;
}

QList<QAccessibleInterface*> TitleGridAccessible::selectedCells() const {
    QList<QAccessibleInterface*> cells;
    for (int row : selectedRows())
        for (int column = 0; column < columnCount(); ++column)
            cells.append(cellAt(row, column));
    return cells;
}

bool TitleGridAccessible::isRowSelected(int row) const {
    return Grid()->View().Selected(row + 1);
}

bool TitleGridAccessible::selectRow(int row) {
    if (!Grid()->View().HasRecord(row + 1))
        return false;
    Grid()->View().SetSelected(row + 1, true);
    Grid()->SaveSelection();
    Grid()->viewport()->update();
    return true;
}

bool TitleGridAccessible::unselectRow(int row) {
    if (!Grid()->View().Selected(row + 1))
        return false;
    Grid()->View().SetSelected(row + 1, false);
    Grid()->SaveSelection();
    Grid()->viewport()->update();
    return true;
}

void TitleGridAccessible::modelChange(QAccessibleTableModelChangeEvent* event) {
    // Cells know only their place: a change of text leaves them right, moved rows do not.
    if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
        Forget();
}

void TitleGridAccessible::Forget() {
    for (QAccessible::Id id : std::as_const(cells_))
        QAccessible::deleteAccessibleInterface(id);
    cells_.clear();
}

} // namespace tunquil::ui

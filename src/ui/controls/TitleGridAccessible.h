#pragma once
// What a screen reader learns of a title grid. The grids keep their own selection (the rows'
// selected flags) rather than Qt's selection model, so Qt's table interface would report nothing
// selected: this one answers from the flags, and makes a cell's interface only when a reader
// asks for that cell, so that a grid of 100,000 titles costs nothing until then.
//
// Children: the column headers first, then the cells row by row; child (row + 1) * columns +
// column is the cell of 0-based row `row`.

#include <QAccessibleTableInterface>
#include <QAccessibleWidget>
#include <QHash>

namespace tunquil::ui {

class TMyStringGrid;

// Gives every title grid made from now on (and every one asked for later) this interface; once
// per program.
void InstallTitleGridAccessibility();

class TitleGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit TitleGridAccessible(TMyStringGrid* grid);
    ~TitleGridAccessible() override;

    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    QAccessible::Role role() const override { return QAccessible::Table; }
    void* interface_cast(QAccessible::InterfaceType type) override;

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int columnCount() const override;
    int rowCount() const override;
    int selectedCellCount() const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int) const override { return {}; }
    QList<QAccessibleInterface*> selectedCells() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

    // The child index of a cell (row -1: the column header).
    int ChildIndex(int row, int column) const { return (row + 1) * columnCount() + column; }

private:
    TMyStringGrid* Grid() const;
    // Cells live as long as the rows do: a change of rows forgets them all.
    void Forget();

    mutable QHash<int, QAccessible::Id> cells_;
};

} // namespace tunquil::ui

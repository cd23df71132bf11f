#pragma once
// The title grid control: a table view over one grid of titles. The selection is the grid's own
// (the rows' selected flags), kept by the mouse and keyboard rules of the title grid rather than
// by Qt's selection model; selected rows are painted navy. Drags carry the selected titles'
// master keys; album grids also take drops of their own rows on the drop row.

#include "app/PlayProgram.h"
#include "database/TTitleView.h"
#include "ui/controls/TTitleTableModel.h"
#include "ui/controls/TitleKeysMime.h"

#include <QElapsedTimer>
#include <QPoint>
#include <QTableView>
#include <functional>
#include <vector>

namespace tunquil::ui {

class TMyStringGrid : public QTableView {
    Q_OBJECT
public:
    explicit TMyStringGrid(TTitleView& view, QWidget* parent = nullptr);

    TTitleView& View() const { return model_->View(); }
    TTitleTableModel* Model() const { return model_; }
    // Each column as wide as its widest text, header included, + 6 pixels.
    void FitColumns();
    // Widens each column that is narrower than the text of rows first .. last (0-based) + 6.
    void WidenColumnsToRows(int first, int last);

    // Plain mode: one selected row at a time, empty rows selectable, no dragging.
    void SetPlainMode(bool on) { plain_ = on; }
    void SetAcceptsOwnDrops(bool on);
    // Titles dragged from elsewhere (album grids take a category's titles) dropped before
    // `row` (DropRowAt: the row under the mouse, the one after the last below the rows); false
    // refuses. Unset, only the grid's own rows are taken.
    std::function<bool(int row, const DraggedTitles&)> onForeignDrop;
    // What a drag of this grid's titles says about where they come from.
    void SetDragSource(SelectionSource source) { dragSource_ = source; }
    SelectionSource DragSource() const { return dragSource_; }

    // The row of the last plain click (-1 before any); Shift selections run from it.
    int Anchor() const { return anchor_; }
    void SetAnchor(int row) { anchor_ = row; }
    // The selected titles' keys, kept so that a drag carries what the user chose even when the
    // rows moved since.
    void SaveSelection();
    void RestoreSelection();
    const std::vector<int32_t>& SavedSelection() const { return saved_; }
    // The row a drop of the grid's own rows would land before (-1 when no drag is over it).
    int DropRow() const { return dropRow_; }
    bool Dragging() const { return dragging_; }

    // What the mouse and keyboard rules do, callable without a real event.
    void PressRow(int row, Qt::KeyboardModifiers modifiers);
    void ReleaseRow(int row);
    void MoveCurrentRow(int row, bool shift);
    // Ctrl+A: every title of the grid.
    void SelectAll();
    // Type-ahead: the letters typed within a second of each other make one prefix, and the
    // next title (Title column) starting with it becomes the selected row, scrolled into view.
    // The same letter typed again steps on through the titles it starts.
    void TypeAhead(const QString& text);
    // The first row from `from` on (wrapping) whose title starts with `prefix`, or 0.
    int FindTitleStarting(const QString& prefix, int from) const;

    // The row a drop at a point of the viewport goes before: row 1 just above the rows, the
    // row after the last title below them, -1 far above.
    int DropRowAt(const QPoint& pos) const;

signals:
    void titleDoubleClicked(int row);
    void contextMenuWanted(const QPoint& globalPos);
    // The grid's own rows were dropped before `dropRow` (album grids; after the last title
    // when it is past it).
    void ownRowsDropped(int dropRow, const std::vector<int32_t>& keys);
    // Any click or key in the grid: its side becomes the current one.
    void touched();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    // 1-based grid row under a viewport point, or 0 outside the data rows.
    int GridRowAt(const QPoint& pos) const;
    bool TakesForeign(const QDropEvent* event) const;
    int ClampedAnchor() const;
    void StartDrag();
    void ShowPosition(int currentRow, int topRow);
    void ScrollRowIntoView(int row);
    int RowPixels() const;
    void ShowSortColumn();
    // Tells a screen reader that the selection changed, through the current cell.
    void AnnounceSelection();
    void AnnounceSelectionNow();

    TTitleTableModel* model_;
    SelectionSource dragSource_ = SelectionSource::CategoryGrid;
    int anchor_ = -1;
    std::vector<int32_t> saved_;
    int dropRow_ = -1;
    bool pendingCollapse_ = false;
    bool dragging_ = false;
    bool moved_ = false;
    bool plain_ = false;
    bool ownDrops_ = false;
    QPoint pressPos_;
    int pressRow_ = 0;
    QString typed_;
    QElapsedTimer typedAt_;
    bool announcing_ = false;
    int shownTopRow_ = 0; // the view's top row as last applied to the scroll bar
};

} // namespace tunquil::ui

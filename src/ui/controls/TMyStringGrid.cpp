#include "ui/controls/TMyStringGrid.h"

#include "database/TTitleGrid.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>

namespace tunquil::ui {

TMyStringGrid::TMyStringGrid(TTitleView& view, QWidget* parent)
    : QTableView(parent), model_(new TTitleTableModel(view, this)) {
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(16);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    setToolTip("Right mouse click for pop-up menu");

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (auto* grid = dynamic_cast<TTitleGrid*>(&View()))
            grid->Sort(section);
    });
    connect(model_, &TTitleTableModel::selectionFollow, this, &TMyStringGrid::ShowGridSelection);
    connect(model_, &TTitleTableModel::positionFollow, this, &TMyStringGrid::ShowPosition);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TMyStringGrid::TakeUserSelection);
    ShowGridSelection();
}

void TMyStringGrid::FitColumns() {
    for (int c = 0; c < model_->columnCount(); ++c) {
        resizeColumnToContents(c);
        setColumnWidth(c, columnWidth(c) + 6);
    }
}

void TMyStringGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    View().SetVisibleRows(viewport()->height() / verticalHeader()->defaultSectionSize());
}

// Runs of selected rows become one range each, so a large selection stays cheap to show.
void TMyStringGrid::ShowGridSelection() {
    if (mirroring_) // the user's own selection, already shown
        return;
    const TTitleView& view = View();
    QItemSelection selection;
    int last = model_->columnCount() - 1;
    int n = view.TitleCount();
    for (int row = 1; row <= n; ++row) {
        if (!view.Selected(row))
            continue;
        int end = row;
        while (end < n && view.Selected(end + 1))
            ++end;
        selection.select(model_->index(row - 1, 0), model_->index(end - 1, last));
        row = end;
    }
    mirroring_ = true;
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    mirroring_ = false;
}

void TMyStringGrid::TakeUserSelection(const QItemSelection& selected,
                                      const QItemSelection& deselected) {
    if (mirroring_)
        return;
    mirroring_ = true;
    TTitleView& view = View();
    for (const QItemSelectionRange& range : deselected)
        for (int row = range.top(); row <= range.bottom(); ++row)
            if (!selectionModel()->isRowSelected(row, {}))
                view.SetSelected(row + 1, false);
    for (const QItemSelectionRange& range : selected)
        for (int row = range.top(); row <= range.bottom(); ++row)
            view.SetSelected(row + 1, true);
    if (currentIndex().isValid())
        view.SetCurrentRow(currentIndex().row() + 1);
    mirroring_ = false;
}

void TMyStringGrid::ShowPosition(int currentRow, int topRow) {
    if (mirroring_ || currentRow < 1 || currentRow > model_->rowCount())
        return;
    mirroring_ = true;
    selectionModel()->setCurrentIndex(model_->index(currentRow - 1, 0),
                                      QItemSelectionModel::NoUpdate);
    verticalScrollBar()->setValue(topRow - 1);
    mirroring_ = false;
}

} // namespace tunquil::ui

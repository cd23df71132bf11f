#include "ui/controls/UncutColumns.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPointer>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <algorithm>

namespace tunquil::ui {

namespace {

// The room a cell's text needs beyond its size hint: the grid's painter cuts at the cell's
// width less 6 pixels.
constexpr int kCellPadding = 6;

class ColumnWatcher : public QObject {
public:
    explicit ColumnWatcher(QTableView* grid) : QObject(grid), grid_(grid) {
        grid->installEventFilter(this);
        QAbstractItemModel* model = grid->model();
        connect(model, &QAbstractItemModel::modelReset, this, &ColumnWatcher::Schedule);
        connect(model, &QAbstractItemModel::layoutChanged, this, &ColumnWatcher::Schedule);
        connect(model, &QAbstractItemModel::rowsInserted, this, &ColumnWatcher::Schedule);
        connect(model, &QAbstractItemModel::dataChanged, this, &ColumnWatcher::Schedule);
        connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, this,
                &ColumnWatcher::Schedule);
        // A width the user set with the mouse is the user's: it is never widened again.
        connect(grid->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column) {
            if (QGuiApplication::mouseButtons() != Qt::NoButton)
                userSized_.insert(column);
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == grid_ && (event->type() == QEvent::Show || event->type() == QEvent::Resize))
            Schedule();
        return false;
    }

private:
    // Once after a burst of changes (an import adds rows one by one), and only for a grid in
    // sight: a hidden one is measured when it is shown.
    void Schedule() {
        if (pending_ || !grid_->isVisible())
            return;
        pending_ = true;
        QTimer::singleShot(0, this, [this] {
            pending_ = false;
            if (grid_->isVisible())
                WidenCutColumns(grid_, userSized_);
        });
    }

    QTableView* grid_;
    bool pending_ = false;
    QSet<int> userSized_;
};

} // namespace

void KeepColumnsUncut(QTableView* grid) {
    new ColumnWatcher(grid);
}

void WidenCutColumns(QTableView* grid, const QSet<int>& leave) {
    QAbstractItemModel* model = grid->model();
    QHeaderView* header = grid->horizontalHeader();
    if (!model)
        return;
    const int columns = model->columnCount();
    int used = 0;
    for (int c = 0; c < columns; ++c)
        if (!grid->isColumnHidden(c))
            used += grid->columnWidth(c);
    int room = grid->viewport()->width() - used;
    if (room <= 0)
        return;
    const int rows = model->rowCount();
    int first = std::max(0, grid->rowAt(0));
    int last = grid->rowAt(grid->viewport()->height() - 1);
    if (last < 0)
        last = rows - 1;
    for (int c = 0; c < columns && room > 0; ++c) {
        if (grid->isColumnHidden(c) || leave.contains(c))
            continue;
        int needed = header->sectionSizeHint(c);
        for (int r = first; r <= last && r < rows; ++r)
            needed =
                std::max(needed, grid->sizeHintForIndex(model->index(r, c)).width() + kCellPadding);
        const int width = grid->columnWidth(c);
        if (needed <= width)
            continue;
        const int grown = std::min(needed - width, room);
        grid->setColumnWidth(c, width + grown);
        room -= grown;
    }
}

} // namespace tunquil::ui

#include "ui/controls/TMyStringGrid.h"

#include "database/TTitleGrid.h"
#include "ui/controls/TitleGridAccessible.h"
#include "ui/controls/TitleKeysMime.h"

#include <QAccessible>
#include <QApplication>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cctype>

namespace tunquil::ui {

namespace {

constexpr int kRowHeight = 16;
// Letters typed closer together than this make one type-ahead prefix.
constexpr qint64 kTypeAheadMs = 1000;
// Inserts of more rows than this are fillings, fitted as a whole.
constexpr int kWidenedRows = 100;
const QColor kNavy(0, 0, 128);
const QColor kFrameGrey(128, 128, 128);

// The longest prefix of `text` that fits in `width` with "..." after it (the whole text when it
// fits as it is).
QString CutToFit(const QString& text, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    int lo = 0, hi = static_cast<int>(text.size());
    while (lo < hi) {
        int mid = (lo + hi + 1) / 2;
        if (metrics.horizontalAdvance(text.left(mid) + "...") <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    return text.left(lo) + "...";
}

// A key that types text rather than commanding: no Ctrl, Alt or Meta, a printable character.
bool IsTyping(const QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint();
}

class TitleCellDelegate : public QStyledItemDelegate {
public:
    explicit TitleCellDelegate(TMyStringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const TTitleView& view = grid_->View();
        int row = index.row() + 1;
        // While the grid's own rows are dragged over it, the drop row alone shows selected; a
        // drop after the last row shows as a line under it.
        const int dropRow = grid_->DropRow();
        bool selected = dropRow > 0 ? row == dropRow : view.Selected(row);
        painter->save();
        painter->fillRect(option.rect, selected ? kNavy : Qt::white);
        painter->setPen(selected ? Qt::white : Qt::black);
        QString text = index.data().toString().trimmed();
        if (text.isEmpty())
            text = " ";
        QRect area = option.rect.adjusted(4, 0, -2, 0);
        text = CutToFit(text, option.fontMetrics, option.rect.width() - 6);
        int align = index.data(Qt::TextAlignmentRole).toInt();
        if (align & Qt::AlignHCenter)
            painter->drawText(option.rect, Qt::AlignCenter, text);
        else
            painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, text);
        if (grid_->currentIndex() == index && grid_->hasFocus()) {
            QRect r = option.rect.adjusted(0, 0, -1, -1);
            painter->setPen(Qt::white);
            painter->drawLine(r.topLeft(), r.topRight());
            painter->drawLine(r.topLeft(), r.bottomLeft());
            painter->setPen(kFrameGrey);
            painter->drawLine(r.bottomLeft(), r.bottomRight());
            painter->drawLine(r.topRight(), r.bottomRight());
        }
        if (dropRow > view.TitleCount() && row == view.TitleCount())
            painter->fillRect(option.rect.left(), option.rect.bottom() - 1, option.rect.width(), 2,
                              kNavy);
        painter->restore();
    }

private:
    TMyStringGrid* grid_;
};

} // namespace

TMyStringGrid::TMyStringGrid(TTitleView& view, QWidget* parent)
    : QTableView(parent), model_(new TTitleTableModel(view, this)) {
    // Before anything below announces a change: the first announcement makes the grid's
    // accessible interface, which is then kept for the grid's life.
    InstallTitleGridAccessibility();
    setModel(model_);
    setItemDelegate(new TitleCellDelegate(this));
    // The grid keeps its own selection; Qt's would cost a range per row on 100,000 titles.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setDragEnabled(false);      // drags start by the grid's own rules
    setTabKeyNavigation(false); // Tab leaves the grid for the next control
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStyleSheet(
        "QHeaderView::section { background: rgb(192,192,192); color: black; padding-left: 4px;"
        " border: 1px solid rgb(128,128,128); border-top: none; border-left: none; }");
    setStyleSheet("QTableView { background: white; gridline-color: rgb(192,192,192); }");
    setStatusTip("Right mouse click for pop-up menu");
    setProperty("hint", "|Right mouse click for pop-up menu");
    setAccessibleName("Titles");
    horizontalHeader()->setAccessibleName("Column headers");
    verticalHeader()->setAccessibleName("Row headers");

    // A click on a header sorts by its column; a second click on the same one reverses the
    // order. The header shows which column sorts, and which way.
    horizontalHeader()->setSortIndicatorShown(true);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (auto* grid = dynamic_cast<TTitleGrid*>(&View()))
            grid->Sort(section, section == grid->SortColumn() && !grid->Descending());
        ShowSortColumn();
    });
    connect(model_, &TTitleTableModel::selectionFollow, viewport(), qOverload<>(&QWidget::update));
    connect(model_, &TTitleTableModel::selectionFollow, this, &TMyStringGrid::AnnounceSelection);
    connect(model_, &TTitleTableModel::positionFollow, this, &TMyStringGrid::ShowPosition);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        shownTopRow_ = 0;
        ShowPosition(View().CurrentRow(), View().TopRow());
        ShowSortColumn();
    });
    ShowSortColumn();
    // Rows added one by one (an import, a drop on an album) widen the columns they overflow;
    // a whole grid filled at once is fitted by its owner instead.
    connect(model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (last - first < kWidenedRows)
                    WidenColumnsToRows(first, last);
            });
}

void TMyStringGrid::ShowSortColumn() {
    auto* grid = dynamic_cast<TTitleGrid*>(&View());
    if (!grid || !grid->Sortable()) {
        horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        return;
    }
    horizontalHeader()->setSortIndicator(
        grid->SortColumn(), grid->Descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TMyStringGrid::WidenColumnsToRows(int first, int last) {
    for (int c = 0; c < model_->columnCount(); ++c) {
        int widest = columnWidth(c);
        for (int r = first; r <= last; ++r)
            widest = std::max(widest, sizeHintForIndex(model_->index(r, c)).width() + 6);
        if (widest > columnWidth(c))
            setColumnWidth(c, widest);
    }
}

void TMyStringGrid::FitColumns() {
    for (int c = 0; c < model_->columnCount(); ++c) {
        resizeColumnToContents(c);
        setColumnWidth(c, columnWidth(c) + 6);
    }
}

void TMyStringGrid::SetAcceptsOwnDrops(bool on) {
    ownDrops_ = on;
    setAcceptDrops(on);
    viewport()->setAcceptDrops(on);
}

void TMyStringGrid::SaveSelection() {
    saved_ = View().SelectedKeys();
}

void TMyStringGrid::RestoreSelection() {
    TTitleView& view = View();
    std::vector<int32_t> keys = saved_;
    std::sort(keys.begin(), keys.end());
    view.BeginUpdate();
    int n = view.TitleCount();
    for (int row = 1; row <= n; ++row)
        view.SetSelected(row, std::binary_search(keys.begin(), keys.end(), view.MasterKey(row)));
    view.EndUpdate();
    viewport()->update();
}

int TMyStringGrid::GridRowAt(const QPoint& pos) const {
    int row = rowAt(pos.y());
    return row < 0 ? 0 : row + 1;
}

int TMyStringGrid::ClampedAnchor() const {
    int n = View().TitleCount();
    return n < 1 ? 0 : std::clamp(anchor_, 1, n);
}

void TMyStringGrid::PressRow(int row, Qt::KeyboardModifiers modifiers) {
    TTitleView& view = View();
    if (row < 1 || row > view.RowCount())
        return;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool ctrl = modifiers & Qt::ControlModifier;
    view.SetCurrentRow(row);
    if (!plain_ && view.Selected(row) && !shift && !ctrl) {
        pendingCollapse_ = true; // a drag may yet carry every selected row
        SaveSelection();
        return;
    }
    pendingCollapse_ = false;
    if (plain_ || (!shift && !ctrl && !view.Selected(row)))
        view.ClearSelection();
    if (!plain_ && (shift || ctrl) && anchor_ != -1 && view.HasRecord(row)) {
        if (shift && !view.Selected(row)) {
            int from = ClampedAnchor();
            for (int r = std::min(from, row); r <= std::max(from, row); ++r)
                view.SetSelected(r, true);
        }
        if (ctrl)
            view.SetSelected(row, !view.Selected(row));
    } else {
        view.SetSelected(row, true);
        anchor_ = row;
    }
    // A drag carries every row selected now, however the selection was made.
    SaveSelection();
    viewport()->update();
}

void TMyStringGrid::ReleaseRow(int row) {
    if (!dragging_ && pendingCollapse_ && row >= 1) {
        View().SelectOnly(row);
        anchor_ = row;
        SaveSelection();
    }
    pendingCollapse_ = false;
    viewport()->update();
}

void TMyStringGrid::MoveCurrentRow(int row, bool shift) {
    TTitleView& view = View();
    int n = view.RowCount();
    row = std::clamp(row, 1, n);
    view.BeginUpdate();
    if (shift && !plain_) {
        // An anchor that was never set, or that the rows have outgrown, is brought inside.
        int from = anchor_ < 1 ? view.CurrentRow() : ClampedAnchor();
        from = std::clamp(from, 1, n);
        view.ClearSelection();
        for (int r = std::min(from, row); r <= std::max(from, row); ++r)
            view.SetSelected(r, true);
        anchor_ = from;
    } else {
        view.ClearSelection();
        view.SetSelected(row, true);
        anchor_ = row;
    }
    view.EndUpdate();
    SaveSelection();
    view.SetCurrentRow(row);
    ScrollRowIntoView(row);
    viewport()->update();
}

void TMyStringGrid::ScrollRowIntoView(int row) {
    const QModelIndex index = model_->index(row - 1, std::max(0, currentIndex().column()));
    scrollTo(index, EnsureVisible);
    setCurrentIndex(index);
}

int TMyStringGrid::RowPixels() const {
    // The style may make rows taller than asked, to fit the font.
    return model_->rowCount() > 0 ? std::max(1, rowHeight(0)) : kRowHeight;
}

void TMyStringGrid::mousePressEvent(QMouseEvent* event) {
    emit touched();
    setFocus(Qt::MouseFocusReason);
    pressPos_ = event->position().toPoint();
    moved_ = false;
    pressRow_ = GridRowAt(pressPos_);
    if (pressRow_ > 0 && event->button() == Qt::LeftButton) {
        PressRow(pressRow_, event->modifiers());
        QModelIndex index = indexAt(pressPos_);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    } else if (pressRow_ > 0 && event->button() == Qt::RightButton && !View().Selected(pressRow_)) {
        PressRow(pressRow_, Qt::NoModifier);
    }
}

void TMyStringGrid::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton))
        return;
    if ((event->position().toPoint() - pressPos_).manhattanLength() <
        QApplication::startDragDistance())
        return;
    moved_ = true;
    if (!plain_ && !dragging_ && pressRow_ > 0 && View().HasRecord(pressRow_))
        StartDrag();
}

void TMyStringGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        ReleaseRow(GridRowAt(event->position().toPoint()));
}

void TMyStringGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    int row = GridRowAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && View().HasRecord(row)) {
        View().SelectOnly(row);
        anchor_ = row;
        SaveSelection();
        emit titleDoubleClicked(row);
    }
}

void TMyStringGrid::keyPressEvent(QKeyEvent* event) {
    emit touched();
    TTitleView& view = View();
    int current = view.CurrentRow();
    int page = std::max(1, viewport()->height() / RowPixels() - 1);
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Up:
        target = current - 1;
        break;
    case Qt::Key_Down:
        target = current + 1;
        break;
    case Qt::Key_PageUp:
        target = current - page;
        break;
    case Qt::Key_PageDown:
        target = current + page;
        break;
    case Qt::Key_Home:
        target = 1;
        break;
    case Qt::Key_End:
        target = view.RowCount();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (view.HasRecord(current))
            emit titleDoubleClicked(current);
        return;
    default:
        if (event->matches(QKeySequence::SelectAll) && !plain_) {
            SelectAll();
            return;
        }
        if (IsTyping(event)) {
            TypeAhead(event->text());
            return;
        }
        typed_.clear();
        // Keys that move Qt's current index (Left, Right) move the grid's current row with it.
        QTableView::keyPressEvent(event);
        if (currentIndex().isValid() && currentIndex().row() + 1 != view.CurrentRow())
            MoveCurrentRow(currentIndex().row() + 1, false);
        return;
    }
    typed_.clear(); // a move starts the next type-ahead afresh
    MoveCurrentRow(target, event->modifiers() & Qt::ShiftModifier);
}

void TMyStringGrid::TypeAhead(const QString& text) {
    if (!typedAt_.isValid() || typedAt_.elapsed() > kTypeAheadMs)
        typed_.clear();
    typedAt_.start();
    typed_ += text;
    const bool repeated = typed_.size() > 1 && typed_.count(typed_[0]) == typed_.size();
    const int current = View().CurrentRow();
    // A new prefix looks past the current row; a longer one may still be the current title.
    const int row = repeated
                        ? FindTitleStarting(typed_.left(1), current + 1)
                        : FindTitleStarting(typed_, typed_.size() == 1 ? current + 1 : current);
    if (row > 0)
        MoveCurrentRow(row, false);
}

int TMyStringGrid::FindTitleStarting(const QString& prefix, int from) const {
    const TTitleView& view = View();
    const int n = view.TitleCount();
    const auto& columns = view.Columns();
    const auto title = std::find(columns.begin(), columns.end(), TitleColumn::Title);
    const int column = title != columns.end() ? static_cast<int>(title - columns.begin()) : 0;
    // Letters of plain ASCII are compared in the stored UTF-8 as they are, which spares a
    // conversion per row of a large grid; others go through Qt's case folding.
    const QByteArray ascii = prefix.toLatin1();
    const bool plain =
        std::all_of(prefix.begin(), prefix.end(), [](QChar c) { return c.unicode() < 0x80; });
    auto starts = [&](const std::string& text) {
        std::size_t at = text.find_first_not_of(" \t");
        if (at == std::string::npos)
            return false;
        if (!plain)
            return QString::fromStdString(text.substr(at)).startsWith(prefix, Qt::CaseInsensitive);
        if (text.size() - at < static_cast<std::size_t>(ascii.size()))
            return false;
        for (qsizetype k = 0; k < ascii.size(); ++k)
            if (std::tolower(static_cast<unsigned char>(text[at + k])) !=
                std::tolower(static_cast<unsigned char>(ascii[k])))
                return false;
        return true;
    };
    for (int i = 0; i < n; ++i) {
        const int row = (std::max(from, 1) - 1 + i) % n + 1;
        if (starts(view.CellText(row, column)))
            return row;
    }
    return 0;
}

void TMyStringGrid::SelectAll() {
    TTitleView& view = View();
    view.BeginUpdate();
    for (int row = 1; row <= view.TitleCount(); ++row)
        view.SetSelected(row, true);
    view.EndUpdate();
    SaveSelection();
    viewport()->update();
}

void TMyStringGrid::contextMenuEvent(QContextMenuEvent* event) {
    emit touched();
    emit contextMenuWanted(event->globalPos());
}

void TMyStringGrid::StartDrag() {
    // The drag carries the rows selected now, in grid order: restoring a kept selection by
    // its keys would also take the other rows of a title that an album holds twice.
    SaveSelection();
    if (saved_.empty())
        return;
    pendingCollapse_ = false;
    dragging_ = true;
    auto* drag = new QDrag(this);
    drag->setMimeData(MakeTitleKeysMime({dragSource_, saved_}));
    // The cursor tells one title from several.
    QString label = saved_.size() == 1 ? "1 title" : QString::number(saved_.size()) + " titles";
    QFontMetrics metrics(font());
    QPixmap picture(metrics.horizontalAdvance(label) + 10, metrics.height() + 4);
    picture.fill(saved_.size() == 1 ? QColor(255, 255, 225) : QColor(255, 235, 160));
    QPainter painter(&picture);
    painter.setPen(Qt::black);
    painter.drawRect(picture.rect().adjusted(0, 0, -1, -1));
    painter.drawText(picture.rect(), Qt::AlignCenter, label);
    painter.end();
    drag->setPixmap(picture);
    drag->setHotSpot(QPoint(-12, -4));
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    dragging_ = false;
    dropRow_ = -1;
    viewport()->update();
}

int TMyStringGrid::DropRowAt(const QPoint& pos) const {
    if (pos.y() < 0)
        return pos.y() >= -(RowPixels() + 3) ? 1 : -1;
    // Below the last row the titles go after it; an empty album's one empty row takes them too.
    int row = GridRowAt(pos);
    return row == 0 ? View().TitleCount() + 1 : std::min(row, View().TitleCount() + 1);
}

bool TMyStringGrid::TakesForeign(const QDropEvent* event) const {
    if (!onForeignDrop || event->source() == this)
        return false;
    DraggedTitles titles = ReadTitleKeysMime(event->mimeData());
    return titles.source == SelectionSource::CategoryGrid && !titles.keys.empty();
}

void TMyStringGrid::dragEnterEvent(QDragEnterEvent* event) {
    if ((ownDrops_ && event->source() == this) || TakesForeign(event))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TMyStringGrid::dragMoveEvent(QDragMoveEvent* event) {
    if (TakesForeign(event)) {
        event->acceptProposedAction();
        return;
    }
    if (!ownDrops_ || event->source() != this) {
        event->ignore();
        return;
    }
    dropRow_ = DropRowAt(event->position().toPoint());
    event->acceptProposedAction();
    viewport()->update();
}

void TMyStringGrid::dragLeaveEvent(QDragLeaveEvent* event) {
    // The rows dragged elsewhere (to Trash, say) stay the selection that the command reads.
    dropRow_ = -1;
    viewport()->update();
    QTableView::dragLeaveEvent(event);
}

void TMyStringGrid::dropEvent(QDropEvent* event) {
    if (TakesForeign(event)) {
        int at = DropRowAt(event->position().toPoint());
        if (onForeignDrop(at > 0 ? at : 1, ReadTitleKeysMime(event->mimeData())))
            event->acceptProposedAction();
        else
            event->ignore();
        viewport()->update();
        return;
    }
    int row = dropRow_ > 0 ? dropRow_ : 1;
    dropRow_ = -1;
    if (!ownDrops_ || event->source() != this) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit ownRowsDropped(row, ReadTitleKeysMime(event->mimeData()).keys);
    viewport()->update();
}

void TMyStringGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    View().SetVisibleRows(viewport()->height() / RowPixels());
}

void TMyStringGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // The table view's own announcement numbers the cells as its table interface does, which
    // is not the grid's: the current cell is announced here instead.
    QAbstractItemView::currentChanged(current, previous);
    // A selection change on its way announces the cell that is current by then.
    if (QAccessible::isActive() && !announcing_ && current.isValid() && hasFocus()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        if (auto* table =
                dynamic_cast<TitleGridAccessible*>(QAccessible::queryAccessibleInterface(this)))
            event.setChild(table->ChildIndex(current.row(), current.column()));
        QAccessible::updateAccessibility(&event);
    }
}

void TMyStringGrid::AnnounceSelection() {
    if (!QAccessible::isActive() || announcing_)
        return;
    // Once the click or key is done, so that the current cell is the one it made current, and
    // once for all the rows it changed.
    announcing_ = true;
    QMetaObject::invokeMethod(this, &TMyStringGrid::AnnounceSelectionNow, Qt::QueuedConnection);
}

void TMyStringGrid::AnnounceSelectionNow() {
    announcing_ = false;
    // One event for the table and one for the current cell, whatever the number of rows that
    // changed: a reader asks the table for the rest.
    QAccessibleEvent within(this, QAccessible::SelectionWithin);
    QAccessible::updateAccessibility(&within);
    const QModelIndex current = currentIndex();
    auto* table = QAccessible::queryAccessibleInterface(this);
    QAccessibleInterface* cell =
        table && table->tableInterface() && current.isValid()
            ? table->tableInterface()->cellAt(current.row(), current.column())
            : nullptr;
    if (!cell)
        return;
    QAccessible::State changed;
    changed.selected = true;
    QAccessibleStateChangeEvent event(cell, changed);
    QAccessible::updateAccessibility(&event);
    // The current cell focused anew: readers that do not follow a cell's selected state (and
    // bridges that do not pass it on) read it with its state.
    if (hasFocus()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(table->indexOfChild(cell));
        QAccessible::updateAccessibility(&focus);
    }
}

void TMyStringGrid::ShowPosition(int currentRow, int topRow) {
    if (currentRow < 1 || currentRow > model_->rowCount())
        return;
    selectionModel()->setCurrentIndex(
        model_->index(currentRow - 1, std::max(0, currentIndex().column())),
        QItemSelectionModel::NoUpdate);
    // The view names a top row when it places a title (a sort, an add, a refill); a new current
    // row alone leaves the rows where the user scrolled them (its old top row would throw the
    // grid back there at every click).
    if (topRow != shownTopRow_) {
        shownTopRow_ = topRow;
        verticalScrollBar()->setValue(topRow - 1);
    }
    viewport()->update();
}

} // namespace tunquil::ui

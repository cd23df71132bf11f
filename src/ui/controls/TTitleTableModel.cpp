#include "ui/controls/TTitleTableModel.h"

#include "database/StoredDate.h"

#include <QDateTime>
#include <QLocale>

namespace tunquil::ui {

QString LocaleDateText(double storedDate) {
    QDateTime when = QDateTime::fromSecsSinceEpoch(TimeFromStoredDate(storedDate));
    QLocale locale;
    QString text = locale.toString(when.date(), QLocale::ShortFormat);
    if (when.time() != QTime(0, 0)) {
        // The long time format with seconds, without the time zone it may end in.
        QString format = locale.timeFormat(QLocale::LongFormat);
        format.remove(QLatin1String(" t")).remove(QLatin1Char('t'));
        text += ' ' + locale.toString(when.time(), format.trimmed());
    }
    return text;
}

TTitleTableModel::TTitleTableModel(TTitleView& view, QObject* parent)
    : QAbstractTableModel(parent), view_(view) {
    view_.AddObserver(this);
}

TTitleTableModel::~TTitleTableModel() {
    view_.RemoveObserver(this);
}

int TTitleTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : view_.RowCount();
}

int TTitleTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : view_.ColumnCount();
}

QVariant TTitleTableModel::data(const QModelIndex& index, int role) const {
    // A paint may come while the grid is being refilled: rows it no longer has read as empty.
    if (!index.isValid() || index.column() >= view_.ColumnCount())
        return {};
    TitleColumn column = view_.Columns()[index.column()];
    int row = index.row() + 1;
    switch (role) {
    case Qt::DisplayRole:
        if (column == TitleColumn::DateObtained && view_.HasRecord(row))
            return LocaleDateText(view_.Row(row).dateObtained);
        return QString::fromStdString(view_.CellText(row, index.column()));
    case Qt::TextAlignmentRole:
        return TTitleView::Centred(column) ? int(Qt::AlignCenter)
                                           : int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant TTitleTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= view_.ColumnCount())
        return {};
    TitleColumn column = view_.Columns()[section];
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(TTitleView::HeaderText(column));
    if (role == Qt::TextAlignmentRole)
        return TTitleView::Centred(column) ? int(Qt::AlignCenter)
                                           : int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

// The grid's rows are numbered from 1; the model's from 0. A grid with no title still has its
// one empty row, so the first title fills that row (a change) instead of inserting one.
void TTitleTableModel::RowsAboutToBeInserted(int first, int last) {
    beginInsertRows({}, first - 1, last - 1);
}
void TTitleTableModel::RowsInserted() {
    endInsertRows();
}
void TTitleTableModel::RowsAboutToBeRemoved(int first, int last) {
    beginRemoveRows({}, first - 1, last - 1);
}
void TTitleTableModel::RowsRemoved() {
    endRemoveRows();
}

void TTitleTableModel::AboutToReset() {
    if (!resetting_) {
        resetting_ = true;
        beginResetModel();
    }
}

void TTitleTableModel::ResetDone() {
    if (!resetting_) // the grid told only afterwards (album entries)
        beginResetModel();
    resetting_ = false;
    endResetModel();
    emit selectionFollow();
    emit positionFollow(view_.CurrentRow(), view_.TopRow());
}

void TTitleTableModel::RowsChanged(int first, int last) {
    emit dataChanged(index(first - 1, 0), index(last - 1, columnCount() - 1));
}

void TTitleTableModel::SelectionChanged() {
    emit selectionFollow();
}

void TTitleTableModel::PositionChanged(int currentRow, int topRow) {
    emit positionFollow(currentRow, topRow);
}

void TTitleTableModel::SummaryChanged(const std::string& text) {
    emit summaryFollow(QString::fromStdString(text));
}

} // namespace tunquil::ui

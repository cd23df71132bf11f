#include "ui/controls/TExtListView.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QTreeWidget>
#include <algorithm>

namespace tunquil::ui {

namespace {
QIcon AlbumIcon() {
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(2, 2, 28, 28);
    p.setBrush(QColor(200, 60, 60));
    p.drawEllipse(11, 11, 10, 10);
    p.setBrush(Qt::white);
    p.drawEllipse(15, 15, 2, 2);
    return QIcon(picture);
}
} // namespace

TExtListView::TExtListView(QWidget* parent)
    : QStackedWidget(parent), report_(new QTreeWidget), icons_(new QListWidget) {
    report_->setObjectName("AllAlbLV");
    report_->setAccessibleName("Albums list");
    report_->setRootIsDecorated(false);
    report_->setUniformRowHeights(true);
    report_->setHeaderLabels({"Name", "Titles", "Duration"});
    report_->header()->setAccessibleName("Album columns");
    report_->header()->setStretchLastSection(false);
    report_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    report_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    report_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    report_->headerItem()->setTextAlignment(1, Qt::AlignCenter);
    report_->headerItem()->setTextAlignment(2, Qt::AlignCenter);
    report_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    report_->setSelectionBehavior(QAbstractItemView::SelectRows);
    report_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A style sheet that styles the items takes their painting from the style, which then drew
    // the selected row's highlighted text on the plain item background: the selection is
    // named here, the palette's highlighted text on its highlight, whether focused or not.
    report_->setStyleSheet("QTreeView::item { border-right: 1px solid rgb(192,192,192);"
                           " border-bottom: 1px solid rgb(192,192,192); }"
                           " QTreeView::item:selected { background: palette(highlight);"
                           " color: palette(highlighted-text); }");
    icons_->setViewMode(QListView::IconMode);
    icons_->setIconSize(QSize(32, 32));
    icons_->setResizeMode(QListView::Adjust);
    icons_->setMovement(QListView::Static);
    icons_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    icons_->setAccessibleName("Albums icons");
    addWidget(report_);
    addWidget(icons_);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(report_), static_cast<QAbstractItemView*>(icons_)}) {
        view->viewport()->installEventFilter(this);
        view->viewport()->setAcceptDrops(true);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& p) {
            emit touched();
            emit contextMenuWanted(view->viewport()->mapToGlobal(p));
        });
    }
    connect(report_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        emit albumDoubleClicked(report_->indexOfTopLevelItem(item));
    });
    connect(icons_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { emit albumDoubleClicked(icons_->row(item)); });
}

void TExtListView::SetRows(const std::vector<AlbumListRow>& rows) {
    std::vector<int> selected = SelectedRows();
    report_->clear();
    icons_->clear();
    static const QIcon icon = AlbumIcon();
    QList<QTreeWidgetItem*> items;
    for (const AlbumListRow& row : rows) {
        auto* item = new QTreeWidgetItem({row.name, row.titles, row.duration});
        item->setTextAlignment(1, Qt::AlignCenter);
        item->setTextAlignment(2, Qt::AlignCenter);
        items << item;
        new QListWidgetItem(icon, row.name, icons_);
    }
    report_->addTopLevelItems(items);
    for (int row : selected)
        if (row < RowCount())
            SelectRow(row);
}

int TExtListView::RowCount() const {
    return report_->topLevelItemCount();
}

QString TExtListView::Cell(int row, int column) const {
    QTreeWidgetItem* item = report_->topLevelItem(row);
    return item ? item->text(column) : QString();
}

void TExtListView::SetReportStyle(bool report) {
    setCurrentWidget(report ? static_cast<QWidget*>(report_) : icons_);
}

bool TExtListView::ReportStyle() const {
    return currentWidget() == report_;
}

std::vector<int> TExtListView::SelectedRows() const {
    std::vector<int> rows;
    if (ReportStyle()) {
        for (QTreeWidgetItem* item : report_->selectedItems())
            rows.push_back(report_->indexOfTopLevelItem(item));
    } else {
        for (QListWidgetItem* item : icons_->selectedItems())
            rows.push_back(icons_->row(item));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TExtListView::SelectRow(int row) {
    if (QTreeWidgetItem* item = report_->topLevelItem(row))
        item->setSelected(true);
    if (QListWidgetItem* item = icons_->item(row))
        item->setSelected(true);
}

int TExtListView::RowAt(const QPoint& viewportPos) const {
    if (ReportStyle()) {
        QTreeWidgetItem* item = report_->itemAt(viewportPos);
        return item ? report_->indexOfTopLevelItem(item) : -1;
    }
    QListWidgetItem* item = icons_->itemAt(viewportPos);
    return item ? icons_->row(item) : -1;
}

bool TExtListView::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        // Titles go to the album under the mouse; elsewhere the drop is refused.
        auto* drag = static_cast<QDragMoveEvent*>(event);
        DraggedTitles titles = ReadTitleKeysMime(drag->mimeData());
        const int row = RowAt(drag->position().toPoint());
        const bool takes =
            onDrop && titles.source != SelectionSource::None && (!accepting || accepting(titles));
        if (takes && (row >= 0 || event->type() == QEvent::DragEnter))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        DraggedTitles titles = ReadTitleKeysMime(drop->mimeData());
        const int row = RowAt(drop->position().toPoint());
        if (onDrop && row >= 0 && titles.source != SelectionSource::None &&
            (!accepting || accepting(titles)) && onDrop(row, titles))
            drop->acceptProposedAction();
        else
            drop->ignore();
        return true;
    }
    default:
        break;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        emit touched();
        pressPos_ = static_cast<QMouseEvent*>(event)->position().toPoint();
    } else if (event->type() == QEvent::MouseMove) {
        auto* move = static_cast<QMouseEvent*>(event);
        if ((move->buttons() & Qt::LeftButton) &&
            (move->position().toPoint() - pressPos_).manhattanLength() >=
                QApplication::startDragDistance()) {
            StartDrag();
            return true;
        }
    }
    return QStackedWidget::eventFilter(watched, event);
}

void TExtListView::StartDrag() {
    std::vector<int> rows = SelectedRows();
    if (rows.empty() || !titlesOf)
        return;
    std::vector<int32_t> keys = titlesOf(rows);
    if (keys.empty())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(MakeTitleKeysMime({SelectionSource::AlbumList, keys}));
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

} // namespace tunquil::ui

#include "ui/midi/TViewProgFrm.h"

#include "app/PlayProgram.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace tunquil::ui {

class ProgramListingModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void Set(const ProgramListing& listing) {
        beginResetModel();
        listing_ = listing;
        endResetModel();
    }
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(listing_.rows.size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= int(listing_.rows.size()))
            return {};
        const auto& row = listing_.rows[std::size_t(index.row())];
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
            const std::string* cells[] = {&row.order, &row.title, &row.artist, &row.duration};
            return QString::fromStdString(*cells[index.column()]);
        }
        if (role == Qt::TextAlignmentRole && index.column() != 1)
            return int(Qt::AlignCenter);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const char* const kHeaders[] = {"Order", "Title", "Artist", "Duration"};
        return section >= 0 && section < 4 ? QString(kHeaders[section]) : QVariant();
    }

private:
    ProgramListing listing_;
};

TViewProgFrm::TViewProgFrm(PlayProgram& program, TitleLookup lookup, QWidget* parent)
    : QDialog(parent, Qt::Window), program_(program), lookup_(std::move(lookup)) {
    setObjectName("TViewProgFrm");
    setWindowTitle("Music program titles");
    resize(340, 440);
    setMinimumSize(250, 200);

    summaryLabel = new QLabel;
    summaryLabel->setAlignment(Qt::AlignHCenter);
    SG1 = new QTableView;
    SG1->setAccessibleName("Music program titles");
    model_ = new ProgramListingModel(this);
    SG1->setModel(model_);
    SG1->setSelectionBehavior(QAbstractItemView::SelectRows);
    SG1->setSelectionMode(QAbstractItemView::SingleSelection);
    SG1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SG1->verticalHeader()->hide();
    SG1->verticalHeader()->setDefaultSectionSize(16);
    SG1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    SG1->installEventFilter(this);
    SG1->viewport()->installEventFilter(this);

    shuffleButton = new QPushButton("&Shuffle");
    clearButton = new QPushButton("&Clear");
    closeButton = new QPushButton("C&lose");
    for (auto [button, name] :
         {std::pair{shuffleButton, "Shuffle"}, {clearButton, "Clear"}, {closeButton, "Close"}}) {
        button->setFixedWidth(70);
        button->setAccessibleName(name);
    }
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    buttons->addStretch();
    buttons->addWidget(shuffleButton);
    buttons->addWidget(clearButton);
    buttons->addWidget(closeButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 5);
    layout->addWidget(summaryLabel);
    layout->addWidget(SG1, 1);
    layout->addLayout(buttons);

    connect(SG1, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            PlaySelectedRow();
    });
    connect(shuffleButton, &QPushButton::clicked, this, [this] {
        if (program_.Entries().size() < 2)
            return;
        program_.Shuffle();
        Refresh();
        SG1->setFocus();
    });
    connect(clearButton, &QPushButton::clicked, this, [this] {
        program_.Clear();
        Refresh();
        SG1->setFocus();
    });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::hide);
    Refresh();
}

int TViewProgFrm::SelectedRow() const {
    auto index = SG1->currentIndex();
    return index.isValid() ? index.row() : 0;
}

void TViewProgFrm::SelectRow(int row) {
    if (row < 0 || row >= model_->rowCount({}))
        return;
    SG1->selectRow(row);
    SG1->setCurrentIndex(model_->index(row, 0));
}

void TViewProgFrm::Refresh() {
    const auto& entries = program_.Entries();
    listing_ = BuildProgramListing(entries, program_.CurrentIndex(), program_.ShownMode(), lookup_);
    const int top = SG1->verticalScrollBar()->value();
    model_->Set(listing_);
    summaryLabel->setText(QString::fromStdString(listing_.summary));
    shuffleButton->setEnabled(entries.size() > 1);
    clearButton->setEnabled(!entries.empty());
    SG1->resizeColumnsToContents();
    FitTitleColumn();
    SG1->clearSelection();
    SelectRow(std::max(listing_.currentRow, 0));
    // The list stays where it was, so that an operation does not make it jump.
    SG1->verticalScrollBar()->setValue(program_.CurrentIndex() <= 0 ? 0 : top);
}

void TViewProgFrm::PlaySelectedRow() {
    if (listing_.empty)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    program_.PlayEntryAt(SelectedRow());
    QApplication::restoreOverrideCursor();
    Refresh();
    SG1->setFocus();
}

void TViewProgFrm::DeleteSelectedRow() {
    if (listing_.empty)
        return;
    program_.RemoveEntryAt(SelectedRow());
    Refresh();
}

bool TViewProgFrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SG1 && event->type() == QEvent::KeyPress) {
        auto key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            PlaySelectedRow();
            return true;
        }
        if (key == Qt::Key_Delete)
            return true; // acted on at release, as the key is let go
    }
    if (watched == SG1 && event->type() == QEvent::KeyRelease &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
        !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
        DeleteSelectedRow();
        return true;
    }
    if (watched == SG1->viewport() && event->type() == QEvent::Resize) {
        SG1->resizeColumnsToContents();
        FitTitleColumn();
    }
    return QDialog::eventFilter(watched, event);
}

void TViewProgFrm::FitTitleColumn() {
    // Order, artist and duration keep their widths; the title gives way to them.
    auto* header = SG1->horizontalHeader();
    int others = 0;
    for (int c = 0; c < model_->columnCount({}); ++c)
        if (c != 1)
            others += header->sectionSize(c);
    const int room = SG1->viewport()->width() - others;
    if (room > 40 && header->sectionSize(1) > room)
        header->resizeSection(1, room);
}

void TViewProgFrm::ViewBeside(QWidget* mainWindow) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!isVisible() && mainWindow) {
        QRect main = mainWindow->frameGeometry();
        int top = main.top() - 30;
        if (top < 0)
            top = 30;
        int height = main.height() + 60;
        int screenHeight = mainWindow->screen() ? mainWindow->screen()->geometry().height() : 0;
        if (screenHeight > 0 && top + height > screenHeight)
            height = screenHeight - top - 35;
        int left = main.center().x() - width() / 2;
        setGeometry(left, top, width(), std::max(height, minimumHeight()));
    }
    Refresh();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    QApplication::restoreOverrideCursor();
}

} // namespace tunquil::ui

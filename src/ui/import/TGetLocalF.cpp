#include "ui/import/TGetLocalF.h"

#include "database/TCatList.h"
#include "database/TPerfList.h"
#include "ui/import/TDriveScanFrm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>

namespace tunquil::ui {

namespace {

// Rows as wide as the list, not as their text: a path longer than the list is then elided
// where the list's elide mode says instead of running off its right edge.
class ListWideRows : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(1);
        return size;
    }
};

} // namespace

// Takes drops from the file list only, so nothing from elsewhere lands in the import.
class TargetList : public QListWidget {
public:
    TargetList(TGetLocalF& owner, QListWidget& source) : owner_(owner), source_(source) {
        setAcceptDrops(true);
        setDragDropMode(QAbstractItemView::DropOnly);
        setSelectionMode(QAbstractItemView::ExtendedSelection);
        // A path's start (the folder) and end (the file) say most: the middle gives way, and
        // the whole path is the row's tool tip.
        setTextElideMode(Qt::ElideMiddle);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setItemDelegate(new ListWideRows(this));
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { Consider(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { Consider(event); }
    void dropEvent(QDropEvent* event) override {
        if (event->source() != &source_)
            return event->ignore();
        event->setDropAction(Qt::CopyAction);
        event->accept();
        owner_.AddSelectedFiles();
    }

private:
    void Consider(QDropEvent* event) {
        if (event->source() == &source_) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
        } else {
            event->ignore();
        }
    }
    TGetLocalF& owner_;
    QListWidget& source_;
};

namespace {

template <class W> W* Named(W* widget, const QString& name) {
    widget->setAccessibleName(name);
    return widget;
}

QComboBox* EditableCombo(const QString& name, const QString& text) {
    auto* box = Named(new QComboBox, name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setEditText(text);
    return box;
}

struct Filter {
    const char* caption;
    const char* masks;
};
constexpr Filter kFilters[] = {
    {"MIDI files (*.mid; *.kar; *.rmi)", "*.mid;*.kar;*.rmi"},
    {"Zip files (*.zip)", "*.zip"},
    {"MIDI and Zip files", "*.mid;*.kar;*.rmi;*.zip"},
    {"All files (*.*)", "*"},
};

// Fills a combo anew while the text it shows stays what it was.
void Refill(QComboBox* box, const std::vector<std::string>& entries) {
    const QString shown = box->currentText();
    box->clear();
    for (const auto& entry : entries)
        box->addItem(QString::fromStdString(entry));
    box->setEditText(shown);
}

// The entry the box shows, -1 when its text was typed.
int ShownEntry(const QComboBox* box) {
    return box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

} // namespace

TGetLocalF::TGetLocalF(IHost& host, platform::IDrives& drives, QWidget* parent)
    : QDialog(parent), host_(host), driveLayer_(drives) {
    setWindowTitle(" Select MIDI files to add");
    setAccessibleName("Select MIDI files to add");
    resize(414, 439);

    auto* select = new QGroupBox(" 1.  Select drive, directory and file type  ");
    auto* selectColumn = new QVBoxLayout(select);
    drives_ = Named(new QComboBox, "Drive");
    dirList_ = Named(new QListWidget, "Directories");
    filter_ = Named(new QComboBox, "File type");
    for (const Filter& f : kFilters)
        filter_->addItem(f.caption, QString(f.masks));
    folder_ = Named(new QLineEdit, "Folder");
    selectColumn->addWidget(drives_);
    selectColumn->addWidget(folder_);
    selectColumn->addWidget(dirList_, 1);
    selectColumn->addWidget(filter_);

    auto* from = new QGroupBox(" 2.  Drag files from here...  ");
    auto* fromColumn = new QVBoxLayout(from);
    fileList_ = Named(new QListWidget, "Files");
    fileList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileList_->setDragEnabled(true);
    fileList_->setDragDropMode(QAbstractItemView::DragOnly);
    fromColumn->addWidget(fileList_);

    auto* to = new QGroupBox(" 3.  ... to here  ");
    auto* toColumn = new QVBoxLayout(to);
    targets_ = Named(new TargetList(*this, *fileList_), "Files to add");
    remove_ = Named(new QPushButton("&Remove"), "Remove");
    remove_->setAutoDefault(false);
    toColumn->addWidget(targets_);
    toColumn->addWidget(remove_, 0, Qt::AlignRight);

    auto* info = new QGroupBox(" 4.  Enter information for added file(s)  ");
    auto* infoGrid = new QGridLayout(info);
    artists_ = EditableCombo("Artist", "Various");
    categories_ = EditableCombo("Category", "Unknown");
    noDuplicates_ = Named(new QCheckBox("Do not allow duplicates (recommended)"),
                          "Do not allow duplicates (recommended)");
    infoGrid->addWidget(new QLabel("Artist"), 0, 0);
    infoGrid->addWidget(artists_, 0, 1);
    infoGrid->addWidget(new QLabel("Category"), 1, 0);
    infoGrid->addWidget(categories_, 1, 1);
    infoGrid->addWidget(noDuplicates_, 2, 0, 1, 2);

    ok_ = Named(new QPushButton("OK"), "OK");
    cancel_ = Named(new QPushButton("Cancel"), "Cancel");
    // Enter in the combos has its own meaning; it must not press a button.
    ok_->setAutoDefault(false);
    cancel_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* top = new QHBoxLayout;
    top->addWidget(select, 1);
    top->addWidget(from, 1);
    auto* middle = new QHBoxLayout;
    middle->addWidget(to, 1);
    middle->addWidget(info, 1);
    auto* column = new QVBoxLayout(this);
    column->addLayout(top, 3);
    column->addLayout(middle, 2);
    column->addLayout(buttons);

    connect(drives_, &QComboBox::activated, this, &TGetLocalF::DriveChange);
    connect(dirList_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        SetDirectory(QDir(directory_).filePath(item->text()));
    });
    connect(filter_, &QComboBox::currentIndexChanged, this, &TGetLocalF::ShowFiles);
    connect(fileList_, &QListWidget::itemDoubleClicked, this, &TGetLocalF::AddSelectedFiles);
    connect(remove_, &QPushButton::clicked, this, &TGetLocalF::RemoveSelectedTargets);
    connect(folder_, &QLineEdit::returnPressed, this, [this] {
        if (QDir(folder_->text()).exists())
            SetDirectory(folder_->text());
        else
            folder_->setText(directory_);
    });
    // Enter or Insert in the file list adds the files chosen there; Del in the target list
    // takes picks back out.
    fileList_->installEventFilter(this);
    targets_->installEventFilter(this);
    connect(ok_, &QPushButton::clicked, this, &TGetLocalF::accept);
    connect(cancel_, &QPushButton::clicked, this, &TGetLocalF::reject);
    artists_->lineEdit()->installEventFilter(this);
    categories_->lineEdit()->installEventFilter(this);
    ok_->setEnabled(false);
}

QListWidget* TGetLocalF::TargetListWidget() const {
    return targets_;
}

void TGetLocalF::Prepare(TCatList& categories, TPerfList& performers) {
    categoryList_ = &categories;
    performerList_ = &performers;
    noDuplicates_->setChecked(true);
    addedCategory_ = 0;
    ClearTargets();

    std::vector<std::string> names, keys;
    categories.FillNameLists(names, keys);
    categoryKeys_.clear();
    for (const auto& key : keys)
        categoryKeys_.push_back(static_cast<int32_t>(std::stol(key)));
    Refill(categories_, names);

    std::vector<std::string> firsts, lasts, pks, artists;
    performers.FillNameLists(firsts, lasts, pks);
    performerKeys_.clear();
    for (std::size_t i = 0; i < pks.size(); ++i) {
        artists.push_back(JoinArtistText(firsts[i], lasts[i]));
        performerKeys_.push_back(static_cast<int32_t>(std::stol(pks[i])));
    }
    Refill(artists_, artists);

    // The window opens where it was left; the caller chooses the first showing's folder.
    const QString start = directory_.isEmpty() ? QDir::homePath() : directory_;
    drives_->clear();
    int holder = -1, holderLength = -1;
    for (const auto& drive : driveLayer_.LocalDrives()) {
        QString root = QString::fromStdString(drive.root.string());
        drives_->addItem(root);
        QString prefix = root.endsWith('/') ? root : root + '/';
        if ((start == root || start.startsWith(prefix)) && root.size() > holderLength) {
            holder = drives_->count() - 1;
            holderLength = static_cast<int>(root.size());
        }
    }
    previousDrive_ = std::max(holder, 0);
    drives_->setCurrentIndex(previousDrive_);
    if (holder >= 0 || drives_->count() == 0)
        SetDirectory(start);
    else
        SetDirectory(drives_->itemText(previousDrive_));
}

void TGetLocalF::SetDirectory(const QString& directory) {
    directory_ = QDir::cleanPath(directory);
    folder_->setText(directory_);
    // Tells a screen reader which folder the list shows.
    dirList_->setAccessibleDescription(directory_);
    dirList_->clear();
    QDir dir(directory_);
    if (!dir.isRoot())
        dirList_->addItem("..");
    // Hidden folders are left out, as the scans leave them out.
    dirList_->addItems(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name));
    ShowFiles();
}

void TGetLocalF::ShowFiles() {
    fileList_->clear();
    QDir dir(directory_);
    // Masks match whatever the letter case (song.MID is a MIDI file); hidden files stay out.
    dir.setNameFilters(filter_->currentData().toString().split(';'));
    fileList_->addItems(dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

void TGetLocalF::DriveChange(int index) {
    const QString root = drives_->itemText(index);
    if (!TDriveScanFrm::DriveReady(host_, driveLayer_, root)) {
        drives_->setCurrentIndex(previousDrive_);
        return;
    }
    previousDrive_ = index;
    SetDirectory(root);
}

void TGetLocalF::AddSelectedFiles() {
    QStringList paths;
    QDir dir(directory_);
    for (QListWidgetItem* item : fileList_->selectedItems())
        paths << dir.filePath(item->text());
    AddTargets(paths);
}

void TGetLocalF::AddTargets(const QStringList& paths) {
    QStringList all = Targets();
    for (const QString& path : paths)
        if (!all.contains(path))
            all << path;
    all.sort();
    targets_->clear();
    for (const QString& path : all) {
        auto* item = new QListWidgetItem(path, targets_);
        item->setToolTip(path);
    }
    ok_->setEnabled(!all.isEmpty());
}

void TGetLocalF::RemoveSelectedTargets() {
    for (QListWidgetItem* item : targets_->selectedItems())
        delete item;
    ok_->setEnabled(targets_->count() > 0);
}

QStringList TGetLocalF::Targets() const {
    QStringList all;
    for (int i = 0; i < targets_->count(); ++i)
        all << targets_->item(i)->text();
    return all;
}

void TGetLocalF::ClearTargets() {
    targets_->clear();
    ok_->setEnabled(false);
}

bool TGetLocalF::RefuseDuplicates() const {
    return noDuplicates_->isChecked();
}

bool TGetLocalF::Apply() {
    if (!categoryList_ || !performerList_)
        return false;
    BusyScope busy(host_);
    int32_t ck = 0, pk = 0;
    try {
        int entry = ShownEntry(categories_);
        if (entry >= 0 && entry < static_cast<int>(categoryKeys_.size()))
            ck = categoryKeys_[static_cast<std::size_t>(entry)];
        else {
            const int before = categoryList_->Count();
            ck = categoryList_->AddCategory(categories_->currentText().toStdString());
            if (categoryList_->Count() > before)
                addedCategory_ = ck;
        }
        entry = ShownEntry(artists_);
        if (entry >= 0 && entry < static_cast<int>(performerKeys_.size())) {
            pk = performerKeys_[static_cast<std::size_t>(entry)];
        } else {
            std::string first, last;
            SplitArtistText(artists_->currentText().toStdString(), first, last);
            pk = performerList_->FindOrAdd(first, last);
        }
    } catch (const std::exception& e) {
        // A list that cannot be saved: nothing is imported under a key that is not kept.
        host_.ShowMessage(e.what(), TMsgDlgType::mtError, 0, mbOK);
        return false;
    }
    if (onApply)
        onApply(pk, ck);
    return true;
}

void TGetLocalF::accept() {
    if (Apply())
        QDialog::accept();
}

bool TGetLocalF::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == fileList_ &&
            (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Insert)) {
            AddSelectedFiles();
            return true;
        }
        if (watched == targets_ && key == Qt::Key_Delete) {
            RemoveSelectedTargets();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == artists_->lineEdit())
                categories_->setFocus();
            else if (watched == categories_->lineEdit() && targets_->count() > 0)
                Apply();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tunquil::ui

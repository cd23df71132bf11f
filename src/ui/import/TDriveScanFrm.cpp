#include "ui/import/TDriveScanFrm.h"

#include "database/TPerfList.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tunquil::ui {

namespace {

template <class W> W* Named(W* widget, const QString& name) {
    widget->setAccessibleName(name);
    return widget;
}

QLineEdit* Count(const QString& name) {
    auto* field = Named(new QLineEdit("0"), name);
    field->setReadOnly(true);
    return field;
}

} // namespace

TDriveScanFrm::TDriveScanFrm(IHost& host, platform::IDrives& drives, QWidget* parent)
    : ScanWindow(parent), host_(host), driveLayer_(drives) {
    setWindowTitle(" Scan a drive for MIDI files");
    setAccessibleName("Scan a drive for MIDI files");
    resize(540, 384);

    auto* scanning = new QGroupBox(" Scanning status ");
    auto* scanningGrid = new QGridLayout(scanning);
    dirCount_ = Count("Directories scanned");
    fileCount_ = Count("MIDI files found");
    searchStop_ = Named(new QPushButton("Stop"), "Stop searching");
    scanningGrid->addWidget(new QLabel("Directories scanned"), 0, 0);
    scanningGrid->addWidget(dirCount_, 0, 1);
    scanningGrid->addWidget(new QLabel("MIDI files found"), 1, 0);
    scanningGrid->addWidget(fileCount_, 1, 1);
    scanningGrid->addWidget(searchStop_, 0, 2, 2, 1);

    auto* importing = new QGroupBox(" Importing status ");
    auto* importingRow = new QHBoxLayout(importing);
    progress_ = Named(new QProgressBar, "Import progress");
    progress_->setRange(0, 100);
    importStop_ = Named(new QPushButton("Stop"), "Stop importing");
    importingRow->addWidget(progress_, 1);
    importingRow->addWidget(importStop_);

    auto* select = new QGroupBox(" Select drive, top level directory and options ");
    auto* selectGrid = new QGridLayout(select);
    drives_ = Named(new QComboBox, "Drive");
    dirList_ = Named(new QListWidget, "Directories");
    dirList_->setMinimumWidth(140);
    auto* info = new QGroupBox("Provide information for added MIDIs ");
    auto* infoGrid = new QGridLayout(info);
    artists_ = Named(new QComboBox, "Artist");
    artists_->setEditable(true);
    artists_->setInsertPolicy(QComboBox::NoInsert);
    categories_ = Named(new QComboBox, "Category");
    categories_->setEditable(true);
    categories_->setInsertPolicy(QComboBox::NoInsert);
    // Wide enough for the prompts, which are the texts a person reads first.
    for (QComboBox* box : {artists_, categories_}) {
        box->setMinimumContentsLength(26);
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        // The box takes the focus for its field; clicks reach the field itself.
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
    }
    infoGrid->addWidget(new QLabel("Artist"), 0, 0);
    infoGrid->addWidget(artists_, 0, 1);
    infoGrid->addWidget(new QLabel("Category"), 1, 0);
    infoGrid->addWidget(categories_, 1, 1);
    auto* exists = new QGroupBox(" If a MIDI already exists in database... ");
    auto* existsColumn = new QVBoxLayout(exists);
    ignore_ = Named(new QRadioButton("Ignore it (recommended)"), "Ignore it (recommended)");
    addAnyway_ =
        Named(new QRadioButton("Add it to the database anyway"), "Add it to the database anyway");
    existsColumn->addWidget(ignore_);
    existsColumn->addWidget(addAnyway_);
    selectGrid->addWidget(drives_, 0, 0);
    selectGrid->addWidget(dirList_, 1, 0, 2, 1);
    selectGrid->addWidget(info, 0, 1, 2, 1);
    selectGrid->addWidget(exists, 2, 1);

    auto* execute = new QGroupBox(" Execute scan ");
    auto* executeRow = new QHBoxLayout(execute);
    dirField_ = Named(new QLineEdit, "Directory to scan");
    // The folder can be typed (or pasted) too; Enter takes it when it is a folder.
    connect(dirField_, &QLineEdit::returnPressed, this, [this] {
        if (QDir(dirField_->text()).exists())
            SetDirectory(dirField_->text());
        else
            dirField_->setText(directory_);
    });
    scan_ = Named(new QPushButton("&Scan !"), "Scan !");
    QFont bold = scan_->font();
    bold.setBold(true);
    scan_->setFont(bold);
    exit_ = Named(new QPushButton("&Exit"), "Exit");
    executeRow->addWidget(new QLabel("Scan"));
    executeRow->addWidget(dirField_, 1);
    executeRow->addWidget(new QLabel("and sub-directories"));
    executeRow->addWidget(scan_);
    executeRow->addWidget(exit_);

    auto* column = new QVBoxLayout(this);
    column->addWidget(scanning);
    column->addWidget(importing);
    column->addWidget(select, 1);
    column->addWidget(execute);

    connect(drives_, &QComboBox::activated, this, &TDriveScanFrm::DriveChange);
    // A single click chooses a folder to scan; a double click (or Enter) opens it.
    connect(dirList_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        directory_ = QDir::cleanPath(QDir(listed_).filePath(item->text()));
        dirField_->setText(directory_);
    });
    connect(dirList_, &QListWidget::itemActivated, this, &TDriveScanFrm::DirectoryActivated);
    connect(scan_, &QPushButton::clicked, this, &TDriveScanFrm::ScanClick);
    connect(exit_, &QPushButton::clicked, this, &ScanWindow::reject);
    ConnectStopButtons();
    SetIdle(true);
}

bool TDriveScanFrm::eventFilter(QObject* watched, QEvent* event) {
    // A prompt is real text in its box: taking the focus, by key or by a click, selects it
    // whole, so that what the user types replaces it instead of mixing with it.
    for (auto [box, prompt] :
         {std::pair{artists_, kArtistPrompt}, std::pair{categories_, kCategoryPrompt}}) {
        QLineEdit* edit = box->lineEdit();
        if ((watched != box && watched != edit) || edit->text() != prompt)
            continue;
        if (event->type() == QEvent::FocusIn) {
            edit->selectAll();
        } else if (watched == edit && (event->type() == QEvent::MouseButtonPress ||
                                       event->type() == QEvent::MouseButtonDblClick ||
                                       (event->type() == QEvent::MouseMove &&
                                        static_cast<QMouseEvent*>(event)->buttons()))) {
            // The press would put the cursor into the prompt and drop the selection.
            edit->setFocus(Qt::MouseFocusReason);
            edit->selectAll();
            return true;
        }
    }
    return ScanWindow::eventFilter(watched, event);
}

void TDriveScanFrm::Prepare(const std::vector<std::string>& categories,
                            const std::vector<std::pair<std::string, std::string>>& performers) {
    performers_ = performers;
    categories_->clear();
    for (const auto& name : categories)
        categories_->addItem(QString::fromStdString(name));
    categories_->setEditText(kCategoryPrompt);
    artists_->clear();
    for (const auto& [first, last] : performers)
        artists_->addItem(QString::fromStdString(JoinArtistText(first, last)));
    artists_->setEditText(kArtistPrompt);
    ignore_->setChecked(true);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    dirCount_->setText("0");
    fileCount_->setText("0");
    SetIdle(true);

    const QString current = drives_->currentText();
    drives_->clear();
    for (const auto& drive : driveLayer_.LocalDrives())
        drives_->addItem(QString::fromStdString(drive.root.string()));
    int keep = drives_->findText(current);
    previousDrive_ = keep >= 0 ? keep : 0;
    drives_->setCurrentIndex(previousDrive_);
    if (directory_.isEmpty() && drives_->count())
        SetDirectory(drives_->itemText(previousDrive_));
}

void TDriveScanFrm::SetIdle(bool idle) {
    scan_->setEnabled(idle);
    exit_->setEnabled(idle);
    ignore_->setEnabled(idle);
    addAnyway_->setEnabled(idle);
    searchStop_->setEnabled(!idle);
    importStop_->setEnabled(false);
}

void TDriveScanFrm::SetDirectory(const QString& directory) {
    directory_ = listed_ = QDir::cleanPath(directory);
    dirField_->setText(directory_);
    dirList_->clear();
    QDir dir(directory_);
    if (!dir.isRoot())
        dirList_->addItem("..");
    // Hidden folders are left out here as the search leaves them out.
    dirList_->addItems(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name));
}

void TDriveScanFrm::DirectoryActivated(QListWidgetItem* item) {
    SetDirectory(QDir(listed_).filePath(item->text()));
}

bool TDriveScanFrm::DriveReady(IHost& host, platform::IDrives& drives, const QString& root) {
    if (drives.IsReady(root.toStdString()))
        return true;
    host.Beep();
    auto answer = host.ShowMessage(root.toStdString() + ": is not ready.  Insert disk!",
                                   TMsgDlgType::mtWarning, 0, mbOK | mbCancel);
    return answer == TModalResult::mrOk && drives.IsReady(root.toStdString());
}

void TDriveScanFrm::DriveChange(int index) {
    const QString root = drives_->itemText(index);
    if (!DriveReady(host_, driveLayer_, root)) {
        drives_->setCurrentIndex(previousDrive_);
        return;
    }
    previousDrive_ = index;
    SetDirectory(root);
}

bool TDriveScanFrm::ReadChoices(Choices& choices) const {
    const std::string artist = artists_->currentText().toStdString();
    const std::string category = categories_->currentText().toStdString();
    int entry = artists_->findText(artists_->currentText(), Qt::MatchExactly);
    bool artistOk = artist != kArtistPrompt && (entry >= 0 || IsValidScanArtist(artist));
    bool categoryOk = category != kCategoryPrompt &&
                      (categories_->findText(categories_->currentText(), Qt::MatchExactly) >= 0 ||
                       IsValidScanCategory(category));
    if (!artistOk || !categoryOk)
        return false;
    if (entry >= 0) {
        // The performer as stored, not as the box spells it (its first name may have blanks).
        choices.firstName = performers_[static_cast<std::size_t>(entry)].first;
        choices.lastName = performers_[static_cast<std::size_t>(entry)].second;
    } else {
        SplitArtistText(artist, choices.firstName, choices.lastName);
    }
    choices.category = category;
    choices.directory = directory_.toStdString();
    choices.checkDuplicates = ignore_->isChecked();
    return true;
}

void TDriveScanFrm::ScanClick() {
    Choices choices;
    if (!ReadChoices(choices)) {
        host_.ShowMessage(kScanInvalidInfo, TMsgDlgType::mtInformation, 0, mbOK);
        return;
    }
    SetIdle(false);
    if (onScan)
        onScan(choices);
    Detach();
    accept();
}

void TDriveScanFrm::AttachSearch(MidiScanner& scanner) {
    scanner.onSearchCounts = [this](int directories, int files) {
        dirCount_->setText(QString::number(directories));
        fileCount_->setText(QString::number(files));
    };
}

} // namespace tunquil::ui

#include "ui/import/TScanStatus.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tunquil::ui {

namespace {

template <class W> W* Named(W* widget, const QString& name) {
    widget->setAccessibleName(name);
    return widget;
}

} // namespace

TScanStatus::TScanStatus(QWidget* parent) : ScanWindow(parent) {
    setWindowTitle("Scan system for MIDI files");
    setAccessibleName("Scan system for MIDI files");
    resize(480, 309);

    auto* scanning = new QGroupBox(" Scanning status ");
    auto* scanningGrid = new QGridLayout(scanning);
    total_ = Named(new QLabel("0"), "Total");
    list_ = Named(new QTableWidget(0, 5), "Drives");
    list_->setHorizontalHeaderLabels(
        {"Drive", "Type", "Action", "Directories scanned", "Files found"});
    list_->setShowGrid(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->verticalHeader()->hide();
    // Every heading readable: the columns take their texts' widths, the last the rest.
    list_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list_->horizontalHeader()->setStretchLastSection(true);
    searchStop_ = Named(new QPushButton("Stop"), "Stop searching");
    scanningGrid->addWidget(new QLabel("Found"), 0, 0);
    scanningGrid->addWidget(new QLabel("Total"), 0, 1);
    scanningGrid->addWidget(total_, 0, 2);
    scanningGrid->addWidget(searchStop_, 0, 3);
    scanningGrid->addWidget(list_, 1, 0, 1, 4);

    auto* importing = new QGroupBox(" Importing status ");
    auto* importingRow = new QHBoxLayout(importing);
    progress_ = Named(new QProgressBar, "Import progress");
    importStop_ = Named(new QPushButton("Stop"), "Stop importing");
    importingRow->addWidget(progress_, 1);
    importingRow->addWidget(importStop_);

    auto* exists = new QGroupBox(" If a MIDI file already exists in the database...  ");
    auto* existsColumn = new QVBoxLayout(exists);
    ignore_ = Named(new QRadioButton("Ignore it (recommended)"), "Ignore it (recommended)");
    addAnyway_ =
        Named(new QRadioButton("Add it to the database anyway"), "Add it to the database anyway");
    existsColumn->addWidget(ignore_);
    existsColumn->addWidget(addAnyway_);
    scan_ = Named(new QPushButton("&Scan system"), "Scan system");
    exit_ = Named(new QPushButton("&Exit"), "Exit");
    auto* panel = new QHBoxLayout;
    panel->addWidget(exists, 1);
    panel->addWidget(scan_);
    panel->addWidget(exit_);

    auto* column = new QVBoxLayout(this);
    column->addWidget(scanning, 1);
    column->addWidget(importing);
    column->addLayout(panel);

    connect(scan_, &QPushButton::clicked, this, [this] {
        SetIdle(false);
        if (onScan)
            onScan(ignore_->isChecked());
        Detach();
        accept();
    });
    connect(exit_, &QPushButton::clicked, this, &ScanWindow::reject);
    ConnectStopButtons();
    Prepare();
}

void TScanStatus::Prepare() {
    ignore_->setChecked(true);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    list_->setRowCount(0);
    total_->setText("0");
    SetIdle(true);
}

void TScanStatus::SetIdle(bool idle) {
    scan_->setEnabled(idle);
    exit_->setEnabled(idle);
    ignore_->setEnabled(idle);
    addAnyway_->setEnabled(idle);
    searchStop_->setEnabled(!idle);
    importStop_->setEnabled(false);
}

void TScanStatus::ShowRows(const std::vector<ScanDriveRow>& rows) {
    list_->setRowCount(static_cast<int>(rows.size()));
    int total = 0;
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const auto& row = rows[static_cast<std::size_t>(r)];
        const QString cells[] = {QString::fromStdString(row.drive),
                                 QString::fromStdString(row.type),
                                 QString::fromStdString(row.action),
                                 QString::number(row.directories), QString::number(row.files)};
        for (int c = 0; c < 5; ++c) {
            if (auto* item = list_->item(r, c))
                item->setText(cells[c]);
            else
                list_->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
        total += row.files;
    }
    total_->setText(QString::number(total));
}

void TScanStatus::AttachSearch(MidiScanner& scanner) {
    scanner.onDriveRows = [this](const std::vector<ScanDriveRow>& rows) { ShowRows(rows); };
}

} // namespace tunquil::ui

#include "ui/import/ScanWindow.h"

#include <QProgressBar>
#include <QPushButton>

namespace tunquil::ui {

void ScanWindow::ConnectStopButtons() {
    connect(searchStop_, &QPushButton::clicked, this, [this] {
        if (scanner_)
            scanner_->StopSearch();
        searchStop_->setEnabled(false);
        importStop_->setEnabled(true);
    });
    connect(importStop_, &QPushButton::clicked, this, &ScanWindow::reject);
}

void ScanWindow::Attach(MidiScanner& scanner) {
    scanner_ = &scanner;
    AttachSearch(scanner);
    scanner.onImportStart = [this](int total) {
        searchStop_->setEnabled(false);
        importStop_->setEnabled(true);
        progress_->setRange(0, total);
        progress_->setValue(0);
        progress_->setFormat(QStringLiteral("%v of %m")); // then what the import has done
    };
    scanner.onImportProgress = [this](int ordinal, int) { progress_->setValue(ordinal); };
    // The bar tells what the import has done so far.
    done_ = ScanOutcome{};
    scanner.onImported = [this](const std::string&, const std::string& status) {
        CountImport(done_, status);
        done_.found = progress_->maximum();
        progress_->setFormat(QStringLiteral("%v of %m: ") +
                             QString::fromStdString(ScanSummary(done_)));
    };
}

void ScanWindow::Detach() {
    if (!scanner_)
        return;
    scanner_->onSearchCounts = nullptr;
    scanner_->onDriveRows = nullptr;
    scanner_->onImportStart = nullptr;
    scanner_->onImportProgress = nullptr;
    scanner_->onImported = nullptr;
    scanner_ = nullptr;
    progress_->setFormat(QStringLiteral("%p%"));
    SetIdle(true);
}

void ScanWindow::reject() {
    if (scanner_)
        scanner_->StopImport();
    QDialog::reject();
}

} // namespace tunquil::ui

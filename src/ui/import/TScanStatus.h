#pragma once
// The system-scan window: every local drive is searched for "*.mid" files, each drive a row of
// its list, and what is found is filed under the day's "FullScan" category. A view over
// MidiScanner: the main window runs the scan (onScan) after Attach and keeps FullScanDone from
// the outcome; the window closes when the scan returns.

#include "import/MidiScanner.h"

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace tunquil::ui {

class TScanStatus : public QDialog {
    Q_OBJECT
public:
    explicit TScanStatus(QWidget* parent = nullptr);

    // What the window does on showing: the list emptied, total "0", options and buttons back to
    // their first state.
    void Prepare();
    // Runs the scan with the duplicate option once "&Scan system" is pressed.
    std::function<void(bool checkDuplicates)> onScan;
    void Attach(MidiScanner& scanner);
    void Detach();

    QTableWidget* DriveList() const { return list_; }
    QLabel* Total() const { return total_; }
    QRadioButton* IgnoreOption() const { return ignore_; }
    QRadioButton* AddOption() const { return addAnyway_; }
    QProgressBar* ImportProgress() const { return progress_; }
    QPushButton* SearchStopButton() const { return searchStop_; }
    QPushButton* ImportStopButton() const { return importStop_; }
    QPushButton* ScanButton() const { return scan_; }
    QPushButton* ExitButton() const { return exit_; }

public slots:
    void reject() override; // closing stops whatever runs

private:
    void ShowRows(const std::vector<ScanDriveRow>& rows);
    void SetIdle(bool idle);

    MidiScanner* scanner_ = nullptr;
    QTableWidget* list_;
    QLabel* total_;
    QRadioButton* ignore_;
    QRadioButton* addAnyway_;
    QProgressBar* progress_;
    QPushButton* searchStop_;
    QPushButton* importStop_;
    QPushButton* scan_;
    QPushButton* exit_;
};

} // namespace tunquil::ui

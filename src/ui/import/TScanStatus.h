#pragma once
// The system-scan window: every local drive is searched for "*.mid" files, each drive a row of
// its list, and what is found is filed under the day's "FullScan" category. A view over
// MidiScanner: the main window runs the scan (onScan) after Attach and keeps FullScanDone from
// the outcome; the window closes when the scan returns.

#include "import/MidiScanner.h"
#include "ui/import/ScanWindow.h"

#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace tunquil::ui {

class TScanStatus : public ScanWindow {
    Q_OBJECT
public:
    explicit TScanStatus(QWidget* parent = nullptr);

    // What the window does on showing: the list emptied, total "0", options and buttons back to
    // their first state.
    void Prepare();
    // Runs the scan with the duplicate option once "&Scan system" is pressed.
    std::function<void(bool checkDuplicates)> onScan;

    QTableWidget* DriveList() const { return list_; }
    QLabel* Total() const { return total_; }
    QRadioButton* IgnoreOption() const { return ignore_; }
    QRadioButton* AddOption() const { return addAnyway_; }

private:
    void ShowRows(const std::vector<ScanDriveRow>& rows);
    void AttachSearch(MidiScanner& scanner) override;
    void SetIdle(bool idle) override;

    QTableWidget* list_;
    QLabel* total_;
    QRadioButton* ignore_;
    QRadioButton* addAnyway_;
};

} // namespace tunquil::ui

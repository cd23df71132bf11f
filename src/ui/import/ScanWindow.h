#pragma once
// What the two scan windows share: the search's Stop button, which hands over to the import's,
// the bar that counts the files imported, the Scan and Exit buttons, and the scanner under way,
// whose reports reach the window from Attach until Detach.

#include "import/MidiScanner.h"

#include <QDialog>

class QProgressBar;
class QPushButton;

namespace tunquil::ui {

class ScanWindow : public QDialog {
    Q_OBJECT
public:
    explicit ScanWindow(QWidget* parent) : QDialog(parent) {}

    // The scan under way reports here and the Stop buttons reach it, until Detach.
    void Attach(MidiScanner& scanner);
    void Detach();

    QProgressBar* ImportProgress() const { return progress_; }
    QPushButton* SearchStopButton() const { return searchStop_; }
    QPushButton* ImportStopButton() const { return importStop_; }
    QPushButton* ScanButton() const { return scan_; }
    QPushButton* ExitButton() const { return exit_; }

public slots:
    void reject() override; // closing stops whatever runs

protected:
    // The search's own reports: the counts, or the drives' rows.
    virtual void AttachSearch(MidiScanner& scanner) = 0;
    virtual void SetIdle(bool idle) = 0;
    // Connects the Stop buttons, once the window has made them.
    void ConnectStopButtons();

    QProgressBar* progress_ = nullptr;
    QPushButton* searchStop_ = nullptr;
    QPushButton* importStop_ = nullptr;
    QPushButton* scan_ = nullptr;
    QPushButton* exit_ = nullptr;

private:
    MidiScanner* scanner_ = nullptr;
    ScanOutcome done_; // what the import has done so far
};

} // namespace tunquil::ui

#pragma once
// The progress window of a ZIP archive's import: one bar for the unpacking, one counting the
// files imported, and a Cancel that stops the import after the file being added, keeping what
// was added before it.

#include "base/Host.h"

#include <QDialog>
#include <functional>
#include <string>

class QGroupBox;
class QProgressBar;
class QPushButton;

namespace tunquil::ui {

class TArchiveForm : public QDialog {
    Q_OBJECT
public:
    explicit TArchiveForm(QWidget* parent = nullptr);

    // Shows the window modally for an archive of `count` entries and runs `work` once it is up,
    // with a host that feeds the bars and answers whether Cancel was pressed; the rest goes to
    // `outer`. Gives what `work` gives; the window closes when it returns.
    std::string Run(IHost& outer, int count, const std::function<std::string(IHost&)>& work);

    bool Cancelled() const { return cancelled_; }
    QProgressBar* ExtractBar() const { return extractBar_; }
    QProgressBar* ImportBar() const { return importBar_; }
    QPushButton* CancelButton() const { return cancel_; }

public slots:
    void reject() override; // Cancel, Escape and closing the window all cancel

private:
    class Host;
    void Show(int percent, const std::string& what);

    bool cancelled_ = false;
    int count_ = 0;
    QGroupBox* extractGroup_;
    QGroupBox* importGroup_;
    QProgressBar* extractBar_;
    QProgressBar* importBar_;
    QPushButton* cancel_;
};

} // namespace tunquil::ui

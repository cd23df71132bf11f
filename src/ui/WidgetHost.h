#pragma once
// The host of the desktop program: the core's messages, questions, progress and status reach
// the user through Qt dialogs and the main window's status bar.

#include "base/Host.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace tunquil::ui {

class WidgetHost : public IHost {
public:
    // `parent` owns the dialogs; the status label and progress bar may be null.
    explicit WidgetHost(QWidget* parent = nullptr) : parent_(parent) {}

    void SetParent(QWidget* parent) { parent_ = parent; }
    void SetStatusWidgets(QLabel* status, QProgressBar* progress);

    TModalResult ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                             TMsgDlgButtons buttons) override;
    bool InputText(const std::string& caption, const std::string& prompt,
                   std::string& text) override;
    void Progress(int percent, const std::string& what) override;
    void Status(const std::string& text) override;
    void SetBusy(bool busy) override;
    void ProcessEvents() override;
    void Beep() override;

private:
    QWidget* parent_;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    int busyDepth_ = 0;
};

} // namespace tunquil::ui

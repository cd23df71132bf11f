#pragma once
// A window that shows the progress of one piece of work and offers Cancel. The work runs from a
// short timer once the window is up, so the window is painted before the work starts, and the
// window closes itself when the work returns. The work reports through the window's host:
// progress goes to the window's bars, Cancel is the host's cancel request, and messages go to
// the owner's host. Escape cancels as Cancel does; the window never goes before its work.

#include "base/Host.h"

#include <QDialog>
#include <functional>

class QPushButton;
class QTimer;

namespace tunquil::ui {

class WorkProgressWindow : public QDialog {
    Q_OBJECT
public:
    bool Cancelled() const { return cancelled_; }

    QPushButton* CancelButton = nullptr;

protected:
    WorkProgressWindow(IHost& messages, QWidget* owner);
    // Runs `work` inside the window, shown modally over its owner.
    void RunWork(const std::function<void(IHost&)>& work);
    void reject() override;
    // Cancel, and Escape, only set the flag: the work notices it at its next step.
    virtual void CancelClicked();
    // The work's progress, as it reports it.
    virtual void ShowProgress(int percent, const std::string& what) = 0;
    // Before each message the work shows.
    virtual void BeforeMessage() {}
    // Once the work has started (the first event it processes).
    virtual void Running() {}

private:
    class Host : public IHost {
    public:
        Host(WorkProgressWindow& window, IHost& messages) : window_(window), messages_(messages) {}
        TModalResult ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                                 TMsgDlgButtons buttons) override {
            window_.BeforeMessage();
            return messages_.ShowMessage(text, type, helpContext, buttons);
        }
        bool InputText(const std::string& caption, const std::string& prompt,
                       std::string& text) override {
            return messages_.InputText(caption, prompt, text);
        }
        void Progress(int percent, const std::string& what) override {
            window_.ShowProgress(percent, what);
        }
        bool CancelRequested() override { return window_.cancelled_; }
        void SetBusy(bool busy) override { messages_.SetBusy(busy); }
        void ProcessEvents() override;
        void Beep() override { messages_.Beep(); }

    private:
        WorkProgressWindow& window_;
        IHost& messages_;
    };

    Host host_;
    QTimer* start_ = nullptr;
    std::function<void(IHost&)> work_;
    bool cancelled_ = false;
    bool running_ = false;
    bool told_ = false;
};

} // namespace tunquil::ui

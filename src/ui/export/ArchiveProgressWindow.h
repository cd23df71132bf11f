#pragma once
// The progress window of an archive operation: two framed bars and Cancel. The work runs from
// a short timer once the window is up, so the window is painted before the first file is
// touched; it closes itself when the work returns. The work reports through the window's host:
// progress under the first group's caption moves the first bar, anything else the second, and
// Cancel is the host's cancel request. Messages go to the owner's host.

#include "base/Host.h"

#include <QDialog>
#include <QString>
#include <functional>

class QGroupBox;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tunquil::ui {

class ArchiveProgressWindow : public QDialog {
    Q_OBJECT
public:
    // Runs `work` inside the window, shown modally over its owner.
    void Run(const QString& firstCaption, const QString& secondCaption,
             const std::function<void(IHost&)>& work);

    bool Cancelled() const { return cancelled_; }

    QGroupBox* FirstGroup = nullptr;
    QGroupBox* SecondGroup = nullptr;
    QProgressBar* FirstBar = nullptr;
    QProgressBar* SecondBar = nullptr;
    QPushButton* CancelButton = nullptr;

    // Called once the window is up and the work has started (the first event it processes);
    // tests press Cancel or look at the window from here.
    std::function<void(ArchiveProgressWindow&)> OnRunning;

protected:
    ArchiveProgressWindow(IHost& messages, QWidget* owner, const QString& caption, int width,
                          int height);
    void reject() override;
    // Cancel, and Escape, only set the flag: the work notices it at its next step.
    virtual void CancelClicked();

private:
    class Host : public IHost {
    public:
        Host(ArchiveProgressWindow& window, IHost& messages)
            : window_(window), messages_(messages) {}
        TModalResult ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                                 TMsgDlgButtons buttons) override;
        bool InputText(const std::string& caption, const std::string& prompt,
                       std::string& text) override;
        void Progress(int percent, const std::string& what) override;
        bool CancelRequested() override { return window_.cancelled_; }
        void SetBusy(bool busy) override { messages_.SetBusy(busy); }
        void ProcessEvents() override;
        void Beep() override { messages_.Beep(); }

    private:
        ArchiveProgressWindow& window_;
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

#pragma once
// The progress window of an audio export: the title being rendered, a bar, the count and the
// time left, and Cancel. The work runs from a short timer once the window is up and reports
// through the window's host; Cancel is the host's cancel request, and the window closes itself
// when the work returns. Messages go to the owner's host.

#include "base/Host.h"

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tunquil::ui {

class AudioExportProgressWindow : public QDialog {
public:
    AudioExportProgressWindow(IHost& messages, QWidget* owner);

    // Runs `work` inside the window, shown modally over its owner.
    void Run(const std::function<void(IHost&)>& work);
    bool Cancelled() const { return cancelled_; }

    QLabel* TitleLabel = nullptr; // the title being rendered and the count
    QProgressBar* Bar = nullptr;
    QPushButton* CancelButton = nullptr;

    // Called once the work has started (the first event it processes); tests press Cancel or
    // look at the window from here.
    std::function<void(AudioExportProgressWindow&)> OnRunning;

protected:
    void reject() override;

private:
    void CancelClicked();

    class Host : public IHost {
    public:
        Host(AudioExportProgressWindow& window, IHost& messages)
            : window_(window), messages_(messages) {}
        TModalResult ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                                 TMsgDlgButtons buttons) override {
            return messages_.ShowMessage(text, type, helpContext, buttons);
        }
        bool InputText(const std::string& caption, const std::string& prompt,
                       std::string& text) override {
            return messages_.InputText(caption, prompt, text);
        }
        void Progress(int percent, const std::string& what) override;
        bool CancelRequested() override { return window_.cancelled_; }
        void SetBusy(bool busy) override { messages_.SetBusy(busy); }
        void ProcessEvents() override;
        void Beep() override { messages_.Beep(); }

    private:
        AudioExportProgressWindow& window_;
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

#pragma once
// The host of the desktop program: the core's messages, questions, progress and status reach
// the user through Qt dialogs and the main window's status bar.

#include "base/Host.h"
#include "ui/controls/TMessageDialog.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>

class QLabel;
class QProgressBar;
class QWidget;

namespace tunquil::ui {

class TUnMIDIFrm;

class WidgetHost : public IHost {
public:
    // `parent` owns the dialogs; the status label and progress bar may be null.
    explicit WidgetHost(QWidget* parent = nullptr);
    ~WidgetHost() override;

    void SetParent(QWidget* parent);
    void SetStatusWidgets(QLabel* status, QProgressBar* progress);

    TModalResult ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                             TMsgDlgButtons buttons) override;
    bool InputText(const std::string& caption, const std::string& prompt,
                   std::string& text) override;
    bool InputSecret(const std::string& caption, const std::string& prompt,
                     std::string& text) override;
    void Progress(int percent, const std::string& what) override;
    void Status(const std::string& text) override;
    void SetBusy(bool busy) override;
    void ProcessEvents() override;
    // The device notice: the device's message of what failed, or the standard advice when it
    // gave none.
    void ShowDeviceUnavailable(const std::string& deviceMessage) override;
    void Beep() override;
    // The play program's 100 ms position timer; each tick calls `tick`.
    void PositionTimer(bool running) override;
    void SetPositionTick(std::function<void()> tick) { positionTick_ = std::move(tick); }
    bool PositionTimerRunning() const { return positionTimer_.isActive(); }

    // The message box behind ShowMessage (the main window's MD1), for its other properties.
    TMessageDialog& MessageDialog() { return md1_; }
    // The notice window, made on first use.
    TUnMIDIFrm& DeviceNotice();

private:
    bool Ask(const std::string& caption, const std::string& prompt, std::string& text, bool secret);
    QWidget* parent_;
    TMessageDialog md1_;
    QPointer<TUnMIDIFrm> deviceNotice_;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    int busyDepth_ = 0;
    QTimer positionTimer_;
    std::function<void()> positionTick_;
};

} // namespace tunquil::ui

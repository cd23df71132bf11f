#include "ui/WidgetHost.h"

#include "ui/controls/TInputDialog.h"
#include "ui/controls/TUnMIDIFrm.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>

namespace tunquil::ui {

WidgetHost::WidgetHost(QWidget* parent) : parent_(parent), md1_(parent) {
    positionTimer_.setInterval(100);
    QObject::connect(&positionTimer_, &QTimer::timeout, [this] {
        if (positionTick_)
            positionTick_();
    });
}

void WidgetHost::PositionTimer(bool running) {
    if (running)
        positionTimer_.start();
    else
        positionTimer_.stop();
}

WidgetHost::~WidgetHost() {
    // The notice belongs to the host, whichever window it hangs on.
    delete deviceNotice_;
}

void WidgetHost::SetParent(QWidget* parent) {
    parent_ = parent;
    md1_.SetOwner(parent);
}

void WidgetHost::SetStatusWidgets(QLabel* status, QProgressBar* progress) {
    status_ = status;
    progress_ = progress;
}

TModalResult WidgetHost::ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                                     TMsgDlgButtons buttons) {
    md1_.Text = QString::fromStdString(text);
    md1_.Buttons = buttons;
    md1_.MsgType = type;
    md1_.HelpContext = helpContext;
    return md1_.Execute();
}

bool WidgetHost::InputText(const std::string& caption, const std::string& prompt,
                           std::string& text) {
    return Ask(caption, prompt, text, false);
}

bool WidgetHost::InputSecret(const std::string& caption, const std::string& prompt,
                             std::string& text) {
    return Ask(caption, prompt, text, true);
}

bool WidgetHost::Ask(const std::string& caption, const std::string& prompt, std::string& text,
                     bool secret) {
    TInputDialog input(parent_);
    input.Secret = secret;
    input.Caption = QString::fromStdString(caption);
    input.Text = QString::fromStdString(text);
    if (!input.Execute(QString::fromStdString(prompt)))
        return false;
    text = input.Text.toStdString();
    return true;
}

void WidgetHost::Progress(int percent, const std::string& what) {
    (void)what;
    if (!progress_)
        return;
    progress_->setRange(0, 100);
    progress_->setValue(percent);
    progress_->setVisible(percent > 0);
}

void WidgetHost::Status(const std::string& text) {
    if (status_)
        status_->setText(QString::fromStdString(text));
}

void WidgetHost::SetBusy(bool busy) {
    if (busy) {
        if (busyDepth_++ == 0)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busyDepth_ > 0 && --busyDepth_ == 0) {
        QApplication::restoreOverrideCursor();
    }
}

void WidgetHost::ProcessEvents() {
    QCoreApplication::processEvents();
}

void WidgetHost::Beep() {
    QApplication::beep();
}

} // namespace tunquil::ui

namespace tunquil::ui {

TUnMIDIFrm& WidgetHost::DeviceNotice() {
    if (!deviceNotice_)
        deviceNotice_ = new TUnMIDIFrm(parent_);
    return *deviceNotice_;
}

void WidgetHost::ShowDeviceUnavailable(const std::string& deviceMessage) {
    QStringList lines;
    for (const std::string& line : DeviceUnavailableNotice::Lines(deviceMessage))
        lines << QString::fromStdString(line);
    DeviceNotice().ShowWithMessage(lines.join('\n'));
}

} // namespace tunquil::ui

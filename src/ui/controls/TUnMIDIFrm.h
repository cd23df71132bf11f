#pragma once
// The notice that the sound device cannot be used: by default the text telling the user that
// another player holds the MIDI device, or a given message (a missing sound server or SoundFont).
// After "&Close" it stays away for a short quiet period, so a program of failing titles does not
// bring it back at every step.

#include "app/DeviceUnavailableNotice.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace tunquil::ui {

class TUnMIDIFrm : public QDialog {
    Q_OBJECT
public:
    explicit TUnMIDIFrm(QWidget* parent = nullptr);

    // Shows the standard text; does nothing during the quiet period. Placed centred over the
    // parent when not already visible, then raised and activated. Returns whether it is shown.
    bool ShowNotice();
    // The same with `message` in place of the standard text.
    bool ShowWithMessage(const QString& message);

    static QString DefaultText();
    QString Text() const;
    QPushButton* CloseButton() const { return close_; }
    bool Quiet() const { return !notice_.MayShow(); }

protected:
    bool event(QEvent* event) override;

private:
    tunquil::DeviceUnavailableNotice notice_;
    QPlainTextEdit* text_;
    QPushButton* close_;
};

} // namespace tunquil::ui

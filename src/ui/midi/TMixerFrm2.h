#pragma once
// "Tunquil sound control": the synthesizer's and the speakers' volume, balance and mute, and
// treble and bass where the mixer has them. A view over MixerPanel: it moves its controls to
// the panel's states and hands the user's moves back. Change notices arrive on the mixer's own
// thread and are posted to this window's thread.

#include "midi/MixerPanel.h"
#include "midi/TMidiMixer.h"

#include <QDialog>
#include <functional>

class QSlider;
class QPushButton;
class QGroupBox;

namespace tunquil::ui {

class TMixerFrm2 : public QDialog {
    Q_OBJECT
public:
    explicit TMixerFrm2(platform::IMixerDevice& device, QWidget* parent = nullptr);
    ~TMixerFrm2() override;

    // Activates the mixer, places the controls and shows the window in front. On a failure the
    // window stays closed, remembers it (ReadFailed) and gives the message in `error`; the
    // caller then falls back to the desktop's volume control.
    bool ShowMixer(QString* error = nullptr);
    bool ReadFailed() const { return readFailed_; }

    // Errors while the user moves a control or while a notice is read; a message box unless
    // a test replaces it.
    std::function<void(const QString&)> onError;

    TMidiMixer& Mixer() { return mixer_; }

    QSlider *tbLeftVolume, *tbRightVolume, *tbVolume, *tbPan;
    QPushButton* btnMute;
    QSlider *tbLeftGVolume, *tbRightGVolume, *tbGVolume, *tbGPan;
    QPushButton* btnGMute;
    QSlider *tbTreble, *tbBass;

private:
    struct Line {
        QSlider *left, *right, *volume, *pan;
        QPushButton* mute;
    };
    QGroupBox* MakeGroup(const QString& title, const QString& name, Line& line);
    void Wire(const Line& line, MixerGroup group);
    void Apply(const MixerView& view);
    void ApplyLine(const Line& line, const MixerLineView& view);
    void Guarded(const std::function<void()>& action);

    TMidiMixer mixer_;
    MixerPanel panel_;
    bool readFailed_ = false;
};

// The "Volume + Balance" button: shows the window, or, when it cannot be used, starts the
// desktop's volume control program. Returns the message for the user when neither works
// (empty when one of them is shown).
QString ShowMixerOrFallback(TMixerFrm2& window);

} // namespace tunquil::ui

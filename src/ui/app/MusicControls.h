#pragma once
// The main window's top area: the now-playing panel, the position bar, the add buttons and the
// music controls, and the two toggles of the music toolbar. The sound part wires them.

#include "ui/midi/SoundCommands.h"

#include <QFrame>
#include <functional>

namespace tunquil::ui {

class TDropButton;

class MusicControls : public QFrame {
public:
    // `scale` turns the pixel sizes, given at 96 dots per inch, into the screen's.
    MusicControls(double scale, QWidget* parent);

    const TransportControls& Controls() const { return controls_; }
    TDropButton* AddButton() const { return play_; }
    TDropButton* AddPlayButton() const { return playReplace_; }
    // A click on either toggle.
    std::function<void()> onToggleToolbar;
    // The toggles' arrows and hints as the music toolbar is shown or hidden.
    void ShowToolbarState(bool toolbarShown);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int Px(int pixels) const;

    double scale_;
    TransportControls controls_;
    TDropButton *playReplace_ = nullptr, *play_ = nullptr;
    QFrame* displayFrame_ = nullptr;
    std::vector<QFrame*> controlFrames_; // view ... volume, in toolbar order
    QToolButton *leftToggle_ = nullptr, *rightToggle_ = nullptr;
    QFrame *leftToggleFrame_ = nullptr, *rightToggleFrame_ = nullptr;
};

} // namespace tunquil::ui

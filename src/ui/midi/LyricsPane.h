#pragma once
// The words of the playing title, for singing along: the current line large with its sung part
// lit, the next line below it, or a short note when there is nothing to sing. A window of its
// own beside the main window, asking the play program what to show while it is visible.

#include "app/LyricsDisplay.h"

#include <QDialog>
#include <functional>

class QLabel;
class QTimer;

namespace tunquil::ui {

// A dialog, not a bare widget, so that desktops and screen readers take it for a window.
class LyricsPane : public QDialog {
    Q_OBJECT
public:
    // `now` tells what to show at this moment (the play program's LyricsNow).
    explicit LyricsPane(std::function<LyricsDisplay()> now, QWidget* parent = nullptr);

    // Asks `now` and shows its answer; the timer calls it while the pane is visible.
    void Refresh();
    const LyricsDisplay& Shown() const { return shown_; }

    // Short enough that a syllable lights up well within the time it is sung, and cheap, as
    // the labels change only when the words do.
    static constexpr int kIntervalMs = 15;

    QLabel *noteLabel, *currentLabel, *nextLabel;
    // Called when the user closes the window (also with Esc), so the menu's check mark can
    // follow.
    std::function<void()> onClosed;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Render();

    std::function<LyricsDisplay()> now_;
    QTimer* timer_;
    LyricsDisplay shown_;
    bool rendered_ = false;
};

} // namespace tunquil::ui

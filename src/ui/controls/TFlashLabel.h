#pragma once
// A label of the now-playing panel that blinks for a few seconds when its text changes, so the
// eye catches a new title or state without reading the whole panel.

#include <QColor>
#include <QLabel>

class QTimer;

namespace tunquil::ui {

class TFlashLabel : public QLabel {
    Q_OBJECT
public:
    explicit TFlashLabel(QWidget* parent = nullptr);

    // How long a blink lasts and its period, in milliseconds; an interval of 0 means 350.
    int Duration() const { return duration_; }
    void SetDuration(int milliseconds) { duration_ = milliseconds; }
    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    // The text colour at rest (and the first blink colour) and the other blink colour.
    QColor OnColor() const { return onColor_; }
    void SetOnColor(const QColor& color);
    QColor OffColor() const { return offColor_; }
    void SetOffColor(const QColor& color) { offColor_ = color; }
    // Whether a change of text starts a blink.
    bool CanFlash() const { return canFlash_; }
    void SetCanFlash(bool canFlash) { canFlash_ = canFlash; }

    // Takes `text` when it differs from what is shown, blinking if CanFlash; equal text changes
    // nothing (so the panel's fills ten times a second never restart a blink).
    void SetTextFlashing(const QString& text);

    bool Flashing() const;
    // The colour the text is painted in right now.
    QColor FontColor() const { return fontColor_; }
    // One tick of the blink timer (public so that a blink can be stepped without waiting).
    void FlashTick();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void StartFlash();
    void SetFontColor(const QColor& color);

    int duration_ = 3500;
    int interval_ = 350;
    QColor onColor_{0, 255, 0};
    QColor offColor_{Qt::black};
    bool canFlash_ = false;
    QColor fontColor_{0, 255, 0};
    QTimer* timer_;
    int ticks_ = 0;
    int tickLimit_ = 0;
};

} // namespace tunquil::ui

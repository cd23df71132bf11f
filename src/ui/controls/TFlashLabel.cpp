#include "ui/controls/TFlashLabel.h"

#include <QAccessible>
#include <QPainter>
#include <QTimer>

namespace tunquil::ui {

namespace {
constexpr int kDefaultInterval = 350;
}

TFlashLabel::TFlashLabel(QWidget* parent) : QLabel(parent), timer_(new QTimer(this)) {
    QFont f = font();
    f.setPointSize(10);
    setFont(f);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, fontColor_);
    setPalette(p);
    timer_->setInterval(interval_);
    connect(timer_, &QTimer::timeout, this, &TFlashLabel::FlashTick);
}

void TFlashLabel::SetInterval(int milliseconds) {
    interval_ = milliseconds == 0 ? kDefaultInterval : milliseconds;
    timer_->setInterval(interval_);
}

void TFlashLabel::SetOnColor(const QColor& color) {
    onColor_ = color;
    if (!Flashing())
        SetFontColor(color);
}

void TFlashLabel::SetTextFlashing(const QString& text) {
    if (text == this->text())
        return;
    setText(text);
    // Screen readers and the end-to-end tests follow the panel through the label's name.
    if (accessibleName().isEmpty()) {
        QAccessibleEvent changed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
    if (canFlash_)
        StartFlash();
}

bool TFlashLabel::Flashing() const {
    return timer_->isActive();
}

void TFlashLabel::StartFlash() {
    SetFontColor(onColor_);
    ticks_ = 0;
    tickLimit_ = duration_ / interval_;
    timer_->start();
}

void TFlashLabel::FlashTick() {
    SetFontColor(fontColor_ == onColor_ ? offColor_ : onColor_);
    if (++ticks_ > tickLimit_) {
        timer_->stop();
        SetFontColor(onColor_);
        ticks_ = 0;
    }
}

void TFlashLabel::SetFontColor(const QColor& color) {
    if (fontColor_ == color)
        return;
    fontColor_ = color;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
    update();
}

void TFlashLabel::paintEvent(QPaintEvent*) {
    // A long title is cut with "..." rather than running under the items beside it.
    QPainter painter(this);
    painter.setPen(fontColor_);
    painter.setFont(font());
    QRect area = contentsRect();
    painter.drawText(area, static_cast<int>(alignment()),
                     fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
}

} // namespace tunquil::ui

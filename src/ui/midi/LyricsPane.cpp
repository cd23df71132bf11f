#include "ui/midi/LyricsPane.h"

#include <QHideEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace tunquil::ui {

namespace {

QLabel* LineLabel(double scale, bool bold) {
    auto* label = new QLabel;
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(bold);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

LyricsPane::LyricsPane(std::function<LyricsDisplay()> now, QWidget* parent)
    : QDialog(parent, Qt::Window), now_(std::move(now)), timer_(new QTimer(this)) {
    setObjectName("LyricsPane");
    setWindowTitle("Lyrics");
    setAccessibleName("Lyrics");
    resize(560, 200);

    noteLabel = LineLabel(1.0, false);
    currentLabel = LineLabel(2.0, true);
    // The lit part is drawn with markup; the label's accessible name keeps the plain line.
    currentLabel->setTextFormat(Qt::RichText);
    nextLabel = LineLabel(1.4, false);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(noteLabel);
    layout->addWidget(currentLabel);
    layout->addWidget(nextLabel);
    layout->addStretch();

    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(kIntervalMs);
    connect(timer_, &QTimer::timeout, this, &LyricsPane::Refresh);
}

void LyricsPane::Refresh() {
    LyricsDisplay now = now_ ? now_() : LyricsDisplay{kNothingPlayingNote};
    if (rendered_ && now == shown_)
        return;
    shown_ = std::move(now);
    rendered_ = true;
    Render();
}

void LyricsPane::Render() {
    const bool note = !shown_.note.empty();
    noteLabel->setVisible(note);
    currentLabel->setVisible(!note);
    nextLabel->setVisible(!note);
    noteLabel->setText(QString::fromStdString(shown_.note));
    noteLabel->setAccessibleName(noteLabel->text());

    const QString sung = QString::fromStdString(shown_.sung).toHtmlEscaped();
    const QString unsung = QString::fromStdString(shown_.unsung).toHtmlEscaped();
    const QString lit = palette().color(QPalette::Highlight).name();
    currentLabel->setText(
        sung.isEmpty() ? unsung
                       : QString("<span style=\"color:%1\">%2</span>%3").arg(lit, sung, unsung));
    // Only a new line is news to a screen reader, not each syllable lit in it.
    const QString line = QString::fromStdString(shown_.Line());
    if (currentLabel->accessibleName() != line)
        currentLabel->setAccessibleName(line);
    nextLabel->setText(QString::fromStdString(shown_.next));
    nextLabel->setAccessibleName(nextLabel->text());
}

void LyricsPane::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Refresh();
    timer_->start();
}

void LyricsPane::hideEvent(QHideEvent* event) {
    timer_->stop();
    QDialog::hideEvent(event);
    // A window minimized with the main window is still open.
    if (!event->spontaneous() && onClosed)
        onClosed();
}

} // namespace tunquil::ui

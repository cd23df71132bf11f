#include "ui/controls/TUnMIDIFrm.h"

#include "ui/controls/TMessageDialog.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

namespace tunquil::ui {

TUnMIDIFrm::TUnMIDIFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      text_(new QPlainTextEdit(this)), close_(new QPushButton("&Close", this)) {
    setWindowTitle(QString::fromUtf8(DeviceUnavailableNotice::Caption()));
    setAccessibleName(windowTitle());
    text_->setReadOnly(true);
    text_->setAccessibleName("Notice");
    text_->setPlainText(DefaultText());
    QFont bold = close_->font();
    bold.setBold(true);
    close_->setFont(bold);
    close_->setDefault(true);
    connect(close_, &QPushButton::clicked, this, [this] {
        notice_.Closed();
        hide();
    });

    // Wide and tall enough for the standard text without scrolling; a longer message wraps.
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFontMetrics metrics = text_->fontMetrics();
    int widest = 0;
    for (const std::string& line : DeviceUnavailableNotice::Lines())
        widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(line)));
    int lines = static_cast<int>(DeviceUnavailableNotice::Lines().size());
    int margins =
        2 * (static_cast<int>(text_->document()->documentMargin()) + text_->frameWidth()) +
        style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    text_->setMinimumSize(widest + margins, (lines + 1) * metrics.lineSpacing() + margins);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(close_);
    row->addStretch(1);
    layout->addLayout(row);
}

QString TUnMIDIFrm::DefaultText() {
    QStringList lines;
    for (const std::string& line : DeviceUnavailableNotice::Lines())
        lines << QString::fromStdString(line);
    return lines.join('\n');
}

QString TUnMIDIFrm::Text() const {
    return text_->toPlainText();
}

bool TUnMIDIFrm::ShowNotice() {
    return ShowWithMessage(DefaultText());
}

bool TUnMIDIFrm::ShowWithMessage(const QString& message) {
    if (!notice_.MayShow())
        return false;
    text_->setPlainText(message);
    if (!isVisible())
        dialog::CentreOverOwner(this, parentWidget());
    show();
    raise();
    activateWindow();
    close_->setFocus();
    return true;
}

bool TUnMIDIFrm::event(QEvent* event) {
    // A notice, not a question: it goes away as soon as the user turns to another window.
    if (event->type() == QEvent::WindowDeactivate && isVisible())
        hide();
    return QDialog::event(event);
}

} // namespace tunquil::ui

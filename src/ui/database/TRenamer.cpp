#include "ui/database/TRenamer.h"

#include "ui/controls/TMessageDialog.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tunquil::ui {

namespace {
// The width the title bar takes beside its caption (icon, buttons, padding) at 96 dpi.
constexpr int kTitleBarButtons = 140;
} // namespace

TRenamer::TRenamer(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      edit_(new QLineEdit(this)), ok_(new QPushButton("OK", this)),
      cancel_(new QPushButton("Cancel", this)) {
    setObjectName("TRenamer");
    setWindowTitle("Rename \"Album\"");
    setAccessibleName(windowTitle());
    edit_->setObjectName("RenameEdit");
    edit_->setAccessibleName("New name");
    edit_->setToolTip("First character of new album name must be alpha-numeric");
    edit_->setMinimumWidth(220 * logicalDpiX() / 96);
    edit_->installEventFilter(this);
    ok_->setObjectName("RenameOK");
    ok_->setAccessibleName("OK");
    cancel_->setObjectName("RenameCancel");
    cancel_->setAccessibleName("Cancel");
    // Enter anywhere in the box acts as OK, and OK decides itself whether the box closes.
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    cancel_->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, &TRenamer::OkClicked);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    // Escape cancels as the button does.
    connect(this, &QDialog::rejected, this, [this] {
        touched_ = false;
        result_.clear();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_, 0, Qt::AlignHCenter);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TRenamer::Execute(const QString& caption, const QString& text, const QString& hint) {
    result_.clear();
    setWindowTitle(caption);
    setAccessibleName(caption);
    edit_->setText(text);
    edit_->setToolTip(hint);
    edit_->setAccessibleDescription(hint);
    // The box is only as wide as its field; the window manager would cut a caption wider
    // than that ("Enter new…um name"). Room for the caption in a bold title font, with the
    // title bar's icon and buttons beside it.
    QFont bold = font();
    bold.setBold(true);
    const int dpi = logicalDpiX();
    const int margins = layout()->contentsMargins().left() + layout()->contentsMargins().right();
    edit_->setMinimumWidth(std::max(220 * dpi / 96, QFontMetrics(bold).horizontalAdvance(caption) +
                                                        kTitleBarButtons * dpi / 96 - margins));
    // The box takes its fixed size from its layout only when shown: place it by that size.
    layout()->activate();
    const QSize size = sizeHint();
    if (QWidget* owner = parentWidget()) {
        QRect frame = owner->window()->frameGeometry();
        move(frame.center() - QPoint(size.width() / 2, size.height() / 2));
    }
    exec();
    return result_;
}

void TRenamer::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    edit_->setFocus(Qt::OtherFocusReason);
    edit_->selectAll();
    // A window system that refuses the focus to an inactive box still counts: the field is
    // the only place to type.
    touched_ = true;
}

bool TRenamer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::FocusIn)
        touched_ = true;
    return QDialog::eventFilter(watched, event);
}

void TRenamer::OkClicked() {
    const QString text = edit_->text();
    if (text.contains('&')) {
        QApplication::beep();
        edit_->setText("\"&\" not allowed!  Please retry...");
        edit_->setFocus();
        edit_->selectAll();
        return;
    }
    const QString name = text.trimmed();
    if (!touched_ || name.isEmpty())
        return;
    result_ = name;
    accept();
}

} // namespace tunquil::ui

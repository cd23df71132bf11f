#include "ui/controls/TInputDialog.h"

#include "ui/controls/THelpWindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace tunquil::ui {

TInputBox::TInputBox(const QString& caption, const QString& prompt, const QString& text,
                     QWidget* owner)
    : QDialog(owner), prompt_(new QLabel(prompt, this)), edit_(new QLineEdit(text, this)) {
    const QString title = caption.isEmpty() ? QStringLiteral("Input") : caption;
    setWindowTitle(title);
    setAccessibleName(title);
    prompt_->setTextFormat(Qt::PlainText);
    prompt_->setWordWrap(true);
    prompt_->setBuddy(edit_);
    edit_->setAccessibleName(prompt.isEmpty() ? title : prompt);
    edit_->selectAll();

    auto scaled = [this](int pixels) { return pixels * logicalDpiX() / 96; };
    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton("Cancel", this);
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSize(8);
    for (QPushButton* button : {ok, cancel}) {
        button->setFont(bold);
        button->setMinimumSize(scaled(77), scaled(27));
    }
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // Prompt, edit field 7 pixels below it, buttons 8 below that, 8 more to the bottom edge.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(scaled(8), scaled(12), scaled(7), scaled(8));
    layout->setSpacing(0);
    layout->addWidget(prompt_);
    layout->addSpacing(scaled(7));
    layout->addWidget(edit_);
    layout->addSpacing(scaled(8));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addSpacing(scaled(7));
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    edit_->setMinimumWidth(scaled(257));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::unique_ptr<TInputBox> TInputDialog::BuildBox(const QString& prompt) const {
    auto box = std::make_unique<TInputBox>(Caption, dialog::ExpandSeparators(prompt, LineSeparator),
                                           Text, owner_);
    if (Secret)
        box->Edit()->setEchoMode(QLineEdit::Password);
    if (HelpContext > 0) {
        int context = HelpContext;
        TInputBox* raw = box.get();
        QObject::connect(new QShortcut(QKeySequence::HelpContents, raw), &QShortcut::activated, raw,
                         [raw, context] { THelpWindow::ShowTopic(context, raw); });
    }
    if (dialog::StaysOnTop(StayOnTop, owner_))
        box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // First centred on the screen, then moved where the properties say.
    dialog::CentreOnScreen(box.get(), owner_);
    if (Position == TMsgDlgPosition::poDesigned && PositionLeft != -1 && PositionTop != -1)
        box->move(PositionLeft, PositionTop);
    else if (Position == TMsgDlgPosition::poParentCenter)
        dialog::CentreOverOwner(box.get(), owner_);
    return box;
}

bool TInputDialog::Execute() {
    return Execute(Prompt);
}

bool TInputDialog::Execute(const QString& prompt) {
    std::unique_ptr<TInputBox> box = BuildBox(prompt);
    dialog::ExecuteScope scope(Cursor, [this] {
        box_ = nullptr;
        if (OnClose)
            OnClose();
    });
    box_ = box.get();
    dialog::Beep(MsgBeep, WaveFile);
    if (OnShow)
        OnShow();
    if (box->exec() != QDialog::Accepted)
        return false;
    Text = box->Edit()->text();
    return true;
}

} // namespace tunquil::ui

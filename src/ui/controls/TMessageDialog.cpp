#include "ui/controls/TMessageDialog.h"

#include "ui/controls/THelpWindow.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace tunquil::ui {

namespace {

struct ButtonKind {
    TMsgDlgBtn flag;
    QDialogButtonBox::StandardButton standard;
    TModalResult result;
};

const ButtonKind kButtons[] = {
    {mbYes, QDialogButtonBox::Yes, TModalResult::mrYes},
    {mbNo, QDialogButtonBox::No, TModalResult::mrNo},
    {mbOK, QDialogButtonBox::Ok, TModalResult::mrOk},
    {mbCancel, QDialogButtonBox::Cancel, TModalResult::mrCancel},
    {mbAbort, QDialogButtonBox::Abort, TModalResult::mrAbort},
    {mbRetry, QDialogButtonBox::Retry, TModalResult::mrRetry},
    {mbIgnore, QDialogButtonBox::Ignore, TModalResult::mrIgnore},
    {mbAll, QDialogButtonBox::YesToAll, TModalResult::mrAll},
    {mbHelp, QDialogButtonBox::Help, TModalResult::mrNone},
};

QStyle::StandardPixmap IconOf(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::mtWarning:
        return QStyle::SP_MessageBoxWarning;
    case TMsgDlgType::mtError:
        return QStyle::SP_MessageBoxCritical;
    case TMsgDlgType::mtInformation:
        return QStyle::SP_MessageBoxInformation;
    case TMsgDlgType::mtConfirmation:
        return QStyle::SP_MessageBoxQuestion;
    case TMsgDlgType::mtCustom:
        break;
    }
    return QStyle::SP_CustomBase;
}

} // namespace

namespace dialog {

QString ExpandSeparators(const QString& text, const QString& separator) {
    if (separator.isEmpty())
        return text;
    QString expanded = text;
    return expanded.replace(separator, QStringLiteral("\n"));
}

void CentreOnScreen(QWidget* box, QWidget* owner) {
    box->adjustSize();
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect area = screen->availableGeometry();
    QRect frame = box->frameGeometry();
    frame.moveCenter(area.center());
    box->move(frame.topLeft());
}

void CentreOverOwner(QWidget* box, QWidget* owner) {
    QWidget* window = owner ? owner->window() : nullptr;
    if (!window || !window->isVisible() || window->isMinimized()) {
        CentreOnScreen(box, owner);
        return;
    }
    box->adjustSize();
    QRect frame = box->frameGeometry();
    frame.moveCenter(window->frameGeometry().center());
    if (QScreen* screen = window->screen()) {
        QRect area = screen->availableGeometry();
        // Right and bottom first, so that a box larger than the screen keeps its top-left corner
        // (and its title bar) on the screen.
        if (frame.right() > area.right())
            frame.moveRight(area.right());
        if (frame.bottom() > area.bottom())
            frame.moveBottom(area.bottom());
        if (frame.left() < area.left())
            frame.moveLeft(area.left());
        if (frame.top() < area.top())
            frame.moveTop(area.top());
    }
    box->move(frame.topLeft());
}

void Beep(TMsgDlgBeepType beep, const QString& waveFile) {
    // The desktop offers one beep; every kind sounds it (a wave file only when one is named).
    if (beep != TMsgDlgBeepType::mbNone &&
        (beep != TMsgDlgBeepType::mbWaveFile || !waveFile.isEmpty()))
        QApplication::beep();
}

ExecuteScope::ExecuteScope(const std::optional<Qt::CursorShape>& cursor,
                           std::function<void()> onClose)
    : cursor_(cursor.has_value()), onClose_(std::move(onClose)) {
    if (cursor_)
        QApplication::setOverrideCursor(*cursor);
}

ExecuteScope::~ExecuteScope() {
    if (cursor_)
        QApplication::restoreOverrideCursor();
    if (onClose_)
        onClose_();
}

bool StaysOnTop(TMsgDlgStayOnTop stayOnTop, QWidget* owner) {
    if (stayOnTop == TMsgDlgStayOnTop::stAlways ||
        (owner && owner->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint)))
        return true;
    // A box must not open under a window of the program that stays on top of the others (a
    // progress window, the print settings): it then stays on top too, and opens above it. The
    // splash is not counted: it closes as a box opens.
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget* w) {
        return w->isVisible() && w->windowFlags().testFlag(Qt::WindowStaysOnTopHint) &&
               w->windowType() != Qt::SplashScreen;
    });
}

} // namespace dialog

TMessageBox::TMessageBox(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons,
                         int helpContext, QWidget* owner)
    : QDialog(owner), text_(new QLabel(text, this)), buttonBox_(new QDialogButtonBox(this)) {
    setWindowTitle("Tunquil");
    setAccessibleName("Tunquil");
    // A message often carries a file name or a title that a user typed: never read it as markup.
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text_->setMinimumWidth(fontMetrics().averageCharWidth() * 50);

    auto* row = new QHBoxLayout;
    QStyle::StandardPixmap icon = IconOf(type);
    if (icon != QStyle::SP_CustomBase) {
        auto* iconLabel = new QLabel(this);
        int extent = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        iconLabel->setPixmap(style()->standardIcon(icon, nullptr, this).pixmap(extent, extent));
        iconLabel->setAlignment(Qt::AlignTop);
        row->addWidget(iconLabel, 0, Qt::AlignTop);
    }
    row->addWidget(text_, 1);

    if ((buttons & ~mbHelp) == 0)
        buttons |= mbOK;
    for (const ButtonKind& kind : kButtons) {
        if (!(buttons & kind.flag))
            continue;
        QPushButton* button = buttonBox_->addButton(kind.standard);
        if (kind.flag == mbAll)
            button->setText("&All");
    }
    connect(buttonBox_, &QDialogButtonBox::clicked, this, [this](QAbstractButton* clicked) {
        for (const ButtonKind& kind : kButtons)
            if (buttonBox_->button(kind.standard) == clicked && kind.flag != mbHelp) {
                result_ = kind.result;
                done(static_cast<int>(kind.result));
            }
    });
    // Help opens the topic and leaves the box open, so the user can answer after reading.
    auto showHelp = [this, helpContext] { THelpWindow::ShowTopic(helpContext, this); };
    connect(buttonBox_, &QDialogButtonBox::helpRequested, this, showHelp);
    if (helpContext > 0)
        connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
                showHelp);

    escape_ = SafestAnswer(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttonBox_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TMessageBox::reject() {
    // Escape and the title bar's close give the answer that changes nothing, as its button
    // would; a box without such a button waits for one of its buttons.
    for (const ButtonKind& kind : kButtons)
        if (kind.result == escape_ && kind.flag != mbHelp && buttonBox_->button(kind.standard)) {
            buttonBox_->button(kind.standard)->click();
            return;
        }
}

QAbstractButton* TMessageBox::Button(TMsgDlgBtn button) const {
    for (const ButtonKind& kind : kButtons)
        if (kind.flag == button)
            return buttonBox_->button(kind.standard);
    return nullptr;
}

std::unique_ptr<TMessageBox> TMessageDialog::BuildBox(const QString& text) const {
    auto box = std::make_unique<TMessageBox>(dialog::ExpandSeparators(text, LineSeparator), MsgType,
                                             Buttons, HelpContext, owner_);
    if (!Caption.isEmpty()) {
        box->setWindowTitle(Caption);
        box->setAccessibleName(Caption);
    }
    if (QAbstractButton* preferred = box->Button(DefaultButton)) {
        if (auto* push = qobject_cast<QPushButton*>(preferred)) {
            push->setAutoDefault(true);
            push->setDefault(true);
        }
        preferred->setFocus();
    }
    if (dialog::StaysOnTop(StayOnTop, owner_))
        box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (Position == TMsgDlgPosition::poDesigned && PositionLeft != -1 && PositionTop != -1) {
        box->adjustSize();
        box->move(PositionLeft, PositionTop);
    } else if (Position == TMsgDlgPosition::poParentCenter) {
        dialog::CentreOverOwner(box.get(), owner_);
    } else {
        dialog::CentreOnScreen(box.get(), owner_);
    }
    return box;
}

TModalResult TMessageDialog::Execute() {
    return Execute(Text);
}

TModalResult TMessageDialog::Execute(const QString& text) {
    std::unique_ptr<TMessageBox> box = BuildBox(text);
    dialog::ExecuteScope scope(Cursor, [this] {
        box_ = nullptr;
        if (OnClose)
            OnClose();
    });
    box_ = box.get();
    dialog::Beep(MsgBeep, WaveFile);
    if (OnShow)
        OnShow();
    box->exec();
    return box->Result();
}

} // namespace tunquil::ui

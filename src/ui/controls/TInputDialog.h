#pragma once
// The modal box that asks for one line of text, with OK and Cancel.

#include "ui/controls/TMessageDialog.h"

class QLineEdit;

namespace tunquil::ui {

class TInputBox : public QDialog {
    Q_OBJECT
public:
    TInputBox(const QString& caption, const QString& prompt, const QString& text, QWidget* owner);
    QLabel* PromptLabel() const { return prompt_; }
    QLineEdit* Edit() const { return edit_; }

private:
    QLabel* prompt_;
    QLineEdit* edit_;
};

class TInputDialog {
public:
    // Replaces the box's caption "Input" when not empty.
    QString Caption;
    QString Prompt;
    // The initial value, and the result after OK.
    QString Text;
    // A password: the line shows dots, never what is typed.
    bool Secret = false;
    std::optional<Qt::CursorShape> Cursor;
    TMsgDlgBeepType MsgBeep = TMsgDlgBeepType::mbNone;
    TMsgDlgPosition Position = TMsgDlgPosition::poParentCenter;
    int PositionLeft = -1;
    int PositionTop = -1;
    int HelpContext = 0;
    QString LineSeparator = QStringLiteral("\\n");
    TMsgDlgStayOnTop StayOnTop = TMsgDlgStayOnTop::stAuto;
    QString WaveFile;
    std::function<void()> OnShow;
    std::function<void()> OnClose;

    explicit TInputDialog(QWidget* owner = nullptr) : owner_(owner) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }

    // True on OK with Text holding the edited line; false on Cancel with Text unchanged.
    bool Execute();
    bool Execute(const QString& prompt);

    std::unique_ptr<TInputBox> BuildBox(const QString& prompt) const;
    TInputBox* Box() const { return box_; }

private:
    QWidget* owner_;
    TInputBox* box_ = nullptr;
};

} // namespace tunquil::ui

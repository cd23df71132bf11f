#pragma once
// The modal message box behind every question, warning and notice: a chosen set of buttons, a
// default button, a help button that opens the help topic without closing the box, placement
// over the owning window and an optional beep. Texts are shown exactly as typed (never as rich
// text), with the stored two-character line separator turned into line breaks.

#include "base/Host.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QAbstractButton;
class QDialogButtonBox;
class QLabel;

namespace tunquil::ui {

enum class TMsgDlgBeepType {
    mbNone,
    mbStandard,
    mbCriticalStop,
    mbQuestion,
    mbExclamation,
    mbAsterisk,
    mbInformation,
    mbWaveFile
};
enum class TMsgDlgPosition { poScreenCenter, poParentCenter, poDesigned };
enum class TMsgDlgStayOnTop { stAuto, stAlways };

// The box itself, built by TMessageDialog; public so that its buttons can be inspected.
class TMessageBox : public QDialog {
    Q_OBJECT
public:
    TMessageBox(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext,
                QWidget* owner);

    // The button for one flag of the set, null when the set does not hold it.
    QAbstractButton* Button(TMsgDlgBtn button) const;
    QLabel* TextLabel() const { return text_; }
    // The button that closed the box (mrNone while open or when closed by Escape without a
    // Cancel button).
    TModalResult Result() const { return result_; }

public slots:
    void reject() override;

private:
    QLabel* text_;
    QDialogButtonBox* buttonBox_;
    TModalResult result_ = TModalResult::mrNone;
    TModalResult escape_ = TModalResult::mrNone;
};

class TMessageDialog {
public:
    QString Text;
    TMsgDlgType MsgType = TMsgDlgType::mtCustom;
    TMsgDlgButtons Buttons = mbOK;
    TMsgDlgBtn DefaultButton = mbOK;
    int HelpContext = 0;
    QString LineSeparator = QStringLiteral("\\n");
    // The mouse cursor while the box is up; none leaves the current one.
    std::optional<Qt::CursorShape> Cursor;
    TMsgDlgBeepType MsgBeep = TMsgDlgBeepType::mbNone;
    TMsgDlgPosition Position = TMsgDlgPosition::poParentCenter;
    int PositionLeft = -1;
    int PositionTop = -1;
    // Replaces the box's standard caption (the program's name) when not empty.
    QString Caption;
    TMsgDlgStayOnTop StayOnTop = TMsgDlgStayOnTop::stAuto;
    // A sound file for mbWaveFile; this program plays none and sounds the standard beep.
    QString WaveFile;
    // Called right before the box runs (it is then Box()) and after it closed, also on failure.
    std::function<void()> OnShow;
    std::function<void()> OnClose;

    explicit TMessageDialog(QWidget* owner = nullptr) : owner_(owner) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }

    // Shows the box modally and returns the button pressed.
    TModalResult Execute();
    TModalResult Execute(const QString& text);

    // The box as Execute would show it, placed but not yet shown.
    std::unique_ptr<TMessageBox> BuildBox(const QString& text) const;
    // The box while Execute runs, else null.
    TMessageBox* Box() const { return box_; }

private:
    QWidget* owner_;
    TMessageBox* box_ = nullptr;
};

// Shared by the message and input boxes.
namespace dialog {
// `text` with every `separator` turned into a line break.
QString ExpandSeparators(const QString& text, const QString& separator);
// Centres `box` over a visible, not minimised `owner` and keeps it on the owner's screen.
void CentreOverOwner(QWidget* box, QWidget* owner);
void CentreOnScreen(QWidget* box, QWidget* owner);
void Beep(TMsgDlgBeepType beep, const QString& waveFile);

// For the time a box runs: sets the cursor, and afterwards, however the box ended, restores it
// and calls `onClose`.
class ExecuteScope {
public:
    ExecuteScope(const std::optional<Qt::CursorShape>& cursor, std::function<void()> onClose);
    ~ExecuteScope();
    ExecuteScope(const ExecuteScope&) = delete;
    ExecuteScope& operator=(const ExecuteScope&) = delete;

private:
    bool cursor_;
    std::function<void()> onClose_;
};
bool StaysOnTop(TMsgDlgStayOnTop stayOnTop, QWidget* owner);
} // namespace dialog

} // namespace tunquil::ui

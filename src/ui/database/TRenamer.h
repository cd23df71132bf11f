#pragma once
// The small modal box that asks for the name of a new or renamed category or album. The caller
// sets the caption, the initial text and the hint; the box returns the trimmed name, or nothing
// when cancelled or left blank.

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace tunquil::ui {

class TRenamer : public QDialog {
    Q_OBJECT
public:
    explicit TRenamer(QWidget* owner = nullptr);

    // Shows the box modally, centred on its owner's window. Returns the name typed (trimmed),
    // or an empty text when the box was cancelled or the field left blank.
    QString Execute(const QString& caption, const QString& text, const QString& hint);

    QLineEdit* Edit() const { return edit_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    // The name the box returned last; empty after Cancel.
    const QString& Result() const { return result_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OkClicked();

    QLineEdit* edit_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QString result_;
    // The field has had the focus since the box was made or last cancelled.
    bool touched_ = false;
};

} // namespace tunquil::ui

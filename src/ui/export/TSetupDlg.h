#pragma once
// The mail setup dialog: server, sender, login, security, log file, character set and
// encoding. It edits a copy; the settings change only on OK.

#include "export/mail/MailSettings.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace tunquil::ui {

class TSetupDlg : public QDialog {
    Q_OBJECT
public:
    explicit TSetupDlg(QWidget* owner = nullptr);

    void Load(const MailSettings& settings);
    // Writes the fields into `settings`, keeping what the dialog does not show.
    void Store(MailSettings& settings) const;
    // Fills the dialog, shows it modally centred over its owner and stores the fields on OK.
    // True on OK.
    bool Execute(MailSettings& settings);

    QLineEdit* Server = nullptr;
    QLineEdit* EMail = nullptr;
    QLineEdit* SenderName = nullptr;
    QLineEdit* LogFile = nullptr;
    QComboBox* CharSet = nullptr;
    QComboBox* Encoding = nullptr;
    QComboBox* Security = nullptr;
    QSpinBox* Port = nullptr; // 0 shows as "Default"
    QLineEdit* User = nullptr;
    QComboBox* Ras = nullptr; // "None" only: the system has no dial-up phone book
};

} // namespace tunquil::ui

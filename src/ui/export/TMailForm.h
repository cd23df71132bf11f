#pragma once
// The mail window "MIDI mail": the titles to send as a list of attachments, the addresses,
// subject and message, and a status bar telling how the transfer goes. It does not block the
// main window; the mailer underneath does the work.

#include "export/mail/TitleMailer.h"
#include "ui/WidgetHost.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QToolButton;
class QTreeWidget;

namespace tunquil::ui {

class TSetupDlg;

class TMailForm : public QMainWindow {
    Q_OBJECT
public:
    // `programDir` holds Tunquil.ini and TempMail/; the settings are read here and written
    // when the window closes.
    TMailForm(const std::filesystem::path& programDir, ITitleExporter& exporter,
              IArchiveWriter& archiver, platform::ISecretStore* secrets = nullptr,
              QWidget* owner = nullptr);
    ~TMailForm() override;

    // Shows the window captioned for the titles and lists them as attachments, replacing the
    // titles of an earlier call.
    void MailTitles(const std::vector<int>& masterKeys);
    // The Send button: true when the server took the mail.
    bool SendMail();
    // Opens the setup dialog on the current settings.
    void Setup();

    TitleMailer& Mailer() { return *mailer_; }
    TSetupDlg& SetupDialog() { return *setup_; }

    QLineEdit* ToEdit = nullptr;
    QLineEdit* SubjectEdit = nullptr;
    QPlainTextEdit* Body = nullptr;
    QCheckBox* Compressed = nullptr;
    QTreeWidget* Attachments = nullptr;
    QLabel* StatusPanels[3] = {};
    QProgressBar* Progress = nullptr;
    QAction* SendAction = nullptr;
    QAction* SetupAction = nullptr;
    QAction* ExitAction = nullptr;
    QAction* CancelAction = nullptr;

    // The help cursor: while on, a click on the window shows help instead of acting.
    void SetHelpCursor(bool on);
    bool HelpCursor() const { return helpCursor_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The host of the mail window: status texts in its first panel, the progress beside it, and
    // the window kept alive during a transfer so that Cancel can be pressed.
    class Host : public WidgetHost {
    public:
        using WidgetHost::WidgetHost;
        void Progress(int percent, const std::string& what) override;
    };
    void SetTransferMode(bool transferring);

    Host host_;
    std::unique_ptr<TitleMailer> mailer_;
    std::unique_ptr<TSetupDlg> setup_;
    QMenu* fileMenu_ = nullptr;
    QMenu* setupMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    bool helpCursor_ = false;
    // The help topic of mailing titles.
    static constexpr int kMailHelp = 27;
};

} // namespace tunquil::ui

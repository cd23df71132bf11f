#pragma once
// Mailing titles without the window: the titles are exported into TempMail/, listed as rows,
// and sent through the SMTP client either as one ZIP archive with a listing in the body or as
// separate MIDI attachments. The window draws the rows and forwards its buttons here; what the
// user sees meanwhile comes through the host (status texts, progress, messages).

#include "base/Host.h"
#include "export/mail/MailSettings.h"
#include "export/mail/MailSources.h"
#include "export/mail/TmsSMTP.h"
#include "platform/SecretStore.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tunquil {

struct MailAttachmentRow {
    std::string category;
    std::string artist;
    std::string title;
    std::filesystem::path path; // the exported file
};

class TitleMailer {
public:
    // `programDir` holds Tunquil.ini and the work directory TempMail/.
    // The password of a login is kept in `secrets` (the desktop's keyring when null) when it
    // is available, else asked for once a run and kept in memory.
    TitleMailer(IHost& host, std::filesystem::path programDir, ITitleExporter& exporter,
                IArchiveWriter& archiver, platform::ISecretStore* secrets = nullptr);

    MailSettings settings;
    // Called when the settings must be completed first, and for an error that names a required
    // setting; the window opens its setup dialog here.
    std::function<void()> onSetupRequired;
    // True while the program is shutting down: attaching and sending stop.
    std::function<bool()> shuttingDown;
    // Lets a test shorten the wait for a silent server.
    std::chrono::milliseconds timeOut{90000};

    void LoadSettings();
    // Writes the mail keys into Tunquil.ini, keeping the rest of the file.
    void SaveSettings() const;

    // " Mail the attached N title(s)"
    static std::string Caption(std::size_t titles);
    // Exports each title into TempMail/ and lists it; replaces the rows of an earlier call and
    // deletes their files. A key without a title is skipped.
    void AttachTitles(const std::vector<int>& masterKeys);
    // Deletes the exported files of the attachment rows; the rows stay.
    void RemoveAttachedFiles();
    const std::vector<MailAttachmentRow>& rows() const { return rows_; }

    // True when Send should open the setup dialog first: no server or no sender's address.
    bool NeedsSetup() const;
    // Every non-empty piece between ";", trimmed.
    static std::vector<std::string> SplitRecipients(const std::string& to);
    // TempMail/ + N + "MIDI files.zip"
    std::filesystem::path ArchivePath() const;
    // The lines appended to the body of a compressed send.
    static std::vector<std::string> Listing(const std::string& archiveName,
                                            const std::vector<MailAttachmentRow>& rows);

    // Sends the rows to the addresses of `to`. True when the mail went out; any failure has
    // been shown as a status text or a message box by then.
    bool Send(const std::string& to, const std::string& subject,
              const std::vector<std::string>& body, bool compressed);
    void Cancel() { smtp_.Cancel(); }
    // A password for this run only (a script's), used instead of the keyring or a question.
    void SetPassword(const std::string& password);
    bool transferring() const { return transferring_; }
    // Refused with an error box while a transfer runs; otherwise saves the settings and stops
    // an attaching loop still running. True when closed.
    bool Close();

private:
    bool Stopped() const { return closed_ || (shuttingDown && shuttingDown()); }
    void HookEvents();
    // The keyring's key for the login of the current settings: the server's host and the user.
    std::pair<std::string, std::string> LoginKey() const;
    // The password for the current login: remembered, from the keyring, or asked for; nullopt
    // when the user cancels the question.
    std::optional<std::string> Password();
    // After a send: keeps a typed password in the keyring once the server took it, and forgets
    // one that the server refused so that the next send asks again.
    void SettlePassword(bool sent, bool refused);

    IHost& host_;
    std::filesystem::path programDir_;
    std::filesystem::path mailDir_;
    ITitleExporter& exporter_;
    IArchiveWriter& archiver_;
    TmsSMTP smtp_;
    TmsMessage message_;
    std::vector<MailAttachmentRow> rows_;
    bool closed_ = false;
    bool transferring_ = false;
    bool mailSentMark_ = false;
    platform::ISecretStore& secrets_;
    std::optional<std::string> password_; // in memory for the run, never written anywhere
    std::pair<std::string, std::string> passwordKey_;
    bool passwordFromKeyring_ = false;
    bool passwordToKeep_ = false;
};

} // namespace tunquil

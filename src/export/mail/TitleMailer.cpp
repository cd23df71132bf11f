#include "export/mail/TitleMailer.h"

#include "base/Files.h"
#include "base/ProgramDirectory.h"
#include "base/Text.h"
#include "export/TitleExport.h"
#include "export/mail/MailErrors.h"

namespace tunquil {

namespace fs = std::filesystem;

namespace {

platform::ISecretStore& DesktopKeyring() {
    static platform::SecretServiceStore keyring;
    return keyring;
}

} // namespace

TitleMailer::TitleMailer(IHost& host, fs::path programDir, ITitleExporter& exporter,
                         IArchiveWriter& archiver, platform::ISecretStore* secrets)
    : host_(host), programDir_(std::move(programDir)), mailDir_(programDir_ / "TempMail"),
      exporter_(exporter), archiver_(archiver), smtp_(host),
      secrets_(secrets ? *secrets : DesktopKeyring()) {
    HookEvents();
}

std::pair<std::string, std::string> TitleMailer::LoginKey() const {
    std::string server = Trim(settings.server);
    return {server.substr(0, server.find(':')), settings.user};
}

void TitleMailer::SetPassword(const std::string& password) {
    password_ = password;
    passwordKey_ = LoginKey();
    passwordFromKeyring_ = false;
    passwordToKeep_ = false;
}

std::optional<std::string> TitleMailer::Password() {
    std::pair<std::string, std::string> key = LoginKey();
    if (password_ && passwordKey_ == key)
        return password_;
    password_.reset();
    passwordKey_ = key;
    passwordFromKeyring_ = false;
    passwordToKeep_ = false;
    bool keyring = secrets_.Available();
    if (keyring) {
        try {
            password_ = secrets_.Lookup(key.first, key.second);
        } catch (const std::exception& e) {
            // A keyring that fails is no reason not to send: the password is asked for instead.
            host_.Status(e.what());
            keyring = false;
        }
        if (password_) {
            passwordFromKeyring_ = true;
            return password_;
        }
    }
    std::string text;
    if (!host_.InputSecret("Mail password", "Password for " + key.second + " at " + key.first + ":",
                           text))
        return std::nullopt;
    password_ = text;
    passwordToKeep_ = keyring;
    return password_;
}

void TitleMailer::SettlePassword(bool sent, bool refused) {
    try {
        if (sent && passwordToKeep_)
            secrets_.Store(passwordKey_.first, passwordKey_.second, *password_);
        if (refused && passwordFromKeyring_)
            secrets_.Remove(passwordKey_.first, passwordKey_.second);
    } catch (const std::exception& e) {
        host_.Status(e.what());
    }
    passwordToKeep_ = false;
    if (refused) {
        password_.reset();
        passwordFromKeyring_ = false;
    }
}

void TitleMailer::LoadSettings() {
    settings = MailSettings::Load(IniFile(SettingsPath(programDir_)));
}

void TitleMailer::SaveSettings() const {
    IniFile ini(SettingsPath(programDir_));
    settings.Save(ini);
    ini.UpdateFile();
}

std::string TitleMailer::Caption(std::size_t titles) {
    return " Mail the attached " + std::to_string(titles) + " title(s)";
}

void TitleMailer::RemoveAttachedFiles() {
    std::error_code ec;
    for (const MailAttachmentRow& row : rows_)
        fs::remove(row.path, ec);
}

void TitleMailer::AttachTitles(const std::vector<int>& masterKeys) {
    closed_ = false;
    host_.Status("Attaching files...");
    RemoveAttachedFiles();
    rows_.clear();
    std::error_code ec;
    fs::create_directories(mailDir_, ec);
    TitleFileNames names(mailDir_);
    for (std::size_t i = 0; i < masterKeys.size() && !Stopped(); ++i) {
        host_.Progress(static_cast<int>((i + 1) * 100 / masterKeys.size()), "Attaching files...");
        host_.ProcessEvents();
        std::optional<ITitleExporter::TitleInfo> info = exporter_.Describe(masterKeys[i]);
        if (!info)
            continue;
        // Two titles of the same name each keep a file of their own.
        fs::path file = names.For(info->title, masterKeys[i]);
        try {
            exporter_.ExportMidi(masterKeys[i], file);
        } catch (const std::exception& e) {
            // The row stays without its file; attaching it reports the failure at Send.
            host_.Status(e.what());
        }
        rows_.push_back({info->category, info->artist, info->title, file});
    }
    host_.Progress(0, "");
    host_.Status("");
}

bool TitleMailer::NeedsSetup() const {
    // There is no dial-up here, so a missing dial-up entry is no reason to ask again.
    return Trim(settings.server).empty() || Trim(settings.emailAddress).empty();
}

std::vector<std::string> TitleMailer::SplitRecipients(const std::string& to) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= to.size()) {
        std::size_t end = to.find(';', start);
        if (end == std::string::npos)
            end = to.size();
        std::string address = Trim(to.substr(start, end - start));
        if (!address.empty())
            out.push_back(address);
        start = end + 1;
    }
    return out;
}

fs::path TitleMailer::ArchivePath() const {
    return mailDir_ / (std::to_string(rows_.size()) + "MIDI files.zip");
}

std::vector<std::string> TitleMailer::Listing(const std::string& archiveName,
                                              const std::vector<MailAttachmentRow>& rows) {
    std::vector<std::string> lines = {"", "", std::string(76, '=')};
    lines.push_back("The attached archive (" + archiveName + ") contains " +
                    std::to_string(rows.size()) + " MIDI(s):");
    // Titles stored before control characters were kept out of them may still hold some.
    for (const MailAttachmentRow& row : rows)
        lines.push_back("    \"" + WithoutControlCharacters(row.title) + "\" by " +
                        WithoutControlCharacters(row.artist));
    lines.push_back(std::string(76, '='));
    lines.push_back("");
    return lines;
}

void TitleMailer::HookEvents() {
    smtp_.onOpen = [this] { host_.Status("Opening connection"); };
    smtp_.onPrepare = [this] { host_.Status("Preparing message"); };
    smtp_.onSending = [this] { host_.Status("Sending message"); };
    smtp_.onMailSent = [this] { host_.Status("Message has been sent"); };
    smtp_.onClosing = [this] { host_.Status("Closing connection"); };
    smtp_.onClosed = [this] { host_.Status(mailSentMark_ ? "Mail sent" : "Connection closed"); };
    smtp_.onCancel = [this] { host_.Status("Operation has been canceled"); };
    smtp_.onError = [this](const std::string& text) {
        host_.Status(text);
        if (UpperAscii(text).find("REQUIRED") != std::string::npos && onSetupRequired)
            onSetupRequired();
    };
    smtp_.onProgress = [this](int percent) {
        host_.Progress(percent, "Sending message");
        if (percent > 95)
            mailSentMark_ = true;
    };
}

bool TitleMailer::Send(const std::string& to, const std::string& subject,
                       const std::vector<std::string>& body, bool compressed) {
    if (NeedsSetup() && onSetupRequired)
        onSetupRequired();

    mailSentMark_ = false;
    message_ = TmsMessage();
    for (const std::string& address : SplitRecipients(to))
        message_.AddRecipient(address);
    message_.subject = CutUtf8(subject, 255);
    message_.body = body;
    message_.sender = {CutUtf8(settings.name, 255), CutUtf8(settings.emailAddress, 255)};
    message_.charSet = settings.charSet;
    message_.encoding = settings.encoding;

    {
        host_.Status("Loading attachments...");
        BusyScope busy(host_);
        if (compressed) {
            fs::path archive = ArchivePath();
            std::vector<std::string> listing = Listing(archive.filename().string(), rows_);
            message_.body.insert(message_.body.end(), listing.begin(), listing.end());
            std::vector<fs::path> files;
            for (const MailAttachmentRow& row : rows_)
                files.push_back(row.path);
            std::error_code ec;
            fs::remove(archive, ec);
            std::string problem;
            try {
                archiver_.WriteArchive(archive, files);
                message_.AddAttachment(archive);
            } catch (const std::exception& e) {
                problem = e.what();
            }
            fs::remove(archive, ec);
            if (!problem.empty()) {
                // Sending on would mail a listing of an archive that is not attached.
                host_.Status(problem);
                host_.ShowMessage("Problem compressing attachments", TMsgDlgType::mtError, 0, mbOK);
                return false;
            }
        } else {
            try {
                for (const MailAttachmentRow& row : rows_)
                    message_.AddAttachment(row.path);
            } catch (const std::exception& e) {
                host_.Status(e.what());
                return false;
            }
        }
        host_.Status("");
    }
    if (shuttingDown && shuttingDown())
        return false;

    smtp_.server = settings.server;
    smtp_.logFile = settings.logFile;
    smtp_.timeOut = timeOut;
    smtp_.mailMessage = &message_;
    smtp_.security = settings.security;
    smtp_.portSetting = settings.port;
    smtp_.user = settings.user;
    smtp_.password.clear();
    // No question for a login the client will refuse anyway: it never logs in unencrypted.
    bool login = !settings.user.empty() && settings.security != msNone;
    if (login) {
        std::optional<std::string> password = Password();
        if (!password) {
            host_.Status(MailErrorText(kMailNoPassword));
            return false;
        }
        smtp_.password = *password;
    }

    transferring_ = true;
    bool sent = false;
    bool refused = false;
    try {
        BusyScope busy(host_);
        smtp_.Send();
        sent = true;
    } catch (const EMailError& e) {
        // The error event has put the text in the status bar already. Only 535 says the
        // credentials are wrong; a temporary failure or an unknown mechanism says nothing
        // about the password.
        refused = e.number() == kMailAuthRefused && smtp_.lastReply().starts_with("535");
    } catch (const std::exception&) {
        // The error event has put the text in the status bar already.
    }
    transferring_ = false;
    smtp_.password.clear();
    if (login)
        SettlePassword(sent, refused);
    return sent;
}

bool TitleMailer::Close() {
    if (transferring_) {
        host_.ShowMessage("Transfer in Progress.  Click Cancel button first.", TMsgDlgType::mtError,
                          0, mbOK);
        return false;
    }
    SaveSettings();
    closed_ = true;
    return true;
}

} // namespace tunquil

#include "export/mail/TmsSMTP.h"

#include "base/Files.h"
#include "base/Text.h"
#include "export/mail/MailErrors.h"
#include "export/mail/MimeEncoding.h"

#include <charconv>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

namespace tunquil {

namespace {

constexpr std::size_t kBlockSize = 2047;

std::string HostPart(const std::string& server) {
    std::string s = Trim(server);
    return s.substr(0, s.find(':'));
}

// The port after ":", or 0 when there is none or it is not a number.
int PortPart(const std::string& server) {
    std::string s = Trim(server);
    std::size_t colon = s.find(':');
    if (colon == std::string::npos)
        return 0;
    int p = 0;
    const char* first = s.data() + colon + 1;
    const char* last = s.data() + s.size();
    auto [end, err] = std::from_chars(first, last, p);
    if (err != std::errc() || end != last || p < 0 || p > 65535)
        return 0;
    return p;
}

} // namespace

std::string DotStuffed(std::string_view message) {
    std::string out;
    out.reserve(message.size() + message.size() / 64 + 16);
    for (std::size_t start = 0; start < message.size();) {
        LineSpan line = NextLine(message, start);
        if (message[start] == '.')
            out.push_back('.');
        out.append(message.substr(start, line.textEnd - start));
        if (line.next != line.textEnd)
            out += "\r\n";
        start = line.next;
    }
    return out;
}

TmsSMTP::TmsSMTP(IHost& host) : host_(host), socket_(host) {
    socket_.cancelled = [this] { return cancel_ || host_.CancelRequested(); };
}

int TmsSMTP::EffectivePort() const {
    if (int p = PortPart(server); p != 0)
        return p;
    if (portSetting > 0)
        return portSetting;
    if (security == msStartTls)
        return 587;
    if (security == msTls)
        return 465;
    if (!serviceName.empty()) {
        // A local file lookup (/etc/services), quick enough to need no wait of its own.
        servent result{};
        servent* found = nullptr;
        char buf[1024];
        if (::getservbyname_r(serviceName.c_str(), "tcp", &result, buf, sizeof buf, &found) == 0 &&
            found)
            return ntohs(static_cast<uint16_t>(found->s_port));
    }
    return port;
}

void TmsSMTP::Send() {
    cancel_ = false;
    log_.clear();
    logBytes_ = 0;
    lastReply_.clear();
    try {
        if (mailMessage == nullptr)
            throw EMailError(kMailMessageRequired);
        // Checked before anything is sent: no text may carry a line of its own to the server.
        CheckLineText(server, "server name");
        for (const std::string& r : recipients)
            CheckLineText(r, "recipient's address");
        CheckLineText(user, "user name");
        mailMessage->CheckTexts();
        // An empty sender has a message of its own once the connection is open.
        if (!mailMessage->sender.address.empty())
            CheckMailbox(mailMessage->sender.address);
        for (const std::string& address : Envelope())
            CheckMailbox(address);
        if (!user.empty() && security == msNone)
            throw EMailError(kMailPasswordInClear);
        Open();
        SendMessage();
    } catch (const std::exception& e) {
        socket_.Close();
        const auto* mailError = dynamic_cast<const EMailError*>(&e);
        if (mailError && mailError->number() == kMailCanceled)
            Fire(onCancel);
        if (onError)
            onError(e.what());
        WriteLogReporting();
        throw;
    }
    try {
        Close();
    } catch (const std::exception& e) {
        // The server took the message with its reply to the data; nothing that happens at
        // QUIT can take that back, and reporting a failure would only make the user send again.
        socket_.Close();
        Log(std::string("QUIT not answered: ") + e.what());
        Fire(onClosed);
    }
    WriteLogReporting();
}

void TmsSMTP::WriteLogReporting() {
    // A log that cannot be written is reported, but never turns the send's outcome round: a
    // mail that went out must not look failed and be sent again.
    try {
        WriteLog();
    } catch (const std::exception& e) {
        if (onError)
            onError(e.what());
    }
}

void TmsSMTP::Open() {
    if (Trim(server).empty())
        throw EMailError(kMailServerRequired);
    std::string hostName = HostPart(server);
    socket_.timeOut = timeOut;
    socket_.Connect(hostName, EffectivePort());

    std::string local;
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0 && name[0] != '\0')
        local = name;
    else
        local = hostName;
    if (security == msTls)
        socket_.StartTls(hostName);
    Fire(onOpen);

    Expect(ReadReply(), 2);
    if (security == msNone) {
        if (Command("HELO " + local) / 100 != 2)
            Expect(Command("HELO"), 2);
        return;
    }
    Hello(local);
    if (security == msStartTls) {
        // Never on without it: falling back to plain text is exactly what an attacker who
        // strips STARTTLS from the reply wants.
        if (!extensions_.contains("STARTTLS"))
            throw EMailError(kMailNoStartTls);
        Expect(Command("STARTTLS"), 2);
        // Anything sent ahead of the handshake was not protected by it and could be taken for
        // the server's answers to the commands that follow.
        if (socket_.hasUnreadData())
            throw EMailError(kMailTls, "The server sent data ahead of the TLS handshake");
        socket_.StartTls(hostName);
        // What the server offered before the handshake may have been tampered with.
        Hello(local);
    }
    if (!user.empty())
        Authenticate();
}

void TmsSMTP::Hello(const std::string& local) {
    extensions_.clear();
    if (Command("EHLO " + local) / 100 == 2) {
        extensions_ = reply_.Extensions();
        return;
    }
    if (Command("HELO " + local) / 100 != 2)
        Expect(Command("HELO"), 2);
}

void TmsSMTP::Authenticate() {
    auto auth = extensions_.find("AUTH");
    std::string mechanisms = auth == extensions_.end() ? "" : " " + UpperAscii(auth->second) + " ";
    auto refused = [this] {
        return EMailError(kMailAuthRefused, "The server refused the login: " + lastReply_);
    };
    if (mechanisms.find(" PLAIN ") != std::string::npos) {
        std::string token = Base64(std::string(1, '\0') + user + '\0' + password);
        if (SecretCommand("AUTH PLAIN " + token, "AUTH PLAIN Suppressing the credentials") / 100 !=
            2)
            throw refused();
    } else if (mechanisms.find(" LOGIN ") != std::string::npos) {
        if (Command("AUTH LOGIN") != 334 ||
            SecretCommand(Base64(user), "Suppressing the user name") != 334 ||
            SecretCommand(Base64(password), "Suppressing the password") / 100 != 2)
            throw refused();
    } else {
        throw EMailError(kMailNoAuth);
    }
}

void TmsSMTP::SendMessage() {
    const TmsMessage& m = *mailMessage;
    if (m.sender.address.empty())
        throw EMailError(kMailSenderRequired);
    std::vector<std::string> envelope = Envelope();
    if (envelope.empty())
        throw EMailError(kMailRecipientRequired);

    std::string wire = DotStuffed(m.Encode());
    Fire(onPrepare);

    Fire(onSending);
    Expect(Command("MAIL FROM:<" + m.sender.address + ">"), 2);
    for (const std::string& address : envelope)
        Expect(Command("RCPT TO:<" + address + ">"), 2);
    Expect(Command("DATA"), 3);

    Log("Suppressing the message body");
    std::size_t size = wire.size();
    for (std::size_t pos = 0; pos < size;) {
        std::size_t n = std::min(kBlockSize, size - pos);
        socket_.SendAll(std::string_view(wire).substr(pos, n));
        pos += n;
        if (onProgress)
            onProgress(static_cast<int>((pos * 200 + size) / (size * 2)));
        // A loopback or fast link may never make the send wait; the interface and its
        // Cancel button must still get their turn.
        host_.ProcessEvents();
    }
    if (onProgress)
        onProgress(0);
    socket_.SendAll("\r\n.\r\n");
    Log(".");
    Expect(ReadReply(), 2);
    Fire(onMailSent);
}

std::vector<std::string> TmsSMTP::Envelope() const {
    std::vector<std::string> envelope = recipients;
    if (envelope.empty())
        for (const auto* list : {&mailMessage->to, &mailMessage->cc, &mailMessage->bcc})
            for (const TMailAddress& a : *list)
                envelope.push_back(a.address);
    return envelope;
}

void TmsSMTP::Close() {
    Fire(onClosing);
    Expect(Command("QUIT"), 2);
    socket_.Close();
    Fire(onClosed);
}

int TmsSMTP::ReadReply() {
    reply_.Clear();
    while (true) {
        std::string line = socket_.ReadLine();
        Log(line);
        if (reply_.Add(std::move(line)))
            break;
    }
    lastReply_ = reply_.last();
    return reply_.code();
}

void TmsSMTP::Log(const std::string& text) {
    if (logBytes_ > kMaxLogBytes)
        return;
    logBytes_ += text.size() + 1;
    if (logBytes_ > kMaxLogBytes)
        log_.push_back("(the rest of the session is not logged: the log reached its limit)");
    else
        log_.push_back(text);
}

int TmsSMTP::Command(const std::string& text) {
    Log(text);
    socket_.SendAll(text + "\r\n");
    return ReadReply();
}

int TmsSMTP::SecretCommand(const std::string& text, const std::string& logText) {
    Log(logText);
    socket_.SendAll(text + "\r\n");
    return ReadReply();
}

void TmsSMTP::Expect(int code, int replyClass) {
    if (code < 0 || code / 100 != replyClass)
        throw EMailError(kMailServerReply, lastReply_);
}

void TmsSMTP::WriteLog() {
    if (logFile.empty())
        return;
    std::string text;
    for (const std::string& l : log_)
        text += l + "\n";
    // The dialogue names the user's mailbox and server: a new log is the user's alone.
    WriteFileAtomically(logFile, text, 0600);
}

} // namespace tunquil

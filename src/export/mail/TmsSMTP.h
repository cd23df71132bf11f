#pragma once
// The SMTP client: one connection per Send, the message encoded, sent and the connection closed
// whatever happens. Every failure reaches the error event first and is then thrown.

#include "base/Host.h"
#include "export/mail/SmtpReply.h"
#include "export/mail/TagSocket.h"
#include "export/mail/TmsMessage.h"

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tunquil {

// Every line that starts with "." gets a second one, so that no line of the message can end
// the DATA phase and the server hands every line back as it was. Every line ends in CR LF: a
// bare CR or LF is a line end to some servers and not to others, so one of them would read a
// line there that the dot-stuffing never saw.
std::string DotStuffed(std::string_view message);

// How the connection is secured: not at all (HELO, no login, as mail was always sent), by
// STARTTLS on the plain connection, or by TLS from the first byte.
enum TMailSecurity { msNone = 0, msStartTls = 1, msTls = 2 };

class TmsSMTP {
public:
    explicit TmsSMTP(IHost& host);

    std::string server; // host name or address, optionally ":" and a port
    int port = 25;      // used when neither the server text nor the service names one
    std::string serviceName = "smtp";
    int security = msNone;
    // The "Port" setting, 0 when empty: then 587 for STARTTLS, 465 for TLS, and for no
    // security the service's port or `port`. A port in the server text wins over all of these.
    int portSetting = 0;
    // When set, the client logs in with AUTH PLAIN or LOGIN after securing the connection; a
    // login over an unsecured connection is refused before connecting.
    std::string user;
    std::string password;
    std::chrono::milliseconds timeOut{90000};
    std::string logFile; // when set, the conversation is written to it after each Send
    TmsMessage* mailMessage = nullptr;
    // When filled, these addresses replace the message's To, CC and BCC lists in the envelope.
    std::vector<std::string> recipients;

    std::function<void()> onOpen, onPrepare, onSending, onMailSent, onClosing, onClosed, onCancel;
    std::function<void(int percent)> onProgress;
    std::function<void(const std::string& text)> onError;

    // Opens, sends `mailMessage` and closes. Throws EMailError after the error event has had
    // the text; a log file that cannot be written is only reported through the error event.
    // Once the server has accepted the message, a failing QUIT is only logged: the mail is sent.
    void Send();
    // Takes effect at the next wait of the operation under way.
    void Cancel() { cancel_ = true; }

    const std::string& lastReply() const { return lastReply_; }
    // The port that Open would connect to for the current server text.
    int EffectivePort() const;

private:
    void Open();
    // EHLO, falling back to HELO; fills `extensions_` from an EHLO reply.
    void Hello(const std::string& local);
    void Authenticate();
    void SendMessage();
    // The addresses for RCPT TO: `recipients`, or else the message's To, CC and BCC.
    std::vector<std::string> Envelope() const;
    void Close();
    int ReadReply();
    int Command(const std::string& text);
    // A command that carries credentials: `logText` goes to the log in its place.
    int SecretCommand(const std::string& text, const std::string& logText);
    void Expect(int code, int replyClass);
    void Fire(const std::function<void()>& event) {
        if (event)
            event();
    }
    // Adds a line to the session's log, up to kMaxLogBytes.
    void Log(const std::string& text);
    void WriteLog();
    void WriteLogReporting();

    // A session is a few dozen lines; the limit only keeps a server that talks without end from
    // filling the memory and the log file.
    static constexpr std::size_t kMaxLogBytes = 1024 * 1024;

    IHost& host_;
    TagSocket socket_;
    bool cancel_ = false;
    std::string lastReply_;
    SmtpReply reply_;                               // the last reply
    std::map<std::string, std::string> extensions_; // EHLO keyword (capitals) -> its parameters
    std::vector<std::string> log_;
    std::size_t logBytes_ = 0;
};

} // namespace tunquil

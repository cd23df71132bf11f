#pragma once
// The SMTP client: one connection per Send, the message encoded, sent and the connection closed
// whatever happens. Every failure reaches the error event first and is then thrown.

#include "base/Host.h"
#include "export/TagSocket.h"
#include "export/TmsMessage.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tunquil {

// Every line that starts with "." gets a second one, so that no line of the message can end
// the DATA phase and the server hands every line back as it was.
std::string DotStuffed(std::string_view message);

class TmsSMTP {
public:
    explicit TmsSMTP(IHost& host);

    std::string server; // host name or address, optionally ":" and a port
    int port = 25;      // used when neither the server text nor the service names one
    std::string serviceName = "smtp";
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
    void Send();
    // Takes effect at the next wait of the operation under way.
    void Cancel() { cancel_ = true; }

    const std::string& lastReply() const { return lastReply_; }
    // The port that Open would connect to for the current server text.
    int EffectivePort() const;

private:
    void Open();
    void SendMessage();
    void Close();
    int ReadReply();
    int Command(const std::string& text);
    void Expect(int code, int replyClass);
    void Fire(const std::function<void()>& event) {
        if (event)
            event();
    }
    void WriteLog();
    void WriteLogReporting();

    IHost& host_;
    TagSocket socket_;
    bool cancel_ = false;
    std::string lastReply_;
    std::vector<std::string> log_;
};

} // namespace tunquil

#pragma once
// A real SMTP server on 127.0.0.1 for the mail tests (smtp_sink.py, built on aiosmtpd), and a
// reader of what it received that uses Python's email package (received_mail.py).

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tunquil::test {

struct ReceivedMail {
    std::string from;
    std::vector<std::string> recipients;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    struct Part {
        std::string fileName;
        std::string contentType;
        std::string encoding;
        std::string data;
    };
    std::vector<Part> attachments;
    std::string raw; // the message bytes as the server stored them
    // What Python's email package, with its default policy, found wrong in the message; Read
    // fails the running test for each.
    std::vector<std::string> defects;

    // The value of the first header of that name (exact case), or "" when there is none.
    std::string Header(const std::string& name) const;
    int HeaderCount(const std::string& name) const;
};

struct SmtpSinkOptions {
    enum Security { kPlain, kStartTls, kImplicitTls } security = kPlain;
    // When `user` is set the server requires a login with these mechanisms ("PLAIN,LOGIN").
    std::string user;
    std::string password;
    std::string mechanisms = "PLAIN,LOGIN";
};

class SmtpSink {
public:
    // Starts the server on a free port with a fresh folder for the messages.
    explicit SmtpSink(const SmtpSinkOptions& options = {});
    ~SmtpSink();
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;

    int port() const { return port_; }
    std::string server() const { return "127.0.0.1:" + std::to_string(port_); }
    // Paths of the stored messages, oldest first.
    std::vector<std::filesystem::path> Messages() const;
    // Removes every stored message.
    void Clear() const;
    ReceivedMail Read(const std::filesystem::path& eml) const;

    // A certificate for "localhost", self-signed, made once per test program with openssl;
    // the certificate file doubles as the CA file a client trusts through SSL_CERT_FILE.
    static std::filesystem::path CertificateFile();
    static std::filesystem::path KeyFile();

    // The Python interpreter and the folder with the support scripts.
    static std::string Python() { return "/usr/bin/python3"; }
    static std::filesystem::path ScriptDir();

private:
    std::filesystem::path folder_;
    int pid_ = -1;
    int stdinFd_ = -1;
    int stdoutFd_ = -1;
    int port_ = 0;
};

} // namespace tunquil::test

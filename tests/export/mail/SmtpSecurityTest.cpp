// Secured connections and logins against a real server (aiosmtpd with a certificate the test
// makes), the refusals a careful client owes its user (no unencrypted fallback, no password in
// the clear, no certificate that fails to name the server), and replies that must not hang or
// overturn a send.

#include "SmtpFakeServer.h"
#include "base/Files.h"
#include "base/ScriptedHost.h"
#include "export/mail/MailErrors.h"
#include "export/mail/MimeEncoding.h"
#include "export/mail/TmsSMTP.h"
#include "support/ScopedEnv.h"
#include "support/SmtpSink.h"
#include "support/TempDir.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

namespace tunquil {
namespace {

using test::SmtpFakeServer;
using test::SmtpSink;
using test::SmtpSinkOptions;
using Connection = SmtpFakeServer::Connection;

struct SecureRun {
    ScriptedHost host;
    TmsSMTP smtp{host};
    TmsMessage message;
    std::vector<std::string> events;

    SecureRun(const std::string& server, int security, const std::string& user = "",
              const std::string& password = "") {
        smtp.server = server;
        smtp.security = security;
        smtp.user = user;
        smtp.password = password;
        message.sender = {"Ann", "ann@example.org"};
        message.AddRecipient("bob@example.org");
        message.subject = "Tunes";
        message.body = {"Hello"};
        smtp.mailMessage = &message;
        smtp.onMailSent = [this] { events.push_back("sent"); };
        smtp.onClosed = [this] { events.push_back("closed"); };
        smtp.onError = [this](const std::string&) { events.push_back("error"); };
    }
    std::string Send() {
        try {
            smtp.Send();
            return "";
        } catch (const EMailError& e) {
            return e.what();
        }
    }
};

class SecureMail : public ::testing::Test {
protected:
    void SetUp() override { TrustFile(SmtpSink::CertificateFile()); }
    void TrustFile(const std::filesystem::path& file) {
        trust.reset();
        trust.emplace("SSL_CERT_FILE", file.c_str());
    }
    static std::string Localhost(const SmtpSink& sink) {
        return "localhost:" + std::to_string(sink.port());
    }
    test::TempDir dir;
    std::optional<test::ScopedEnv> trust;
};

TEST_F(SecureMail, StartTlsAndImplicitTlsDeliverWithEitherLoginAndKeepItOutOfTheLog) {
    struct Case {
        SmtpSinkOptions::Security sink;
        int client;
        const char* mechanisms;
    };
    for (Case c : {Case{SmtpSinkOptions::kStartTls, msStartTls, "PLAIN"},
                   Case{SmtpSinkOptions::kStartTls, msStartTls, "LOGIN"},
                   Case{SmtpSinkOptions::kImplicitTls, msTls, "PLAIN"},
                   Case{SmtpSinkOptions::kImplicitTls, msTls, "LOGIN"}}) {
        SCOPED_TRACE(std::string(c.mechanisms) + " with security " + std::to_string(c.client));
        SmtpSink sink({c.sink, "ann", "s3cret word", c.mechanisms});
        SecureRun run(Localhost(sink), c.client, "ann", "s3cret word");
        run.smtp.logFile = (dir / "smtp.log").string();
        ASSERT_EQ(run.Send(), "");
        ASSERT_EQ(sink.Messages().size(), 1u);
        test::ReceivedMail mail = sink.Read(sink.Messages()[0]);
        EXPECT_EQ(mail.recipients, std::vector<std::string>{"bob@example.org"});
        EXPECT_EQ(mail.body, "Hello\r\n\r\n");

        std::string log = ReadWholeFile(dir / "smtp.log");
        EXPECT_EQ(log.find("s3cret"), std::string::npos);
        EXPECT_EQ(log.find(Base64(std::string(1, '\0') + "ann" + '\0' + "s3cret word")),
                  std::string::npos);
        EXPECT_EQ(log.find(Base64("s3cret word")), std::string::npos);
        EXPECT_NE(log.find("Suppressing"), std::string::npos);
        EXPECT_EQ(log.find("STARTTLS\n220") != std::string::npos, c.client == msStartTls) << log;
        EXPECT_NE(log.find("QUIT\n221"), std::string::npos);
    }
}

TEST_F(SecureMail, WrongPasswordIsRefusedWithTheServersReply) {
    for (const char* mechanism : {"PLAIN", "LOGIN"}) {
        SmtpSink sink({SmtpSinkOptions::kStartTls, "ann", "right", mechanism});
        SecureRun run(Localhost(sink), msStartTls, "ann", "wrong");
        std::string error = run.Send();
        EXPECT_EQ(error.rfind("The server refused the login: 535", 0), 0u)
            << mechanism << ": " << error;
        EXPECT_TRUE(sink.Messages().empty());
    }
}

TEST_F(SecureMail, CertificateThatIsNotTrustedOrNamesAnotherHostIsRefused) {
    SmtpSink tls({SmtpSinkOptions::kImplicitTls, "", "", ""});
    SmtpSink startTls({SmtpSinkOptions::kStartTls, "", "", ""});
    // The certificate names "localhost", not the address.
    for (const SmtpSink* sink : {&tls, &startTls}) {
        SecureRun run("127.0.0.1:" + std::to_string(sink->port()),
                      sink == &tls ? msTls : msStartTls);
        EXPECT_EQ(run.Send(), "The server's certificate was refused: IP address mismatch");
    }
    TrustFile(dir.Write("other-ca.pem", ""));
    for (const SmtpSink* sink : {&tls, &startTls}) {
        SecureRun run(Localhost(*sink), sink == &tls ? msTls : msStartTls);
        EXPECT_EQ(run.Send(), "The server's certificate was refused: self-signed certificate");
    }
    EXPECT_TRUE(tls.Messages().empty());
    EXPECT_TRUE(startTls.Messages().empty());
}

TEST_F(SecureMail, ServerWithoutStartTlsIsRefusedWithoutFallingBackToPlainText) {
    SmtpFakeServer server([](Connection& c) {
        c.Say("220 fake ready\r\n");
        c.ReadLine();
        c.Say("250-fake\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME\r\n");
        SmtpFakeServer::Serve(c, false);
    });
    SecureRun run(server.server(), msStartTls, "ann", "s3cret");
    EXPECT_EQ(run.Send(), MailErrorText(kMailNoStartTls));
    std::vector<std::string> lines = server.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("EHLO ", 0), 0u);
}

TEST_F(SecureMail, LoginWithoutSecurityIsRefusedBeforeConnecting) {
    SmtpFakeServer server([](Connection& c) { SmtpFakeServer::Serve(c); });
    SecureRun run(server.server(), msNone, "ann", "s3cret");
    EXPECT_EQ(run.Send(), MailErrorText(kMailPasswordInClear));
    EXPECT_FALSE(server.accepted());
}

TEST_F(SecureMail, RepliesSentAheadOfTheHandshakeAreRefused) {
    SmtpFakeServer server([](Connection& c) {
        c.Say("220 fake ready\r\n");
        c.ReadLine();
        c.Say("250-fake\r\n250 STARTTLS\r\n");
        c.ReadLine();
        // An attacker on the plain link answers the next command before the encryption starts.
        c.Say("220 go ahead\r\n250 injected\r\n");
        c.Drain();
    });
    SecureRun run(server.server(), msStartTls);
    EXPECT_EQ(run.Send(), "The server sent data ahead of the TLS handshake");
}

TEST(SmtpReplies, OversizedLineOrReplyEndsTheSession) {
    struct Case {
        const char* what;
        std::function<void(Connection&)> greet;
        const char* error;
    };
    std::vector<Case> cases = {
        {"one long line", [](Connection& c) { c.Say("220 " + std::string(70000, 'x')); },
         "The server sent a line longer than 64 KB"},
        {"continuation lines without end",
         [](Connection& c) {
             for (int i = 0; i < 1000; ++i)
                 c.Say("220-" + std::string(60, 'x') + "\r\n");
         },
         "The server sent a reply longer than 100 lines or 64 KB"},
        {"few lines, too many bytes",
         [](Connection& c) {
             for (int i = 0; i < 40; ++i)
                 c.Say("220-" + std::string(2000, 'x') + "\r\n");
         },
         "The server sent a reply longer than 100 lines or 64 KB"},
    };
    for (const Case& k : cases) {
        SmtpFakeServer server([&](Connection& c) {
            k.greet(c);
            c.Stall();
        });
        SecureRun run(server.server(), msNone);
        run.smtp.timeOut = std::chrono::seconds(10);
        EXPECT_EQ(run.Send(), k.error) << k.what;
    }
}

TEST(SmtpReplies, SessionLogStopsAtItsLimit) {
    test::TempDir dir;
    // Each recipient's answer is a long reply within the limits; together they would make a
    // log of several megabytes.
    SmtpFakeServer server([](Connection& c) {
        c.Say("220 fake ready\r\n");
        while (true) {
            std::string line = c.ReadLine();
            if (c.closed())
                return;
            if (line.starts_with("RCPT"))
                for (int i = 0; i < 30; ++i)
                    c.Say("250-" + std::string(2000, 'x') + "\r\n");
            if (line == "DATA") {
                c.Say("354 go ahead\r\n");
                std::string data;
                c.ReadData(data);
            }
            c.Say(line == "QUIT" ? "221 bye\r\n" : "250 ok\r\n");
        }
    });
    SecureRun run(server.server(), msNone);
    for (int i = 0; i < 40; ++i)
        run.message.AddRecipient("r" + std::to_string(i) + "@example.org");
    run.smtp.logFile = (dir / "smtp.log").string();
    ASSERT_EQ(run.Send(), "");
    EXPECT_LT(ReadWholeFile(dir / "smtp.log").size(), 1100u * 1024);
}

TEST(SmtpReplies, MessageAcceptedStaysSentWhenQuitGoesUnanswered) {
    SmtpFakeServer server([](Connection& c) {
        c.Say("220 fake ready\r\n");
        while (true) {
            std::string line = c.ReadLine();
            if (c.closed())
                return;
            if (line == "QUIT")
                return c.Reset();
            if (line == "DATA") {
                c.Say("354 go ahead\r\n");
                std::string data;
                c.ReadData(data);
            }
            c.Say("250 ok\r\n");
        }
    });
    SecureRun run(server.server(), msNone);
    EXPECT_EQ(run.Send(), "");
    EXPECT_EQ(run.events, (std::vector<std::string>{"sent", "closed"}));
}

TEST(SmtpReplies, PortFollowsTheSecurityUnlessSetOrNamedInTheServerText) {
    ScriptedHost host;
    TmsSMTP smtp(host);
    smtp.server = "mail.example.org";
    smtp.security = msStartTls;
    EXPECT_EQ(smtp.EffectivePort(), 587);
    smtp.security = msTls;
    EXPECT_EQ(smtp.EffectivePort(), 465);
    smtp.portSetting = 2465;
    EXPECT_EQ(smtp.EffectivePort(), 2465);
    smtp.server = "mail.example.org:2525";
    EXPECT_EQ(smtp.EffectivePort(), 2525);
}

} // namespace
} // namespace tunquil

// The SMTP conversation against a scripted peer: replies the client must cope with, and the
// ways a send can end early.

#include "SmtpFakeServer.h"
#include "base/Files.h"
#include "base/ScriptedHost.h"
#include "export/mail/MailErrors.h"
#include "export/mail/TmsSMTP.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

using test::SmtpFakeServer;
using Connection = SmtpFakeServer::Connection;

TmsMessage SimpleMessage() {
    TmsMessage m;
    m.sender = {"Ann", "ann@example.org"};
    m.AddRecipient("bob@example.org");
    m.subject = "Tunes";
    m.body = {"Hello"};
    return m;
}

struct MailRun {
    ScriptedHost host;
    TmsSMTP smtp{host};
    TmsMessage message = SimpleMessage();
    std::vector<std::string> events;
    std::string error;

    explicit MailRun(const std::string& server) {
        smtp.server = server;
        smtp.mailMessage = &message;
        smtp.onOpen = [this] { events.push_back("open"); };
        smtp.onPrepare = [this] { events.push_back("prepare"); };
        smtp.onSending = [this] { events.push_back("sending"); };
        smtp.onMailSent = [this] { events.push_back("sent"); };
        smtp.onClosing = [this] { events.push_back("closing"); };
        smtp.onClosed = [this] { events.push_back("closed"); };
        smtp.onCancel = [this] { events.push_back("cancel"); };
        smtp.onError = [this](const std::string& text) {
            events.push_back("error");
            error = text;
        };
    }
    // The error text thrown by Send, or "" when it succeeded.
    std::string Send() {
        try {
            smtp.Send();
            return "";
        } catch (const EMailError& e) {
            return e.what();
        }
    }
};

TEST(SmtpClient, FullConversationWithEventsInOrder) {
    SmtpFakeServer server([](Connection& c) { SmtpFakeServer::Serve(c); });
    MailRun run(server.server());
    run.message.cc = {{"", "cc@example.org"}};
    run.message.bcc = {{"", "hidden@example.org"}};
    std::vector<int> progress;
    run.smtp.onProgress = [&](int p) { progress.push_back(p); };
    EXPECT_EQ(run.Send(), "");
    std::vector<std::string> lines = server.Lines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0].rfind("HELO ", 0), 0u);
    EXPECT_EQ(lines[1], "MAIL FROM:<ann@example.org>");
    EXPECT_EQ(lines[2], "RCPT TO:<bob@example.org>");
    EXPECT_EQ(lines[3], "RCPT TO:<cc@example.org>");
    EXPECT_EQ(lines[4], "RCPT TO:<hidden@example.org>");
    EXPECT_EQ(lines[5], "DATA");
    EXPECT_EQ(lines[6], "QUIT");
    EXPECT_EQ(run.events, (std::vector<std::string>{"open", "prepare", "sending", "sent", "closing",
                                                    "closed"}));
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress[progress.size() - 2], 100);
    EXPECT_EQ(progress.back(), 0);
    // An empty line and "." close the data.
    EXPECT_EQ(server.data().substr(server.data().size() - 9), "Hello\r\n\r\n");
}

TEST(SmtpClient, ReadsMultiLineGreetingWholeBeforeHelo) {
    SmtpFakeServer server([](Connection& c) {
        c.Say("220-first line\r\n220-second line\r\n220 ready\r\n");
        std::string helo = c.ReadLine();
        c.Say(helo.rfind("HELO ", 0) == 0 ? "250-hello\r\n250-more\r\n250 done\r\n" : "500 ?\r\n");
        for (const char* reply : {"250 sender ok\r\n", "250 rcpt ok\r\n", "354 go\r\n"}) {
            c.ReadLine();
            c.Say(reply);
        }
        std::string data;
        c.ReadData(data);
        c.Say("250 queued\r\n");
        c.ReadLine();
        c.Say("221 bye\r\n");
    });
    MailRun run(server.server());
    EXPECT_EQ(run.Send(), "");
    EXPECT_EQ(run.smtp.lastReply(), "221 bye");
}

TEST(SmtpClient, RepliesEndingInABareLineFeedAreReadLikeAnyOther) {
    SmtpFakeServer server([](Connection& c) {
        c.Say("220-first line\n220 ready\n");
        c.ReadLine();
        c.Say("250-hello\n250 done\n");
        for (const char* reply : {"250 sender ok\n", "250 rcpt ok\r\n", "354 go\n"}) {
            c.ReadLine();
            c.Say(reply);
        }
        std::string data;
        c.ReadData(data);
        c.Say("250 queued\n");
        c.ReadLine();
        c.Say("221 bye\n");
    });
    MailRun run(server.server());
    EXPECT_EQ(run.Send(), "");
    EXPECT_EQ(run.smtp.lastReply(), "221 bye");
    EXPECT_EQ(server.Lines().size(), 5u); // HELO, MAIL, RCPT, DATA, QUIT: nothing sent twice
}

TEST(SmtpClient, FallsBackToBareHeloWhenHostNameIsRefused) {
    SmtpFakeServer server([](Connection& c) {
        c.Say("220 ready\r\n");
        c.ReadLine();
        c.Say("501 bad host name\r\n");
        if (c.ReadLine() != "HELO")
            return;
        c.Say("250 hello\r\n");
        SmtpFakeServer::Serve(c, false);
    });
    MailRun run(server.server());
    EXPECT_EQ(run.Send(), "");
    std::vector<std::string> lines = server.Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "HELO");
    EXPECT_EQ(lines[2], "MAIL FROM:<ann@example.org>");
}

TEST(SmtpClient, RefusedRecipientEndsSendWithServerReply) {
    SmtpFakeServer server([](Connection& c) {
        c.Say("220 ready\r\n");
        c.ReadLine();
        c.Say("250 hello\r\n");
        c.ReadLine();
        c.Say("250 sender ok\r\n");
        c.ReadLine();
        c.Say("550 5.1.1 No such user here\r\n");
        c.Drain();
    });
    MailRun run(server.server());
    run.message.AddRecipient("second@example.org");
    EXPECT_EQ(run.Send(), "550 5.1.1 No such user here");
    EXPECT_EQ(run.error, "550 5.1.1 No such user here");
    std::vector<std::string> lines = server.Lines();
    EXPECT_EQ(lines.back(), "RCPT TO:<bob@example.org>");
    // An error leaves the status showing it: no closing or closed event follows.
    EXPECT_EQ(run.events.back(), "error");
}

TEST(SmtpClient, StallingServerTimesOutWhileInterfaceKeepsRunning) {
    SmtpFakeServer server([](Connection& c) {
        c.Say("220 ready\r\n");
        c.ReadLine();
        c.Stall();
    });
    MailRun run(server.server());
    run.smtp.timeOut = std::chrono::milliseconds(300);
    EXPECT_EQ(run.Send(), "Operation timed out");
    EXPECT_EQ(run.error, "Operation timed out");
    EXPECT_GT(run.host.processEventsCalls, 0);
}

TEST(SmtpClient, ConnectionResetReportsSocketError) {
    SmtpFakeServer server([](Connection& c) {
        c.Say("220 ready\r\n");
        c.ReadLine();
        c.Say("250 hello\r\n");
        c.ReadLine();
        c.Reset();
    });
    MailRun run(server.server());
    EXPECT_EQ(run.Send(), "[104] Connection reset by peer");
}

TEST(SmtpClient, CancelDuringDataStopsBeforeTheEndOfTheMessage) {
    SmtpFakeServer server([](Connection& c) { SmtpFakeServer::Serve(c); });
    MailRun run(server.server());
    run.message.attachments.emplace_back("big.bin", std::string(300000, 'x'));
    run.smtp.onProgress = [&](int p) {
        if (p >= 30)
            run.smtp.Cancel();
    };
    EXPECT_EQ(run.Send(), "Operation has been canceled");
    EXPECT_EQ(run.events.back(), "error");
    EXPECT_EQ(run.events[run.events.size() - 2], "cancel");
    std::vector<std::string> lines = server.Lines();
    EXPECT_EQ(lines.back(), "DATA");
    EXPECT_LT(server.data().size(), 300000u);
}

TEST(SmtpClient, LineBreakInAnyTextRefusesBeforeConnecting) {
    struct Case {
        const char* what;
        std::function<void(MailRun&)> spoil;
    };
    const std::string nul("x\0y", 3);
    std::vector<Case> cases = {
        {"server", [](MailRun& r) { r.smtp.server += "\r\nQUIT"; }},
        {"sender", [](MailRun& r) { r.message.sender.address = "a@b>\r\nRCPT TO:<c@d"; }},
        {"sender name", [](MailRun& r) { r.message.sender.name = "Ann\nBcc: x@y"; }},
        {"recipient", [](MailRun& r) { r.message.AddRecipient("x@y>\r\nDATA"); }},
        {"recipient name",
         [](MailRun& r) {
             r.message.cc = {{"C\r", "c@d"}};
         }},
        {"bcc",
         [&](MailRun& r) {
             r.message.bcc = {{"", nul}};
         }},
        {"subject", [](MailRun& r) { r.message.subject = "Hi\r\nBcc: victim@example.org"; }},
        {"attachment", [](MailRun& r) { r.message.attachments.emplace_back("a\nb.mid", "MThd"); }},
    };
    for (const Case& c : cases) {
        SmtpFakeServer server([](Connection& conn) { SmtpFakeServer::Serve(conn); });
        MailRun run(server.server());
        c.spoil(run);
        EXPECT_NE(run.Send().find("contains a line break or NUL character"), std::string::npos)
            << c.what;
        EXPECT_FALSE(server.accepted()) << c.what;
    }
}

TEST(SmtpClient, AnAddressThatIsNoMailboxIsRefusedBeforeConnecting) {
    for (const char* bad :
         {"a@b> NOTIFY=NEVER", "a b@c", "a@b c", "@b", "a@", "a..b@c", ".a@c", "a@-b.c", "a@b..c",
          "<a@b>", "a@[1.2.3.4", "\"a@b", "a@b@c", "Bob <bob@x.org>", "a@b>", ""}) {
        for (bool sender : {false, true}) {
            if (sender && *bad == '\0')
                continue; // an empty sender has its own message
            SmtpFakeServer server([](Connection& conn) { SmtpFakeServer::Serve(conn); });
            MailRun run(server.server());
            if (sender)
                run.message.sender.address = bad;
            else
                run.message.AddRecipient(bad);
            EXPECT_EQ(run.Send(),
                      std::string("The address \"") + bad + "\" is not a valid mail address");
            EXPECT_FALSE(server.accepted()) << bad;
        }
    }
    for (const char* good : {"a.b+c@x-y.example.org", "\"a> b\\\"c\"@x.org", "u@[192.0.2.1]",
                             "u@[IPv6:2001:db8::1]", "x@localhost", "o'neil@x9.org"})
        EXPECT_NO_THROW(CheckMailbox(good)) << good;
}

TEST(SmtpClient, MissingPartsGiveTheirMessages) {
    SmtpFakeServer server([](Connection& c) { SmtpFakeServer::Serve(c); });
    {
        MailRun run("  ");
        EXPECT_EQ(run.Send(), "Server property is required");
    }
    {
        MailRun run(server.server());
        run.message.sender.address.clear();
        EXPECT_EQ(run.Send(), "The address of sender is required");
    }
    {
        MailRun run(server.server());
        run.smtp.mailMessage = nullptr;
        EXPECT_EQ(run.Send(), "MailMessage property must be assigned");
    }
}

TEST(SmtpClient, NoRecipientIsRefused) {
    SmtpFakeServer server([](Connection& c) { SmtpFakeServer::Serve(c); });
    MailRun run(server.server());
    run.message.to.clear();
    EXPECT_EQ(run.Send(), "At least one Recipient, CC or BCC must be entered");
}

TEST(SmtpClient, PortComesFromServerTextThenServiceThenDefault) {
    ScriptedHost host;
    TmsSMTP smtp(host);
    smtp.server = "mail.example.org:2525";
    EXPECT_EQ(smtp.EffectivePort(), 2525);
    smtp.server = "mail.example.org";
    EXPECT_EQ(smtp.EffectivePort(), 25); // the "smtp" service
    smtp.server = "mail.example.org:0";
    smtp.serviceName = "no-such-service";
    smtp.port = 587;
    EXPECT_EQ(smtp.EffectivePort(), 587);
}

TEST(SmtpClient, RefusedConnectionGivesSocketErrorText) {
    int port;
    {
        SmtpFakeServer server([](Connection&) {});
        port = server.port();
    }
    MailRun run("127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(run.Send(), "[111] Connection refused");
}

TEST(SmtpClient, LogKeepsTheConversationButNotTheBody) {
    test::TempDir dir;
    SmtpFakeServer server([](Connection& c) { SmtpFakeServer::Serve(c); });
    MailRun run(server.server());
    run.message.body = {"secret body line"};
    run.smtp.logFile = (dir / "smtp.log").string();
    ASSERT_EQ(run.Send(), "");
    std::string log = ReadWholeFile(dir / "smtp.log");
    EXPECT_NE(log.find("220 fake ready\n"), std::string::npos);
    EXPECT_NE(log.find("MAIL FROM:<ann@example.org>\n250 ok\n"), std::string::npos);
    EXPECT_NE(log.find("DATA\n354 go ahead\nSuppressing the message body\n"), std::string::npos);
    EXPECT_NE(log.find("QUIT\n221 bye\n"), std::string::npos);
    EXPECT_EQ(log.find("secret"), std::string::npos);
}

TEST(SmtpClient, ALogThatCannotBeWrittenIsReportedButTheSentMailStaysSent) {
    SmtpFakeServer server([](Connection& c) { SmtpFakeServer::Serve(c); });
    MailRun run(server.server());
    run.smtp.logFile = "/nonexistent-folder/smtp.log";
    EXPECT_EQ(run.Send(), "");
    EXPECT_NE(run.error.find("smtp.log"), std::string::npos) << run.error;
}

TEST(SmtpClient, EveryLineStartingWithDotIsDoubledOnTheWire) {
    EXPECT_EQ(DotStuffed(".\r\n.a\r\nb.\r\n..c\r\n"), "..\r\n..a\r\nb.\r\n...c\r\n");
    EXPECT_EQ(DotStuffed("x\r\n.\r\n"), "x\r\n..\r\n");
    // A bare CR or LF is a line end to some servers: it becomes CR LF, and the dot after it
    // is doubled.
    EXPECT_EQ(DotStuffed("Nice\r.\r\nRSET\n.x\ry"), "Nice\r\n..\r\nRSET\r\n..x\r\ny");
}

TEST(SmtpClient, ABodyLineWithCrOrLfGoesOutAsLinesOfItsOwn) {
    SmtpFakeServer server([](Connection& c) { SmtpFakeServer::Serve(c); });
    MailRun run(server.server());
    run.message.body = {"Nice\r.\r\nRSET\r\nMAIL FROM:<x@y>", "end"};
    ASSERT_EQ(run.Send(), "");
    EXPECT_EQ(server.data().substr(server.data().find("\r\n\r\n") + 4),
              "Nice\r\n..\r\nRSET\r\nMAIL FROM:<x@y>\r\nend\r\n\r\n");
}

} // namespace
} // namespace tunquil

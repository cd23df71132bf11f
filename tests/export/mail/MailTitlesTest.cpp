// Mailing titles end to end with stand-ins for the database and the archive writer, sent to a
// real local SMTP server.

#include "SmtpFakeServer.h"
#include "base/Files.h"
#include "base/ScriptedHost.h"
#include "export/mail/TitleMailer.h"
#include "support/ScopedEnv.h"
#include "support/SmtpSink.h"
#include "support/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace tunquil {
namespace {

namespace fs = std::filesystem;
using test::SmtpSink;

struct StandInTitles : ITitleExporter {
    std::map<int, TitleInfo> titles;
    std::map<int, std::string> midi;
    std::optional<TitleInfo> Describe(int key) override {
        auto it = titles.find(key);
        if (it == titles.end())
            return std::nullopt;
        return it->second;
    }
    void ExportMidi(int key, const fs::path& file) override {
        WriteFileAtomically(file, midi.at(key));
    }
};

// Stands for the ZIP writer: the files' names and bytes one after the other.
struct StandInArchiver : IArchiveWriter {
    bool fail = false;
    std::vector<fs::path> lastFiles;
    std::string lastBytes;
    void WriteArchive(const fs::path& archive, const std::vector<fs::path>& files) override {
        if (fail)
            throw std::runtime_error("disk full");
        lastFiles = files;
        lastBytes = "PK\x03\x04";
        for (const fs::path& f : files)
            lastBytes += f.filename().string() + ReadWholeFile(f);
        WriteFileAtomically(archive, lastBytes);
    }
};

class MailTitles : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sink_ = std::make_unique<SmtpSink>(); }
    static void TearDownTestSuite() { sink_.reset(); }

    void SetUp() override {
        sink_->Clear();
        fs::create_directories(home.path() / "TempMail");
        titles.titles = {{1, {"Rock", "Band A", "First"}},
                         {2, {"Jazz", "Trio B", "Second"}},
                         {3, {"Rock", "Band A", "AC/DC style"}}};
        titles.midi = {{1, std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14) + "one"},
                       {2, std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14) + "two"},
                       {3, std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14) + ".three"}};
        mailer.settings.server = sink_->server();
        mailer.settings.emailAddress = "me@example.org";
        mailer.settings.name = "Me";
    }

    test::TempDir home;
    ScriptedHost host;
    StandInTitles titles;
    StandInArchiver archiver;
    TitleMailer mailer{host, home.path(), titles, archiver};
    static std::unique_ptr<SmtpSink> sink_;
};

std::unique_ptr<SmtpSink> MailTitles::sink_;

TEST_F(MailTitles, CompressedSendMailsArchiveWithListing) {
    mailer.AttachTitles({1, 99, 2, 3});
    ASSERT_EQ(mailer.rows().size(), 3u);
    EXPECT_EQ(mailer.rows()[2].path, home.path() / "TempMail" / "AC_DC style.mid");
    EXPECT_EQ(mailer.ArchivePath().filename(), "3MIDI files.zip");

    ASSERT_TRUE(mailer.Send("a@example.org; b@example.org;", "Tunes", {"Hello"}, true));
    auto messages = sink_->Messages();
    ASSERT_EQ(messages.size(), 1u);
    test::ReceivedMail mail = sink_->Read(messages[0]);
    EXPECT_EQ(mail.recipients, (std::vector<std::string>{"a@example.org", "b@example.org"}));
    EXPECT_EQ(mail.Header("From"), "Me <me@example.org>");
    EXPECT_EQ(mail.Header("Subject"), "Tunes");
    std::string rule(76, '=');
    EXPECT_EQ(mail.body, "Hello\r\n\r\n\r\n" + rule +
                             "\r\nThe attached archive (3MIDI files.zip) contains 3 MIDI(s):\r\n"
                             "    \"First\" by Band A\r\n"
                             "    \"Second\" by Trio B\r\n"
                             "    \"AC/DC style\" by Band A\r\n" +
                             rule + "\r\n\r\n");
    ASSERT_EQ(mail.attachments.size(), 1u);
    EXPECT_EQ(mail.attachments[0].fileName, "3MIDI files.zip");
    EXPECT_EQ(mail.attachments[0].contentType, "application/zip");
    EXPECT_EQ(mail.attachments[0].data, archiver.lastBytes);
    EXPECT_FALSE(fs::exists(mailer.ArchivePath()));

    std::vector<std::string> expected = {"Loading attachments...", "",
                                         "Opening connection",     "Preparing message",
                                         "Sending message",        "Message has been sent",
                                         "Closing connection",     "Mail sent"};
    std::vector<std::string> tail(host.statuses.end() - static_cast<long>(expected.size()),
                                  host.statuses.end());
    EXPECT_EQ(tail, expected);
    EXPECT_EQ(host.busyDepth, 0);
}

TEST_F(MailTitles, SeparateSendAttachesEachExportedFile) {
    mailer.settings.encoding = meUUCode;
    mailer.AttachTitles({3, 1});
    ASSERT_TRUE(mailer.Send("x@example.org", "", {}, false));
    test::ReceivedMail mail = sink_->Read(sink_->Messages().at(0));
    ASSERT_EQ(mail.attachments.size(), 2u);
    EXPECT_EQ(mail.attachments[0].fileName, "AC_DC style.mid");
    EXPECT_EQ(mail.attachments[0].data, titles.midi[3]);
    EXPECT_EQ(mail.attachments[1].fileName, "First.mid");
    EXPECT_EQ(mail.attachments[1].data, titles.midi[1]);
}

TEST_F(MailTitles, TitlesOfTheSameNameEachSendTheirOwnTune) {
    titles.titles[4] = {"Jazz", "Trio B", "First"};
    titles.midi[4] = titles.midi[2];
    mailer.AttachTitles({1, 4});
    ASSERT_TRUE(mailer.Send("x@example.org", "", {}, false));
    test::ReceivedMail mail = sink_->Read(sink_->Messages().at(0));
    ASSERT_EQ(mail.attachments.size(), 2u);
    EXPECT_EQ(mail.attachments[0].fileName, "First.mid");
    EXPECT_EQ(mail.attachments[0].data, titles.midi[1]);
    EXPECT_EQ(mail.attachments[1].fileName, "First (4).mid");
    EXPECT_EQ(mail.attachments[1].data, titles.midi[4]);
}

TEST_F(MailTitles, CompressionProblemStopsAndSendsNothing) {
    mailer.AttachTitles({1, 2});
    archiver.fail = true;
    EXPECT_FALSE(mailer.Send("a@example.org", "Tunes", {"Hello"}, true));
    EXPECT_EQ(host.LastMessage(), "Problem compressing attachments");
    EXPECT_TRUE(sink_->Messages().empty());
    EXPECT_EQ(std::count(host.statuses.begin(), host.statuses.end(), "Mail sent"), 0);
    EXPECT_EQ(std::count(host.statuses.begin(), host.statuses.end(), "disk full"), 1);
    EXPECT_FALSE(fs::exists(mailer.ArchivePath()));
}

TEST_F(MailTitles, AttachingAgainReplacesRowsAndDeletesTheirFiles) {
    mailer.AttachTitles({1, 2});
    fs::path first = mailer.rows()[0].path;
    ASSERT_TRUE(fs::exists(first));
    mailer.AttachTitles({3});
    ASSERT_EQ(mailer.rows().size(), 1u);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(home.path() / "TempMail" / "Second.mid"));
    EXPECT_TRUE(fs::exists(mailer.rows()[0].path));
}

TEST_F(MailTitles, SetupOpensOnlyForAMissingServerOrSenderOrAnErrorNamingOne) {
    int setups = 0;
    mailer.onSetupRequired = [&] { ++setups; };
    mailer.AttachTitles({1});
    // Complete settings without a dial-up entry send straight away.
    ASSERT_EQ(mailer.settings.ras, 0);
    EXPECT_TRUE(mailer.Send("a@example.org", "", {}, false));
    EXPECT_EQ(setups, 0);
    // A missing sender asks before sending, and the server's error asks again.
    mailer.settings.emailAddress.clear();
    EXPECT_FALSE(mailer.Send("a@example.org", "", {}, false));
    EXPECT_EQ(host.statuses.back(), "The address of sender is required");
    EXPECT_EQ(setups, 2);
}

TEST_F(MailTitles, AMessageRefusedAfterItsLastByteIsNotReportedSent) {
    test::SmtpFakeServer refusing([](test::SmtpFakeServer::Connection& c) {
        c.Say("220 fake ready\r\n");
        for (std::string line = c.ReadLine(); !c.closed(); line = c.ReadLine()) {
            if (line == "DATA") {
                c.Say("354 go ahead\r\n");
                std::string data;
                c.ReadData(data);
                c.Say("554 rejected by policy\r\n");
            } else {
                c.Say(line == "QUIT" ? "221 bye\r\n" : "250 ok\r\n");
            }
        }
    });
    mailer.settings.server = refusing.server();
    mailer.AttachTitles({1});
    EXPECT_FALSE(mailer.Send("a@example.org", "", {}, false));
    EXPECT_EQ(std::count(host.statuses.begin(), host.statuses.end(), "Mail sent"), 0);
    EXPECT_EQ(std::count(host.statuses.begin(), host.statuses.end(), "Message has been sent"), 0);
}

TEST_F(MailTitles, MissingExportSurfacesAtSend) {
    titles.midi.erase(2);
    mailer.AttachTitles({2});
    ASSERT_EQ(mailer.rows().size(), 1u);
    EXPECT_FALSE(mailer.Send("a@example.org", "", {}, false));
    EXPECT_TRUE(sink_->Messages().empty());
    EXPECT_NE(host.statuses.back().find("Second.mid"), std::string::npos);
}

// Sending with a login: where the password comes from, and where it never goes.
class MailLogin : public ::testing::Test {
protected:
    void SetUp() override { Configure(mailer); }
    void Configure(TitleMailer& m) {
        m.settings.server = "localhost:" + std::to_string(sink.port());
        m.settings.emailAddress = "me@example.org";
        m.settings.security = msStartTls;
        m.settings.user = "ann";
        m.settings.logFile = (home / "smtp.log").string();
    }
    bool Send(TitleMailer& m) { return m.Send("you@example.org", "Hi", {"Hello"}, false); }

    test::ScopedEnv trust{"SSL_CERT_FILE", SmtpSink::CertificateFile().c_str()};
    SmtpSink sink{{test::SmtpSinkOptions::kStartTls, "ann", "s3cret", "PLAIN,LOGIN"}};
    test::TempDir home;
    ScriptedHost host;
    StandInTitles titles;
    StandInArchiver archiver;
    platform::MemorySecretStore keyring;
    TitleMailer mailer{host, home.path(), titles, archiver, &keyring};
    const std::pair<std::string, std::string> key{"localhost", "ann"};
};

TEST_F(MailLogin, WithoutKeyringThePasswordIsAskedOnceARunAndWrittenNowhere) {
    keyring.available = false;
    host.inputAnswers = {"s3cret"};
    ASSERT_TRUE(Send(mailer)) << host.statuses.back();
    ASSERT_TRUE(Send(mailer)) << host.statuses.back();
    EXPECT_TRUE(host.inputAnswers.empty());
    EXPECT_EQ(sink.Messages().size(), 2u);
    ASSERT_TRUE(mailer.Close());
    std::string ini = ReadWholeFile(home / "Tunquil.ini");
    EXPECT_NE(ini.find("\nSecurity=1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("\nUser=ann"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("s3cret"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(home / "smtp.log").find("s3cret"), std::string::npos);
    EXPECT_TRUE(keyring.passwords.empty());
}

TEST_F(MailLogin, KeyringKeepsAnAcceptedPasswordAndForgetsARefusedOne) {
    host.inputAnswers = {"s3cret"};
    ASSERT_TRUE(Send(mailer));
    EXPECT_EQ(keyring.passwords[key], "s3cret");
    {
        // The next run finds it there and asks nothing.
        TitleMailer next(host, home.path(), titles, archiver, &keyring);
        Configure(next);
        ASSERT_TRUE(Send(next));
    }
    keyring.passwords[key] = "changed since";
    TitleMailer later(host, home.path(), titles, archiver, &keyring);
    Configure(later);
    EXPECT_FALSE(Send(later));
    EXPECT_EQ(host.statuses.back().rfind("The server refused the login: 535", 0), 0u);
    EXPECT_FALSE(keyring.passwords.contains(key));
    host.inputAnswers = {"s3cret"};
    ASSERT_TRUE(Send(later));
    EXPECT_EQ(keyring.passwords[key], "s3cret");
    EXPECT_EQ(sink.Messages().size(), 3u);
}

TEST_F(MailLogin, CancelledPasswordQuestionSendsNothing) {
    EXPECT_FALSE(Send(mailer));
    EXPECT_EQ(host.statuses.back(), "The mail was not sent: no password was given");
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(MailTitlesText, RecipientsSplitAtSemicolonAndTrimmed) {
    EXPECT_EQ(TitleMailer::SplitRecipients("a@x; b@y;"), (std::vector<std::string>{"a@x", "b@y"}));
    EXPECT_EQ(TitleMailer::SplitRecipients(";; ;a@x "), (std::vector<std::string>{"a@x"}));
    EXPECT_TRUE(TitleMailer::SplitRecipients("").empty());
    EXPECT_EQ(TitleMailer::Caption(3), " Mail the attached 3 title(s)");
}

TEST(MailTitlesText, ListingLeavesOutControlCharactersOfTitlesStoredWithThem) {
    std::vector<std::string> lines =
        TitleMailer::Listing("1MIDI files.zip", {{"Pop", "Band\x1b[2J", "Nice\r.\r\nRSET", {}}});
    EXPECT_EQ(lines[4], "    \"Nice.RSET\" by Band[2J");
}

TEST(MailSettingsFile, RoundTripKeepsOtherKeysAndWritesKeyNamesAsGiven) {
    test::TempDir home;
    WriteFileAtomically(home / "Tunquil.ini", "[Initialization]\r\nInitialization=1\r\n\r\n"
                                              "[Setup]\r\nShowAllHints=0\r\nemail address=old@x\r\n"
                                              "Notification=1\r\n");
    ScriptedHost host;
    StandInTitles titles;
    StandInArchiver archiver;
    TitleMailer mailer(host, home.path(), titles, archiver);
    mailer.LoadSettings();
    EXPECT_EQ(mailer.settings.emailAddress, "old@x");
    EXPECT_TRUE(mailer.settings.notification);
    mailer.settings.server = "mail.example.org:2525";
    mailer.settings.emailAddress = "new@x";
    mailer.settings.charSet = 1;
    ASSERT_TRUE(mailer.Close());
    EXPECT_EQ(ReadWholeFile(home / "Tunquil.ini"),
              "[Initialization]\r\nInitialization=1\r\n\r\n"
              "[Setup]\r\nShowAllHints=0\r\nemail address=new@x\r\nNotification=1\r\n"
              "Server=mail.example.org:2525\r\nName=\r\nRAS=0\r\nLog File=\r\nCharSet=1\r\n"
              "Encoding=0\r\n");
}

} // namespace
} // namespace tunquil

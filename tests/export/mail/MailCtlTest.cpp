// tunquilctl mail: titles from a real database sent to a local SMTP server.

#include "base/Files.h"
#include "export/archive/TAbUnZipper.h"
#include "support/MidiBytes.h"
#include "support/ScopedEnv.h"
#include "support/SmtpSink.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

using test::RunCtl;
using test::SmallMidiFile;
using test::TempDir;

class MailCtl : public ::testing::Test {
protected:
    void SetUp() override {
        a = SmallMidiFile(1, "a");
        b = SmallMidiFile(2, "b");
        dir.Write("tunes/Alpha.mid", a);
        dir.Write("tunes/Beta.mid", b);
        std::string out;
        ASSERT_EQ(
            Ctl("add --category Rock --artist 'Doe, Jane' '" + (dir / "tunes").string() + "'", out),
            0)
            << out;
    }
    int Ctl(const std::string& args, std::string& out) {
        return RunCtl("--home '" + (dir / "home").string() + "' " + args, out);
    }
    void Settings(const std::string& setup) {
        WriteFileAtomically(dir / "home" / "Tunquil.ini", "[Setup]\n" + setup);
    }
    TempDir dir;
    test::SmtpSink sink;
    std::string a, b;
};

TEST_F(MailCtl, MailsTitlesAsOneArchiveWithListing) {
    Settings("Server=" + sink.server() + "\nEMail Address=me@example.org\nName=Me\n");
    dir.Write("body.txt", "Two tunes for you.\n.\n");
    std::string out;
    ASSERT_EQ(Ctl("mail 1 2 --to 'a@example.org; b@example.org;' --subject 'Tunes' --body-file '" +
                      (dir / "body.txt").string() + "'",
                  out),
              0)
        << out;
    EXPECT_NE(out.find("Opening connection\n"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 10), "Mail sent\n");

    ASSERT_EQ(sink.Messages().size(), 1u);
    test::ReceivedMail mail = sink.Read(sink.Messages()[0]);
    EXPECT_EQ(mail.recipients, (std::vector<std::string>{"a@example.org", "b@example.org"}));
    EXPECT_EQ(mail.Header("Subject"), "Tunes");
    EXPECT_EQ(mail.body.rfind("Two tunes for you.\r\n.\r\n\r\n\r\n", 0), 0u);
    EXPECT_NE(mail.body.find("The attached archive (2MIDI files.zip) contains 2 MIDI(s):\r\n"
                             "    \"Alpha\" by Jane Doe\r\n    \"Beta\" by Jane Doe\r\n"),
              std::string::npos)
        << mail.body;
    ASSERT_EQ(mail.attachments.size(), 1u);
    EXPECT_EQ(mail.attachments[0].fileName, "2MIDI files.zip");
    WriteFileAtomically(dir / "got.zip", mail.attachments[0].data);
    TAbUnZipper unzipper;
    unzipper.Open(dir / "got.zip");
    EXPECT_EQ(unzipper.FileNames(), (std::vector<std::string>{"Alpha.mid", "Beta.mid"}));
    unzipper.SetBaseDirectory(dir / "unzipped");
    std::filesystem::create_directories(dir / "unzipped");
    unzipper.ExtractFiles("*.mid");
    EXPECT_EQ(ReadWholeFile(dir / "unzipped" / "Alpha.mid"), a);
    EXPECT_EQ(ReadWholeFile(dir / "unzipped" / "Beta.mid"), b);
}

TEST_F(MailCtl, SeparateUuencodedAttachments) {
    Settings("Server=" + sink.server() + "\nEMail Address=me@example.org\nEncoding=1\n");
    std::string out;
    ASSERT_EQ(Ctl("mail 2 1 --to x@example.org --separate", out), 0) << out;
    test::ReceivedMail mail = sink.Read(sink.Messages().at(0));
    ASSERT_EQ(mail.attachments.size(), 2u);
    EXPECT_EQ(mail.attachments[0].fileName, "Beta.mid");
    EXPECT_EQ(mail.attachments[0].data, b);
    EXPECT_EQ(mail.attachments[1].data, a);
}

TEST_F(MailCtl, FailedSendExitsWithOneAndSaysWhy) {
    Settings("EMail Address=me@example.org\n");
    std::string out;
    EXPECT_EQ(Ctl("mail 1 --to x@example.org", out), 1);
    EXPECT_NE(out.find("Server property is required"), std::string::npos);
    EXPECT_EQ(Ctl("mail 7 --to x@example.org", out), 1);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(MailCtl, LoginOverStartTlsTakesThePasswordFromStandardInputOnly) {
    test::SmtpSink secure({test::SmtpSinkOptions::kStartTls, "me", "pa ss", "PLAIN"});
    test::ScopedEnv trust("SSL_CERT_FILE", test::SmtpSink::CertificateFile().c_str());
    // No keyring for this run: the password must come from standard input.
    test::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", nullptr);
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().c_str());
    Settings("Server=localhost\nPort=" + std::to_string(secure.port()) +
             "\nSecurity=1\nUser=me\nEMail Address=me@example.org\nLog File=" +
             (dir / "smtp.log").string() + "\n");
    dir.Write("password", "pa ss\n");
    std::string out;
    ASSERT_EQ(
        Ctl("mail 1 --to x@example.org --password-stdin < '" + (dir / "password").string() + "'",
            out),
        0)
        << out;
    ASSERT_EQ(secure.Messages().size(), 1u);
    EXPECT_EQ(ReadWholeFile(dir / "smtp.log").find("pa ss"), std::string::npos);

    EXPECT_EQ(Ctl("mail 1 --to x@example.org < /dev/null", out), 1);
    EXPECT_NE(out.find("no password was given"), std::string::npos) << out;
    EXPECT_EQ(secure.Messages().size(), 1u);
    EXPECT_EQ(ReadWholeFile(dir / "home" / "Tunquil.ini").find("pa ss"), std::string::npos);
}

} // namespace
} // namespace tunquil

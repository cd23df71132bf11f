// Messages sent to a real SMTP server (aiosmtpd) and read back with Python's email package:
// what a recipient's mail program gets out of them.

#include "base/ScriptedHost.h"
#include "export/mail/TmsSMTP.h"
#include "support/SmtpSink.h"

#include <gtest/gtest.h>
#include <memory>
#include <random>

namespace tunquil {
namespace {

using test::ReceivedMail;
using test::SmtpSink;

// Bytes shaped like a Standard MIDI File: a header chunk and a track of pseudo-random events.
std::string MidiLikeBytes(std::size_t trackSize, unsigned seed) {
    std::string b("MThd\0\0\0\6\0\1\0\1\1\xE0MTrk", 18);
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(static_cast<char>((trackSize >> shift) & 0xFF));
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < trackSize; ++i)
        b.push_back(static_cast<char>(rng() & 0xFF));
    return b;
}

// A stored (uncompressed) ZIP archive of one entry; the bytes need only look like one.
std::string ZipLikeBytes(const std::string& content) {
    std::string b("PK\3\4\x14\0\0\0\0\0", 10);
    b += std::string(16, '\0') + "\x05\0\0\0" + "a.mid" + content;
    b += std::string("PK\5\6", 4) + std::string(18, '\0');
    return b;
}

class MailDelivery : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sink_ = std::make_unique<SmtpSink>(); }
    static void TearDownTestSuite() { sink_.reset(); }
    void SetUp() override { sink_->Clear(); }

    // Sends `m` and returns what the server received.
    ReceivedMail SendAndRead(TmsMessage& m) {
        ScriptedHost host;
        TmsSMTP smtp(host);
        smtp.server = sink_->server();
        smtp.mailMessage = &m;
        smtp.Send();
        auto messages = sink_->Messages();
        EXPECT_EQ(messages.size(), 1u);
        return sink_->Read(messages.at(0));
    }

    static TmsMessage Message() {
        TmsMessage m;
        m.sender = {"Tunquil User", "user@example.org"};
        m.to = {{"", "first@example.org"}, {"", " second@example.org"}};
        m.cc = {{"", "copy@example.org"}};
        m.bcc = {{"", "blind@example.org"}};
        m.subject = "Three tunes";
        return m;
    }

    static std::unique_ptr<SmtpSink> sink_;
};

std::unique_ptr<SmtpSink> MailDelivery::sink_;

TEST_F(MailDelivery, MimeAttachmentsDecodeToTheirExactBytes) {
    TmsMessage m = Message();
    m.body = {"Here they are.", ".", ".hidden line", "", "..two dots"};
    std::string midi = MidiLikeBytes(30000, 1);
    std::string zip = ZipLikeBytes(MidiLikeBytes(4000, 2));
    std::string small = MidiLikeBytes(3, 3); // a length that needs "=" fill
    m.attachments.emplace_back("Song one.mid", midi, "audio/midi");
    m.attachments.emplace_back("3MIDI files.zip", zip);
    m.attachments.emplace_back("tiny.mid", small, "audio/midi");
    ReceivedMail mail = SendAndRead(m);

    EXPECT_EQ(mail.from, "user@example.org");
    // The blank kept in "< second@example.org>" is the server's to drop.
    EXPECT_EQ(mail.recipients, (std::vector<std::string>{"first@example.org", "second@example.org",
                                                         "copy@example.org", "blind@example.org"}));
    EXPECT_EQ(mail.Header("From"), "Tunquil User <user@example.org>");
    EXPECT_EQ(mail.Header("To"), "<first@example.org>,\r\n           < second@example.org>");
    EXPECT_EQ(mail.Header("CC"), "<copy@example.org>");
    EXPECT_EQ(mail.HeaderCount("Bcc") + mail.HeaderCount("BCC"), 0);
    EXPECT_EQ(mail.raw.find("blind@"), std::string::npos);
    EXPECT_EQ(mail.Header("Subject"), "Three tunes");
    EXPECT_EQ(mail.Header("Mime-Version"), "1.0");
    EXPECT_EQ(mail.body, "Here they are.\r\n.\r\n.hidden line\r\n\r\n..two dots\r\n");

    ASSERT_EQ(mail.attachments.size(), 3u);
    EXPECT_EQ(mail.attachments[0].fileName, "Song one.mid");
    EXPECT_EQ(mail.attachments[0].contentType, "audio/midi");
    EXPECT_EQ(mail.attachments[0].encoding, "base64");
    EXPECT_TRUE(mail.attachments[0].data == midi);
    EXPECT_EQ(mail.attachments[1].fileName, "3MIDI files.zip");
    EXPECT_EQ(mail.attachments[1].contentType, "application/zip");
    EXPECT_TRUE(mail.attachments[1].data == zip);
    EXPECT_TRUE(mail.attachments[2].data == small);
}

TEST_F(MailDelivery, UuencodedAttachmentsAndDotLinesSurviveTheServer) {
    TmsMessage m = Message();
    m.encoding = meUUCode;
    m.body = {"Body", ".", ".starts with a dot"};
    // 45 * 3 + 14 bytes: the last uuencode line starts with ".", the length character of 14.
    std::string midi = MidiLikeBytes(45 * 3 + 14 - 22, 4);
    ASSERT_EQ(midi.size() % 45, 14u);
    std::string zip = ZipLikeBytes(MidiLikeBytes(2000, 5));
    m.attachments.emplace_back("dot.mid", midi);
    m.attachments.emplace_back("tunes.zip", zip);
    ReceivedMail mail = SendAndRead(m);

    EXPECT_EQ(mail.Header("Mime-Version"), "");
    EXPECT_EQ(mail.body, "Body\r\n.\r\n.starts with a dot");
    ASSERT_EQ(mail.attachments.size(), 2u);
    EXPECT_EQ(mail.attachments[0].fileName, "dot.mid");
    EXPECT_EQ(mail.attachments[0].encoding, "uuencode");
    EXPECT_TRUE(mail.attachments[0].data == midi);
    EXPECT_EQ(mail.attachments[1].fileName, "tunes.zip");
    EXPECT_TRUE(mail.attachments[1].data == zip);
}

TEST_F(MailDelivery, QuotedPrintableBodiesReadBackAsWritten) {
    TmsMessage m = Message();
    m.charSet = csIso8859_1;
    std::string longLine(300, 'x');
    longLine[75] = '.';
    m.body = {"Gr\xC3\xBC\xC3\x9F"
              "e",
              longLine, ".", "tab\tand trailing blank "};
    m.priority = mpHigh;
    ReceivedMail mail = SendAndRead(m);
    EXPECT_EQ(mail.Header("X-Priority"), "1");
    // The empty line that goes before the closing "." belongs to a body without attachments.
    EXPECT_EQ(mail.body, "Gr\xC3\xBC\xC3\x9F"
                         "e\r\n" +
                             longLine + "\r\n.\r\ntab\tand trailing blank \r\n\r\n");
}

TEST_F(MailDelivery, SpecialAndNonAsciiNamesAndTextReachAStrictReaderIntact) {
    TmsMessage m = Message();
    m.sender.name = "Doe, Jane";
    m.to = {{"Ann \"Bobby", "ann@example.org"}, {"J\xC3\xBCrgen", "j@example.org"}};
    m.cc.clear();
    m.subject = "Gr\xC3\xBC\xC3\x9F"
                "e";
    m.body = {"Sch\xC3\xB6ne Gr\xC3\xBC\xC3\x9F"
              "e"}; // under the US-ASCII setting
    std::string midi = MidiLikeBytes(100, 6);
    m.attachments.emplace_back("say \"hi\".mid", midi);
    m.attachments.emplace_back("Gr\xC3\xBC\xC3\x9F"
                               "e.mid",
                               midi);
    ReceivedMail mail = SendAndRead(m);

    EXPECT_EQ(mail.Header("From"), "\"Doe, Jane\" <user@example.org>");
    EXPECT_EQ(mail.Header("To").rfind("\"Ann \\\"Bobby\" <ann@example.org>,", 0), 0u)
        << mail.Header("To");
    EXPECT_EQ(mail.raw.find("Gr\xC3\xBC"), std::string::npos);
    EXPECT_EQ(mail.body, "Sch\xC3\xB6ne Gr\xC3\xBC\xC3\x9F"
                         "e\r\n");
    ASSERT_EQ(mail.attachments.size(), 2u);
    EXPECT_EQ(mail.attachments[0].fileName, "say \"hi\".mid");
    EXPECT_EQ(mail.attachments[1].fileName, "Gr\xC3\xBC\xC3\x9F"
                                            "e.mid");
    for (const ReceivedMail::Part& part : mail.attachments) {
        EXPECT_EQ(part.contentType, "audio/midi");
        EXPECT_TRUE(part.data == midi);
    }
}

} // namespace
} // namespace tunquil

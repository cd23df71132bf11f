// The encoded message, byte for byte where the layout is fixed.

#include "export/mail/MailErrors.h"
#include "export/mail/MimeEncoding.h"
#include "export/mail/MimeTypes.h"
#include "export/mail/TmsMessage.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\r\n";
        else
            out.push_back(c);
    }
    return out;
}

TEST(MimeEncoder, MultipartMessageLayout) {
    TmsMessage m;
    m.sender = {"J. Smith", "js@example.org"};
    m.to = {{"", "a@x.org"}, {"Bob", "b@x.org"}, {"", "c@x.org"}};
    m.cc = {{"Dr. Who", "who@x.org"}};
    m.bcc = {{"", "secret@x.org"}};
    m.priority = mpHigh;
    m.subject = "New tunes";
    m.body = {"Hi", "."};
    m.attachments.emplace_back("song.mid", "MThd", "audio/midi");
    m.attachments.emplace_back("tunes.zip", "PK\x03\x04", "application/zip");
    EXPECT_EQ(m.Encode("01234567"), Crlf(R"(From:     "J. Smith" <js@example.org>
To:        <a@x.org>,
          Bob <b@x.org>,
           <c@x.org>
CC:       "Dr. Who" <who@x.org>
X-Priority: 1
Subject:  New tunes
Mime-Version: 1.0
Content-Type: multipart/mixed; boundary="01234567"

This is a multipart message in MIME format

--01234567
Content-Type: text/plain; charset="us-ascii"
Content-Transfer-Encoding: 7bit

Hi
.

--01234567
Content-Type: audio/midi; name="song.mid"
Content-Transfer-Encoding: base64
Content-Disposition: attachment; filename="song.mid"

TVRoZA==


--01234567
Content-Type: application/zip; name="tunes.zip"
Content-Transfer-Encoding: base64
Content-Disposition: attachment; filename="tunes.zip"

UEsDBA==

--01234567--
)"));
}

TEST(MimeEncoder, TextOnlyMessageAndLowPriorityReturnReceipt) {
    TmsMessage m;
    m.sender = {"Ann", "ann@x.org"};
    m.AddRecipient("b@x.org");
    m.priority = mpLow;
    m.returnReceipt = true;
    m.body = {"one", "", "two"};
    EXPECT_EQ(m.Encode("0"), Crlf(R"(From:     Ann <ann@x.org>
To:        <b@x.org>
Return-Receipt-To: <ann@x.org>
X-Priority: 5
Mime-Version: 1.0
Content-Type: text/plain; charset="us-ascii"
Content-Transfer-Encoding: 7bit

one

two
)"));
}

TEST(MimeEncoder, QuotedNameOnlyWithFullStopAndNoQuote) {
    TmsMessage m;
    m.sender = {"A \"B.\" C", "x@y"};
    m.AddRecipient("z@y");
    m.to[0].name = "Mr. Z";
    std::string text = m.Encode("0");
    EXPECT_EQ(text.rfind("From:     A \"B.\" C <x@y>\r\nTo:       \"Mr. Z\" <z@y>\r\n", 0), 0u);
}

TEST(MimeEncoder, EmptyBodyWithOneAttachmentIsTheWholeContent) {
    TmsMessage m;
    m.sender = {"", "a@x"};
    m.AddRecipient("b@x");
    m.attachments.emplace_back("x.mid", "MThd", "audio/midi");
    EXPECT_EQ(m.Encode("0"), Crlf(R"(From:      <a@x>
To:        <b@x>
Mime-Version: 1.0
Content-Type: audio/midi; name="x.mid"
Content-Transfer-Encoding: base64
Content-Disposition: attachment; filename="x.mid"

TVRoZA==
)"));
}

TEST(MimeEncoder, UuencodedMessageLayout) {
    TmsMessage m;
    m.sender = {"Ann", "ann@x.org"};
    m.AddRecipient("b@x.org");
    m.subject = "S";
    m.encoding = meUUCode;
    m.body = {"Hi"};
    std::string bytes;
    for (int i = 0; i < 14; ++i)
        bytes.push_back(static_cast<char>(i));
    m.attachments.emplace_back("a.bin", bytes);
    EXPECT_EQ(m.Encode("0"), Crlf(R"(From:     Ann <ann@x.org>
To:        <b@x.org>
Subject:  S

Hi

begin 600 a.bin
.``$"`P0%!@<("0H+#`T`
`
end
)"));
}

TEST(MimeEncoder, LongBodyLineMakesWholeBodyQuotedPrintable) {
    TmsMessage m;
    m.sender = {"", "a@x"};
    m.AddRecipient("b@x");
    m.body = {std::string(300, 'a'), "x = y "};
    std::string text = m.Encode("0");
    std::string a75(75, 'a');
    EXPECT_NE(text.find("Content-Transfer-Encoding: quoted-printable\r\n\r\n" + a75 + "=\r\n" +
                        a75 + "=\r\n" + a75 + "=\r\n" + a75 + "\r\nx =3D y=20\r\n"),
              std::string::npos);
}

TEST(MimeEncoder, Latin1BodyIsConvertedAndQuotedPrintable) {
    TmsMessage m;
    m.sender = {"", "a@x"};
    m.AddRecipient("b@x");
    m.charSet = csIso8859_1;
    m.body = {"Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x82\xAC"};
    std::string text = m.Encode("0");
    EXPECT_NE(text.find("Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
                        "Content-Transfer-Encoding: quoted-printable\r\n\r\nGr=FC=DFe ?\r\n"),
              std::string::npos);
}

TEST(MimeEncoder, BoundaryIs128RandomBitsAndNeverOneTheContentHolds) {
    std::string a = TmsMessage::MakeBoundary();
    ASSERT_EQ(a.size(), 34u);
    EXPECT_EQ(a.substr(0, 2), "=_");
    EXPECT_EQ(a.find_first_not_of("0123456789abcdef", 2), std::string::npos) << a;
    EXPECT_NE(a, TmsMessage::MakeBoundary());

    TmsMessage m;
    m.sender = {"", "a@x"};
    m.AddRecipient("b@x");
    m.body = {"--0123"};
    m.attachments.emplace_back("a.txt", "x", "message/rfc822");
    EXPECT_THROW(m.Encode("0123"), EMailError);
    EXPECT_NO_THROW(m.Encode("0124"));
}

// A bare CR or LF inside a body line or a text attachment ends a line with CR LF, whatever the
// encoding; quoted-printable and base64 carry one encoded.
TEST(MimeEncoder, NoBareCrOrLfInTheEncodedMessage) {
    for (int encoding : {meMime, meUUCode})
        for (int charSet : {csUsAscii, csIso8859_1}) {
            TmsMessage m;
            m.sender = {"", "a@x"};
            m.AddRecipient("b@x");
            m.encoding = encoding;
            m.charSet = charSet;
            m.body = {"Nice\r.\r\nRSET\r\n", "a\rb\nc"};
            m.attachments.emplace_back("note.eml", "x\r.\ry\n", "message/rfc822");
            std::string text = m.Encode();
            for (std::size_t at = text.find_first_of("\r\n"); at != std::string::npos;
                 at = text.find_first_of("\r\n", at + 2))
                ASSERT_EQ(text.compare(at, 2, "\r\n"), 0)
                    << encoding << charSet << " at " << at << ": " << text;
            if (charSet == csUsAscii) {
                EXPECT_NE(text.find("\r\nNice\r\n.\r\nRSET\r\n\r\na\r\nb\r\nc\r\n"),
                          std::string::npos)
                    << text;
            }
        }
}

TEST(MimeEncoding, Base64BreaksAfter57InputBytes) {
    std::string bytes;
    for (int i = 0; i < 58; ++i)
        bytes.push_back(static_cast<char>(i));
    std::string out;
    AppendBase64Lines(out, bytes);
    EXPECT_EQ(out, "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4"
                   "\r\nOQ==\r\n");
    out.clear();
    AppendBase64Lines(out, "ab");
    EXPECT_EQ(out, "YWI=\r\n");
    out.clear();
    AppendBase64Lines(out, "");
    EXPECT_EQ(out, "");
}

TEST(MimeEncoding, UuencodeFullLineAndZeroValues) {
    std::string out;
    AppendUuencodeLines(out, std::string(46, '\0'));
    EXPECT_EQ(out, "M" + std::string(60, '`') + "\r\n!````\r\n");
    out.clear();
    AppendUuencodeLines(out, "Cat");
    EXPECT_EQ(out, "#0V%T\r\n");
}

TEST(MimeEncoding, QuotedPrintableDataKeepsLoneLineFeedsExactly) {
    std::string out;
    AppendQuotedPrintableData(out, "a\r\nb\nc\r\n");
    EXPECT_EQ(out, "a\r\nb=0Ac\r\n");
    out.clear();
    // An escape is never split by a soft break.
    AppendQuotedPrintableLine(out, std::string(74, 'x') + "\xFF" + "y");
    EXPECT_EQ(out, std::string(74, 'x') + "=\r\n=FFy\r\n");
}

TEST(MimeTypes, ContentTypeAndTransferEncoding) {
    EXPECT_EQ(ContentTypeForFile("3MIDI files.ZIP"), "application/zip");
    EXPECT_EQ(ContentTypeForFile("x.qqqzz"), "application/octet-stream");
    EXPECT_EQ(ContentTypeForFile("noextension"), "application/octet-stream");
    EXPECT_EQ(TransferEncodingFor("TEXT/HTML"), "quoted-printable");
    EXPECT_EQ(TransferEncodingFor("text/plain"), "quoted-printable");
    EXPECT_EQ(TransferEncodingFor("text/rtf"), "quoted-printable");
    EXPECT_EQ(TransferEncodingFor("message/rfc822"), "7bit");
    EXPECT_EQ(TransferEncodingFor("audio/midi"), "base64");
}

} // namespace
} // namespace tunquil

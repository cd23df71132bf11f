#include "export/TmsMessage.h"

#include "base/Text.h"
#include "export/MailErrors.h"
#include "export/MimeEncoding.h"

#include <chrono>
#include <random>

namespace tunquil {

namespace {

void Line(std::string& out, std::string_view text) {
    out.append(text);
    out += "\r\n";
}

std::string Padded(std::string name) {
    if (name.size() < 10)
        name.resize(10, ' ');
    return name;
}

// A name with a full stop would be taken apart as an address by a reader of the header.
std::string DisplayName(const std::string& name) {
    if (name.find('.') != std::string::npos && name.find('"') == std::string::npos)
        return "\"" + name + "\"";
    return name;
}

std::string Mailbox(const TMailAddress& a) {
    return DisplayName(a.name) + " <" + a.address + ">";
}

void AddressHeader(std::string& out, const char* name, const std::vector<TMailAddress>& list) {
    if (list.empty())
        return;
    for (std::size_t i = 0; i < list.size(); ++i) {
        std::string line = (i == 0 ? Padded(name) : std::string(10, ' ')) + Mailbox(list[i]);
        if (i + 1 < list.size())
            line += ",";
        Line(out, line);
    }
}

// The body is held as UTF-8; a text labelled ISO-8859-1 must carry Latin-1 bytes. Characters
// outside Latin-1 become "?".
std::string ToLatin1(std::string_view text) {
    if (!IsValidUtf8(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        std::size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
        if (len == 2) {
            unsigned cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
            out.push_back(cp <= 0xFF ? static_cast<char>(cp) : '?');
        } else {
            out.push_back('?');
        }
        i += len;
    }
    return out;
}

} // namespace

void CheckLineText(const std::string& text, const std::string& what) {
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        throw EMailError(kMailUnsafeText,
                         "The " + what + " contains a line break or NUL character");
}

void TmsMessage::CheckTexts() const {
    CheckLineText(sender.name, "sender's name");
    CheckLineText(sender.address, "sender's address");
    for (const auto* list : {&to, &cc, &bcc})
        for (const TMailAddress& a : *list) {
            CheckLineText(a.name, "recipient's name \"" + a.name + "\"");
            CheckLineText(a.address, "recipient's address");
        }
    CheckLineText(subject, "subject");
    for (const std::string& h : extraHeaders)
        CheckLineText(h, "extra header line");
    CheckLineText(contentType, "content type");
    for (const TmsAttachment& a : attachments) {
        CheckLineText(a.fileName(), "name of an attached file");
        CheckLineText(a.contentType(), "content type of an attached file");
    }
}

std::string TmsMessage::MakeBoundary() {
    static std::mt19937 generator = [] {
        std::random_device device;
        std::seed_seq seed{
            device(), device(), device(),
            static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
        return std::mt19937(seed);
    }();
    std::uniform_int_distribution<int> digit(0, 8);
    std::string b;
    for (int i = 0; i < 8; ++i)
        b.push_back(static_cast<char>('0' + digit(generator)));
    return b;
}

std::string TmsMessage::Encode(const std::string& boundary) const {
    std::string out;
    std::size_t attachedBytes = 0;
    for (const TmsAttachment& a : attachments)
        attachedBytes += a.data().size();
    out.reserve(attachedBytes / 57 * 78 + attachedBytes / 3 + 4096);

    Line(out, Padded("From:") + Mailbox(sender));
    AddressHeader(out, "To:", to);
    AddressHeader(out, "CC:", cc);
    if (returnReceipt)
        Line(out, "Return-Receipt-To: <" + sender.address + ">");
    if (priority == mpLow)
        Line(out, "X-Priority: 5");
    else if (priority == mpHigh)
        Line(out, "X-Priority: 1");
    for (const std::string& h : extraHeaders)
        Line(out, h);
    if (!subject.empty())
        Line(out, Padded("Subject:") + subject);

    if (encoding == meUUCode) {
        Line(out, "");
        for (const std::string& l : body)
            Line(out, l);
        for (const TmsAttachment& a : attachments) {
            Line(out, "");
            Line(out, "begin 600 " + a.fileName());
            AppendUuencodeLines(out, a.data());
            Line(out, "`");
            Line(out, "end");
        }
        return out;
    }

    Line(out, "Mime-Version: 1.0");

    bool longLines = false;
    for (const std::string& l : body)
        longLines = longLines || l.size() >= 256;
    bool latin1 = charSet == csIso8859_1;
    bool quoted = latin1 || longLines;
    auto textPartHeaders = [&] {
        Line(out, "Content-Type: " + contentType + "; charset=\"" +
                      (latin1 ? "iso-8859-1" : "us-ascii") + "\"");
        Line(out,
             std::string("Content-Transfer-Encoding: ") + (quoted ? "quoted-printable" : "7bit"));
    };
    auto bodyLines = [&] {
        for (const std::string& l : body) {
            std::string text = latin1 ? ToLatin1(l) : l;
            if (quoted)
                AppendQuotedPrintableLine(out, text);
            else
                Line(out, text);
        }
    };
    auto attachmentHeaders = [&](const TmsAttachment& a) {
        Line(out, "Content-Type: " + a.contentType() + "; name=\"" + a.fileName() + "\"");
        Line(out, "Content-Transfer-Encoding: " + a.encoding());
        Line(out, "Content-Disposition: attachment; filename=\"" + a.fileName() + "\"");
        Line(out, "");
    };
    auto attachmentContent = [&](const TmsAttachment& a) {
        if (a.encoding() == "base64")
            AppendBase64Lines(out, a.data());
        else if (a.encoding() == "quoted-printable")
            AppendQuotedPrintableData(out, a.data());
        else
            AppendTextLines(out, a.data());
    };

    if (attachments.empty()) {
        textPartHeaders();
        Line(out, "");
        bodyLines();
        return out;
    }
    if (body.empty() && attachments.size() == 1) {
        attachmentHeaders(attachments[0]);
        attachmentContent(attachments[0]);
        return out;
    }
    Line(out, "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"");
    Line(out, "");
    Line(out, MailErrorText(kMailMimePreamble));
    Line(out, "");
    Line(out, "--" + boundary);
    textPartHeaders();
    Line(out, "");
    bodyLines();
    Line(out, "");
    Line(out, "--" + boundary);
    for (std::size_t i = 0; i < attachments.size(); ++i) {
        if (i > 0) {
            Line(out, "");
            Line(out, "--" + boundary);
        }
        attachmentHeaders(attachments[i]);
        attachmentContent(attachments[i]);
        Line(out, "");
    }
    Line(out, "--" + boundary + "--");
    return out;
}

} // namespace tunquil

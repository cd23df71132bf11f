#include "export/mail/TmsMessage.h"

#include "base/Text.h"
#include "export/mail/MailErrors.h"
#include "export/mail/MimeEncoding.h"

#include <algorithm>
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

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Text taken for UTF-8 when it is valid UTF-8, else for Latin-1 bytes as older files hold.
const char* CharsetOf(std::string_view text) {
    return IsValidUtf8(text) ? "utf-8" : "iso-8859-1";
}

// Non-ASCII text as encoded words of at most 45 bytes each (well under the 75 characters a
// word may have), never splitting a UTF-8 sequence, joined by `separator`.
std::string EncodedWords(std::string_view text, std::string_view separator) {
    const char* charset = CharsetOf(text);
    bool utf8 = std::string_view(charset) == "utf-8";
    std::string out;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(start + 45, text.size());
        while (utf8 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        if (!out.empty())
            out += separator;
        out += std::string("=?") + charset + "?B?" + Base64(text.substr(start, end - start)) + "?=";
        start = end;
    }
    return out;
}

// A header text as it is when it is ASCII; otherwise encoded words on folded lines.
std::string HeaderText(const std::string& text) {
    return IsAscii(text) ? text : EncodedWords(text, "\r\n ");
}

// `text` between double quotes, with the quotes and backslashes in it escaped.
std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

// True when `name` reads as a phrase already: words and whole quoted strings, as in
// Jane "JD" Doe or "Doe, Jane", with no special character outside the quotes.
bool IsPhrase(std::string_view name) {
    for (std::size_t i = 0; i < name.size();) {
        if (name[i] != '"') {
            if (std::string_view("()<>[]:;@\\,.").find(name[i]) != std::string_view::npos)
                return false;
            ++i;
            continue;
        }
        for (++i;; ++i) {
            if (i >= name.size())
                return false;
            if (name[i] == '\\')
                ++i;
            else if (name[i] == '"')
                break;
        }
        ++i;
    }
    return true;
}

// A parameter value in the extended form: charset, empty language, and every byte that is not
// a plain token character as %XX.
std::string ExtendedParameter(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = std::string(CharsetOf(value)) + "''";
    for (char c : value) {
        auto u = static_cast<unsigned char>(c);
        if (u > 0x20 && u < 0x7F &&
            std::string_view("*'%()<>@,;:\\\"/[]?=").find(c) == std::string_view::npos) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[u >> 4]);
            out.push_back(kHex[u & 15]);
        }
    }
    return out;
}

// A name with a special character would be taken apart by a reader of the header: a full stop
// or a comma read as part of an address, a quote as the end of a quoted name.
std::string DisplayName(const std::string& name) {
    if (!IsAscii(name))
        return EncodedWords(name, " ");
    if (!IsPhrase(name))
        return Quoted(name);
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
        Line(out, Padded("Subject:") + HeaderText(subject));

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
    std::string allText;
    for (const std::string& l : body) {
        longLines = longLines || l.size() >= 256;
        allText += l;
    }
    bool latin1 = charSet == csIso8859_1;
    // Text that is not ASCII cannot go out labelled US-ASCII: a reader would show it garbled.
    const char* charset = latin1             ? "iso-8859-1"
                          : IsAscii(allText) ? "us-ascii"
                                             : CharsetOf(allText);
    bool quoted = latin1 || longLines || !IsAscii(allText);
    auto textPartHeaders = [&] {
        Line(out, "Content-Type: " + contentType + "; charset=\"" + charset + "\"");
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
        const std::string& name = a.fileName();
        if (IsAscii(name)) {
            Line(out, "Content-Type: " + a.contentType() + "; name=" + Quoted(name));
            Line(out, "Content-Transfer-Encoding: " + a.encoding());
            Line(out, "Content-Disposition: attachment; filename=" + Quoted(name));
        } else {
            // The parameter's own encoding for readers that know it, encoded words in the
            // older name parameter for those that do not.
            Line(out, "Content-Type: " + a.contentType() + ";\r\n name=\"" +
                          EncodedWords(name, " ") + "\"");
            Line(out, "Content-Transfer-Encoding: " + a.encoding());
            Line(out, "Content-Disposition: attachment;\r\n filename*=" + ExtendedParameter(name));
        }
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

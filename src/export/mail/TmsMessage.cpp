#include "export/mail/TmsMessage.h"

#include "base/Text.h"
#include "export/mail/MailErrors.h"
#include "export/mail/MimeEncoding.h"

#include <algorithm>
#include <cstdint>
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

// The body's lines as they go out: a CR, an LF or a CR LF inside an entry ends a line there, so
// that no bare CR or LF reaches the wire, where a server may take it for a line end of its own.
std::vector<std::string> OutgoingLines(const std::vector<std::string>& body) {
    std::vector<std::string> lines;
    lines.reserve(body.size());
    for (const std::string& entry : body) {
        for (std::size_t start = 0;;) {
            LineSpan line = NextLine(entry, start);
            lines.push_back(entry.substr(start, line.textEnd - start));
            if (line.next == line.textEnd)
                break;
            start = line.next;
        }
    }
    return lines;
}

} // namespace

void CheckLineText(const std::string& text, const std::string& what) {
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        throw EMailError(kMailUnsafeText,
                         "The " + what + " contains a line break or NUL character");
}

namespace {

bool IsAtomChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
}

bool IsLetDig(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Atoms joined by single full stops.
bool IsDotString(std::string_view text) {
    bool atomStart = true;
    for (char c : text) {
        if (c == '.') {
            if (atomStart)
                return false;
            atomStart = true;
        } else if (IsAtomChar(c)) {
            atomStart = false;
        } else {
            return false;
        }
    }
    return !atomStart;
}

bool IsDomain(std::string_view text) {
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        for (char c : text.substr(1, text.size() - 2))
            if (c < 33 || c > 126 || c == '[' || c == '\\' || c == ']')
                return false;
        return true;
    }
    std::size_t start = 0;
    while (true) {
        std::size_t end = std::min(text.find('.', start), text.size());
        std::string_view label = text.substr(start, end - start);
        if (label.empty() || !IsLetDig(label.front()) || !IsLetDig(label.back()))
            return false;
        for (char c : label)
            if (!IsLetDig(c) && c != '-')
                return false;
        if (end == text.size())
            return true;
        start = end + 1;
    }
}

bool IsMailbox(std::string_view address) {
    std::size_t at;
    if (!address.empty() && address.front() == '"') {
        std::size_t i = 1;
        for (; i < address.size() && address[i] != '"'; ++i) {
            char c = address[i];
            if (c == '\\' && i + 1 < address.size() && address[i + 1] >= 32 &&
                address[i + 1] <= 126)
                ++i;
            else if (c < 32 || c > 126 || c == '\\')
                return false;
        }
        if (i >= address.size())
            return false;
        at = i + 1;
        if (at >= address.size() || address[at] != '@')
            return false;
    } else {
        at = address.find('@');
        if (at == std::string_view::npos || !IsDotString(address.substr(0, at)))
            return false;
    }
    return IsDomain(address.substr(at + 1));
}

} // namespace

void CheckMailbox(const std::string& address) {
    // Blanks around the address are left for the server to drop, as servers always have.
    std::size_t first = address.find_first_not_of(" \t");
    std::size_t last = address.find_last_not_of(" \t");
    if (first == std::string::npos ||
        !IsMailbox(std::string_view(address).substr(first, last + 1 - first)))
        throw EMailError(kMailBadAddress,
                         "The address \"" + address + "\" is not a valid mail address");
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
    // Unguessable, so that no attached file can be made to hold it; "=_" never occurs in
    // base64 or quoted-printable text, where "=" is always followed by two hex digits.
    static constexpr char kHex[] = "0123456789abcdef";
    std::random_device device;
    std::string b = "=_";
    for (int word = 0; word < 4; ++word) {
        auto bits = static_cast<uint32_t>(device());
        for (int i = 0; i < 8; ++i, bits >>= 4)
            b.push_back(kHex[bits & 15]);
    }
    return b;
}

std::string TmsMessage::Encode() const {
    // A boundary the content holds would end a part early; with 128 random bits one is met
    // by chance practically never, but a message made to hold it must still not go out cut.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::string out;
        if (EncodeWith(MakeBoundary(), out))
            return out;
    }
    throw EMailError(kMailUnsafeText, "The message holds every MIME boundary tried");
}

std::string TmsMessage::Encode(const std::string& boundary) const {
    std::string out;
    if (!EncodeWith(boundary, out))
        throw EMailError(kMailUnsafeText, "The message holds its MIME boundary " + boundary);
    return out;
}

bool TmsMessage::EncodeWith(const std::string& boundary, std::string& out) const {
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

    const std::vector<std::string> bodyLines = OutgoingLines(body);
    if (encoding == meUUCode) {
        Line(out, "");
        for (const std::string& l : bodyLines)
            Line(out, l);
        for (const TmsAttachment& a : attachments) {
            Line(out, "");
            Line(out, "begin 600 " + a.fileName());
            AppendUuencodeLines(out, a.data());
            Line(out, "`");
            Line(out, "end");
        }
        return true;
    }

    Line(out, "Mime-Version: 1.0");

    bool longLines = false;
    std::string allText;
    for (const std::string& l : bodyLines) {
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
    auto bodyText = [&] {
        for (const std::string& l : bodyLines) {
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
        bodyText();
        return true;
    }
    if (body.empty() && attachments.size() == 1) {
        attachmentHeaders(attachments[0]);
        attachmentContent(attachments[0]);
        return true;
    }
    Line(out, "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"");
    Line(out, "");
    Line(out, MailErrorText(kMailMimePreamble));
    Line(out, "");
    Line(out, "--" + boundary);
    textPartHeaders();
    Line(out, "");
    bodyText();
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
    // The header names it once, and each part's delimiter and the closing one once more.
    std::size_t uses = 0;
    for (std::size_t at = out.find(boundary); at != std::string::npos;
         at = out.find(boundary, at + boundary.size()))
        ++uses;
    return uses == attachments.size() + 3;
}

} // namespace tunquil

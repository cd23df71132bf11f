#include "export/mail/MimeEncoding.h"

#include <cstdint>

namespace tunquil {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHex[] = "0123456789ABCDEF";

inline char UuChar(unsigned v) {
    return v == 0 ? '`' : static_cast<char>(32 + v);
}

} // namespace

void AppendBase64Lines(std::string& out, std::string_view data) {
    const auto* in = reinterpret_cast<const unsigned char*>(data.data());
    std::size_t n = data.size();
    std::size_t lines = (n + 56) / 57;
    std::size_t start = out.size();
    // Written through a pointer into storage sized once: this runs over every attached byte.
    out.resize(start + (n + 2) / 3 * 4 + lines * 2);
    char* p = out.data() + start;
    std::size_t i = 0;
    while (i < n) {
        std::size_t lineEnd = i + 57 < n ? i + 57 : n;
        for (; i + 3 <= lineEnd; i += 3) {
            uint32_t v = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8) | in[i + 2];
            p[0] = kBase64[v >> 18];
            p[1] = kBase64[(v >> 12) & 63];
            p[2] = kBase64[(v >> 6) & 63];
            p[3] = kBase64[v & 63];
            p += 4;
        }
        if (i < lineEnd) {
            uint32_t v = uint32_t(in[i]) << 16;
            if (i + 1 < lineEnd)
                v |= uint32_t(in[i + 1]) << 8;
            p[0] = kBase64[v >> 18];
            p[1] = kBase64[(v >> 12) & 63];
            p[2] = i + 1 < lineEnd ? kBase64[(v >> 6) & 63] : '=';
            p[3] = '=';
            p += 4;
            i = lineEnd;
        }
        *p++ = '\r';
        *p++ = '\n';
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

std::string Base64(std::string_view data) {
    std::string lines;
    AppendBase64Lines(lines, data);
    std::string out;
    out.reserve(lines.size());
    for (char c : lines)
        if (c != '\r' && c != '\n')
            out.push_back(c);
    return out;
}

void AppendUuencodeLines(std::string& out, std::string_view data) {
    const auto* in = reinterpret_cast<const unsigned char*>(data.data());
    std::size_t n = data.size();
    out.reserve(out.size() + n / 45 * 63 + 70);
    for (std::size_t i = 0; i < n; i += 45) {
        std::size_t len = n - i < 45 ? n - i : 45;
        out.push_back(UuChar(static_cast<unsigned>(len)));
        for (std::size_t k = 0; k < len; k += 3) {
            unsigned b0 = in[i + k];
            unsigned b1 = k + 1 < len ? in[i + k + 1] : 0;
            unsigned b2 = k + 2 < len ? in[i + k + 2] : 0;
            out.push_back(UuChar(b0 >> 2));
            out.push_back(UuChar(((b0 << 4) | (b1 >> 4)) & 63));
            out.push_back(UuChar(((b1 << 2) | (b2 >> 6)) & 63));
            out.push_back(UuChar(b2 & 63));
        }
        out += "\r\n";
    }
}

void AppendQuotedPrintableLine(std::string& out, std::string_view line) {
    std::size_t column = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        bool last = i + 1 == line.size();
        // A blank at the end of a line would be stripped by a mail system on the way.
        bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last);
        std::size_t width = literal ? 1 : 3;
        // Keep room for the "=" of a soft break, unless this is the line's last character.
        std::size_t limit = last ? 76 : 75;
        if (column + width > limit) {
            out += "=\r\n";
            column = 0;
        }
        if (literal) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('=');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
        column += width;
    }
    out += "\r\n";
}

void AppendQuotedPrintableData(std::string& out, std::string_view data) {
    std::size_t start = 0;
    while (true) {
        std::size_t end = data.find("\r\n", start);
        if (end == std::string_view::npos) {
            // Bytes after the last CR LF form a line of their own only when there are any.
            if (start < data.size())
                AppendQuotedPrintableLine(out, data.substr(start));
            return;
        }
        AppendQuotedPrintableLine(out, data.substr(start, end - start));
        start = end + 2;
    }
}

LineSpan NextLine(std::string_view text, std::size_t start) {
    // Two searches for single bytes rather than one for either: this runs over every byte sent.
    std::size_t lf = text.find('\n', start);
    std::size_t cr =
        text.substr(0, lf == std::string_view::npos ? text.size() : lf).find('\r', start);
    if (cr != std::string_view::npos)
        return {cr, cr + 1 == lf ? lf + 1 : cr + 1};
    if (lf == std::string_view::npos)
        return {text.size(), text.size()};
    return {lf, lf + 1};
}

void AppendTextLines(std::string& out, std::string_view data) {
    for (std::size_t start = 0; start < data.size();) {
        LineSpan line = NextLine(data, start);
        out.append(data.substr(start, line.textEnd - start));
        out += "\r\n";
        start = line.next;
    }
}

} // namespace tunquil

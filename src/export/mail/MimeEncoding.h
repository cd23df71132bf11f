#pragma once
// The content encodings of mail: each function appends whole lines, every line ended by CR LF.

#include <string>
#include <string_view>

namespace tunquil {

// Base64 with the standard alphabet and "=" fill, 57 input bytes (76 characters) per line.
void AppendBase64Lines(std::string& out, std::string_view data);

// Base64 of `data` as one unbroken text, for tokens within a line (a login, an encoded word).
std::string Base64(std::string_view data);

// Uuencode lines of up to 45 input bytes each, with "`" standing for a zero value. The "begin"
// line, the closing "`" line and "end" are the caller's.
void AppendUuencodeLines(std::string& out, std::string_view data);

// One line of text (no line break in it) as quoted-printable lines of at most 76 characters,
// joined by soft line breaks.
void AppendQuotedPrintableLine(std::string& out, std::string_view line);

// Arbitrary bytes as quoted-printable: CR LF pairs become line breaks, every other byte is
// kept exactly (a lone CR or LF is escaped), so decoding gives back the same bytes.
void AppendQuotedPrintableData(std::string& out, std::string_view data);

// Text kept as it is, one line per CR LF, bare CR or bare LF, each ended by CR LF.
void AppendTextLines(std::string& out, std::string_view data);

// The line of `text` that begins at `start`: its text ends at `textEnd`, and the next line
// begins at `next`, past a CR LF, a bare CR or a bare LF. Both are text.size() when no line
// end follows.
struct LineSpan {
    std::size_t textEnd;
    std::size_t next;
};
LineSpan NextLine(std::string_view text, std::size_t start);

} // namespace tunquil

#include "base/SearchText.h"

#include <algorithm>
#include <cstdint>

namespace tunquil {

namespace {

// The code points of Windows-1252's bytes 0x80 to 0x9F; its other bytes are Latin-1's.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Base letters of U+00C0 to U+00FF and of U+0100 to U+017F; "1" stands for "ae", "2" for
// "th", "3" for "ss", "4" for "ij", "5" for "oe", and "." for a character kept as it is.
constexpr std::string_view kLatin1 =
    "aaaaaa1ceeeeiiiidnooooo.ouuuuy23aaaaaa1ceeeeiiiidnooooo.ouuuuy2y";
constexpr std::string_view kLatinExtendedA =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii44jjkkkllllllllllnnnnnnnnnoooooo55rrrrrr"
    "ssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(kLatin1.size() == 64 && kLatinExtendedA.size() == 128);

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

// The next code point of `text` from `at`; a byte that starts no whole UTF-8 sequence is taken
// as Windows-1252.
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
    const auto b = uint8_t(text[at]);
    if (b < 0x80) {
        ++at;
        return b;
    }
    // C0, C1 and F5 to FF start no UTF-8 at all: they are letters of Windows-1252 ("ø«»").
    const int more = b > 0xF4 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 ? 1 : 0;
    if (more > 0 && at + more < text.size()) {
        char32_t cp = b & (0x3F >> more);
        bool whole = true;
        for (int i = 1; whole && i <= more; ++i) {
            const auto next = uint8_t(text[at + i]);
            whole = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        // Overlong forms and surrogates are no UTF-8 either.
        const bool shortest = more == 1 ||
                              (more == 2 && cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) ||
                              (more == 3 && cp >= 0x10000 && cp <= 0x10FFFF);
        if (whole && shortest) {
            at += more + 1;
            return cp;
        }
    }
    ++at;
    return b < 0xA0 ? kWindows1252[b - 0x80] : b;
}

void AppendFolded(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(cp >= 'A' && cp <= 'Z' ? char(cp + 32) : char(cp));
        return;
    }
    char base = 0;
    if (cp >= 0xC0 && cp <= 0xFF)
        base = kLatin1[cp - 0xC0];
    else if (cp >= 0x100 && cp <= 0x17F)
        base = kLatinExtendedA[cp - 0x100];
    if (base && base != '.') {
        switch (base) {
        case '1':
            out += "ae";
            break;
        case '2':
            out += "th";
            break;
        case '3':
            out += "ss";
            break;
        case '4':
            out += "ij";
            break;
        case '5':
            out += "oe";
            break;
        default:
            out.push_back(base);
        }
        return;
    }
    if (cp >= 0x300 && cp <= 0x36F)
        return; // a combining accent, as decomposed texts (from some file systems) carry them
    // Greek: capitals to small letters, the accented vowels to their plain ones.
    static constexpr char16_t kGreekAccented[][2] = {
        {0x386, 0x3B1}, {0x388, 0x3B5}, {0x389, 0x3B7}, {0x38A, 0x3B9}, {0x38C, 0x3BF},
        {0x38E, 0x3C5}, {0x38F, 0x3C9}, {0x390, 0x3B9}, {0x3AA, 0x3B9}, {0x3AB, 0x3C5},
        {0x3AC, 0x3B1}, {0x3AD, 0x3B5}, {0x3AE, 0x3B7}, {0x3AF, 0x3B9}, {0x3B0, 0x3C5},
        {0x3C2, 0x3C3}, {0x3CA, 0x3B9}, {0x3CB, 0x3C5}, {0x3CC, 0x3BF}, {0x3CD, 0x3C5},
        {0x3CE, 0x3C9}};
    for (const auto& [from, to] : kGreekAccented)
        if (cp == from)
            cp = to;
    if (cp >= 0x391 && cp <= 0x3A9)
        cp += 0x20;
    // Cyrillic: capitals to small letters; "ё" and "ѐ" to "е".
    if (cp >= 0x410 && cp <= 0x42F)
        cp += 0x20;
    else if (cp >= 0x400 && cp <= 0x40F)
        cp += 0x50;
    if (cp == 0x450 || cp == 0x451)
        cp = 0x435;
    AppendUtf8(cp, out);
}

} // namespace

void AppendFoldedForSearch(std::string_view text, std::string& out) {
    for (std::size_t at = 0; at < text.size();)
        AppendFolded(NextCodePoint(text, at), out);
}

std::string FoldForSearch(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendFoldedForSearch(text, out);
    return out;
}

SearchQuery::SearchQuery(std::string_view query) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    std::size_t at = 0;
    while (at < query.size()) {
        if (blank(query[at])) {
            ++at;
            continue;
        }
        std::string_view word;
        if (query[at] == '"') {
            // A phrase runs to the closing quote, or to the end when there is none yet.
            std::size_t close = query.find('"', at + 1);
            std::size_t end = close == std::string_view::npos ? query.size() : close;
            word = query.substr(at + 1, end - at - 1);
            at = close == std::string_view::npos ? query.size() : close + 1;
        } else {
            std::size_t end = at;
            while (end < query.size() && !blank(query[end]) && query[end] != '"')
                ++end;
            word = query.substr(at, end - at);
            at = end;
        }
        std::string needle = FoldForSearch(word);
        if (needle.find_first_not_of(' ') != std::string::npos &&
            std::find(needles_.begin(), needles_.end(), needle) == needles_.end())
            needles_.push_back(std::move(needle));
    }
    // The longest needle first: it is the likeliest to rule a text out at once.
    std::stable_sort(
        needles_.begin(), needles_.end(),
        [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

bool SearchQuery::Matches(std::string_view folded) const {
    for (const std::string& needle : needles_)
        if (folded.find(needle) == std::string_view::npos)
            return false;
    return true;
}

bool SearchQuery::NarrowedBy(const SearchQuery& next) const {
    for (const std::string& mine : needles_) {
        bool held = false;
        for (const std::string& theirs : next.needles_)
            held = held || theirs.find(mine) != std::string::npos;
        if (!held)
            return false;
    }
    return true;
}

} // namespace tunquil

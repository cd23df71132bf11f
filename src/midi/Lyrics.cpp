#include "midi/Lyrics.h"

#include "base/Text.h"
#include "platform/MidiSequence.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace tunquil {

using platform::SequenceText;

namespace {

bool StartsWith(const std::string& text, char c) {
    return !text.empty() && text[0] == c;
}

bool IsKaraokeLine(const SequenceText& t) {
    return t.type == SequenceText::kText && (StartsWith(t.bytes, '/') || StartsWith(t.bytes, '\\'));
}

// Soft karaoke files say so in a "@K" header; files without it still read as karaoke when a
// track holds texts that break lines the karaoke way, which no other use of Text events does.
bool LooksLikeKaraoke(const std::vector<SequenceText>& texts) {
    std::map<uint32_t, int> breaking;
    for (const auto& t : texts) {
        if (t.type != SequenceText::kText)
            continue;
        if (t.bytes.rfind("@K", 0) == 0)
            return true;
        if (IsKaraokeLine(t) && ++breaking[t.track] >= 2)
            return true;
    }
    return false;
}

// The track with the most words: files often repeat their lyrics on another track, or carry
// a comment or two as text elsewhere, and only one set may be sung.
uint32_t WordsTrack(const std::vector<const SequenceText*>& words) {
    std::map<uint32_t, int> count;
    for (const auto* t : words)
        ++count[t->track];
    uint32_t best = 0;
    int most = 0;
    for (const auto& [track, n] : count)
        if (n > most) {
            best = track;
            most = n;
        }
    return best;
}

enum Break { kNone = 0, kLine = 1, kParagraph = 2 };

class LineBuilder {
public:
    void Add(double ms, std::string_view text) {
        if (!text.empty() && text[0] == '\\') {
            BreakHere(kParagraph);
            text.remove_prefix(1);
        } else if (!text.empty() && text[0] == '/') {
            BreakHere(kLine);
            text.remove_prefix(1);
        }
        // Lyric events mark their line ends with CR, LF or both; an empty line between two
        // marks a new paragraph.
        while (!text.empty()) {
            std::size_t end = text.find_first_of("\r\n");
            Syllable(ms, text.substr(0, end));
            if (end == std::string_view::npos)
                break;
            std::size_t next = end + 1;
            if (text[end] == '\r' && next < text.size() && text[next] == '\n')
                ++next;
            BreakHere(kLine);
            text.remove_prefix(next);
        }
    }

    std::vector<LyricLine> Finish() {
        std::vector<LyricLine> lines;
        bool paragraphPending = false;
        for (auto& line : lines_) {
            TrimEnds(line);
            std::erase_if(line.syllables, [](const LyricSyllable& s) { return s.text.empty(); });
            if (line.syllables.empty()) {
                paragraphPending = paragraphPending || line.paragraph;
                continue;
            }
            line.ms = line.syllables.front().ms;
            line.paragraph = lines.empty() || line.paragraph || paragraphPending;
            paragraphPending = false;
            lines.push_back(std::move(line));
        }
        return lines;
    }

private:
    void BreakHere(Break b) {
        if (pending_ == kLine && b == kLine && !textSinceBreak_)
            b = kParagraph; // two line breaks with nothing between
        pending_ = std::max(pending_, b);
        textSinceBreak_ = false;
    }

    void Syllable(double ms, std::string_view text) {
        std::string clean = WithoutControlCharacters(text);
        // A blank before a line's first word only pads it, and must not hide an empty line.
        if (clean.empty() || ((lines_.empty() || pending_ != kNone) && Trim(clean).empty()))
            return;
        if (lines_.empty() || pending_ != kNone) {
            lines_.push_back({ms, pending_ == kParagraph, {}});
            pending_ = kNone;
        }
        if (Trim(clean).empty())
            clean = " ";
        textSinceBreak_ = textSinceBreak_ || clean != " ";
        lines_.back().syllables.push_back({ms, std::move(clean)});
    }

    static void TrimEnds(LyricLine& line) {
        for (auto& s : line.syllables) {
            std::size_t first = s.text.find_first_not_of(' ');
            s.text.erase(0, first == std::string::npos ? s.text.size() : first);
            if (!s.text.empty())
                break;
        }
        for (auto it = line.syllables.rbegin(); it != line.syllables.rend(); ++it) {
            std::size_t last = it->text.find_last_not_of(' ');
            it->text.erase(last == std::string::npos ? 0 : last + 1);
            if (!it->text.empty())
                break;
        }
    }

    std::vector<LyricLine> lines_;
    Break pending_ = kNone;
    bool textSinceBreak_ = false;
};

} // namespace

std::string LyricLine::Text() const {
    std::string text;
    for (const auto& s : syllables)
        text += s.text;
    return text;
}

Lyrics Lyrics::FromMidi(std::span<const uint8_t> bytes, bool karaokeFile) {
    try {
        return FromTexts(platform::MidiSequence::ReadTexts(bytes), karaokeFile);
    } catch (const platform::MidiSequenceError&) {
        return {}; // a tune that cannot be read has nothing to sing
    }
}

Lyrics Lyrics::FromTexts(const std::vector<SequenceText>& texts, bool karaokeFile) {
    const bool karaoke = karaokeFile || LooksLikeKaraoke(texts);
    std::vector<const SequenceText*> headers, words, lyricEvents;
    for (const auto& t : texts) {
        if (t.type == SequenceText::kLyric)
            lyricEvents.push_back(&t);
        else if (karaoke && StartsWith(t.bytes, '@'))
            headers.push_back(&t);
        else if (karaoke)
            words.push_back(&t);
    }
    // A karaoke file's Text events are its words; its Lyric events, when it has both, tend to
    // be a copy made for other players.
    if (words.empty())
        words = std::move(lyricEvents);
    if (!words.empty()) {
        uint32_t track = WordsTrack(words);
        std::erase_if(words, [track](const SequenceText* t) { return t->track != track; });
    }

    // One encoding for the whole file: a text that happens to read as UTF-8 in a file of
    // Windows-1252 must not be read differently from its neighbours. Each text is checked on
    // its own, so that no syllable ever holds half a character.
    bool utf8 = true;
    for (const auto* list : {&headers, &words})
        for (const auto* t : *list)
            utf8 = utf8 && IsValidUtf8(t->bytes);
    auto decode = [utf8](const std::string& bytes) {
        return utf8 ? bytes : Windows1252ToUtf8(bytes);
    };

    Lyrics lyrics;
    for (const auto* t : headers) {
        std::string text = Trim(WithoutControlCharacters(decode(t->bytes)));
        if (text.size() < 2)
            continue;
        std::string value = Trim(text.substr(2));
        switch (text[1]) {
        case 'T':
            lyrics.titles_.push_back(value);
            break;
        case 'L':
            lyrics.language_ = value;
            break;
        case 'I':
            lyrics.information_.push_back(value);
            break;
        default:
            break; // "@K" marks the file, "@V" its format's version: nothing to show
        }
    }
    LineBuilder builder;
    for (const auto* t : words)
        builder.Add(t->ms, decode(t->bytes));
    lyrics.lines_ = builder.Finish();
    return lyrics;
}

LyricsPlace Lyrics::At(double ms) const {
    if (lines_.empty())
        return {};
    auto after = std::upper_bound(lines_.begin(), lines_.end(), ms,
                                  [](double v, const LyricLine& l) { return v < l.ms; });
    if (after == lines_.begin())
        return {0, 0};
    const auto& line = *std::prev(after);
    auto sung = std::upper_bound(line.syllables.begin(), line.syllables.end(), ms,
                                 [](double v, const LyricSyllable& s) { return v < s.ms; });
    return {int(std::prev(after) - lines_.begin()), std::size_t(sung - line.syllables.begin())};
}

std::string Lyrics::SungText(const LyricsPlace& place) const {
    if (place.line < 0 || std::size_t(place.line) >= lines_.size())
        return {};
    const auto& syllables = lines_[place.line].syllables;
    std::string text;
    for (std::size_t i = 0; i < place.sung && i < syllables.size(); ++i)
        text += syllables[i].text;
    return text;
}

std::string Lyrics::UnsungText(const LyricsPlace& place) const {
    if (place.line < 0 || std::size_t(place.line) >= lines_.size())
        return {};
    const auto& syllables = lines_[place.line].syllables;
    std::string text;
    for (std::size_t i = place.sung; i < syllables.size(); ++i)
        text += syllables[i].text;
    return text;
}

std::string Lyrics::NextLineText(const LyricsPlace& place) const {
    std::size_t next = std::size_t(place.line + 1);
    return place.line >= 0 && next < lines_.size() ? lines_[next].Text() : std::string();
}

std::string Lyrics::Text() const {
    std::string text;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0 && lines_[i].paragraph)
            text += '\n';
        text += lines_[i].Text() + '\n';
    }
    return text;
}

std::string LrcTime(double ms) {
    long long hundredths = std::llround(std::max(0.0, ms) / 10.0);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld.%02lld", hundredths / 6000, hundredths / 100 % 60,
                  hundredths % 100);
    return buf;
}

std::string Lyrics::Lrc(const std::string& title, const std::string& artist) const {
    std::string lrc;
    // A tag ends at its "]" and its line: a value holding either would end it early.
    auto tag = [&](const char* name, const std::string& given, std::size_t header) {
        std::string value = !given.empty()            ? given
                            : titles_.size() > header ? titles_[header]
                                                      : std::string();
        std::erase_if(value, [](char c) { return c == '\n' || c == '\r'; });
        if (!value.empty())
            lrc += std::string("[") + name + ":" + value + "]\n";
    };
    tag("ti", title, 0);
    tag("ar", artist, 1);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0 && lines_[i].paragraph)
            lrc += '\n';
        lrc += "[" + LrcTime(lines_[i].ms) + "]" + lines_[i].Text() + '\n';
    }
    return lrc;
}

} // namespace tunquil

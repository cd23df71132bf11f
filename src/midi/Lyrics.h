#pragma once
// The words of a tune, timed for singing along: the Lyric events of a MIDI file, or the Text
// events of a karaoke file with their conventions ("@" headers, "/" a new line, "\" a new
// paragraph). Times come from the tempo map the sequencer plays by, so they compare directly
// with the device's position.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tunquil {

namespace platform {
struct SequenceText;
}

struct LyricSyllable {
    double ms;
    std::string text; // UTF-8
};

struct LyricLine {
    double ms; // when its first syllable is sung
    bool paragraph;
    std::vector<LyricSyllable> syllables;
    std::string Text() const;
};

// Where singing stands: the line shown as the current one and how many of its syllables have
// been sung. Before the first line it is that line with nothing sung; line is -1 only for a
// tune without lyrics.
struct LyricsPlace {
    int line = -1;
    std::size_t sung = 0;
    bool operator==(const LyricsPlace&) const = default;
};

class Lyrics {
public:
    // The lyrics of a Standard MIDI File or RMID file; none for bytes that are not MIDI.
    // `karaokeFile`: the file was named as a karaoke file (".kar"), so its Text events are its
    // words even without the karaoke marker.
    static Lyrics FromMidi(std::span<const uint8_t> bytes, bool karaokeFile = false);
    static Lyrics FromTexts(const std::vector<platform::SequenceText>& texts, bool karaokeFile);

    bool Empty() const { return lines_.empty(); }
    const std::vector<LyricLine>& Lines() const { return lines_; }
    // The karaoke headers: "@T" lines (title, then artist, then more), "@L" language, "@I"
    // information, each without its "@" and letter.
    const std::vector<std::string>& Titles() const { return titles_; }
    const std::string& Language() const { return language_; }
    const std::vector<std::string>& Information() const { return information_; }

    LyricsPlace At(double ms) const;
    // The current line split at the singing: what has been sung, and what is still to come.
    std::string SungText(const LyricsPlace& place) const;
    std::string UnsungText(const LyricsPlace& place) const;
    // The line after the current one; empty at the end.
    std::string NextLineText(const LyricsPlace& place) const;

    // A line each, with an empty line before each new paragraph.
    std::string Text() const;
    // An LRC file: "[ti:...]" and "[ar:...]", then "[mm:ss.xx]" and each line. The title and
    // artist given (the library's, for a title) come before the karaoke headers.
    std::string Lrc(const std::string& title = {}, const std::string& artist = {}) const;

private:
    std::vector<LyricLine> lines_;
    std::vector<std::string> titles_, information_;
    std::string language_;
};

// "mm:ss.xx" for LRC, rounded to the nearest hundredth; minutes go past 59.
std::string LrcTime(double ms);

} // namespace tunquil

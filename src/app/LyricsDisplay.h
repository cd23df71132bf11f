#pragma once
// What the lyrics pane shows, without the pane: the note for a player with nothing to sing, or
// the current line split at the singing and the line after it.

#include "midi/Lyrics.h"

#include <string>

namespace tunquil {

inline constexpr const char* kNothingPlayingNote = "No title is playing.";
inline constexpr const char* kNoLyricsNote = "This tune has no lyrics.";

struct LyricsDisplay {
    std::string note; // shown instead of the lines when not empty
    std::string sung, unsung, next;
    std::string Line() const { return sung + unsung; }
    bool operator==(const LyricsDisplay&) const = default;
};

// `playing`: a title is under way (playing, paused or seeking), at `positionMs` of its own
// time.
LyricsDisplay DisplayLyrics(const Lyrics& lyrics, bool playing, double positionMs);

} // namespace tunquil

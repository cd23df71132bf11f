#include "app/LyricsDisplay.h"

namespace tunquil {

LyricsDisplay DisplayLyrics(const Lyrics& lyrics, bool playing, double positionMs) {
    LyricsDisplay shown;
    if (!playing) {
        shown.note = kNothingPlayingNote;
        return shown;
    }
    if (lyrics.Empty()) {
        shown.note = kNoLyricsNote;
        return shown;
    }
    const LyricsPlace place = lyrics.At(positionMs);
    shown.sung = lyrics.SungText(place);
    shown.unsung = lyrics.UnsungText(place);
    shown.next = lyrics.NextLineText(place);
    return shown;
}

} // namespace tunquil

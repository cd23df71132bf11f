// The words of MIDI and karaoke files, on arbitrary bytes: reading them, placing the singing at
// any position, and writing them as text and LRC.

#include "midi/Lyrics.h"

#include "app/LyricsDisplay.h"
#include "base/Text.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte says whether the file was named as a karaoke file.
    if (size == 0)
        return 0;
    const bool karaoke = data[0] & 1;
    auto lyrics = tunquil::Lyrics::FromMidi(std::span<const uint8_t>(data + 1, size - 1), karaoke);
    double last = -1;
    for (const auto& line : lyrics.Lines()) {
        // Lines come in time order, none without words, and every word is UTF-8.
        if (line.ms < last || line.syllables.empty() || !tunquil::IsValidUtf8(line.Text()))
            __builtin_trap();
        last = line.ms;
        for (double at : {line.ms - 1, line.ms, line.syllables.back().ms + 1}) {
            auto shown = tunquil::DisplayLyrics(lyrics, true, at);
            if (!tunquil::IsValidUtf8(shown.Line()) || !tunquil::IsValidUtf8(shown.next))
                __builtin_trap();
        }
    }
    if (!tunquil::IsValidUtf8(lyrics.Text()) || !tunquil::IsValidUtf8(lyrics.Lrc()))
        __builtin_trap();
    return 0;
}

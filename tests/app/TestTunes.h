#pragma once
// Small tunes and titles for the play tests.

#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "export/archive/StoredTune.h"
#include "support/TempDir.h"

#include <cstdint>
#include <string>

namespace tunquil::test {

inline std::string Be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

inline std::string Vlq(uint32_t v) {
    std::string out(1, char(v & 0x7F));
    while (v >>= 7)
        out.insert(out.begin(), char(0x80 | (v & 0x7F)));
    return out;
}

inline std::string Smf0(const std::string& track) {
    return "MThd" + Be32(6) + std::string("\x00\x00\x00\x01\x01\xE0", 6) + "MTrk" +
           Be32(uint32_t(track.size())) + track;
}

// A format-0 tune of one note lasting `ms` (480 ticks per quarter at 120 beats per minute).
inline std::string OneNoteTune(int ms, int note) {
    std::string track = std::string("\x00\xFF\x51\x03\x07\xA1\x20\x00\xC0\x00\x00\x90", 12) +
                        char(note) + "\x64" + Vlq(uint32_t(ms) * 480 / 500) + "\x80" + char(note) +
                        "\x40" + std::string("\x00\xFF\x2F\x00", 4);
    return Smf0(track);
}

// OneNoteTune grown past `bytes` by a text event at its start: a "large" file for the player.
inline std::string LargeOneNoteTune(int ms, int note, uint32_t bytes) {
    std::string text = std::string("\x00\xFF\x01", 3) + Vlq(bytes) + std::string(bytes, 't');
    std::string small = OneNoteTune(ms, note);
    std::string track = text + small.substr(22); // after the header and the track's header
    return Smf0(track);
}

// Stores `midiBytes` as a new title of the category "Jazz" by Ann Lee; returns its key.
inline int32_t AddStoredTitle(TDMM2& data, TCatList& categories, const std::string& name,
                              const std::string& midiBytes) {
    TempDir staging;
    auto tune = staging.Write(kStoredTuneEntry, midiBytes);
    auto archive = staging / "AAATune.Zzz";
    ZipOneFile(tune, archive);
    int32_t ck = categories.FindByName("Jazz");
    if (ck == 0)
        ck = categories.AddCategory("Jazz");
    int32_t pk = data.Performers().FindOrAdd("Ann", "Lee");
    return data.AddTitle(archive, name, false, 45000, 0, pk, ck, "/music/" + name + ".mid");
}

} // namespace tunquil::test

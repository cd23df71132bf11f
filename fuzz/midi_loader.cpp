// Feeds arbitrary bytes to the MIDI reader as a whole file held in memory, then times the tune
// and reads every data block, so that a block offset or length outside the track's store shows.

#include "midi/MidiData.h"
#include "midi/MidiPosition.h"
#include "midi/TuneTime.h"

#include <cstddef>
#include <cstdint>
#include <exception>

using namespace tunquil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // One reader for every input, as the program keeps one: a load must start clean after any
    // earlier failure.
    static TMidiData midiData;
    try {
        midiData.LoadFromMemory(data, size);
    } catch (const std::exception&) {
        if (midiData.Active() || midiData.Tracks(0))
            __builtin_trap();
        return 0;
    }
    unsigned sum = 0;
    for (int slot = 0; slot < TMidiData::kMaxTracks; ++slot) {
        const TMidiTrack* track = midiData.Tracks(slot);
        if (!track)
            continue;
        for (int32_t i = 0; i < track->Count(); ++i) {
            const TMidiEvent& e = track->GetEvent(i);
            if (i > 0 && e.Time < track->GetEvent(i - 1).Time)
                __builtin_trap();
            if (const uint8_t* block = track->Block(e))
                for (int k = 0; k < e.Length; ++k)
                    sum += block[k];
        }
    }
    try {
        TMidiPosition position;
        position.SetMidiData(&midiData);
        int32_t end = position.EndTick();
        position.DurationMs();
        position.SeekTick(end / 2);
        position.SeekTick(end);
    } catch (const std::exception&) {
    }
    volatile unsigned sink = sum;
    (void)sink;
    int seconds = GetTuneTime(midiData, data, size);
    if (seconds < -1 || midiData.Active())
        __builtin_trap();
    return 0;
}

#include "midi/TuneTime.h"

#include "midi/MidiData.h"
#include "midi/MidiPosition.h"

#include <exception>
#include <limits>

namespace tunquil {

namespace {

// Keeps the reader inactive afterwards, however the computation ends.
struct Deactivate {
    TMidiData& midiData;
    ~Deactivate() { midiData.Clear(); }
};

int TimeOfLoadedTune(TMidiData& midiData) {
    try {
        TMidiPosition position;
        position.SetMidiData(&midiData);
        int64_t seconds = position.DurationMs() / 1000;
        if (seconds < 0 || seconds > std::numeric_limits<int32_t>::max())
            return 0;
        return static_cast<int>(seconds);
    } catch (const std::exception&) {
        return 0; // the file's numbers make the time incomputable
    }
}

} // namespace

int GetTuneTime(TMidiData& midiData, const std::string& path) {
    Deactivate deactivate{midiData};
    try {
        midiData.SetActive(false);
        midiData.SetFileName(path);
        midiData.SetActive(true);
    } catch (const std::exception&) {
        return -1; // not a loadable Standard MIDI File
    }
    return TimeOfLoadedTune(midiData);
}

int GetTuneTime(TMidiData& midiData, const uint8_t* bytes, std::size_t size) {
    Deactivate deactivate{midiData};
    try {
        midiData.LoadFromMemory(bytes, size);
    } catch (const std::exception&) {
        return -1;
    }
    return TimeOfLoadedTune(midiData);
}

} // namespace tunquil

#pragma once
// The music toolbar's state as data: which controls are enabled, which glyph and hint each
// shows. The play program computes it after every operation; the toolbar only renders it.

#include <string>

namespace tunquil {

enum class Glyph { None, Play, Pause, Stop };

struct ControlState {
    bool enabled = false;
    Glyph glyph = Glyph::None;
    std::string hint; // short and long text joined by "|"
};

struct TransportInputs {
    int mode = 0; // the player's mode
    bool active = false;
    bool userStopped = false;
    bool clearedByStop = false;
    int count = 0;               // entries in the program
    bool startupComplete = true; // volume and the track bar wait for it
    bool navigating = false;     // next or previous is running
};

struct TransportState {
    bool programMenu = false;
    ControlState playReplace, play, progView, shuffle, musicClear, back, playNext, repeat, pause,
        oneStop, allStop, volume, trackBar;
};

// The toolbar as the program first shows it.
TransportState InitialTransportState();

// The enable rules, glyphs and hints. `previous` matters because the stop button keeps its
// play state until something switches it back.
TransportState ComputeTransportState(const TransportInputs& in, const TransportState& previous);

} // namespace tunquil

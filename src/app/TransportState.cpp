#include "app/TransportState.h"

#include "app/PlayServices.h"

namespace tunquil {

namespace {
const char* const kStopHint = "Stop|Stop current play";
const char* const kRestartHint = "Play|Restart play";
} // namespace

TransportState InitialTransportState() {
    TransportState s;
    s.playReplace = {true, Glyph::None, "Add + Play|Add music and play it first"};
    s.play = {true, Glyph::None, "Add|Add music and play it last"};
    s.progView = {false, Glyph::None, "View|View the program currently playing"};
    s.shuffle = {false, Glyph::None, "Shuffle|Shuffle the program currently playing"};
    s.musicClear = {false, Glyph::None, "Clear|Erase the currently playing program"};
    s.back = {false, Glyph::None, "Previous|Restart play with the previously playing title"};
    s.playNext = {false, Glyph::None, "Next|Play the next title in the program"};
    s.repeat = {false, Glyph::None, "Restart|Restart title currently playing"};
    s.pause = {false, Glyph::Pause, "Pause"};
    s.oneStop = {false, Glyph::Stop, kStopHint};
    s.allStop = {false, Glyph::None, "Stop+Clear program|Stop all play and erase play list"};
    s.volume = {false, Glyph::None, "Volume + Balance"};
    s.trackBar = {false, Glyph::None, "Move|Move position within playing title"};
    return s;
}

TransportState ComputeTransportState(const TransportInputs& in, const TransportState& previous) {
    TransportState s = previous;
    const bool playingLike = PlayingLike(in.mode);
    const bool playingNotStopped = playingLike && !in.userStopped;
    const bool several = in.count > 1;

    s.programMenu = in.active;
    s.back.enabled = in.active && several && !in.navigating;
    s.playNext.enabled = in.active && several && !in.navigating;
    s.repeat.enabled = in.active;

    s.pause.enabled = playingNotStopped;
    s.pause.glyph = in.mode == 1 ? Glyph::Play : Glyph::Pause;
    s.pause.hint = in.mode == 1 ? "Resume" : "Pause";

    s.oneStop.enabled = in.active || playingNotStopped;
    if (playingNotStopped || in.clearedByStop) {
        s.oneStop.glyph = Glyph::Stop;
        s.oneStop.hint = kStopHint;
    } else if (in.active) {
        s.oneStop.glyph = Glyph::Play;
        s.oneStop.hint = kRestartHint;
    }

    s.allStop.enabled = in.count > 0 || playingNotStopped;
    s.musicClear.enabled = in.count > 0;
    s.progView.enabled = in.count > 0;
    s.shuffle.enabled = several;
    s.playReplace.enabled = true;
    s.play.enabled = true;
    s.volume.enabled = in.startupComplete;
    s.trackBar.enabled = in.startupComplete;
    return s;
}

} // namespace tunquil

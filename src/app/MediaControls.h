#pragma once
// The desktop's media controls (media keys, panel widgets) over the play program: what they
// are shown and how their commands act, exactly as the transport buttons act.

#include <cstdint>
#include <string>

namespace tunquil {

class PlayProgram;

enum class MediaCommand { Play, Pause, PlayPause, Stop, Next, Previous };

// "Playing", "Paused" or "Stopped".
std::string MediaPlaybackStatus(PlayProgram& program);

struct MediaMetadata {
    std::string trackId; // an object path naming the title;
                         // "/org/mpris/MediaPlayer2/TrackList/NoTrack" for none
    std::string title, artist, genre;
    int64_t lengthUs = 0;
};
MediaMetadata CurrentMediaMetadata(const PlayProgram& program);
int64_t MediaPositionUs(const PlayProgram& program);

// The playing speed as a rate (1.0 the title's own) and its limits. Positions and lengths stay
// in the title's own time, which advances at this rate.
constexpr double kMinimumMediaRate = 0.25;
constexpr double kMaximumMediaRate = 4.0;
double MediaRate(const PlayProgram& program);
// A rate of 0 or less pauses, as the desktop's media-player interface asks; any other is kept
// within the limits. A rate that is no number is ignored.
void SetMediaRate(PlayProgram& program, double rate);

// Carries out a command; a command that does not apply in the present state does nothing.
void ApplyMediaCommand(PlayProgram& program, MediaCommand command);

// Moves within the playing title by `offsetUs` (back when negative), or to `positionUs` when
// `trackId` names the playing title; stale or foreign track ids are ignored. Each gives the
// position played from, or -1 when nothing moved.
int64_t SeekMedia(PlayProgram& program, int64_t offsetUs);
int64_t SetMediaPosition(PlayProgram& program, const std::string& trackId, int64_t positionUs);

} // namespace tunquil

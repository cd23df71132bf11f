#include "app/MediaControls.h"

#include "app/PlayProgram.h"

#include <algorithm>
#include <cmath>

namespace tunquil {

std::string MediaPlaybackStatus(PlayProgram& program) {
    if (!program.Active())
        return "Stopped";
    switch (program.SafeMode()) {
    case kModePlaying:
    case kModeSeeking:
        return "Playing";
    case kModePaused:
        return "Paused";
    default:
        return "Stopped";
    }
}

MediaMetadata CurrentMediaMetadata(const PlayProgram& program) {
    MediaMetadata data;
    if (!program.Active() || program.CurrentKey() <= 0) {
        data.trackId = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
        return data;
    }
    data.trackId = "/org/tunquil/title/" + std::to_string(program.CurrentKey());
    data.title = program.TitleText();
    data.artist = program.ArtistText();
    data.genre = program.CategoryText();
    data.lengthUs = int64_t(program.TrackBar().max) * 1000000;
    return data;
}

int64_t MediaPositionUs(const PlayProgram& program) {
    return program.Active() ? int64_t(program.TrackBar().position) * 1000000 : 0;
}

void ApplyMediaCommand(PlayProgram& program, MediaCommand command) {
    const std::string status = MediaPlaybackStatus(program);
    switch (command) {
    case MediaCommand::Play:
        if (status == "Paused")
            program.PauseOrResume();
        else if (status == "Stopped" && program.Active())
            program.Stop(); // the Stop button pressed again plays from the start
        break;
    case MediaCommand::Pause:
        if (status == "Playing")
            program.PauseOrResume();
        break;
    case MediaCommand::PlayPause:
        if (status == "Stopped")
            ApplyMediaCommand(program, MediaCommand::Play);
        else
            program.PauseOrResume();
        break;
    case MediaCommand::Stop:
        // Stop on a stopped title would start it again, as the button does; a media key's
        // Stop never does.
        if (status != "Stopped")
            program.Stop();
        break;
    case MediaCommand::Next:
        program.Next();
        break;
    case MediaCommand::Previous:
        program.Previous();
        break;
    }
}

namespace {

int64_t PlayFromUs(PlayProgram& program, int64_t positionUs) {
    const int64_t lengthUs = CurrentMediaMetadata(program).lengthUs;
    positionUs = std::clamp<int64_t>(positionUs, 0, std::max<int64_t>(0, lengthUs));
    program.SeekTo(positionUs / 1000);
    return positionUs;
}

} // namespace

int64_t SeekMedia(PlayProgram& program, int64_t offsetUs) {
    if (MediaPlaybackStatus(program) != "Playing")
        return -1;
    return PlayFromUs(program, MediaPositionUs(program) + offsetUs);
}

double MediaRate(const PlayProgram& program) {
    return program.TempoPercent() / 100.0;
}

void SetMediaRate(PlayProgram& program, double rate) {
    if (std::isnan(rate))
        return;
    if (rate <= 0) {
        ApplyMediaCommand(program, MediaCommand::Pause);
        return;
    }
    rate = std::clamp(rate, kMinimumMediaRate, kMaximumMediaRate);
    program.SetTempoPercent(static_cast<int>(std::lround(rate * 100)));
}

int64_t SetMediaPosition(PlayProgram& program, const std::string& trackId, int64_t positionUs) {
    if (MediaPlaybackStatus(program) != "Playing" ||
        CurrentMediaMetadata(program).trackId != trackId || positionUs < 0)
        return -1;
    return PlayFromUs(program, positionUs);
}

} // namespace tunquil

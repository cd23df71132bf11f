#include "app/NowPlaying.h"

#include "base/Text.h"
#include "database/TitleRecord.h"

namespace tunquil {

std::string FormatPanelTime(int seconds) {
    return TimeText(seconds);
}

std::string PlayerStateText(int mode) {
    switch (mode) {
    case 1:
        return "Paused";
    case 2:
        return "Playing";
    case 3:
        return "Stopped";
    case 5:
        return "Seeking";
    case 6:
        return "MIDI Error";
    default:
        return "Idle";
    }
}

NowPlaying::NowPlaying() {
    Show("...", "...", "...", "No program", 0, 0, 0, 0);
}

void NowPlaying::Show(const std::string& category, const std::string& artist,
                      const std::string& title, const std::string& message, int titleNumber,
                      int titleCount, int elapsedSeconds, int totalSeconds) {
    category_ = category;
    artist_ = artist;
    title_ = title;
    message_ = message;
    titleNumber_ = titleNumber;
    titleCount_ = titleCount;
    elapsed_ = elapsedSeconds;
    total_ = totalSeconds;
}

void NowPlaying::ShowTemporary(const std::string& text, Clock::time_point now) {
    holding_ = true;
    holdUntil_ = now + kMessageHold;
    state_ = Trim(text);
}

bool NowPlaying::PollState(int mode, bool busy, Clock::time_point now) {
    if (holding_ && now >= holdUntil_)
        holding_ = false;
    // While the player repositions, its mode says nothing new: keep what is shown.
    std::string text = busy ? state_ : PlayerStateText(mode);
    if (holding_ || text == state_)
        return false;
    state_ = Trim(text);
    return true;
}

std::string NowPlaying::Line() const {
    std::string head = message_.empty() ? "Title " + std::to_string(titleNumber_) + " of " +
                                              std::to_string(titleCount_)
                                        : message_;
    return head + " | " + category_ + " | " + artist_ + " | " + title_ + " | " + ElapsedText() +
           "/" + TotalText() + " | " + state_;
}

} // namespace tunquil

#pragma once
// What the now-playing panel shows, without the panel: the texts and numbers the play program
// pushes on every timer tick, and the player-state line with its temporary-message hold. The
// panel renders it; tunquilctl prints it.

#include <chrono>
#include <string>

namespace tunquil {

// Seconds as the panel shows them: 0:05, 0:59, 4:07, 1:02:09.
std::string FormatPanelTime(int seconds);

// The state line for a player mode ("Idle" for modes without a text of their own).
std::string PlayerStateText(int mode);

class NowPlaying {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kMessageHold{8000};

    NowPlaying();

    void Show(const std::string& category, const std::string& artist, const std::string& title,
              const std::string& message, int titleNumber, int titleCount, int elapsedSeconds,
              int totalSeconds);
    // A short notice in the state line that the state poll leaves alone for kMessageHold.
    void ShowTemporary(const std::string& text, Clock::time_point now = Clock::now());
    // The periodic state poll: takes the player's mode unless a notice is being held. Returns
    // true when the state line changed.
    bool PollState(int mode, bool busy, Clock::time_point now = Clock::now());

    const std::string& Category() const { return category_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Title() const { return title_; }
    // Shown instead of the "Title n of m in program" line when not empty.
    const std::string& Message() const { return message_; }
    int TitleNumber() const { return titleNumber_; }
    int TitleCount() const { return titleCount_; }
    int ElapsedSeconds() const { return elapsed_; }
    int TotalSeconds() const { return total_; }
    std::string ElapsedText() const { return FormatPanelTime(elapsed_); }
    std::string TotalText() const { return FormatPanelTime(total_); }
    const std::string& State() const { return state_; }

    // One line with everything above, for terminals and logs.
    std::string Line() const;

private:
    std::string category_, artist_, title_, message_;
    int titleNumber_ = 0, titleCount_ = 0, elapsed_ = 0, total_ = 0;
    std::string state_ = "Idle";
    bool holding_ = false;
    Clock::time_point holdUntil_{};
};

} // namespace tunquil

#pragma once
// The notice shown when the sound device cannot play (another program holds it, no sound server,
// no SoundFont): its texts, and the quiet period after the user closes it, during which it is not
// shown again.

#include <chrono>
#include <string>
#include <vector>

namespace tunquil {

class DeviceUnavailableNotice {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kQuietPeriod{2000};

    static const char* Caption() { return "MIDI device unavailable"; }
    // The advice for a device held by another player.
    static const std::vector<std::string>& Lines();
    // What the notice reads for a device failure: the device's own message of what failed (its
    // texts already say what to do), or the advice above when the device gave none.
    static std::vector<std::string> Lines(const std::string& deviceMessage);

    // Whether a new failure may show the notice now.
    bool MayShow(Clock::time_point now = Clock::now()) const { return now >= quietUntil_; }
    // "&Close" was pressed: the notice stays away for the quiet period.
    void Closed(Clock::time_point now = Clock::now()) { quietUntil_ = now + kQuietPeriod; }

private:
    Clock::time_point quietUntil_{};
};

} // namespace tunquil

#pragma once
// The notice shown when another program holds the MIDI device: its texts, and the quiet period
// after the user closes it, during which it is not shown again.

#include <chrono>
#include <string>
#include <vector>

namespace tunquil {

class DeviceUnavailableNotice {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kQuietPeriod{2000};

    static const char* Caption() { return "MIDI device unavailable"; }
    static const std::vector<std::string>& Lines();

    // Whether a new failure may show the notice now.
    bool MayShow(Clock::time_point now = Clock::now()) const { return now >= quietUntil_; }
    // "&Close" was pressed: the notice stays away for the quiet period.
    void Closed(Clock::time_point now = Clock::now()) { quietUntil_ = now + kQuietPeriod; }

private:
    Clock::time_point quietUntil_{};
};

} // namespace tunquil

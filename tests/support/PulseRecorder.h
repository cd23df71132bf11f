#pragma once
// Records what the sound server plays (the default sink's monitor, through parec) with the
// moment each sample was heard, for tests that listen to the player.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tunquil::test {

// The reason the sound tests cannot run here, or empty when a sound server is reachable.
std::string SoundServerUnavailableReason();
// Whether the test command started a sound server for the tests (TUNQUIL_SOUND_SERVER_REQUIRED,
// which scripts/test-services.sh sets): then a missing one is a fault of the run, not a reason
// to skip.
bool SoundServerRequired();

// Opens a test that needs the sound server: skips it when there is none, and fails it instead
// when the test command said there must be one.
#define TUNQUIL_NEED_SOUND_SERVER()                                                                \
    if (std::string reason_ = ::tunquil::test::SoundServerUnavailableReason(); reason_.empty()) {  \
    } else if (::tunquil::test::SoundServerRequired())                                             \
        FAIL() << reason_ << " (TUNQUIL_SOUND_SERVER_REQUIRED is set)";                            \
    else                                                                                           \
        GTEST_SKIP() << reason_

class PulseRecorder {
public:
    using Clock = std::chrono::steady_clock;

    // Waits until no other listening test uses the sound server, then starts recording.
    PulseRecorder();
    ~PulseRecorder();
    PulseRecorder(const PulseRecorder&) = delete;
    PulseRecorder& operator=(const PulseRecorder&) = delete;

    bool Started() const { return pid_ > 0 && !peaks_.empty(); }

    // The loudest sample (0..32767) heard between two moments.
    int PeakBetween(Clock::time_point from, Clock::time_point to);
    // The first or last moment in a span at which the level exceeds `threshold`.
    std::optional<Clock::time_point> FirstLoud(Clock::time_point from, Clock::time_point to,
                                               int threshold);
    std::optional<Clock::time_point> LastLoud(Clock::time_point from, Clock::time_point to,
                                              int threshold);
    // The longest run of 10 ms blocks in a span whose level stays at or below `threshold`.
    Clock::duration LongestQuiet(Clock::time_point from, Clock::time_point to, int threshold);
    // Waits until the recording has reached `moment` (or a second has passed beyond it).
    void WaitUntilHeard(Clock::time_point moment);
    // Prints the levels heard, 50 ms apart, with their moments relative to `origin`.
    void Dump(Clock::time_point origin);

private:
    void Read(int fd);
    Clock::time_point HeardLocked(std::size_t block) const;

    int pid_ = -1;
    int fd_ = -1;
    int lockFd_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::vector<int> peaks_; // one per 441 frames (10 ms)
    // The moment the first frame was heard. The server's clock paces the frames, while they
    // reach us in bursts: the earliest arrival, less the frames before it, is the truest start.
    std::optional<Clock::time_point> start_;
};

} // namespace tunquil::test

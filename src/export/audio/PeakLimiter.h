#pragma once
// Holds the peaks of a sound under a threshold without touching the rest: the gain comes down
// smoothly ahead of a peak (the limiter looks kLookAhead frames ahead, so the sound leaves
// later by as much) and goes back up over about kReleaseMs. At every frame the gain is the
// average of the last kLookAhead + 1 values of an envelope that never exceeds the least gain
// any frame of the look-ahead needs, so no frame passes the threshold, and no step is heard as
// a click.

#include <cstddef>
#include <deque>
#include <utility>
#include <vector>

namespace tunquil {

class PeakLimiter {
public:
    static constexpr std::size_t kLookAhead = 256; // 5.8 ms at 44.1 kHz
    static constexpr double kReleaseMs = 80;

    // `threshold` is the highest sample magnitude let out, full scale being 1.
    PeakLimiter(double threshold, int sampleRate);

    // Takes `count` interleaved stereo frames and appends the frames it lets out to `out`.
    void Process(const float* in, std::size_t count, std::vector<float>& out);
    // Lets out the frames still held back: every frame taken has then come out.
    void Finish(std::vector<float>& out);

private:
    void Push(float left, float right, std::vector<float>& out);

    double threshold_;
    double release_;
    std::vector<float> delayed_;   // the frames held back, a ring
    std::vector<double> envelope_; // the envelope's last kLookAhead + 1 values, a ring
    double sum_;                   // of envelope_
    double level_ = 1.0;
    std::deque<std::pair<std::size_t, double>> window_; // least gains needed ahead, rising
    std::size_t received_ = 0;
};

} // namespace tunquil

#include "export/audio/PeakLimiter.h"

#include <algorithm>
#include <cmath>

namespace tunquil {

PeakLimiter::PeakLimiter(double threshold, int sampleRate)
    : threshold_(threshold), release_(1 - std::exp(-1000.0 / (kReleaseMs * sampleRate))),
      delayed_(2 * (kLookAhead + 1)), envelope_(kLookAhead + 1, 1.0), sum_(double(kLookAhead + 1)) {
}

void PeakLimiter::Process(const float* in, std::size_t count, std::vector<float>& out) {
    for (std::size_t i = 0; i < count; ++i)
        Push(in[2 * i], in[2 * i + 1], out);
}

void PeakLimiter::Finish(std::vector<float>& out) {
    for (std::size_t i = 0; i < kLookAhead; ++i)
        Push(0, 0, out);
}

void PeakLimiter::Push(float left, float right, std::vector<float>& out) {
    const std::size_t n = received_++;
    double peak = std::max(std::abs(left), std::abs(right));
    double needed = peak > threshold_ ? threshold_ / peak : 1.0;
    while (!window_.empty() && window_.back().second >= needed)
        window_.pop_back();
    window_.emplace_back(n, needed);
    std::size_t slot = n % (kLookAhead + 1);
    delayed_[2 * slot] = left;
    delayed_[2 * slot + 1] = right;
    if (n < kLookAhead)
        return;
    // The frame leaving now is the one kLookAhead frames back.
    const std::size_t leaving = n - kLookAhead;
    while (window_.front().first < leaving)
        window_.pop_front();
    double least = window_.front().second;
    level_ = std::min(least, level_ + (1 - level_) * release_);
    if (leaving == 0) {
        // Before the first frame the envelope is as low as the first frames need.
        std::fill(envelope_.begin(), envelope_.end(), level_);
        sum_ = level_ * double(kLookAhead + 1);
    }
    sum_ += level_ - envelope_[leaving % (kLookAhead + 1)];
    envelope_[leaving % (kLookAhead + 1)] = level_;
    double gain = std::min(1.0, sum_ / double(kLookAhead + 1));
    std::size_t from = leaving % (kLookAhead + 1);
    out.push_back(float(delayed_[2 * from] * gain));
    out.push_back(float(delayed_[2 * from + 1] * gain));
}

} // namespace tunquil

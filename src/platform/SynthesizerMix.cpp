#include "platform/SynthesizerMix.h"

#include <algorithm>
#include <cmath>

namespace tunquil::platform {

void SynthesizerMix::SetVolume(uint32_t left, uint32_t right) {
    left_ = std::min(left, kFull);
    right_ = std::min(right, kFull);
}

float SynthesizerMix::Gain(const std::atomic<uint32_t>& channel) const {
    if (muted_)
        return 0.0f;
    return float(channel.load()) / float(kFull);
}

void SynthesizerMix::Apply(float* left, float* right, int frames) const {
    float gl = Gain(left_), gr = Gain(right_);
    if (gl == 1.0f && gr == 1.0f)
        return;
    for (int i = 0; i < frames; ++i) {
        left[i] *= gl;
        right[i] *= gr;
    }
}

void SynthesizerMix::ApplyInterleaved(int16_t* samples, int frames) const {
    float gl = Gain(left_), gr = Gain(right_);
    if (gl == 1.0f && gr == 1.0f)
        return;
    for (int i = 0; i < frames; ++i) {
        samples[2 * i] = int16_t(std::lround(samples[2 * i] * gl));
        samples[2 * i + 1] = int16_t(std::lround(samples[2 * i + 1] * gr));
    }
}

} // namespace tunquil::platform

#pragma once
// The volume, balance and mute of our own synthesizer, set from the mixer and applied to every
// block the synthesizer renders, for the sound server and for a WAV file alike. Shared between
// the mixer (any thread) and the sequencer's audio thread, so every value is atomic.

#include <atomic>
#include <cstdint>

namespace tunquil::platform {

class SynthesizerMix {
public:
    static constexpr uint32_t kFull = 65535;

    void SetVolume(uint32_t left, uint32_t right);
    uint32_t Left() const { return left_.load(); }
    uint32_t Right() const { return right_.load(); }
    void SetMuted(bool muted) { muted_ = muted; }
    bool Muted() const { return muted_.load(); }

    // Scales one block: separate channel buffers, or interleaved stereo samples.
    void Apply(float* left, float* right, int frames) const;
    void ApplyInterleaved(int16_t* samples, int frames) const;

private:
    float Gain(const std::atomic<uint32_t>& channel) const;

    std::atomic<uint32_t> left_{kFull};
    std::atomic<uint32_t> right_{kFull};
    std::atomic<bool> muted_{false};
};

} // namespace tunquil::platform

// The peak limiter of the audio export: nothing it lets out passes the threshold, wherever the
// peaks fall (the very first frame included), every frame comes out, and a sound that stays
// under the threshold comes out as it went in.

#include "export/audio/PeakLimiter.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace tunquil {
namespace {

// Feeds `in` in chunks of uneven sizes, as the export reads its scratch file, then finishes.
std::vector<float> Limit(const std::vector<float>& in, double threshold) {
    PeakLimiter limiter(threshold, 44100);
    std::vector<float> out;
    std::mt19937 random(7);
    for (std::size_t at = 0; at < in.size() / 2;) {
        std::size_t n = std::min<std::size_t>(1 + random() % 3000, in.size() / 2 - at);
        limiter.Process(in.data() + 2 * at, n, out);
        at += n;
    }
    limiter.Finish(out);
    return out;
}

TEST(PeakLimiter, NoFrameLeavesAboveTheThresholdAndEveryFrameComesOut) {
    std::mt19937 random(42);
    std::uniform_real_distribution<float> noise(-0.3f, 0.3f), spike(1.0f, 4.0f);
    for (std::size_t frames : {std::size_t(100), std::size_t(44100)}) {
        SCOPED_TRACE(frames);
        std::vector<float> in(frames * 2);
        for (float& sample : in)
            sample = noise(random);
        // Peaks at the first and last frames, in runs and alone, on either channel.
        for (std::size_t frame :
             {std::size_t(0), frames - 1, frames / 2, frames / 2 + 1, frames / 3, std::size_t(5)})
            in[2 * frame + frame % 2] = (frame % 3 ? -1 : 1) * spike(random);
        std::vector<float> out = Limit(in, 0.5);
        ASSERT_EQ(out.size(), in.size());
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_LE(std::abs(out[i]), 0.5 * (1 + 1e-6)) << "sample " << i;
        // Far from any peak the gain has come back, to within 1 %.
        if (frames == 44100)
            EXPECT_NEAR(out[2 * 40000], in[2 * 40000], 1e-2 * std::abs(in[2 * 40000]));
    }
}

TEST(PeakLimiter, SoundUnderTheThresholdComesOutAsItWentIn) {
    std::vector<float> in(2 * 10000);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = float(0.45 * std::sin(double(i) * 0.01));
    EXPECT_EQ(Limit(in, 0.5), in);
}

} // namespace
} // namespace tunquil

#pragma once
// What a rendered WAV file holds, for tests that judge pitch: its samples as one channel, and
// the strongest frequency of a stretch of them.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

namespace tunquil::test {

constexpr int kWavRate = 44100;

// The left channel of a 16-bit stereo WAV file as the renderer writes it (a 44-byte header).
inline std::vector<float> LeftChannel(const std::string& wav) {
    std::vector<float> out;
    for (std::size_t i = 44; i + 3 < wav.size(); i += 4)
        out.push_back(float(int16_t(uint8_t(wav[i]) | (uint8_t(wav[i + 1]) << 8))));
    return out;
}

// The frequency in Hz with the most energy between two moments (in milliseconds), from a
// Hann-windowed FFT of 2^15 samples with the peak placed between bins by a parabola.
inline double StrongestFrequency(const std::vector<float>& samples, double fromMs, double toMs) {
    constexpr std::size_t n = 1 << 15;
    std::vector<std::complex<double>> a(n);
    auto first = std::size_t(fromMs * kWavRate / 1000);
    auto count = std::min(std::size_t((toMs - fromMs) * kWavRate / 1000),
                          samples.size() > first ? samples.size() - first : 0);
    count = std::min(count, n);
    for (std::size_t i = 0; i < count; ++i)
        a[i] = samples[first + i] * 0.5 * (1 - std::cos(2 * std::numbers::pi * i / (count - 1)));
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        auto w = std::polar(1.0, -2 * std::numbers::pi / double(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1;
            for (std::size_t k = 0; k < len / 2; ++k, wk *= w) {
                auto u = a[i + k], v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
    std::size_t best = 1;
    for (std::size_t k = 1; k < n / 2; ++k)
        if (std::abs(a[k]) > std::abs(a[best]))
            best = k;
    double l = std::abs(a[best - 1]), c = std::abs(a[best]), r = std::abs(a[best + 1]);
    double shift = (l - r) / (2 * (l - 2 * c + r));
    return (double(best) + (std::isfinite(shift) ? shift : 0)) * kWavRate / double(n);
}

} // namespace tunquil::test

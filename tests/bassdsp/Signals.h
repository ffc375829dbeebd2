// Test signals and measurements for the DSP tests.
#ifndef AUBADINE_TESTS_BASSDSP_SIGNALS_H
#define AUBADINE_TESTS_BASSDSP_SIGNALS_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

namespace bassdsp_test {

// frames of a sine on every one of `channels` channels.
inline std::vector<float> sine(double hz, int rate, size_t frames, int channels = 1,
                               double amplitude = 1.0)
{
    std::vector<float> v(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        const auto s = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate));
        for (int c = 0; c < channels; ++c)
            v[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = s;
    }
    return v;
}

// Deterministic white noise, uniform in -amplitude..amplitude.
inline std::vector<float> noise(size_t samples, double amplitude, uint32_t seed = 12345)
{
    std::vector<float> v(samples);
    uint32_t x = seed;
    for (auto& s : v) {
        x = x * 1664525u + 1013904223u;
        s = static_cast<float>(amplitude * ((x >> 8) / 8388608.0 - 1.0));
    }
    return v;
}

// RMS of one channel over frames [from, to).
inline double rms(const std::vector<float>& v, int channels, int channel, size_t from, size_t to)
{
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) {
        const double s = v[i * static_cast<size_t>(channels) + static_cast<size_t>(channel)];
        sum += s * s;
    }
    return std::sqrt(sum / static_cast<double>(to - from));
}

inline double db(double ratio)
{
    return 20.0 * std::log10(ratio);
}

} // namespace bassdsp_test

#endif

#include "Fft.h"

#include <array>
#include <cmath>
#include <mutex>
#include <numbers>

#include <fftw3.h>

namespace aubadine::dsp {

namespace {

constexpr size_t kMaxSize = 2048;
constexpr uint32_t kModeMask = ~BASS_DATA_FFT_INDIVIDUAL;

// FFTW's planner (and its allocator, to be safe) may be used by one thread at a time;
// executing a finished plan is thread-safe.
std::mutex& plannerMutex()
{
    static std::mutex m;
    return m;
}

// One real-to-complex plan and Hann window per size, made on first use and kept for the
// life of the process. `ready` is only read or written under plannerMutex().
struct SizePlan {
    fftwf_plan plan = nullptr;
    std::array<float, kMaxSize> window{};
    bool ready = false;
};

int sizeIndex(size_t n)
{
    return n == 512 ? 0 : n == 1024 ? 1 : n == 2048 ? 2 : -1;
}

// The plan for n points, or nullptr when FFTW cannot make one.
const SizePlan* planFor(size_t n)
{
    static std::array<SizePlan, 3> plans;
    const int idx = sizeIndex(n);
    if (idx < 0)
        return nullptr;
    std::lock_guard lock(plannerMutex());
    SizePlan& p = plans[static_cast<size_t>(idx)];
    if (!p.ready) {
        // Plan on scratch arrays allocated like the analyzers' own, so that the
        // new-array execute functions may be used with those (same alignment).
        float* in = fftwf_alloc_real(n);
        fftwf_complex* out = fftwf_alloc_complex(n / 2 + 1);
        if (in && out)
            p.plan = fftwf_plan_dft_r2c_1d(static_cast<int>(n), in, out, FFTW_ESTIMATE);
        fftwf_free(in);
        fftwf_free(out);
        if (!p.plan)
            return nullptr;
        // Periodic Hann window: its mean is exactly 0.5.
        for (size_t i = 0; i < n; ++i)
            p.window[i] = static_cast<float>(
                0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                     static_cast<double>(n)));
        p.ready = true;
    }
    return &p;
}

} // namespace

SpectrumAnalyzer::SpectrumAnalyzer()
{
    std::lock_guard lock(plannerMutex());
    in_ = fftwf_alloc_real(kMaxSize);
    out_ = fftwf_alloc_complex(kMaxSize / 2 + 1);
}

SpectrumAnalyzer::~SpectrumAnalyzer()
{
    std::lock_guard lock(plannerMutex());
    fftwf_free(in_);
    fftwf_free(out_);
}

size_t SpectrumAnalyzer::fftSize(uint32_t mode)
{
    switch (mode & kModeMask) {
    case BASS_DATA_FFT512:
        return 512;
    case BASS_DATA_FFT1024:
        return 1024;
    case BASS_DATA_FFT2048:
        return 2048;
    default:
        return 0;
    }
}

size_t SpectrumAnalyzer::outputCount(uint32_t mode, int channels)
{
    const size_t n = fftSize(mode);
    if (n == 0 || channels < 1)
        return 0;
    return (mode & BASS_DATA_FFT_INDIVIDUAL) ? n / 2 * static_cast<size_t>(channels) : n / 2;
}

size_t SpectrumAnalyzer::compute(const float* interleaved, int channels, uint32_t mode, float* out)
{
    const size_t n = fftSize(mode);
    if (n == 0 || channels < 1 || !interleaved || !out || !in_ || !out_)
        return 0;
    const SizePlan* p = planFor(n);
    if (!p)
        return 0;

    const auto chans = static_cast<size_t>(channels);
    const bool individual = (mode & BASS_DATA_FFT_INDIVIDUAL) != 0;
    const size_t passes = individual ? chans : 1;
    const size_t bins = n / 2;
    // A bin-centred sine of amplitude A gives |X[k]| = A × n/2 × 0.5 (the window's mean).
    const float scale = 4.0f / static_cast<float>(n);
    auto* spectrum = static_cast<fftwf_complex*>(out_);

    for (size_t pass = 0; pass < passes; ++pass) {
        if (individual) {
            for (size_t i = 0; i < n; ++i)
                in_[i] = interleaved[i * chans + pass] * p->window[i];
        } else {
            const float mix = 1.0f / static_cast<float>(chans);
            for (size_t i = 0; i < n; ++i) {
                float sum = 0.0f;
                for (size_t c = 0; c < chans; ++c)
                    sum += interleaved[i * chans + c];
                in_[i] = sum * mix * p->window[i];
            }
        }
        fftwf_execute_dft_r2c(p->plan, in_, spectrum);
        for (size_t k = 0; k < bins; ++k) {
            const float mag = std::hypot(spectrum[k][0], spectrum[k][1]) * scale;
            // The DC bin has no mirror image: half the factor reads a constant as itself.
            out[individual ? k * chans + pass : k] = k == 0 ? mag * 0.5f : mag;
        }
    }
    return individual ? bins * chans : bins;
}

} // namespace aubadine::dsp

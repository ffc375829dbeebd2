#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "Signals.h"
#include "Fft.h"

using aubadine::dsp::SpectrumAnalyzer;
using namespace bassdsp_test;

namespace {

constexpr int kRate = 44100;

size_t peakBin(const std::vector<float>& mags, size_t stride = 1, size_t offset = 0)
{
    size_t best = 0;
    for (size_t k = 1; k * stride + offset < mags.size(); ++k)
        if (mags[k * stride + offset] > mags[best * stride + offset])
            best = k;
    return best;
}

} // namespace

TEST(Spectrum, SizesAndCountsPerMode)
{
    struct Case {
        uint32_t mode;
        int channels;
        size_t size;
        size_t count;
    } const cases[] = {
        {BASS_DATA_FFT512, 2, 512, 256},
        {BASS_DATA_FFT1024, 1, 1024, 512},
        {BASS_DATA_FFT2048, 2, 2048, 1024},
        {BASS_DATA_FFT2048 | BASS_DATA_FFT_INDIVIDUAL, 2, 2048, 2048},
        {BASS_DATA_FFT512 | BASS_DATA_FFT_INDIVIDUAL, 6, 512, 1536},
        {BASS_DATA_FFT512, 0, 512, 0},
        {0x80000003u, 2, 0, 0},
        {0x00000200u, 2, 0, 0}, // a byte count, not an FFT
        {0x10u, 2, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SpectrumAnalyzer::fftSize(c.mode), c.size) << std::hex << c.mode;
        EXPECT_EQ(SpectrumAnalyzer::outputCount(c.mode, c.channels), c.count) << std::hex << c.mode;
    }
}

TEST(Spectrum, FullScaleSinesPeakAtTheirBinNearOne)
{
    struct Case {
        uint32_t mode;
        double hz;
        size_t bin;
    } const cases[] = {
        {BASS_DATA_FFT512, 440, 5},     // 440 / 86.13 Hz = 5.1
        {BASS_DATA_FFT512, 5000, 58},   // 58.05
        {BASS_DATA_FFT2048, 440, 20},   // 440 / 21.53 Hz = 20.4
        {BASS_DATA_FFT2048, 5000, 232}, // 232.2
        {BASS_DATA_FFT1024, 5000, 116},
    };
    SpectrumAnalyzer fft;
    for (const auto& c : cases) {
        const size_t n = SpectrumAnalyzer::fftSize(c.mode);
        const auto v = sine(c.hz, kRate, n, 2);
        std::vector<float> mags(n / 2, -1.0f);
        ASSERT_EQ(fft.compute(v.data(), 2, c.mode, mags.data()), n / 2);
        EXPECT_EQ(peakBin(mags), c.bin) << c.hz << " Hz, " << n << " points";
        EXPECT_GT(mags[c.bin], 0.8f);
        EXPECT_LT(mags[c.bin], 1.02f);

        // Centred on the bin it reads 1.0.
        const double centred = static_cast<double>(c.bin) * kRate / static_cast<double>(n);
        const auto w = sine(centred, kRate, n, 2);
        fft.compute(w.data(), 2, c.mode, mags.data());
        EXPECT_NEAR(mags[c.bin], 1.0f, 0.01f);
        EXPECT_LT(mags[c.bin + 3], 0.01f); // the window keeps the energy near its bin
    }
}

TEST(Spectrum, IndividualModeInterleavesOneSpectrumPerChannel)
{
    constexpr size_t n = 2048;
    const auto left = sine(440, kRate, n), right = sine(5000, kRate, n, 1, 0.5);
    std::vector<float> v(2 * n);
    for (size_t i = 0; i < n; ++i) {
        v[2 * i] = left[i];
        v[2 * i + 1] = right[i];
    }
    SpectrumAnalyzer fft;
    std::vector<float> mags(2 * 1024);
    ASSERT_EQ(fft.compute(v.data(), 2, BASS_DATA_FFT2048 | BASS_DATA_FFT_INDIVIDUAL, mags.data()), 2048u);
    EXPECT_EQ(peakBin(mags, 2, 0), 20u);
    EXPECT_EQ(peakBin(mags, 2, 1), 232u);
    EXPECT_GT(mags[2 * 20], 0.8f);
    EXPECT_NEAR(mags[2 * 232 + 1], 0.5f, 0.1f);
    EXPECT_LT(mags[2 * 20 + 1], 0.01f);
    EXPECT_LT(mags[2 * 232], 0.01f);
}

TEST(Spectrum, MixedModeAveragesTheChannels)
{
    constexpr size_t n = 512;
    const double hz = 20.0 * kRate / n; // centred on bin 20
    const auto tone = sine(hz, kRate, n);
    std::vector<float> both(2 * n), leftOnly(2 * n, 0.0f);
    for (size_t i = 0; i < n; ++i) {
        both[2 * i] = both[2 * i + 1] = tone[i];
        leftOnly[2 * i] = tone[i];
    }
    SpectrumAnalyzer fft;
    std::vector<float> mags(256);
    fft.compute(both.data(), 2, BASS_DATA_FFT512, mags.data());
    EXPECT_NEAR(mags[20], 1.0f, 0.01f);
    fft.compute(leftOnly.data(), 2, BASS_DATA_FFT512, mags.data());
    EXPECT_NEAR(mags[20], 0.5f, 0.01f);
}

TEST(Spectrum, SilenceAndRefusals)
{
    SpectrumAnalyzer fft;
    std::vector<float> silence(2 * 2048, 0.0f), mags(2048, -1.0f);
    ASSERT_EQ(fft.compute(silence.data(), 2, BASS_DATA_FFT2048, mags.data()), 1024u);
    EXPECT_TRUE(std::all_of(mags.begin(), mags.begin() + 1024, [](float m) { return m == 0.0f; }));
    EXPECT_EQ(mags[1024], -1.0f); // nothing written past the count

    std::fill(mags.begin(), mags.end(), -1.0f);
    EXPECT_EQ(fft.compute(silence.data(), 2, 0x80000003u, mags.data()), 0u);
    EXPECT_EQ(fft.compute(silence.data(), 0, BASS_DATA_FFT512, mags.data()), 0u);
    EXPECT_EQ(fft.compute(nullptr, 2, BASS_DATA_FFT512, mags.data()), 0u);
    EXPECT_EQ(fft.compute(silence.data(), 2, BASS_DATA_FFT512, nullptr), 0u);
    EXPECT_TRUE(std::all_of(mags.begin(), mags.end(), [](float m) { return m == -1.0f; }));
}

// Analyzers on several threads at once: the first use of each FFT size makes its plan,
// which FFTW allows on one thread at a time only.
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Signals.h"
#include "Fft.h"

using aubadine::dsp::SpectrumAnalyzer;
using namespace bassdsp_test;

TEST(SpectrumThreads, ConcurrentAnalyzersAgreeWithASingleOne)
{
    const uint32_t modes[] = {BASS_DATA_FFT2048 | BASS_DATA_FFT_INDIVIDUAL, BASS_DATA_FFT512,
                              BASS_DATA_FFT1024, BASS_DATA_FFT2048};
    const auto input = noise(2 * 2048, 0.7);
    constexpr int kThreads = 4;
    std::vector<std::vector<float>> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            SpectrumAnalyzer fft;
            std::vector<float> out(2048);
            for (int round = 0; round < 20; ++round)
                for (uint32_t mode : modes) {
                    const size_t n = fft.compute(input.data(), 2, mode, out.data());
                    if (mode == modes[t % 4])
                        results[static_cast<size_t>(t)].assign(out.begin(), out.begin() + static_cast<long>(n));
                }
        });
    }
    for (auto& th : threads)
        th.join();

    SpectrumAnalyzer fft;
    for (int t = 0; t < kThreads; ++t) {
        std::vector<float> out(2048);
        const size_t n = fft.compute(input.data(), 2, modes[t % 4], out.data());
        out.resize(n);
        EXPECT_EQ(results[static_cast<size_t>(t)], out) << "thread " << t;
    }
}

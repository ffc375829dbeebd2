// Cost of the audio library's signal processing per call, as the mixer and the spectrum
// readers make them: one 1024-frame block of 44100 Hz stereo through each effect (and
// through the player's full chain of ten equalizer bands, echo and reverb), and one FFT of
// each size. "realtime" is how many times faster than real time the work runs on one core.
#include <cstdint>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "Effects.h"
#include "Fft.h"

using namespace aubadine::dsp;

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr size_t kBlock = 1024;

std::vector<float> noise(size_t n)
{
    std::vector<float> v(n);
    uint32_t x = 1;
    for (auto& s : v) {
        x = x * 1664525u + 1013904223u;
        s = static_cast<float>((x >> 8) / 8388608.0 - 1.0) * 0.5f;
    }
    return v;
}

void countRealtime(benchmark::State& state, double secondsPerCall)
{
    state.counters["realtime"] = benchmark::Counter(
        secondsPerCall * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The player's settings: bands of 80 Hz .. 14 kHz with some gain, echo mix 19.2 %
// feedback 30 %, reverb mix -8 dB, time 1 s, high-frequency ratio 0.1.
std::vector<std::unique_ptr<Effect>> chain(bool eq, bool echo, bool reverb, int bands = 10)
{
    std::vector<std::unique_ptr<Effect>> fx;
    const float centres[10] = {80, 170, 310, 600, 1000, 3000, 6000, 10000, 12000, 14000};
    const float widths[10] = {4, 4, 4, 4, 5, 6, 5, 4, 3, 3};
    for (int i = 0; eq && i < bands; ++i) {
        fx.push_back(createEffect(BASS_FX_PARAMEQ, kRate, kChannels));
        const BASS_FXPARAMEQ p{centres[i], widths[i], static_cast<float>(i % 5) * 3.0f - 6.0f + 1.0f};
        fx.back()->setParameters(&p);
    }
    if (echo) {
        fx.push_back(createEffect(BASS_FX_ECHO, kRate, kChannels));
        const BASS_FXECHO p{19.2f, 30.0f, 500.0f, 500.0f, 0};
        fx.back()->setParameters(&p);
    }
    if (reverb) {
        fx.push_back(createEffect(BASS_FX_REVERB, kRate, kChannels));
        const BASS_FXREVERB p{0.0f, -8.0f, 1000.0f, 0.1f};
        fx.back()->setParameters(&p);
    }
    return fx;
}

void runChain(benchmark::State& state, std::vector<std::unique_ptr<Effect>> fx)
{
    const auto source = noise(kBlock * kChannels);
    std::vector<float> block(source.size());
    for (auto _ : state) {
        state.PauseTiming();
        block = source;
        state.ResumeTiming();
        for (auto& f : fx)
            f->process(block.data(), kBlock);
        benchmark::DoNotOptimize(block.data());
    }
    countRealtime(state, static_cast<double>(kBlock) / kRate);
}

void BM_EqualizerBand(benchmark::State& state) { runChain(state, chain(true, false, false, 1)); }
void BM_EqualizerTenBands(benchmark::State& state) { runChain(state, chain(true, false, false)); }
void BM_Echo(benchmark::State& state) { runChain(state, chain(false, true, false)); }
void BM_Reverb(benchmark::State& state) { runChain(state, chain(false, false, true)); }
void BM_PlayerChain(benchmark::State& state) { runChain(state, chain(true, true, true)); }

// A block during which a new equalizer gain glides in (the costliest case of that effect).
void BM_EqualizerBandGliding(benchmark::State& state)
{
    auto fx = createEffect(BASS_FX_PARAMEQ, kRate, kChannels);
    auto block = noise(kBlock * kChannels);
    float gain = 6.0f;
    for (auto _ : state) {
        gain = -gain;
        const BASS_FXPARAMEQ p{1000.0f, 5.0f, gain};
        fx->setParameters(&p);
        fx->process(block.data(), kBlock);
        benchmark::DoNotOptimize(block.data());
    }
    countRealtime(state, static_cast<double>(kBlock) / kRate);
}

void BM_Fft(benchmark::State& state, uint32_t mode)
{
    const size_t n = SpectrumAnalyzer::fftSize(mode);
    const auto input = noise(n * kChannels);
    std::vector<float> out(SpectrumAnalyzer::outputCount(mode, kChannels));
    SpectrumAnalyzer fft;
    for (auto _ : state) {
        benchmark::DoNotOptimize(fft.compute(input.data(), kChannels, mode, out.data()));
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(BM_EqualizerBand);
BENCHMARK(BM_EqualizerBandGliding);
BENCHMARK(BM_EqualizerTenBands);
BENCHMARK(BM_Echo);
BENCHMARK(BM_Reverb);
BENCHMARK(BM_PlayerChain);
BENCHMARK_CAPTURE(BM_Fft, 512, BASS_DATA_FFT512);
BENCHMARK_CAPTURE(BM_Fft, 1024, BASS_DATA_FFT1024);
BENCHMARK_CAPTURE(BM_Fft, 2048, BASS_DATA_FFT2048);
BENCHMARK_CAPTURE(BM_Fft, 2048_per_channel, BASS_DATA_FFT2048 | BASS_DATA_FFT_INDIVIDUAL);

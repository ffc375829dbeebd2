/*
 * Fft.h: the FFT magnitudes that BASS_ChannelGetData returns for its FFT modes.
 *
 * Each FFT takes the last fftSize frames heard, weights them with a periodic Hann window
 * and transforms them with FFTW. The result is fftSize / 2 magnitudes, bin k describing
 * k × sampleRate / fftSize Hz, scaled so that a full-scale sine (amplitude 1.0) centred on
 * a bin reads 1.0 there (a little less, down to about 0.85, between two bins).
 *
 * Modes (BASS_DATA_*):
 * - BASS_DATA_FFT512 (0x80000000): 512-sample FFT, 256 magnitudes;
 * - BASS_DATA_FFT1024 (0x80000001): 1024-sample FFT, 512 magnitudes;
 * - BASS_DATA_FFT2048 (0x80000002): 2048-sample FFT, 1024 magnitudes;
 * - any of them | BASS_DATA_FFT_INDIVIDUAL (0x10): one FFT per channel, magnitudes
 *   interleaved by channel (out[k × channels + c]), channels × fftSize / 2 floats.
 *   Without it the channels are averaged to one signal first.
 *
 * Threads: one analyzer must not be used by two threads at once; separate analyzers may
 * run in parallel (FFTW plans are shared, created once per size under a global lock).
 */
#ifndef AUBADINE_BASS_DSP_SPECTRUM_H
#define AUBADINE_BASS_DSP_SPECTRUM_H

#include <cstddef>
#include <cstdint>

#include "../bass.h"

namespace aubadine::dsp {

class SpectrumAnalyzer {
public:
    SpectrumAnalyzer();
    ~SpectrumAnalyzer();
    SpectrumAnalyzer(const SpectrumAnalyzer&) = delete;
    SpectrumAnalyzer& operator=(const SpectrumAnalyzer&) = delete;

    // Frames an FFT of this mode needs: 512, 1024 or 2048; 0 for an unknown mode.
    static size_t fftSize(uint32_t mode);
    // Floats compute() writes for this mode and channel count; 0 for an unknown mode.
    static size_t outputCount(uint32_t mode, int channels);

    // interleaved: the last fftSize(mode) frames heard, `channels` (>= 1) samples a frame.
    // Writes outputCount(mode, channels) magnitudes to out and returns that count; returns 0
    // and writes nothing for an unknown mode, channels < 1, null pointers, or when FFTW
    // cannot make a plan or memory runs out.
    size_t compute(const float* interleaved, int channels, uint32_t mode, float* out);

private:
    float* in_ = nullptr;  // fftwf_malloc'd, kMaxSize floats: windowed input
    void* out_ = nullptr;  // fftwf_malloc'd, kMaxSize / 2 + 1 complex values
};

} // namespace aubadine::dsp

#endif

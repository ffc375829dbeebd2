// Turns a channel's float frames (any rate, 1..8 channels) into stereo float frames at the
// device rate, through libswresample. Mono is spread to both sides at full level; same-rate
// mono and stereo pass through unchanged (bit-exact).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct SwrContext;

namespace aubadine::bass {

class Resampler {
public:
    Resampler() = default;
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // Throws Failure(BASS_ERROR_FORMAT) for a format libswresample refuses.
    void configure(uint32_t inRate, uint32_t inChannels, uint32_t outRate);
    // Appends the converted frames to out (interleaved stereo).
    void push(const float* in, size_t frames, std::vector<float>& out);
    // Appends what the filter still holds (at the end of a source).
    void flush(std::vector<float>& out);
    void reset();  // drops what the filter holds (after a seek)

private:
    void release();
    void convert(const float* in, size_t frames, std::vector<float>& out);

    SwrContext* swr_ = nullptr;
    uint32_t inRate_ = 0, inChannels_ = 0, outRate_ = 0;
    std::vector<float> stereo_;
};

}  // namespace aubadine::bass

#include "Resampler.h"

#include "CBoundary.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace aubadine::bass {

Resampler::~Resampler() { release(); }

void Resampler::release() {
    if (swr_) swr_free(&swr_);
}

void Resampler::configure(uint32_t inRate, uint32_t inChannels, uint32_t outRate) {
    release();
    inRate_ = inRate;
    inChannels_ = inChannels;
    outRate_ = outRate;
    if (inChannels <= 2 && inRate == outRate) return;
    AVChannelLayout inLayout{}, outLayout{};
    av_channel_layout_default(&inLayout, inChannels <= 2 ? 2 : static_cast<int>(inChannels));
    av_channel_layout_default(&outLayout, 2);
    const int rc = swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_FLT, static_cast<int>(outRate),
                                       &inLayout, AV_SAMPLE_FMT_FLT, static_cast<int>(inRate), 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (rc < 0 || swr_init(swr_) < 0) {
        release();
        fail(BASS_ERROR_FORMAT);
    }
}

void Resampler::convert(const float* in, size_t frames, std::vector<float>& out) {
    const int capacity = swr_get_out_samples(swr_, static_cast<int>(frames));
    if (capacity <= 0) return;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(capacity) * 2);
    auto* dst = reinterpret_cast<uint8_t*>(out.data() + at);
    const auto* src = reinterpret_cast<const uint8_t*>(in);
    const int got = swr_convert(swr_, &dst, capacity, in ? &src : nullptr, static_cast<int>(frames));
    out.resize(at + static_cast<size_t>(got > 0 ? got : 0) * 2);
}

void Resampler::push(const float* in, size_t frames, std::vector<float>& out) {
    const float* stereo = in;
    if (inChannels_ == 1) {
        stereo_.resize(frames * 2);
        for (size_t i = 0; i < frames; ++i) stereo_[i * 2] = stereo_[i * 2 + 1] = in[i];
        stereo = stereo_.data();
    }
    if (!swr_) {
        out.insert(out.end(), stereo, stereo + frames * 2);
        return;
    }
    convert(stereo, frames, out);
}

void Resampler::flush(std::vector<float>& out) {
    if (swr_) convert(nullptr, 0, out);
}

void Resampler::reset() {
    if (swr_) configure(inRate_, inChannels_, outRate_);
}

}  // namespace aubadine::bass

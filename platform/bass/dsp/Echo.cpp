// The echo: one delay line per channel, even channels using the left delay and odd ones the
// right. What a line hears is the channel's input plus `feedback` times what it repeats;
// with lPanDelay the repeats are fed into the partner channel's line instead (0 <-> 1,
// 2 <-> 3, ...), so each echo comes from the other side. The output mixes dry input and
// repeats by fWetDryMix.
//
// Changes glide: mix and feedback ramp over kit::kRampSeconds, the pan routing cross-fades
// between the two feeds, and a new delay cross-fades from the old read position to the new
// one (a change arriving during such a fade starts when it ends).
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "EffectKit.h"

namespace aubadine::dsp::kit {

namespace {

constexpr float kMaxDelayMs = 2000.0f;
// Bounds the repeats when feedback is 100 %: a repeating pattern then adds up each pass.
constexpr float kLineLimit = 16.0f;

class Echo final : public Effect {
public:
    Echo(int sampleRate, int channels)
        : rate_(sampleRate), channels_(static_cast<size_t>(channels)),
          lineLen_(delayFrames(kMaxDelayMs) + 1), fadeLen_(std::max<size_t>(rampFrames(sampleRate), 1)),
          lines_(lineLen_ * channels_, 0.0f)
    {
        for (size_t ch = 0; ch < channels_; ++ch)
            partner_[ch] = (ch ^ 1u) < channels_ ? (ch ^ 1u) : ch;
        apply(params_, true);
    }

    bool setParameters(const void* params) noexcept override
    {
        if (!params)
            return false;
        const auto& p = *static_cast<const BASS_FXECHO*>(params);
        if (!inRange(p.fWetDryMix, 0.0f, 100.0f) || !inRange(p.fFeedback, 0.0f, 100.0f) ||
            !inRange(p.fLeftDelay, 1.0f, kMaxDelayMs) || !inRange(p.fRightDelay, 1.0f, kMaxDelayMs) ||
            (p.lPanDelay != 0 && p.lPanDelay != 1))
            return false;
        params_ = p;
        apply(p, false);
        return true;
    }

    void getParameters(void* params) const noexcept override
    {
        if (params)
            *static_cast<BASS_FXECHO*>(params) = params_;
    }

    void process(float* data, size_t frames) noexcept override
    {
        std::array<float, kMaxChannels> repeat{};
        for (size_t f = 0; f < frames; ++f, data += channels_) {
            if (fadePos_ >= fadeLen_ && pendingDelay_ != delay_) {
                next_ = pendingDelay_;
                fadePos_ = 0;
            }
            const bool fading = fadePos_ < fadeLen_;
            const float t = fading ? static_cast<float>(fadePos_) / static_cast<float>(fadeLen_) : 0.0f;
            for (size_t ch = 0; ch < channels_; ++ch) {
                const size_t side = ch & 1u;
                const float* line = &lines_[ch * lineLen_];
                float v = line[readIndex(delay_[side])];
                if (fading)
                    v += t * (line[readIndex(next_[side])] - v);
                repeat[ch] = v;
            }
            if (fading && ++fadePos_ == fadeLen_)
                delay_ = next_;

            const auto wet = static_cast<float>(wet_.next());
            const auto feedback = static_cast<float>(feedback_.next());
            const auto cross = static_cast<float>(cross_.next());
            for (size_t ch = 0; ch < channels_; ++ch) {
                const float x = sane(data[ch]);
                const float fed = repeat[ch] + cross * (repeat[partner_[ch]] - repeat[ch]);
                lines_[ch * lineLen_ + write_] =
                    flush(std::clamp(x + feedback * fed, -kLineLimit, kLineLimit));
                data[ch] = x + wet * (repeat[ch] - x);
            }
            if (++write_ == lineLen_)
                write_ = 0;
        }
    }

private:
    size_t delayFrames(float ms) const
    {
        return std::max<size_t>(1, static_cast<size_t>(std::lround(ms * rate_ / 1000.0)));
    }

    size_t readIndex(size_t delay) const
    {
        return write_ >= delay ? write_ - delay : write_ + lineLen_ - delay;
    }

    void apply(const BASS_FXECHO& p, bool now)
    {
        const size_t ramp = now ? 0 : fadeLen_;
        wet_.setTarget(p.fWetDryMix / 100.0, ramp);
        feedback_.setTarget(p.fFeedback / 100.0, ramp);
        cross_.setTarget(p.lPanDelay ? 1.0 : 0.0, ramp);
        pendingDelay_ = {delayFrames(p.fLeftDelay), delayFrames(p.fRightDelay)};
        if (now)
            delay_ = next_ = pendingDelay_;
    }

    const int rate_;
    const size_t channels_;
    const size_t lineLen_;
    const size_t fadeLen_;
    BASS_FXECHO params_{50.0f, 50.0f, 500.0f, 500.0f, 0};
    std::vector<float> lines_; // channels_ lines of lineLen_ samples
    std::array<size_t, kMaxChannels> partner_{};
    size_t write_ = 0;
    // Delays in frames per side (left, right): heard now, faded towards, asked for.
    std::array<size_t, 2> delay_{}, next_{}, pendingDelay_{};
    size_t fadePos_ = SIZE_MAX;
    Ramp wet_, feedback_, cross_; // shares 0..1; cross_: 1 = repeats fed to the partner
};

} // namespace

std::unique_ptr<Effect> makeEcho(int sampleRate, int channels)
{
    return std::make_unique<Echo>(sampleRate, channels);
}

} // namespace aubadine::dsp::kit

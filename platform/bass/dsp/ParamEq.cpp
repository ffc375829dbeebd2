// The parametric equalizer: one peaking biquad per channel (the audio EQ cookbook's peaking
// filter, bandwidth in octaves between the -G/2 dB points), +G dB at the centre frequency
// and 0 dB far from it. A parameter change glides the centre (on a log scale), bandwidth
// and gain to the new values over kit::kRampSeconds, redesigning the filter every few
// frames and interpolating its coefficients in between.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "EffectKit.h"

namespace aubadine::dsp::kit {

namespace {

constexpr size_t kChunk = 16; // frames between two designs while a change glides
constexpr size_t kMaxRun = 256; // frames between two checks for a died-away memory
constexpr double kSilent = 1e-12; // -240 dB
const double kMaxSpread = std::asinh(50.0); // bandwidth term for Q = 0.01

struct Shape {
    double log2Center;
    double octaves;
    double gainDb;
};

struct Coeffs {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0; // normalised: a0 = 1
};

class ParamEq final : public Effect {
public:
    ParamEq(int sampleRate, int channels)
        : rate_(sampleRate), channels_(static_cast<size_t>(channels)),
          rampLen_(std::max<size_t>(rampFrames(sampleRate), kChunk))
    {
        now_ = from_ = to_ = shapeOf(params_);
        coeffs_ = design(now_);
        rampPos_ = rampLen_;
    }

    bool setParameters(const void* params) noexcept override
    {
        if (!params)
            return false;
        const auto& p = *static_cast<const BASS_FXPARAMEQ*>(params);
        if (!inRange(p.fCenter, 80.0f, 16000.0f) || !(p.fCenter < rate_ / 2.0f) ||
            !inRange(p.fBandwidth, 1.0f, 36.0f) || !inRange(p.fGain, -15.0f, 15.0f))
            return false;
        params_ = p;
        from_ = now_;
        to_ = shapeOf(p);
        // A flat filter is flat at any centre: then only the gain needs to glide (a new band
        // starts at 8000 Hz and would otherwise sweep down to its centre).
        if (from_.gainDb == 0.0) {
            from_.log2Center = to_.log2Center;
            from_.octaves = to_.octaves;
        }
        rampPos_ = 0;
        bypass_ = false;
        return true;
    }

    void getParameters(void* params) const noexcept override
    {
        if (params)
            *static_cast<BASS_FXPARAMEQ*>(params) = params_;
    }

    void process(float* data, size_t frames) noexcept override
    {
        while (frames > 0 && !bypass_) {
            size_t n = std::min(frames, kMaxRun);
            Coeffs step{0, 0, 0, 0, 0}; // no change unless a glide is under way
            if (rampPos_ < rampLen_) {
                n = std::min({n, kChunk, rampLen_ - rampPos_});
                rampPos_ += n;
                const double t = static_cast<double>(rampPos_) / static_cast<double>(rampLen_);
                now_ = {from_.log2Center + (to_.log2Center - from_.log2Center) * t,
                        from_.octaves + (to_.octaves - from_.octaves) * t,
                        from_.gainDb + (to_.gainDb - from_.gainDb) * t};
                const Coeffs target = design(now_);
                const double inv = 1.0 / static_cast<double>(n);
                step = {(target.b0 - coeffs_.b0) * inv, (target.b1 - coeffs_.b1) * inv,
                        (target.b2 - coeffs_.b2) * inv, (target.a1 - coeffs_.a1) * inv,
                        (target.a2 - coeffs_.a2) * inv};
                run(data, n, step);
                coeffs_ = target;
            } else {
                run(data, n, step);
                // At 0 dB the filter is the identity; once its memory has died away it can
                // be skipped altogether (bit-exact pass-through).
                if (now_.gainDb == 0.0 && quiet()) {
                    state_ = {};
                    bypass_ = true;
                }
            }
            data += n * channels_;
            frames -= n;
        }
    }

private:
    static Shape shapeOf(const BASS_FXPARAMEQ& p)
    {
        return {std::log2(static_cast<double>(p.fCenter)), p.fBandwidth / 12.0,
                static_cast<double>(p.fGain)};
    }

    Coeffs design(const Shape& s) const
    {
        // The DirectX default centre (8000 Hz) is above the band of low sample rates; such
        // a filter is designed just below half the sample rate instead.
        const double center = std::min(std::exp2(s.log2Center), 0.4999 * rate_);
        const double w0 = 2.0 * std::numbers::pi * center / rate_;
        const double sinW = std::sin(w0);
        const double cosW = std::cos(w0);
        // Wide bands near half the sample rate would reach past it; there the bandwidth
        // term grows without bound and pushes a pole onto the unit circle. Q >= 0.01 keeps
        // every pole well inside (radius below 0.997) and changes no band that fits.
        const double spread = std::min(std::numbers::ln2 / 2.0 * s.octaves * w0 / sinW, kMaxSpread);
        const double alpha = sinW * std::sinh(spread);
        const double a = std::pow(10.0, s.gainDb / 40.0);
        const double a0 = 1.0 + alpha / a;
        Coeffs c;
        c.b0 = (1.0 + alpha * a) / a0;
        c.b1 = -2.0 * cosW / a0;
        c.b2 = (1.0 - alpha * a) / a0;
        c.a1 = c.b1;
        c.a2 = (1.0 - alpha / a) / a0;
        return c;
    }

    // Transposed direct form II; coefficients move by `step` every frame.
    void run(float* data, size_t frames, const Coeffs& step) noexcept
    {
        Coeffs c = coeffs_;
        for (size_t f = 0; f < frames; ++f) {
            c.b0 += step.b0;
            c.b1 += step.b1;
            c.b2 += step.b2;
            c.a1 += step.a1;
            c.a2 += step.a2;
            float* frame = data + f * channels_;
            for (size_t ch = 0; ch < channels_; ++ch) {
                auto& s = state_[ch];
                const double x = sane(frame[ch]);
                const double y = c.b0 * x + s[0];
                s[0] = c.b1 * x - c.a1 * y + s[1];
                s[1] = c.b2 * x - c.a2 * y;
                frame[ch] = static_cast<float>(y);
            }
        }
        // Zero a channel's memory once it has died away. Zeroing each state variable
        // separately as it passed near zero would disturb a resonant filter at its own
        // frequency and keep it ringing for ever at a tiny level; both together is silence.
        for (size_t ch = 0; ch < channels_; ++ch) {
            auto& s = state_[ch];
            if (std::fabs(s[0]) < kSilent && std::fabs(s[1]) < kSilent)
                s = {};
        }
    }

    bool quiet() const
    {
        for (size_t ch = 0; ch < channels_; ++ch)
            if (state_[ch][0] != 0.0 || state_[ch][1] != 0.0)
                return false;
        return true;
    }

    const int rate_;
    const size_t channels_;
    const size_t rampLen_;
    BASS_FXPARAMEQ params_{8000.0f, 12.0f, 0.0f};
    Shape from_{}, to_{}, now_{};
    size_t rampPos_ = 0;
    Coeffs coeffs_;
    bool bypass_ = true;
    std::array<std::array<double, 2>, kMaxChannels> state_{};
};

} // namespace

std::unique_ptr<Effect> makeParamEq(int sampleRate, int channels)
{
    return std::make_unique<ParamEq>(sampleRate, channels);
}

} // namespace aubadine::dsp::kit

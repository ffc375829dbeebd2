// EffectKit.h: small helpers shared by the effect implementations (not part of the
// library's interface).
#ifndef AUBADINE_BASS_DSP_EFFECTKIT_H
#define AUBADINE_BASS_DSP_EFFECTKIT_H

#include <cmath>
#include <cstddef>
#include <memory>

#include "Effects.h"

namespace aubadine::dsp::kit {

// How long an accepted parameter change takes to reach its new value: long enough not to
// click, short enough to feel immediate.
inline constexpr double kRampSeconds = 0.02;

// True when v is a number within lo..hi (NaN is never in range).
inline bool inRange(float v, float lo, float hi)
{
    return v >= lo && v <= hi;
}

inline double dbToGain(double db)
{
    return std::pow(10.0, db / 20.0);
}

// Values this small are inaudible (below -300 dB); zeroing them keeps feedback paths from
// decaying into subnormal numbers, which are slow on most processors.
inline float flush(float v)
{
    return std::fabs(v) < 1e-15f ? 0.0f : v;
}
inline double flush(double v)
{
    return std::fabs(v) < 1e-15 ? 0.0 : v;
}

// Input sample as fed into a recursive path: a non-finite or absurd value (from a broken
// decoder) becomes silence instead of poisoning the effect's state for good.
inline float sane(float v)
{
    return std::fabs(v) <= 1e6f ? v : 0.0f;
}

inline size_t rampFrames(int sampleRate)
{
    return static_cast<size_t>(kRampSeconds * sampleRate);
}

// A value moving linearly to its target over a fixed number of frames.
class Ramp {
public:
    void reset(double v)
    {
        value_ = target_ = v;
        step_ = 0.0;
        left_ = 0;
    }
    void setTarget(double v, size_t frames)
    {
        target_ = v;
        if (frames == 0 || v == value_) {
            value_ = v;
            left_ = 0;
            step_ = 0.0;
            return;
        }
        left_ = frames;
        step_ = (target_ - value_) / static_cast<double>(frames);
    }
    // The value for the next frame.
    double next()
    {
        if (left_ > 0) {
            --left_;
            value_ = left_ == 0 ? target_ : value_ + step_;
        }
        return value_;
    }
    double value() const { return value_; }
    double target() const { return target_; }
    bool moving() const { return left_ > 0; }

private:
    double value_ = 0.0;
    double target_ = 0.0;
    double step_ = 0.0;
    size_t left_ = 0;
};

std::unique_ptr<Effect> makeParamEq(int sampleRate, int channels);
std::unique_ptr<Effect> makeEcho(int sampleRate, int channels);
std::unique_ptr<Effect> makeReverb(int sampleRate, int channels);

} // namespace aubadine::dsp::kit

#endif

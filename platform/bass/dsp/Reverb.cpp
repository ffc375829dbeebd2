// The reverb: per channel, eight parallel feedback combs with a low-pass filter in each loop,
// followed by four allpass diffusers in series (Schroeder's structure with the loop filters
// of Moorer and Jot). Comb and allpass lengths are fixed times (25..37 ms and 5..13 ms),
// a little longer for odd channels so that channels do not ring alike.
//
// - fReverbTime sets each comb's loop gain so that its echoes fall by 60 dB in that time.
// - fHighFreqRTRatio sets each loop filter so that at kHighHz the echoes fall by 60 dB in
//   ratio x fReverbTime (low frequencies keep the full time).
// - The combs' input is scaled so that the reverberated signal of steady broadband sound is
//   about as loud as the input, whatever the decay time.
// - fReverbMix (dB) is the level of the reverberated signal; the dry signal takes the rest
//   of the power, so the overall level stays about the same.
// - fInGain (dB) scales the input to the whole effect.
// All gains and loop coefficients glide to new values over kit::kRampSeconds.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "EffectKit.h"

namespace aubadine::dsp::kit {

namespace {

constexpr size_t kCombs = 4 * 2;
constexpr size_t kAllpasses = 4;
// Comb and allpass lengths at 44100 Hz, mutually prime so their echoes do not line up.
constexpr std::array<int, kCombs> kCombLen = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr std::array<int, kAllpasses> kAllpassLen = {556, 441, 341, 225};
constexpr int kSpread = 23; // extra length for odd channels, at 44100 Hz
constexpr double kAllpassGain = 0.5; // lowered for short reverb times, see apply()
constexpr double kHighHz = 5000.0; // where fHighFreqRTRatio's decay time applies

struct Loop {
    double gain;  // loop gain at 0 Hz
    double pole;  // of the loop's one-pole low-pass, 0..1
};

class Reverb final : public Effect {
public:
    Reverb(int sampleRate, int channels)
        : rate_(sampleRate), channels_(static_cast<size_t>(channels)),
          ramp_(std::max<size_t>(rampFrames(sampleRate), 1))
    {
        const double scale = sampleRate / 44100.0;
        for (size_t ch = 0; ch < channels_; ++ch) {
            Network& n = nets_[ch];
            const int extra = (ch & 1u) ? kSpread : 0;
            size_t total = 0;
            for (size_t i = 0; i < kCombs; ++i) {
                n.combLen[i] = lengthAt(kCombLen[i] + extra, scale);
                total += n.combLen[i];
            }
            for (size_t i = 0; i < kAllpasses; ++i) {
                n.allpassLen[i] = lengthAt(kAllpassLen[i] + extra, scale);
                total += n.allpassLen[i];
            }
            n.memory.assign(total, 0.0f);
            float* at = n.memory.data();
            for (size_t i = 0; i < kCombs; ++i) {
                n.comb[i] = at;
                at += n.combLen[i];
            }
            for (size_t i = 0; i < kAllpasses; ++i) {
                n.allpass[i] = at;
                at += n.allpassLen[i];
            }
        }
        for (size_t i = 0; i < kCombs; ++i)
            combSeconds_[i] = static_cast<double>(nets_[0].combLen[i]) / rate_;
        for (size_t i = 0; i < kAllpasses; ++i)
            allpassSeconds_[i] = static_cast<double>(nets_[0].allpassLen[i]) / rate_;
        apply(params_, true);
    }

    bool setParameters(const void* params) noexcept override
    {
        if (!params)
            return false;
        const auto& p = *static_cast<const BASS_FXREVERB*>(params);
        if (!inRange(p.fInGain, -96.0f, 0.0f) || !inRange(p.fReverbMix, -96.0f, 0.0f) ||
            !inRange(p.fReverbTime, 0.001f, 3000.0f) || !inRange(p.fHighFreqRTRatio, 0.001f, 0.999f))
            return false;
        params_ = p;
        apply(p, false);
        return true;
    }

    void getParameters(void* params) const noexcept override
    {
        if (params)
            *static_cast<BASS_FXREVERB*>(params) = params_;
    }

    void process(float* data, size_t frames) noexcept override
    {
        std::array<float, kCombs> gain{}, pole{}, keep{};
        std::array<float, kAllpasses> diffuse{};
        for (size_t f = 0; f < frames; ++f, data += channels_) {
            for (size_t i = 0; i < kCombs; ++i) {
                gain[i] = static_cast<float>(loopGain_[i].next());
                pole[i] = static_cast<float>(loopPole_[i].next());
                keep[i] = 1.0f - pole[i];
            }
            for (size_t i = 0; i < kAllpasses; ++i)
                diffuse[i] = static_cast<float>(allpassGain_[i].next());
            const auto in = static_cast<float>(inGain_.next());
            const auto feed = static_cast<float>(feed_.next());
            const auto wet = static_cast<float>(wet_.next());
            const auto dry = static_cast<float>(dry_.next());
            for (size_t ch = 0; ch < channels_; ++ch) {
                Network& n = nets_[ch];
                const float x = sane(data[ch]) * in;
                const float toCombs = x * feed;
                float sum = 0.0f;
                for (size_t i = 0; i < kCombs; ++i) {
                    float* line = n.comb[i];
                    size_t& pos = n.combPos[i];
                    const float out = line[pos];
                    n.lowpass[i] = flush(keep[i] * out + pole[i] * n.lowpass[i]);
                    line[pos] = flush(toCombs + gain[i] * n.lowpass[i]);
                    if (++pos == n.combLen[i])
                        pos = 0;
                    sum += out;
                }
                for (size_t i = 0; i < kAllpasses; ++i) {
                    float* line = n.allpass[i];
                    size_t& pos = n.allpassPos[i];
                    const float delayed = line[pos];
                    const float w = sum + diffuse[i] * delayed;
                    line[pos] = flush(w);
                    sum = delayed - diffuse[i] * w;
                    if (++pos == n.allpassLen[i])
                        pos = 0;
                }
                data[ch] = dry * x + wet * sum;
            }
        }
    }

private:
    struct Network {
        std::vector<float> memory; // all lines of this channel, back to back
        std::array<float*, kCombs> comb{};
        std::array<size_t, kCombs> combLen{}, combPos{};
        std::array<float, kCombs> lowpass{};
        std::array<float*, kAllpasses> allpass{};
        std::array<size_t, kAllpasses> allpassLen{}, allpassPos{};
    };

    static size_t lengthAt(int frames44k, double scale)
    {
        return std::max<size_t>(1, static_cast<size_t>(std::lround(frames44k * scale)));
    }

    // Loop gain and low-pass pole of a comb of `seconds` for the given decay times.
    Loop loopFor(double seconds, double rtSeconds, double ratio) const
    {
        // Wanted loop gain at kHighHz relative to 0 Hz.
        const double r = std::pow(10.0, -3.0 * seconds / rtSeconds * (1.0 / ratio - 1.0));
        double p = 0.0;
        if (r < 0.999999) {
            // One-pole low-pass (1 - p) / (1 - p z^-1) with |H| = r at w: solve
            // (1 - p)^2 = r^2 (1 - 2 p cos w + p^2) for the root in 0..1.
            const double w = 2.0 * std::numbers::pi * std::min(kHighHz, 0.45 * rate_) / rate_;
            const double r2 = r * r;
            const double a = 1.0 - r2;
            const double b = 1.0 - r2 * std::cos(w);
            p = (b - std::sqrt(std::max(0.0, b * b - a * a))) / a;
        }
        // The low-pass delays low frequencies by p / (1 - p) frames, which lengthens the
        // loop: keep that below half the comb (at most the darkest sound the comb can make)
        // and count it in the loop gain, so that low frequencies keep fReverbTime.
        const double frames = seconds * rate_;
        const double maxDelay = frames / 2.0;
        p = std::clamp(p, 0.0, maxDelay / (1.0 + maxDelay));
        const double g = std::pow(10.0, -3.0 * (frames + p / (1.0 - p)) / (rtSeconds * rate_));
        return {g, p};
    }

    // Mean power gain of a comb with this loop for white noise: the average over
    // frequency of 1 / (1 - |loop gain|^2).
    static double combPower(const Loop& l)
    {
        constexpr int kSteps = 64;
        double sum = 0.0;
        for (int k = 0; k < kSteps; ++k) {
            const double w = std::numbers::pi * (k + 0.5) / kSteps;
            const double lp2 = (1.0 - l.pole) * (1.0 - l.pole) /
                               (1.0 - 2.0 * l.pole * std::cos(w) + l.pole * l.pole);
            sum += 1.0 / (1.0 - l.gain * l.gain * lp2);
        }
        return sum / kSteps;
    }

    void apply(const BASS_FXREVERB& p, bool now)
    {
        const size_t frames = now ? 0 : ramp_;
        const double rt = p.fReverbTime / 1000.0;
        double power = 0.0;
        for (size_t i = 0; i < kCombs; ++i) {
            const Loop l = loopFor(combSeconds_[i], rt, p.fHighFreqRTRatio);
            loopGain_[i].setTarget(l.gain, frames);
            loopPole_[i].setTarget(l.pole, frames);
            power += combPower(l);
        }
        // An allpass rings too, and four in series after the combs lengthen the tail; for
        // short reverb times each must die away in a quarter of the time. (An allpass keeps
        // broadband power whatever its gain.)
        for (size_t i = 0; i < kAllpasses; ++i)
            allpassGain_[i].setTarget(
                std::min(kAllpassGain, std::pow(10.0, -3.0 * allpassSeconds_[i] / (rt / 4.0))),
                frames);
        // The allpasses pass broadband power unchanged, so this levels the wet signal.
        feed_.setTarget(1.0 / std::sqrt(power), frames);
        const double wet = dbToGain(p.fReverbMix);
        wet_.setTarget(wet, frames);
        dry_.setTarget(std::sqrt(std::max(0.0, 1.0 - wet * wet)), frames);
        inGain_.setTarget(dbToGain(p.fInGain), frames);
    }

    const int rate_;
    const size_t channels_;
    const size_t ramp_;
    BASS_FXREVERB params_{0.0f, 0.0f, 1000.0f, 0.001f};
    std::array<Network, kMaxChannels> nets_{};
    std::array<double, kCombs> combSeconds_{};
    std::array<double, kAllpasses> allpassSeconds_{};
    std::array<Ramp, kCombs> loopGain_{}, loopPole_{};
    std::array<Ramp, kAllpasses> allpassGain_{};
    Ramp feed_, wet_, dry_, inGain_;
};

} // namespace

std::unique_ptr<Effect> makeReverb(int sampleRate, int channels)
{
    return std::make_unique<Reverb>(sampleRate, channels);
}

} // namespace aubadine::dsp::kit

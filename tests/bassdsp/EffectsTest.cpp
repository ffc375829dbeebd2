#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "Effects.h"
#include "Signals.h"

using aubadine::dsp::createEffect;
using aubadine::dsp::Effect;
using namespace bassdsp_test;

namespace {

constexpr int kRate = 44100;

// Runs the effect over the whole buffer in mixer-sized blocks.
void run(Effect& fx, std::vector<float>& v, int channels, size_t block = 1024)
{
    const size_t frames = v.size() / static_cast<size_t>(channels);
    for (size_t at = 0; at < frames; at += block)
        fx.process(v.data() + at * static_cast<size_t>(channels), std::min(block, frames - at));
}

// Largest jump between neighbouring samples of one channel in frames [from, to).
float largestStep(const std::vector<float>& v, int channels, size_t from, size_t to)
{
    float worst = 0.0f;
    const auto ch = static_cast<size_t>(channels);
    for (size_t i = from + 1; i < to; ++i)
        worst = std::max(worst, std::fabs(v[i * ch] - v[(i - 1) * ch]));
    return worst;
}

bool sameEq(const BASS_FXPARAMEQ& a, const BASS_FXPARAMEQ& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Gain in dB that a band gives a tone, measured after the filter has settled.
double eqGainDb(int rate, const BASS_FXPARAMEQ& band, double hz)
{
    auto fx = createEffect(BASS_FX_PARAMEQ, rate, 1);
    EXPECT_TRUE(fx->setParameters(&band));
    const auto frames = static_cast<size_t>(rate); // 1 s
    auto v = sine(hz, rate, frames, 1, 0.25);
    const auto in = v;
    run(*fx, v, 1);
    return db(rms(v, 1, 0, frames / 2, frames) / rms(in, 1, 0, frames / 2, frames));
}

} // namespace

TEST(EffectFactory, MakesOnlyTheThreeEffectsForSupportedFormats)
{
    struct Case {
        uint32_t type;
        int rate;
        int channels;
        bool made;
    } const cases[] = {
        {BASS_FX_PARAMEQ, 44100, 2, true},  {BASS_FX_ECHO, 44100, 2, true},
        {BASS_FX_REVERB, 44100, 2, true},   {BASS_FX_PARAMEQ, 8000, 1, true},
        {BASS_FX_ECHO, 192000, 8, true},    {BASS_FX_REVERB, 192000, 8, true},
        {BASS_FX_CHORUS, 44100, 2, false},  {BASS_FX_COMPRESSOR, 44100, 2, false},
        {BASS_FX_DISTORTION, 44100, 2, false}, {BASS_FX_FLANGER, 44100, 2, false},
        {BASS_FX_GARGLE, 44100, 2, false},  {BASS_FX_I3DL2REVERB, 44100, 2, false},
        {9, 44100, 2, false},               {BASS_FX_ECHO, 7999, 2, false},
        {BASS_FX_ECHO, 192001, 2, false},   {BASS_FX_REVERB, 44100, 0, false},
        {BASS_FX_PARAMEQ, 44100, 9, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(createEffect(c.type, c.rate, c.channels) != nullptr, c.made)
            << "type " << c.type << " rate " << c.rate << " channels " << c.channels;
}

TEST(EffectParameters, NewEffectsReportTheDirectXDefaults)
{
    BASS_FXPARAMEQ eq{};
    createEffect(BASS_FX_PARAMEQ, kRate, 2)->getParameters(&eq);
    EXPECT_EQ(eq.fCenter, 8000.0f);
    EXPECT_EQ(eq.fBandwidth, 12.0f);
    EXPECT_EQ(eq.fGain, 0.0f);

    BASS_FXECHO echo{};
    createEffect(BASS_FX_ECHO, kRate, 2)->getParameters(&echo);
    EXPECT_EQ(echo.fWetDryMix, 50.0f);
    EXPECT_EQ(echo.fFeedback, 50.0f);
    EXPECT_EQ(echo.fLeftDelay, 500.0f);
    EXPECT_EQ(echo.fRightDelay, 500.0f);
    EXPECT_EQ(echo.lPanDelay, 0);

    BASS_FXREVERB reverb{};
    createEffect(BASS_FX_REVERB, kRate, 2)->getParameters(&reverb);
    EXPECT_EQ(reverb.fInGain, 0.0f);
    EXPECT_EQ(reverb.fReverbMix, 0.0f);
    EXPECT_EQ(reverb.fReverbTime, 1000.0f);
    EXPECT_FLOAT_EQ(reverb.fHighFreqRTRatio, 0.001f);
}

TEST(EffectParameters, EqualizerAcceptsItsRangesOnly)
{
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        BASS_FXPARAMEQ p;
        bool ok;
    } const cases[] = {
        {{80, 1, -15}, true},     {{16000, 36, 15}, true},  {{1000, 5, 12}, true},
        {{79.9f, 12, 0}, false},  {{16001, 12, 0}, false},  {{1000, 0.9f, 0}, false},
        {{1000, 36.1f, 0}, false}, {{1000, 12, -15.1f}, false}, {{1000, 12, 15.1f}, false},
        {{nan, 12, 0}, false},    {{1000, nan, 0}, false},  {{1000, 12, nan}, false},
    };
    for (const auto& c : cases) {
        auto fx = createEffect(BASS_FX_PARAMEQ, kRate, 2);
        EXPECT_EQ(fx->setParameters(&c.p), c.ok) << c.p.fCenter << " " << c.p.fBandwidth << " " << c.p.fGain;
        BASS_FXPARAMEQ now{};
        fx->getParameters(&now);
        EXPECT_TRUE(sameEq(now, c.ok ? c.p : BASS_FXPARAMEQ{8000, 12, 0}));
    }
    // The centre must also lie below half the sample rate.
    auto fx = createEffect(BASS_FX_PARAMEQ, 22050, 1);
    const BASS_FXPARAMEQ atHalf{11025, 12, 3}, below{11000, 12, 3};
    EXPECT_FALSE(fx->setParameters(&atHalf));
    EXPECT_TRUE(fx->setParameters(&below));
    EXPECT_FALSE(fx->setParameters(nullptr));
}

TEST(EffectParameters, EchoAcceptsItsRangesOnly)
{
    struct Case {
        BASS_FXECHO p;
        bool ok;
    } const cases[] = {
        {{0, 0, 1, 1, 0}, true},          {{100, 100, 2000, 2000, 1}, true},
        {{-0.1f, 50, 500, 500, 0}, false}, {{100.1f, 50, 500, 500, 0}, false},
        {{50, -1, 500, 500, 0}, false},   {{50, 101, 500, 500, 0}, false},
        {{50, 50, 0.9f, 500, 0}, false},  {{50, 50, 500, 2000.5f, 0}, false},
        {{50, 50, 500, 500, 2}, false},   {{50, 50, 500, 500, -1}, false},
    };
    for (const auto& c : cases) {
        auto fx = createEffect(BASS_FX_ECHO, kRate, 2);
        EXPECT_EQ(fx->setParameters(&c.p), c.ok) << c.p.fWetDryMix << " " << c.p.lPanDelay;
        BASS_FXECHO now{};
        fx->getParameters(&now);
        const BASS_FXECHO expected = c.ok ? c.p : BASS_FXECHO{50, 50, 500, 500, 0};
        EXPECT_EQ(std::memcmp(&now, &expected, sizeof now), 0);
    }
}

TEST(EffectParameters, ReverbAcceptsItsRangesOnly)
{
    struct Case {
        BASS_FXREVERB p;
        bool ok;
    } const cases[] = {
        {{-96, -96, 0.001f, 0.001f}, true}, {{0, 0, 3000, 0.999f}, true},
        {{0.1f, 0, 1000, 0.5f}, false},     {{-96.1f, 0, 1000, 0.5f}, false},
        {{0, 0.1f, 1000, 0.5f}, false},     {{0, -97, 1000, 0.5f}, false},
        {{0, 0, 0.0f, 0.5f}, false},        {{0, 0, 3001, 0.5f}, false},
        {{0, 0, 1000, 0.0f}, false},        {{0, 0, 1000, 1.0f}, false},
    };
    for (const auto& c : cases) {
        auto fx = createEffect(BASS_FX_REVERB, kRate, 2);
        EXPECT_EQ(fx->setParameters(&c.p), c.ok) << c.p.fInGain << " " << c.p.fReverbTime;
        BASS_FXREVERB now{};
        fx->getParameters(&now);
        const BASS_FXREVERB expected = c.ok ? c.p : BASS_FXREVERB{0, 0, 1000, 0.001f};
        EXPECT_EQ(std::memcmp(&now, &expected, sizeof now), 0);
    }
}

TEST(Equalizer, BoostsAndCutsTheCentreAndLeavesDistantFrequencies)
{
    struct Case {
        int rate;
        BASS_FXPARAMEQ band;
        double hz;
        double expectDb;
        double tolDb;
    } const cases[] = {
        // The player's 1 kHz band (5 semitones) and the default bandwidth.
        {44100, {1000, 5, 12}, 1000, 12.0, 1.0},
        {44100, {1000, 5, 12}, 100, 0.0, 1.0},
        {44100, {1000, 12, 12}, 1000, 12.0, 1.0},
        {44100, {1000, 12, 12}, 100, 0.0, 1.0},
        {44100, {1000, 12, 12}, 10000, 0.0, 1.0},
        {44100, {1000, 5, -15}, 1000, -15.0, 1.0},
        {48000, {80, 4, 6}, 80, 6.0, 0.5},
        {48000, {80, 4, 6}, 1000, 0.0, 0.5},
        {44100, {14000, 3, 9}, 14000, 9.0, 1.0},
        {8000, {3000, 6, 12}, 3000, 12.0, 1.0},
        {192000, {16000, 12, -10}, 16000, -10.0, 1.0},
        {192000, {80, 1, 15}, 80, 15.0, 1.0},
        // Bands reaching past half the sample rate.
        {8000, {3900, 36, 12}, 3900, 12.0, 1.0},
        {32001, {15000, 36, -15}, 15000, -15.0, 1.0},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(eqGainDb(c.rate, c.band, c.hz), c.expectDb, c.tolDb)
            << "rate " << c.rate << " centre " << c.band.fCenter << " bw " << c.band.fBandwidth
            << " gain " << c.band.fGain << " at " << c.hz << " Hz";
}

TEST(Equalizer, ZeroGainPassesTheSignalUnchanged)
{
    auto fx = createEffect(BASS_FX_PARAMEQ, kRate, 2);
    auto v = noise(2 * 4096, 0.9);
    const auto in = v;
    run(*fx, v, 2);
    EXPECT_EQ(v, in);

    // Back to 0 dB after a boost: once the filter's memory has died away, exact again.
    const BASS_FXPARAMEQ boost{1000, 5, 12}, flat{1000, 5, 0};
    ASSERT_TRUE(fx->setParameters(&boost));
    run(*fx, v, 2);
    ASSERT_TRUE(fx->setParameters(&flat));
    auto settle = noise(2 * 44100, 0.9, 7);
    run(*fx, settle, 2);
    v = in;
    run(*fx, v, 2);
    EXPECT_EQ(v, in);
}

TEST(Equalizer, GainChangesGlideInsteadOfJumping)
{
    auto fx = createEffect(BASS_FX_PARAMEQ, kRate, 1);
    auto v = sine(1000, kRate, kRate, 1, 0.1);
    std::vector<float> first(v.begin(), v.begin() + 22050), second(v.begin() + 22050, v.end());
    run(*fx, first, 1);
    const BASS_FXPARAMEQ boost{1000, 5, 12};
    ASSERT_TRUE(fx->setParameters(&boost));
    run(*fx, second, 1);
    // 2 ms after the change the tone is still on its way up; after 100 ms it has arrived.
    const double early = rms(second, 1, 0, 0, 88) * std::sqrt(2.0);
    const double late = rms(second, 1, 0, 4410, 22050) * std::sqrt(2.0);
    EXPECT_LT(early, 0.25);
    EXPECT_NEAR(db(late / 0.1), 12.0, 0.2);
}

TEST(Echo, RepeatsEachSideAfterItsDelay)
{
    // Wet/dry 50 %, feedback 50 %, left 100 ms, right 200 ms.
    auto fx = createEffect(BASS_FX_ECHO, kRate, 2);
    const BASS_FXECHO p{50, 50, 100, 200, 0};
    ASSERT_TRUE(fx->setParameters(&p));
    std::vector<float> v(2 * kRate, 0.0f);
    run(*fx, v, 2); // let the parameter glide settle
    std::vector<float> imp(2 * kRate, 0.0f);
    imp[0] = imp[1] = 1.0f;
    run(*fx, imp, 2);
    auto at = [&](size_t frame, int ch) { return imp[frame * 2 + static_cast<size_t>(ch)]; };
    EXPECT_FLOAT_EQ(at(0, 0), 0.5f); // the dry half
    EXPECT_FLOAT_EQ(at(4410, 0), 0.5f);
    EXPECT_FLOAT_EQ(at(8820, 0), 0.25f);
    EXPECT_FLOAT_EQ(at(13230, 0), 0.125f);
    EXPECT_FLOAT_EQ(at(4410, 1), 0.0f);
    EXPECT_FLOAT_EQ(at(8820, 1), 0.5f);
    EXPECT_FLOAT_EQ(at(17640, 1), 0.25f);
    // Nothing in between.
    double between = 0.0;
    for (size_t f = 1; f < 4410; ++f)
        between += std::fabs(at(f, 0)) + std::fabs(at(f, 1));
    EXPECT_EQ(between, 0.0);
}

TEST(Echo, PanDelaySendsEveryRepeatToTheOtherSide)
{
    struct Case {
        int pan;
        float left[3];  // at 100, 300 (100 + 200) and 400 (100 + 200 + 100) ms
        float right[3];
    } const cases[] = {
        {1, {1.0f, 0.0f, 0.25f}, {0.0f, 0.5f, 0.0f}},
        {0, {1.0f, 0.25f, 0.125f}, {0.0f, 0.0f, 0.0f}},
    };
    for (const auto& c : cases) {
        auto fx = createEffect(BASS_FX_ECHO, kRate, 2);
        const BASS_FXECHO p{100, 50, 100, 200, c.pan};
        ASSERT_TRUE(fx->setParameters(&p));
        std::vector<float> v(2 * kRate, 0.0f);
        run(*fx, v, 2);
        std::vector<float> imp(2 * kRate, 0.0f);
        imp[0] = 1.0f; // left only
        run(*fx, imp, 2);
        const size_t frames[3] = {4410, 13230, 17640};
        for (int i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ(imp[frames[i] * 2], c.left[i]) << "pan " << c.pan << " echo " << i;
            EXPECT_FLOAT_EQ(imp[frames[i] * 2 + 1], c.right[i]) << "pan " << c.pan << " echo " << i;
        }
        if (c.pan == 0) {
            EXPECT_FLOAT_EQ(imp[8820 * 2], 0.5f); // second repeat stays left
        }
    }
}

TEST(Echo, EvenChannelsUseTheLeftDelayAndOddOnesTheRight)
{
    for (int channels : {1, 3, 6}) {
        auto fx = createEffect(BASS_FX_ECHO, 8000, channels);
        const BASS_FXECHO p{100, 0, 10, 20, 0};
        ASSERT_TRUE(fx->setParameters(&p));
        const auto ch = static_cast<size_t>(channels);
        std::vector<float> v(ch * 8000, 0.0f);
        run(*fx, v, channels);
        std::vector<float> imp(ch * 1000, 0.0f);
        for (size_t c = 0; c < ch; ++c)
            imp[c] = 1.0f;
        run(*fx, imp, channels);
        for (size_t c = 0; c < ch; ++c) {
            const size_t delay = (c % 2 == 0) ? 80 : 160;
            EXPECT_FLOAT_EQ(imp[delay * ch + c], 1.0f) << channels << " channels, channel " << c;
        }
    }
}

TEST(Echo, DelayChangeCrossFadesWithoutAJump)
{
    auto fx = createEffect(BASS_FX_ECHO, kRate, 1);
    const BASS_FXECHO longDelay{100, 0, 500, 500, 0}, shortDelay{100, 0, 130, 130, 0};
    ASSERT_TRUE(fx->setParameters(&longDelay));
    auto v = sine(100, kRate, 2 * kRate, 1, 0.5);
    std::vector<float> first(v.begin(), v.begin() + kRate), second(v.begin() + kRate, v.end());
    run(*fx, first, 1);
    ASSERT_TRUE(fx->setParameters(&shortDelay));
    run(*fx, second, 1);
    // A 100 Hz tone of 0.5 moves at most 0.0071 a sample; the two read positions are
    // 37 ms (3.7 periods, so 0.7 of a period) apart: switching at once would jump by ~0.5.
    EXPECT_LT(largestStep(second, 1, 0, second.size()), 0.01f);
}

TEST(Reverb, TailLengthFollowsTheReverbTime)
{
    for (float rtMs : {100.0f, 300.0f, 1000.0f, 2500.0f}) {
        auto fx = createEffect(BASS_FX_REVERB, kRate, 1);
        const BASS_FXREVERB p{0, 0, rtMs, 0.999f};
        ASSERT_TRUE(fx->setParameters(&p));
        std::vector<float> warm(kRate / 10, 0.0f);
        run(*fx, warm, 1);
        const auto frames = static_cast<size_t>(kRate * (rtMs / 1000.0f * 1.5f + 0.1f));
        std::vector<float> ir(frames, 0.0f);
        ir[0] = 1.0f;
        run(*fx, ir, 1);
        // Schroeder backward integration: the energy still to come, in dB.
        std::vector<double> left(frames + 1, 0.0);
        for (size_t i = frames; i-- > 0;)
            left[i] = left[i + 1] + double(ir[i]) * ir[i];
        auto timeAt = [&](double dbDown) {
            for (size_t i = 0; i < frames; ++i)
                if (10.0 * std::log10(left[i] / left[0]) <= dbDown)
                    return double(i) / kRate;
            return double(frames) / kRate;
        };
        // Extrapolate the decay from -5 dB to -35 dB to 60 dB.
        const double t60 = 2.0 * (timeAt(-35.0) - timeAt(-5.0)) * 1000.0;
        EXPECT_NEAR(t60, rtMs, rtMs * 0.25) << "reverb time " << rtMs;
    }
}

TEST(Reverb, KeepsTheOverallLevelWhateverTheMixAndTime)
{
    struct Case {
        float mixDb;
        float rtMs;
    } const cases[] = {{0, 100}, {0, 1000}, {0, 3000}, {-8, 1000}, {-20, 2000}, {-96, 1000}};
    const auto in = noise(3 * kRate, 0.3);
    const double inRms = rms(in, 1, 0, 0, in.size());
    for (const auto& c : cases) {
        auto fx = createEffect(BASS_FX_REVERB, kRate, 1);
        const BASS_FXREVERB p{0, c.mixDb, c.rtMs, 0.5f};
        ASSERT_TRUE(fx->setParameters(&p));
        auto v = in;
        run(*fx, v, 1);
        EXPECT_NEAR(db(rms(v, 1, 0, v.size() / 2, v.size()) / inRms), 0.0, 2.0)
            << "mix " << c.mixDb << " time " << c.rtMs;
    }
    // Input gain scales everything.
    auto fx = createEffect(BASS_FX_REVERB, kRate, 1);
    const BASS_FXREVERB quiet{-12, -8, 1000, 0.5f};
    ASSERT_TRUE(fx->setParameters(&quiet));
    auto v = in;
    run(*fx, v, 1);
    EXPECT_NEAR(db(rms(v, 1, 0, v.size() / 2, v.size()) / inRms), -12.0, 2.0);
}

TEST(Reverb, HighFrequenciesDieFasterWithALowRatio)
{
    // Share of the tail's energy above ~5 kHz, estimated from the sample-to-sample
    // differences, 200..400 ms after an impulse.
    auto brightness = [](float ratio) {
        auto fx = createEffect(BASS_FX_REVERB, kRate, 1);
        const BASS_FXREVERB p{0, 0, 1000, ratio};
        EXPECT_TRUE(fx->setParameters(&p));
        std::vector<float> warm(kRate / 10, 0.0f);
        run(*fx, warm, 1);
        std::vector<float> ir(kRate / 2, 0.0f);
        ir[0] = 1.0f;
        run(*fx, ir, 1);
        double diff = 0.0, all = 0.0;
        for (size_t i = 8820; i < 17640; ++i) {
            diff += double(ir[i] - ir[i - 1]) * (ir[i] - ir[i - 1]);
            all += double(ir[i]) * ir[i];
        }
        return diff / all;
    };
    EXPECT_LT(brightness(0.1f), brightness(0.999f) * 0.5);
}

TEST(Reverb, MixChangeGlides)
{
    auto fx = createEffect(BASS_FX_REVERB, kRate, 1);
    const BASS_FXREVERB dry{0, -96, 200, 0.5f}, wet{0, 0, 200, 0.5f};
    ASSERT_TRUE(fx->setParameters(&dry));
    auto v = sine(100, kRate, 2 * kRate, 1, 0.5);
    std::vector<float> first(v.begin(), v.begin() + kRate), second(v.begin() + kRate, v.end());
    run(*fx, first, 1);
    ASSERT_TRUE(fx->setParameters(&wet));
    run(*fx, second, 1);
    EXPECT_LT(largestStep(second, 1, 0, 4410), 0.03f);
}

TEST(Effects, SilenceAfterLoudInputDecaysToExactZeros)
{
    struct Case {
        uint32_t type;
        const void* params;
        double seconds; // silence that must follow
    };
    const BASS_FXPARAMEQ eq{80, 1, 15};
    const BASS_FXECHO echo{50, 50, 100, 130, 1};
    const BASS_FXREVERB reverb{0, 0, 3000, 0.999f}, dark{0, 0, 3000, 0.001f};
    const Case cases[] = {
        {BASS_FX_PARAMEQ, &eq, 5.0},
        {BASS_FX_ECHO, &echo, 8.0},
        {BASS_FX_REVERB, &reverb, 20.0},
        {BASS_FX_REVERB, &dark, 20.0}, // a slow loop filter must not stretch the tail
    };
    constexpr int channels = 2;
    for (const auto& c : cases) {
        auto fx = createEffect(c.type, kRate, channels);
        ASSERT_TRUE(fx->setParameters(c.params));
        auto loud = noise(channels * kRate / 2, 1.0);
        run(*fx, loud, channels);
        std::vector<float> quiet(static_cast<size_t>(channels * kRate * c.seconds), 0.0f);
        run(*fx, quiet, channels);
        size_t bad = 0;
        for (float s : quiet)
            bad += !std::isfinite(s) || std::fpclassify(s) == FP_SUBNORMAL;
        EXPECT_EQ(bad, 0u) << "type " << c.type;
        std::vector<float> last(channels * 4096, 0.0f);
        run(*fx, last, channels);
        EXPECT_TRUE(std::all_of(last.begin(), last.end(), [](float s) { return s == 0.0f; }))
            << "type " << c.type;
    }
}

TEST(Effects, BrokenInputDoesNotPoisonTheEffect)
{
    for (uint32_t type : {BASS_FX_PARAMEQ, BASS_FX_ECHO, BASS_FX_REVERB}) {
        auto fx = createEffect(type, kRate, 2);
        const BASS_FXPARAMEQ eq{1000, 12, 6};
        if (type == BASS_FX_PARAMEQ) {
            ASSERT_TRUE(fx->setParameters(&eq));
        }
        auto v = noise(2 * 1024, 0.5);
        v[10] = std::numeric_limits<float>::quiet_NaN();
        v[11] = std::numeric_limits<float>::infinity();
        run(*fx, v, 2);
        auto after = noise(2 * kRate, 0.5, 99);
        run(*fx, after, 2);
        EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](float s) { return std::isfinite(s); }))
            << "type " << type;
    }
}

TEST(Effects, EveryFormatRunsAtTheLimits)
{
    for (uint32_t type : {BASS_FX_PARAMEQ, BASS_FX_ECHO, BASS_FX_REVERB}) {
        for (int rate : {8000, 11025, 192000}) {
            for (int channels : {1, 2, 8}) {
                auto fx = createEffect(type, rate, channels);
                ASSERT_NE(fx, nullptr);
                auto v = noise(static_cast<size_t>(channels) * 3000, 0.5);
                run(*fx, v, channels, 333);
                fx->process(v.data(), 0);
                EXPECT_TRUE(std::all_of(v.begin(), v.end(), [](float s) { return std::fabs(s) < 4.0f; }))
                    << type << " " << rate << " " << channels;
            }
        }
    }
}

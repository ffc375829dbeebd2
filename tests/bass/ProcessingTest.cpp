// What happens to a channel's sound on its way to the output: DSP callbacks, the DirectX 8
// effects, volumes and pan; and what the library reports about it: levels, data, spectra.
#include "Offline.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace aubadine::bass::test {
namespace {

// An endless user stream of sines: tones[c] lists the frequencies of channel c.
struct ToneStream {
    std::vector<std::vector<double>> tones;
    double amplitude = 0.1;
    uint64_t frame = 0;
    static DWORD proc(HSTREAM, void* buffer, DWORD length, void* user) {
        auto* self = static_cast<ToneStream*>(user);
        const size_t ch = self->tones.size();
        auto* out = static_cast<int16_t*>(buffer);
        const size_t frames = length / (2 * ch);
        for (size_t i = 0; i < frames; ++i, ++self->frame) {
            for (size_t c = 0; c < ch; ++c) {
                double v = 0;
                for (double hz : self->tones[c])
                    v += self->amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(self->frame) / 44100.0);
                out[i * ch + c] = static_cast<int16_t>(std::lround(v * 32767));
            }
        }
        return static_cast<DWORD>(frames * 2 * ch);
    }
};

HSTREAM play(ToneStream& tones) {
    const HSTREAM ch = BASS_StreamCreate(44100, static_cast<DWORD>(tones.tones.size()), 0, &ToneStream::proc, &tones);
    EXPECT_NE(ch, 0u) << BASS_ErrorGetCode();
    EXPECT_TRUE(BASS_ChannelPlay(ch, FALSE));
    return ch;
}

double dB(double ratio) { return 20 * std::log10(ratio); }

TEST_F(Offline, EqualizerBandRaisesItsCentreAndLeavesFarFrequencies) {
    auto measure = [](bool eq) {
        ToneStream tones{{{100.0, 1000.0}, {100.0, 1000.0}}};
        const HSTREAM ch = play(tones);
        if (eq) {
            const HFX fx = BASS_ChannelSetFX(ch, BASS_FX_PARAMEQ, 1);
            EXPECT_NE(fx, 0u) << BASS_ErrorGetCode();
            BASS_FXPARAMEQ p{1000.0f, 12.0f, 12.0f};
            EXPECT_TRUE(BASS_FXSetParameters(fx, &p));
        }
        render(22050);  // let the filter settle
        const auto out = render(16384);
        BASS_StreamFree(ch);
        return std::pair{toneAmplitude(out.data(), 16384, 2, 0, 1000, 44100),
                         toneAmplitude(out.data(), 16384, 2, 0, 100, 44100)};
    };
    const auto [flat1k, flat100] = measure(false);
    const auto [eq1k, eq100] = measure(true);
    EXPECT_NEAR(dB(eq1k / flat1k), 12.0, 1.0);
    EXPECT_NEAR(dB(eq100 / flat100), 0.0, 1.0);
}

TEST_F(Offline, EffectParametersStartAtTheDirectXDefaultsAndRefuseOutOfRange) {
    ToneStream tones{{{440.0}, {440.0}}};
    const HSTREAM ch = play(tones);
    const HFX eq = BASS_ChannelSetFX(ch, BASS_FX_PARAMEQ, 1);
    const HFX echo = BASS_ChannelSetFX(ch, BASS_FX_ECHO, 11);
    const HFX reverb = BASS_ChannelSetFX(ch, BASS_FX_REVERB, 12);
    ASSERT_TRUE(eq && echo && reverb) << BASS_ErrorGetCode();
    BASS_FXPARAMEQ p{};
    ASSERT_TRUE(BASS_FXGetParameters(eq, &p));
    EXPECT_FLOAT_EQ(p.fCenter, 8000);
    EXPECT_FLOAT_EQ(p.fBandwidth, 12);
    EXPECT_FLOAT_EQ(p.fGain, 0);
    BASS_FXECHO e{};
    ASSERT_TRUE(BASS_FXGetParameters(echo, &e));
    EXPECT_FLOAT_EQ(e.fWetDryMix, 50);
    EXPECT_FLOAT_EQ(e.fLeftDelay, 500);
    BASS_FXREVERB r{};
    ASSERT_TRUE(BASS_FXGetParameters(reverb, &r));
    EXPECT_FLOAT_EQ(r.fReverbTime, 1000);

    BASS_FXPARAMEQ bad{1000, 12, 20};  // gain beyond +15 dB
    EXPECT_FALSE(BASS_FXSetParameters(eq, &bad));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    ASSERT_TRUE(BASS_FXGetParameters(eq, &p));
    EXPECT_FLOAT_EQ(p.fGain, 0);  // unchanged

    EXPECT_EQ(BASS_ChannelSetFX(ch, BASS_FX_CHORUS, 1), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOFX);
    EXPECT_EQ(BASS_ChannelSetFX(ch, 99, 1), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);

    EXPECT_TRUE(BASS_ChannelRemoveFX(ch, echo));
    EXPECT_FALSE(BASS_FXGetParameters(echo, &e));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_FALSE(BASS_ChannelRemoveFX(ch, echo));
    BASS_StreamFree(ch);
    EXPECT_FALSE(BASS_FXGetParameters(eq, &p));  // effects go with their channel
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(Offline, EchoRepeatsTheSoundAfterItsDelay) {
    // One click at the start, then silence.
    static std::vector<int16_t> click(2 * 44100, 0);
    click[0] = click[1] = 20000;
    struct Once {
        static DWORD proc(HSTREAM, void* buffer, DWORD length, void* user) {
            auto* given = static_cast<size_t*>(user);
            const size_t n = std::min<size_t>(length, click.size() * 2 - *given);
            std::memcpy(buffer, reinterpret_cast<const uint8_t*>(click.data()) + *given, n);
            *given += n;
            return static_cast<DWORD>(n);
        }
    };
    size_t given = 0;
    const HSTREAM ch = BASS_StreamCreate(44100, 2, 0, &Once::proc, &given);
    const HFX fx = BASS_ChannelSetFX(ch, BASS_FX_ECHO, 11);
    BASS_FXECHO e{50, 0, 100, 100, FALSE};
    ASSERT_TRUE(BASS_FXSetParameters(fx, &e));
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    const auto out = render(44100 / 2);
    // The strongest sound after the click itself is its echo, 100 ms (4410 frames) later.
    size_t loudest = 100;
    for (size_t i = 100; i < out.size() / 2; ++i)
        if (std::abs(out[i * 2]) > std::abs(out[loudest * 2])) loudest = i;
    EXPECT_NEAR(static_cast<double>(loudest), 4410.0, 45.0);
    EXPECT_GT(std::abs(out[loudest * 2]), 2000);
}

TEST_F(Offline, SpectrumPeaksAtTheBinOfTheTone) {
    struct Case {
        double hz;
        DWORD mode;
        size_t bins;
    };
    const Case cases[] = {
        {440, BASS_DATA_FFT512, 256}, {5000, BASS_DATA_FFT512, 256},
        {440, BASS_DATA_FFT2048, 1024}, {5000, BASS_DATA_FFT2048, 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.hz << " Hz, mode " << std::hex << c.mode);
        ToneStream tones{{{c.hz}, {c.hz}}, 1.0};
        const HSTREAM ch = play(tones);
        render(4096);
        std::vector<float> fft(c.bins + 16, -1.0f);
        ASSERT_EQ(BASS_ChannelGetData(ch, fft.data(), c.mode), c.bins * sizeof(float));
        EXPECT_EQ(fft[c.bins], -1.0f);  // nothing written past the magnitudes
        const auto top = std::max_element(fft.begin(), fft.begin() + static_cast<ptrdiff_t>(c.bins)) - fft.begin();
        const double binHz = 44100.0 / static_cast<double>(c.bins * 2);
        EXPECT_NEAR(static_cast<double>(top), c.hz / binHz, 1.0);
        EXPECT_NEAR(fft[static_cast<size_t>(top)], 1.0, 0.2);  // full scale reads about 1
        BASS_StreamFree(ch);
    }
}

TEST_F(Offline, SpectrumPerChannelIsInterleaved) {
    ToneStream tones{{{440.0}, {5000.0}}, 1.0};
    const HSTREAM ch = play(tones);
    render(4096);
    std::vector<float> fft(2048);
    ASSERT_EQ(BASS_ChannelGetData(ch, fft.data(), BASS_DATA_FFT2048 | BASS_DATA_FFT_INDIVIDUAL), 2048 * sizeof(float));
    size_t left = 1, right = 1;
    for (size_t k = 1; k < 1024; ++k) {
        if (fft[2 * k] > fft[2 * left]) left = k;
        if (fft[2 * k + 1] > fft[2 * right + 1]) right = k;
    }
    EXPECT_NEAR(static_cast<double>(left), 440 / (44100.0 / 2048), 1.0);
    EXPECT_NEAR(static_cast<double>(right), 5000 / (44100.0 / 2048), 1.0);
    EXPECT_EQ(BASS_ChannelGetData(ch, fft.data(), 0x80000007u), 0xFFFFFFFFu);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
}

TEST_F(Offline, DataIsWhatWasJustHeard) {
    const Files& f = Files::get();
    const DWORD ch = BASS_StreamCreateFile(FALSE, f.wav.c_str(), 0, 0, 0);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_EQ(BASS_ChannelGetData(ch, nullptr, 0), 0u);
    render(10000);
    EXPECT_EQ(BASS_ChannelGetData(ch, nullptr, 0), 10000u * 4);  // bytes ready
    std::vector<int16_t> data(1152 * 2);
    ASSERT_EQ(BASS_ChannelGetData(ch, data.data(), 1152 * 4), 1152u * 4);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), f.tone.samples.begin() + (10000 - 1152) * 2));
    // Level: the peak of the last 20 ms on each side.
    const DWORD level = BASS_ChannelGetLevel(ch);
    const double expected = peak(f.tone.samples.data() + (10000 - 882) * 2, 882, 2, 0);
    EXPECT_NEAR((level & 0xFFFF) / 32768.0, expected, 0.001);
    EXPECT_NEAR((level >> 16) / 32768.0, expected, 0.001);
    BASS_ChannelPause(ch);
    EXPECT_EQ(BASS_ChannelGetLevel(ch), 0xFFFFFFFFu);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOPLAY);
}

TEST_F(Offline, GlobalVolumesAndPan) {
    struct Case {
        DWORD streamVolume;
        int pan;
        double left, right;  // expected amplitudes of a 0.5 sine
    };
    const Case cases[] = {
        {255, 0, 0.5, 0.5},
        {128, 0, 0.5 * 128 / 255, 0.5 * 128 / 255},  // about -6 dB
        {255, -100, 0.5, 0.0},
        {255, 100, 0.0, 0.5},
        {255, 50, 0.25, 0.5},
        {0, 0, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "volume " << c.streamVolume << " pan " << c.pan);
        ASSERT_EQ(BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, c.streamVolume), c.streamVolume);
        ToneStream tones{{{1000.0}, {1000.0}}, 0.5};
        const HSTREAM ch = play(tones);
        ASSERT_TRUE(BASS_ChannelSetAttributes(ch, -1, -1, c.pan));
        const auto out = render(8192);
        EXPECT_NEAR(peak(out.data(), 8192, 2, 0), c.left, 0.002);
        EXPECT_NEAR(peak(out.data(), 8192, 2, 1), c.right, 0.002);
        BASS_StreamFree(ch);
    }
    EXPECT_NEAR(dB(128.0 / 255), -6.0, 0.1);
    // Music has its own global volume; streams do not follow it.
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 255);
    BASS_SetConfig(BASS_CONFIG_GVOL_MUSIC, 0);
    ToneStream tones{{{1000.0}, {1000.0}}, 0.5};
    const HSTREAM ch = play(tones);
    EXPECT_NEAR(peak(render(4096).data(), 4096, 2, 0), 0.5, 0.002);
    const DWORD music = BASS_MusicLoad(FALSE, Files::get().mod.c_str(), 0, 0, 0x28400, 0);
    BASS_StreamFree(ch);
    BASS_ChannelPlay(music, FALSE);
    EXPECT_EQ(peak(render(4096).data(), 4096, 2, 0), 0.0);
    BASS_SetConfig(BASS_CONFIG_GVOL_MUSIC, 255);

    DWORD freq = 0, volume = 0;
    int pan = 0;
    ASSERT_TRUE(BASS_ChannelSetAttributes(music, -1, 40, -30));
    ASSERT_TRUE(BASS_ChannelGetAttributes(music, &freq, &volume, &pan));
    EXPECT_EQ(freq, 44100u);
    EXPECT_EQ(volume, 40u);
    EXPECT_EQ(pan, -30);
    EXPECT_FALSE(BASS_ChannelSetAttributes(music, -1, -1, 101));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
}

TEST_F(Offline, MasterVolumeScalesTheWholeOutput) {
    ToneStream tones{{{1000.0}, {1000.0}}, 0.5};
    play(tones);
    ASSERT_TRUE(BASS_SetVolume(51));  // a fifth of 255
    EXPECT_EQ(BASS_GetVolume(), 51u);
    const auto out = render(8192);
    EXPECT_NEAR(peak(out.data(), 8192, 2, 0), 0.1, 0.002);
    EXPECT_FALSE(BASS_SetVolume(256));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    ASSERT_TRUE(BASS_SetVolume(255));
    EXPECT_GE(BASS_GetCPU(), 0.0f);
    EXPECT_TRUE(BASS_Update());
}

struct DspLog {
    std::vector<std::pair<int, DWORD>> calls;  // (which, bytes)
};

template <int Which>
void recordingDsp(HDSP, DWORD, void* buffer, DWORD length, void* user) {
    static_cast<DspLog*>(user)->calls.emplace_back(Which, length);
    if (Which == 1) {  // silences the first channel of each frame
        auto* s = static_cast<int16_t*>(buffer);
        for (DWORD i = 0; i < length / 4; ++i) s[i * 2] = 0;
    }
}

TEST_F(Offline, DspCallbacksGetSixteenBitFramesInPriorityOrderAndMayChangeThem) {
    ToneStream tones{{{1000.0}, {1000.0}}, 0.5};
    const HSTREAM ch = play(tones);
    DspLog log;
    const HDSP low = BASS_ChannelSetDSP(ch, &recordingDsp<2>, &log, 0);
    const HDSP high = BASS_ChannelSetDSP(ch, &recordingDsp<1>, &log, 5);
    ASSERT_TRUE(low && high);
    const auto out = render(4096);
    ASSERT_GE(log.calls.size(), 2u);
    EXPECT_EQ(log.calls[0].first, 1);
    EXPECT_EQ(log.calls[1].first, 2);
    for (const auto& [which, bytes] : log.calls) EXPECT_EQ(bytes % 4, 0u);
    EXPECT_EQ(peak(out.data(), 4096, 2, 0), 0.0);
    EXPECT_NEAR(peak(out.data(), 4096, 2, 1), 0.5, 0.002);
    ASSERT_TRUE(BASS_ChannelRemoveDSP(ch, high));
    EXPECT_FALSE(BASS_ChannelRemoveDSP(ch, high));
    log.calls.clear();
    const auto after = render(4096);
    EXPECT_NEAR(peak(after.data(), 4096, 2, 0), 0.5, 0.002);
    EXPECT_TRUE(std::all_of(log.calls.begin(), log.calls.end(), [](const auto& c) { return c.first == 2; }));
}

TEST_F(Offline, MonoDspBuffersHoldMonoFrames) {
    ToneStream tones{{{1000.0}}, 0.5};
    const HSTREAM ch = play(tones);
    DspLog log;
    BASS_ChannelSetDSP(ch, &recordingDsp<3>, &log, 0);
    render(4096);
    DWORD bytes = 0;
    for (const auto& c : log.calls) bytes += c.second;
    EXPECT_NEAR(static_cast<double>(bytes), 4096.0 * 2, 2048.0);  // two bytes a frame
}

}  // namespace
}  // namespace aubadine::bass::test

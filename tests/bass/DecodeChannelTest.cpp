// Decoding channels: BASS_ChannelGetData pulls the decoded sound on the caller's thread,
// with no output device ("no sound", device 0) and without going through the mixer.
#include "Offline.h"

#include <algorithm>

namespace aubadine::bass::test {
namespace {

// Pulls everything in pieces of `bytes` until the channel says it has ended.
std::vector<int16_t> pullAll(DWORD ch, DWORD bytes = 10000) {
    std::vector<int16_t> all;
    std::vector<int16_t> piece(bytes / 2);
    for (int guard = 0; guard < 100000; ++guard) {
        const DWORD got = BASS_ChannelGetData(ch, piece.data(), bytes);
        if (got == DWORD(-1)) {
            EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
            break;
        }
        all.insert(all.end(), piece.begin(), piece.begin() + got / 2);
    }
    return all;
}

TEST_F(Offline, DecodingChannelsGiveExactlyTheReferenceSound) {
    const Files& f = Files::get();
    struct Case {
        const std::string* path;
        bool music;
    };
    for (const Case c : {Case{&f.wav, false}, Case{&f.mp3, false}, Case{&f.ogg, false}, Case{&f.mod, true}}) {
        SCOPED_TRACE(*c.path);
        const DWORD ch = c.music ? BASS_MusicLoad(FALSE, c.path->c_str(), 0, 0, 0x28400 | BASS_MUSIC_DECODE, 0)
                                 : BASS_StreamCreateFile(FALSE, c.path->c_str(), 0, 0, BASS_STREAM_DECODE);
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        const Pcm ref = c.music ? renderWithOpenmpt(f.modBytes) : decodeWithFfmpeg(*c.path);
        SyncCounter ended;
        ASSERT_NE(BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::callback, &ended), 0u);
        EXPECT_EQ(BASS_ChannelIsActive(ch), BASS_ACTIVE_PLAYING);
        EXPECT_EQ(BASS_ChannelGetPosition(ch), 0u);

        // Odd piece sizes: the data runs on across calls without a gap or a repeat.
        const auto sound = pullAll(ch, 4 * 999);
        ASSERT_EQ(sound.size(), ref.samples.size());
        EXPECT_TRUE(std::equal(sound.begin(), sound.end(), ref.samples.begin()));
        const QWORD length = c.music ? BASS_MusicGetLength(ch, TRUE) : BASS_StreamGetLength(ch);
        EXPECT_EQ(BASS_ChannelGetPosition(ch), length);
        EXPECT_EQ(BASS_ChannelIsActive(ch), BASS_ACTIVE_STOPPED);
        EXPECT_TRUE(ended.waitFor(1));
        EXPECT_EQ(ended.count, 1);

        // Seeking starts it again from there.
        ASSERT_TRUE(BASS_ChannelSetPosition(ch, 0));
        EXPECT_EQ(BASS_ChannelIsActive(ch), BASS_ACTIVE_PLAYING);
        std::vector<int16_t> again(2000);
        ASSERT_EQ(BASS_ChannelGetData(ch, again.data(), 4000), 4000u);
        EXPECT_TRUE(std::equal(again.begin(), again.end(), ref.samples.begin()));
        EXPECT_EQ(BASS_ChannelGetPosition(ch), 4000u);
        c.music ? BASS_MusicFree(ch) : BASS_StreamFree(ch);
    }
}

TEST_F(Offline, DecodingChannelIsNeverMixedAndRefusesToPlay) {
    const Files& f = Files::get();
    const DWORD ch = BASS_StreamCreateFile(FALSE, f.wav.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(ch, 0u);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(ch, &info));
    EXPECT_TRUE(info.flags & BASS_STREAM_DECODE);
    for (BOOL ok : {BASS_ChannelPlay(ch, FALSE), BASS_ChannelPause(ch), BASS_ChannelStop(ch)}) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DECODE);
    }
    const auto out = render(4410);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 0; }));
    EXPECT_EQ(BASS_ChannelGetPosition(ch), 0u);  // rendering the device took nothing from it

    // Sample-exact seek, and the DSP callbacks and effects run on what is pulled.
    struct Gain {
        static void halve(HDSP, DWORD, void* buffer, DWORD length, void*) {
            auto* s = static_cast<int16_t*>(buffer);
            for (DWORD i = 0; i < length / 2; ++i) s[i] = static_cast<int16_t>(s[i] / 2);
        }
    };
    ASSERT_NE(BASS_ChannelSetDSP(ch, &Gain::halve, nullptr, 0), 0u);
    ASSERT_TRUE(BASS_ChannelSetPosition(ch, 54321 * 4));
    std::vector<int16_t> got(2 * 1000);
    ASSERT_EQ(BASS_ChannelGetData(ch, got.data(), 4000), 4000u);
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], f.tone.samples[54321 * 2 + i] / 2) << i;

    // Spectrum and level use up the sound they measure.
    std::vector<float> fft(1024);
    ASSERT_EQ(BASS_ChannelGetData(ch, fft.data(), BASS_DATA_FFT2048), 1024u * 4);
    const auto peakBin = std::max_element(fft.begin() + 5, fft.end()) - fft.begin();
    EXPECT_NEAR(static_cast<double>(peakBin), 440.0 * 2048 / 44100, 1.5);
    EXPECT_EQ(BASS_ChannelGetPosition(ch), (55321 + 2048) * 4u);
    const DWORD level = BASS_ChannelGetLevel(ch);
    ASSERT_NE(level, DWORD(-1));
    EXPECT_NEAR(level & 0xFFFF, 0.5 * 0.5 * 32768, 600);  // two sines at 0.25, halved by the DSP
    EXPECT_EQ(BASS_ChannelGetPosition(ch), (55321 + 2048 + 882) * 4u);
    EXPECT_TRUE(BASS_StreamFree(ch));
}

TEST_F(Offline, DecodingChannelsKeepTheirOwnSampleFormat) {
    const Files& f = Files::get();
    // 8-bit mono WAV: one unsigned byte a frame, as stored.
    const DWORD u8 = BASS_StreamCreateFile(FALSE, f.u8Wav.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(u8, 0u);
    std::vector<uint8_t> bytes(22050);
    ASSERT_EQ(BASS_ChannelGetData(u8, bytes.data(), 22050), 22050u);
    const auto [lo, hi] = std::minmax_element(bytes.begin(), bytes.end());
    EXPECT_NEAR(*lo, 128 - 64, 2);
    EXPECT_NEAR(*hi, 128 + 64, 2);
    EXPECT_EQ(BASS_ChannelGetPosition(u8), 22050u);
    // Mono at 22050 Hz: not resampled to the device rate.
    const DWORD mono = BASS_StreamCreateFile(FALSE, f.monoWav.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(mono, 0u);
    EXPECT_EQ(pullAll(mono).size(), 22050u);

    // A user stream: its procedure is called on the pulling thread; a looping channel goes on.
    struct Counter {
        static DWORD proc(HSTREAM, void* buffer, DWORD length, void* user) {
            auto* next = static_cast<int16_t*>(user);
            auto* s = static_cast<int16_t*>(buffer);
            const DWORD n = std::min<DWORD>(length / 2, 100);
            for (DWORD i = 0; i < n; ++i) s[i] = (*next)++;
            return n * 2 | BASS_STREAMPROC_END;
        }
    };
    int16_t next = 0;
    const DWORD user = BASS_StreamCreate(44100, 1, BASS_STREAM_DECODE | BASS_SAMPLE_LOOP, &Counter::proc, &next);
    ASSERT_NE(user, 0u) << BASS_ErrorGetCode();
    std::vector<int16_t> got(300);
    ASSERT_EQ(BASS_ChannelGetData(user, got.data(), 600), 600u);
    EXPECT_EQ(got[0], 0);
    EXPECT_EQ(got[299], 299);  // three passes of 100 frames, the procedure going on counting
}

// A looping decoding channel calls its end sync at each loop and its position syncs as the
// position is decoded, and its position starts again from 0 at each loop.
TEST_F(Offline, LoopingDecodingChannelCallsItsSyncsAsItDecodes) {
    const Files& f = Files::get();
    const DWORD ch = BASS_StreamCreateFile(FALSE, f.wav.c_str(), 0, 0, BASS_STREAM_DECODE | BASS_SAMPLE_LOOP);
    ASSERT_NE(ch, 0u);
    const DWORD length = static_cast<DWORD>(BASS_StreamGetLength(ch));
    SyncLog log;
    const HSYNC end = BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncLog::callback, &log);
    const HSYNC pos = BASS_ChannelSetSync(ch, BASS_SYNC_POS, 1000 * 4, &SyncLog::callback, &log);
    std::vector<int16_t> buffer(length / 2);
    ASSERT_EQ(BASS_ChannelGetData(ch, buffer.data(), 999 * 4), 999u * 4);
    ASSERT_EQ(BASS_ChannelGetData(ch, buffer.data(), 4), 4u);
    ASSERT_TRUE(log.waitFor(1));
    ASSERT_EQ(BASS_ChannelGetData(ch, buffer.data(), length - 2000 * 4), length - 2000 * 4);
    // Across the loop point in one call: the file's end, then its start again.
    ASSERT_EQ(BASS_ChannelGetData(ch, buffer.data(), 2000 * 4), 2000u * 4);
    EXPECT_TRUE(std::equal(buffer.begin() + 2000, buffer.begin() + 4000, f.tone.samples.begin()));
    EXPECT_EQ(BASS_ChannelGetPosition(ch), 1000u * 4);
    ASSERT_TRUE(log.waitFor(3));
    ASSERT_TRUE(BASS_Free());
    // Position syncs see the position of the call that decoded them, end syncs that of the
    // call that crossed the loop point.
    const std::vector<SyncLog::Call> expected = {{pos, 1000 * 4}, {end, 0}, {pos, 1000 * 4}};
    const auto calls = log.snapshot();
    ASSERT_EQ(calls.size(), expected.size());
    for (size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].sync, expected[i].sync) << i;
    EXPECT_EQ(calls[0].position, 1000u * 4);
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
}

}  // namespace
}  // namespace aubadine::bass::test

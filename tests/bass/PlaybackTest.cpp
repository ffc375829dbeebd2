// Streams and modules played through the offline renderer: decoded sound, lengths,
// positions, seeking, pausing, the end sync and user streams.
#include "Offline.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <cmath>
#include <cstring>

namespace aubadine::bass::test {
namespace {

constexpr size_t kBlock = 512;  // the mixer's output block, frames

struct DecodeCase {
    const char* name;
    std::string Files::*file;
    bool music;
};

class Decoding : public Offline, public ::testing::WithParamInterface<DecodeCase> {};

DWORD open(const DecodeCase& c) {
    const std::string& path = Files::get().*(c.file);
    return c.music ? BASS_MusicLoad(FALSE, path.c_str(), 0, 0, 0x28400, 0)
                   : BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
}

Pcm reference(const DecodeCase& c) {
    return c.music ? renderWithOpenmpt(Files::get().modBytes) : decodeWithFfmpeg(Files::get().*(c.file));
}

TEST_P(Decoding, HeardSoundMatchesTheReferenceDecoderAndTheLengthIsExact) {
    const DecodeCase& c = GetParam();
    const DWORD ch = open(c);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    const Pcm ref = reference(c);
    ASSERT_EQ(ref.rate, 44100);
    ASSERT_EQ(ref.channels, 2);

    const QWORD length = c.music ? BASS_MusicGetLength(ch, TRUE) : BASS_StreamGetLength(ch);
    ASSERT_NE(length, c.music ? 0xFFFFFFFFu : QWORD(-1));
    EXPECT_NEAR(static_cast<double>(length / 4), static_cast<double>(ref.frames()), kBlock);

    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    const auto heard = renderUntilStopped(ch);
    ASSERT_GE(heard.size(), ref.samples.size());
    EXPECT_LT(heard.size() / 2 - ref.frames(), kBlock) << "silence before the channel stopped";
    size_t differing = 0;
    for (size_t i = 0; i < ref.samples.size(); ++i) differing += heard[i] != ref.samples[i];
    EXPECT_EQ(differing, 0u);
    for (size_t i = ref.samples.size(); i < heard.size(); ++i) ASSERT_EQ(heard[i], 0) << i;
    EXPECT_EQ(BASS_ChannelGetPosition(ch), length);
}

const DecodeCase kCases[] = {
    {"wav", &Files::wav, false},
    {"mp3", &Files::mp3, false},
    {"ogg", &Files::ogg, false},
    {"mp2", &Files::mp2, false},
    {"mod", &Files::mod, true},
};
INSTANTIATE_TEST_SUITE_P(Formats, Decoding, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(Offline, ChannelInfoDescribesTheSource) {
    struct Case {
        const std::string* path;
        DWORD freq, chans, flags8, ctype;
    };
    const Files& f = Files::get();
    const Case cases[] = {
        {&f.wav, 44100, 2, 0, BASS_CTYPE_STREAM_WAV},
        {&f.mp3, 44100, 2, 0, BASS_CTYPE_STREAM_MP3},
        {&f.mp2, 44100, 2, 0, BASS_CTYPE_STREAM_MP2},
        {&f.ogg, 44100, 2, 0, BASS_CTYPE_STREAM_OGG},
        {&f.monoWav, 22050, 1, 0, BASS_CTYPE_STREAM_WAV},
        {&f.u8Wav, 44100, 1, BASS_SAMPLE_8BITS, BASS_CTYPE_STREAM_WAV},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(*c.path);
        const DWORD ch = BASS_StreamCreateFile(FALSE, c.path->c_str(), 0, 0, 0);
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(ch, &info));
        EXPECT_EQ(info.freq, c.freq);
        EXPECT_EQ(info.chans, c.chans);
        EXPECT_EQ(info.flags & BASS_SAMPLE_8BITS, c.flags8);
        EXPECT_EQ(info.ctype, c.ctype);
        EXPECT_TRUE(BASS_StreamFree(ch));
    }
    const DWORD music = BASS_MusicLoad(FALSE, f.mod.c_str(), 0, 0, 0x28400, 0);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(music, &info));
    EXPECT_EQ(info.ctype, DWORD{BASS_CTYPE_MUSIC_MOD});
    EXPECT_STREQ(BASS_MusicGetName(music), "Aubadine test");
    EXPECT_EQ(BASS_MusicGetLength(music, FALSE), 1u);  // orders
    EXPECT_FALSE(BASS_StreamFree(music));               // a module is freed as music
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_TRUE(BASS_MusicFree(music));
}

TEST_F(Offline, BadFilesAreRefusedWithTheirReason) {
    const std::string junk = fixtureDir() + "/junk.mp3";
    writeFile(junk, std::vector<uint8_t>(3000, 0x5A));
    struct Case {
        std::string path;
        int error;
    };
    const Case cases[] = {
        {fixtureDir() + "/missing.mp3", BASS_ERROR_FILEOPEN},
        {fixtureDir(), BASS_ERROR_FILEOPEN},  // a folder
        {junk, BASS_ERROR_FILEFORM},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BASS_StreamCreateFile(FALSE, c.path.c_str(), 0, 0, 0), 0u) << c.path;
        EXPECT_EQ(BASS_ErrorGetCode(), c.error) << c.path;
        EXPECT_EQ(BASS_MusicLoad(FALSE, c.path.c_str(), 0, 0, 0x28400, 0), 0u) << c.path;
        EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);
    }
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, nullptr, 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ChannelPlay(12345, FALSE), FALSE);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(Offline, OffsetAndLengthSelectTheAudioInsideALargerFileOrMemoryBlock) {
    // A WAV file embedded after 1000 bytes of other data and followed by 500 more.
    const auto wav = readFile(Files::get().wav);
    std::vector<uint8_t> wrapped(1000 + wav.size() + 500, 0xAB);
    std::copy(wav.begin(), wav.end(), wrapped.begin() + 1000);
    const std::string path = fixtureDir() + "/wrapped.bin";
    writeFile(path, wrapped);
    const auto size = static_cast<DWORD>(wav.size());
    const DWORD fromFile = BASS_StreamCreateFile(FALSE, path.c_str(), 1000, size, 0);
    ASSERT_NE(fromFile, 0u) << BASS_ErrorGetCode();
    const DWORD fromMemory = BASS_StreamCreateFile(TRUE, wrapped.data(), 1000, size, 0);
    ASSERT_NE(fromMemory, 0u) << BASS_ErrorGetCode();
    for (DWORD ch : {fromFile, fromMemory}) {
        EXPECT_EQ(BASS_StreamGetLength(ch), Files::get().tone.samples.size() * 2);
        EXPECT_EQ(BASS_StreamGetFilePosition(ch, BASS_FILEPOS_END), size);
    }
    ASSERT_TRUE(BASS_ChannelPlay(fromMemory, FALSE));
    const auto heard = render(4410);
    EXPECT_TRUE(std::equal(heard.begin(), heard.end(), Files::get().tone.samples.begin()));
}

TEST_F(Offline, TagsOfLocalFiles) {
    const Files& f = Files::get();
    const DWORD mp3 = BASS_StreamCreateFile(FALSE, f.mp3.c_str(), 0, 0, 0);
    ASSERT_NE(mp3, 0u);
    const char* v1 = BASS_StreamGetTags(mp3, BASS_TAG_ID3);
    ASSERT_NE(v1, nullptr);
    EXPECT_EQ(std::string(v1, 3), "TAG");
    EXPECT_EQ(std::string(v1 + 3, 11), "Dawn Chorus");
    const char* v2 = BASS_StreamGetTags(mp3, BASS_TAG_ID3V2);
    ASSERT_NE(v2, nullptr);
    EXPECT_EQ(std::string(v2, 3), "ID3");
    EXPECT_EQ(BASS_StreamGetTags(mp3, BASS_TAG_OGG), nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);

    const DWORD ogg = BASS_StreamCreateFile(FALSE, f.ogg.c_str(), 0, 0, 0);
    const char* comments = BASS_StreamGetTags(ogg, BASS_TAG_OGG);
    ASSERT_NE(comments, nullptr);
    std::vector<std::string> entries;
    for (const char* p = comments; *p; p += std::strlen(p) + 1) entries.emplace_back(p);
    EXPECT_NE(std::find(entries.begin(), entries.end(), "TITLE=Morning Song"), entries.end());
    EXPECT_NE(std::find(entries.begin(), entries.end(), "ARTIST=Aubadine"), entries.end());
    EXPECT_EQ(BASS_StreamGetTags(ogg, BASS_TAG_ID3), nullptr);

    const DWORD wav = BASS_StreamCreateFile(FALSE, f.wav.c_str(), 0, 0, 0);
    for (DWORD kind : {BASS_TAG_ID3, BASS_TAG_ID3V2, BASS_TAG_OGG}) EXPECT_EQ(BASS_StreamGetTags(wav, kind), nullptr);
}

TEST_F(Offline, PositionFollowsWhatHasBeenHeard) {
    const DWORD ch = BASS_StreamCreateFile(FALSE, Files::get().wav.c_str(), 0, 0, 0);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_EQ(BASS_ChannelGetPosition(ch), 0u);
    size_t rendered = 0;
    for (size_t step : {100, 441, 1000, 4410, 30000}) {
        render(step);
        rendered += step;
        EXPECT_EQ(BASS_ChannelGetPosition(ch), rendered * 4);
    }
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(ch, BASS_ChannelGetPosition(ch)), rendered / 44100.0, 1e-6);
}

TEST_F(Offline, ResampledChannelKeepsItsOwnRateInPositions) {
    const DWORD ch = BASS_StreamCreateFile(FALSE, Files::get().monoWav.c_str(), 0, 0, 0);
    ASSERT_NE(ch, 0u);
    EXPECT_EQ(BASS_StreamGetLength(ch), 22050u * 2);  // 1 s of mono 16-bit at 22050 Hz
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    render(22050);  // half a second of output
    EXPECT_NEAR(static_cast<double>(BASS_ChannelGetPosition(ch)), 22050.0, 2.0 * kBlock);
    const auto heard = renderUntilStopped(ch);
    const double total = 0.5 + static_cast<double>(heard.size() / 2) / 44100.0;
    EXPECT_NEAR(total, 1.0, 2.0 * kBlock / 44100.0);
    // Mono is heard on both sides at its own level.
    EXPECT_NEAR(toneAmplitude(heard.data(), 8192, 2, 0, 1000, 44100), 0.5, 0.02);
    EXPECT_NEAR(toneAmplitude(heard.data(), 8192, 2, 1, 1000, 44100), 0.5, 0.02);
}

TEST_F(Offline, SeekingLandsWithinAMillisecondAndPlaysFromThere) {
    const Files& f = Files::get();
    for (const std::string* path : {&f.wav, &f.mp3, &f.ogg}) {
        SCOPED_TRACE(*path);
        const DWORD ch = BASS_StreamCreateFile(FALSE, path->c_str(), 0, 0, 0);
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        render(1000);
        const QWORD target = BASS_ChannelSeconds2Bytes(ch, 1.234f);
        ASSERT_TRUE(BASS_ChannelSetPosition(ch, target)) << BASS_ErrorGetCode();
        EXPECT_NEAR(BASS_ChannelBytes2Seconds(ch, BASS_ChannelGetPosition(ch)), 1.234, 0.001);
        render(4410);
        EXPECT_NEAR(BASS_ChannelBytes2Seconds(ch, BASS_ChannelGetPosition(ch)), 1.334, 0.001);
        BASS_StreamFree(ch);
    }
    // Sample-exact for PCM: what follows the seek is the file's sound from that frame on.
    const DWORD ch = BASS_StreamCreateFile(FALSE, f.wav.c_str(), 0, 0, 0);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    ASSERT_TRUE(BASS_ChannelSetPosition(ch, 54321 * 4));
    const auto heard = render(1000);
    EXPECT_TRUE(std::equal(heard.begin(), heard.end(), f.tone.samples.begin() + 54321 * 2));
    EXPECT_FALSE(BASS_ChannelSetPosition(ch, BASS_StreamGetLength(ch) + 4000));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
}

TEST_F(Offline, ModulePositionsInSecondsForm) {
    const DWORD ch = BASS_MusicLoad(FALSE, Files::get().mod.c_str(), 0, 0, 0x28400, 0);
    ASSERT_NE(ch, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(ch, TRUE));
    render(1000);
    ASSERT_TRUE(BASS_ChannelSetPosition(ch, BASS_MUSIC_POS_SECONDS(1)));
    EXPECT_EQ(BASS_ChannelGetPosition(ch), 44100u * 4);
    render(4410);
    EXPECT_EQ(BASS_ChannelGetPosition(ch), (44100u + 4410u) * 4);
    // Byte positions work too.
    ASSERT_TRUE(BASS_ChannelSetPosition(ch, 0));
    EXPECT_EQ(BASS_ChannelGetPosition(ch), 0u);
}

TEST_F(Offline, PauseAndResumeKeepThePosition) {
    const Files& f = Files::get();
    const DWORD ch = BASS_StreamCreateFile(FALSE, f.wav.c_str(), 0, 0, 0);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    render(20000);
    ASSERT_TRUE(BASS_ChannelPause(ch));
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_PAUSED});
    const auto silent = render(5000);
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](int16_t s) { return s == 0; }));
    EXPECT_EQ(BASS_ChannelGetPosition(ch), 20000u * 4);
    EXPECT_FALSE(BASS_ChannelPause(ch));
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_PLAYING});
    const auto after = render(1000);
    EXPECT_TRUE(std::equal(after.begin(), after.end(), f.tone.samples.begin() + 20000 * 2));
    // Stop keeps the place too; a restart begins again.
    ASSERT_TRUE(BASS_ChannelStop(ch));
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_FALSE(BASS_ChannelPause(ch));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOPLAY);
    ASSERT_TRUE(BASS_ChannelPlay(ch, QWORD(-1) & 0xFFFFFFFF ? TRUE : FALSE));
    EXPECT_EQ(BASS_ChannelGetPosition(ch), 0u);
}

TEST_F(Offline, EndSyncFiresOnceAfterTheLastSampleIsHeard) {
    const DWORD ch = BASS_StreamCreateFile(FALSE, Files::get().wav.c_str(), 0, 0, 0);
    SyncCounter ends;
    ASSERT_NE(BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::callback, &ends), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(ch, TRUE));
    const size_t length = BASS_StreamGetLength(ch) / 4;
    render(length - 1);
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_PLAYING});  // one frame still to be heard
    render(1);
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_STOPPED});
    ASSERT_TRUE(ends.waitFor(1));
    render(44100);
    ASSERT_TRUE(BASS_Free());  // runs whatever is still queued
    EXPECT_EQ(ends.count, 1);
    EXPECT_EQ(ends.channel, ch);
    EXPECT_EQ(ends.user, &ends);
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
}

TEST_F(Offline, StoppingBeforeTheEndFiresNoEndSync) {
    const DWORD ch = BASS_StreamCreateFile(FALSE, Files::get().wav.c_str(), 0, 0, 0);
    SyncCounter ends;
    BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::callback, &ends);
    HSYNC removed = BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::callback, &ends);
    EXPECT_TRUE(BASS_ChannelRemoveSync(ch, removed));
    ASSERT_TRUE(BASS_ChannelPlay(ch, TRUE));
    render(44100);
    BASS_ChannelStop(ch);
    render(88200);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    renderUntilStopped(ch);
    ASSERT_TRUE(ends.waitFor(1));
    ASSERT_TRUE(BASS_Free());
    EXPECT_EQ(ends.count, 1);  // once, at the real end, and not for the removed sync
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
}

// A looping stream: the end sync at each loop and position syncs each time their position
// is heard, both at the exact heard frame; a one-time sync once; a seek past a position does
// not call its sync, a seek back before it calls it again.
TEST_F(Offline, LoopingStreamCallsEndAtEachLoopAndPositionSyncsWhereHeard) {
    const Files& f = Files::get();
    const DWORD ch = BASS_StreamCreateFile(FALSE, f.wav.c_str(), 0, 0, BASS_SAMPLE_LOOP);
    ASSERT_NE(ch, 0u);
    const size_t length = BASS_StreamGetLength(ch) / 4;
    SyncLog log;
    const HSYNC end = BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncLog::callback, &log);
    const HSYNC pos = BASS_ChannelSetSync(ch, BASS_SYNC_POS, 1000 * 4, &SyncLog::callback, &log);
    const HSYNC once = BASS_ChannelSetSync(ch, BASS_SYNC_POS | BASS_SYNC_ONETIME, 2000 * 4, &SyncLog::callback, &log);
    ASSERT_TRUE(end && pos && once) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));

    // Each step renders up to the frame where a sync is due and waits for it, so the position
    // each call saw is exactly the heard one, and a call made too early shows in the log.
    render(999);
    render(1);
    ASSERT_TRUE(log.waitFor(1));
    render(1000);
    ASSERT_TRUE(log.waitFor(2));
    render(length - 2000 - 1);
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_PLAYING});
    render(1);
    ASSERT_TRUE(log.waitFor(3));
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_PLAYING});
    // After the loop point the file is heard from its start, and the position says so.
    const auto again = render(1000);
    EXPECT_TRUE(std::equal(again.begin(), again.end(), f.tone.samples.begin()));
    ASSERT_TRUE(log.waitFor(4));
    render(length - 1000);
    ASSERT_TRUE(log.waitFor(5));
    EXPECT_EQ(BASS_ChannelGetPosition(ch), 0u);
    EXPECT_FALSE(BASS_ChannelRemoveSync(ch, once));  // a one-time sync is gone once called

    // A seek past the position skips its sync; a seek back before it brings it again.
    ASSERT_TRUE(BASS_ChannelSetPosition(ch, 1500 * 4));
    render(2000);
    ASSERT_TRUE(BASS_ChannelSetPosition(ch, 500 * 4));
    render(500);
    ASSERT_TRUE(log.waitFor(6));
    // Removed: not called again.
    ASSERT_TRUE(BASS_ChannelRemoveSync(ch, pos));
    ASSERT_TRUE(BASS_ChannelSetPosition(ch, 0));
    render(length);
    ASSERT_TRUE(log.waitFor(7));
    ASSERT_TRUE(BASS_Free());  // runs whatever is still queued
    const std::vector<SyncLog::Call> expected = {
        {pos, 1000 * 4}, {once, 2000 * 4}, {end, 0}, {pos, 1000 * 4}, {end, 0}, {pos, 1000 * 4}, {end, 0},
    };
    EXPECT_EQ(log.snapshot(), expected);
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
}

// A looping module (BASS_MUSIC_LOOP) calls its end sync at each loop, at the heard frame,
// and plays on; a position sync on a module takes a byte position too.
TEST_F(Offline, LoopingModuleCallsEndAtEachLoop) {
    const DWORD ch = BASS_MusicLoad(FALSE, Files::get().mod.c_str(), 0, 0, BASS_MUSIC_LOOP, 0);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    const size_t length = BASS_MusicGetLength(ch, TRUE) / 4;
    ASSERT_GT(length, 44100u);
    SyncLog log;
    const HSYNC end = BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncLog::callback, &log);
    const HSYNC pos = BASS_ChannelSetSync(ch, BASS_SYNC_POS, 44100 * 4, &SyncLog::callback, &log);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    render(44100);
    ASSERT_TRUE(log.waitFor(1));
    render(length - 44100 - 1);
    render(1);
    ASSERT_TRUE(log.waitFor(2));
    const auto after = render(4410);  // plays on from its start
    EXPECT_GT(peak(after.data(), 4410, 2, 0), 0.05);
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_PLAYING});
    render(44100 - 4410);
    ASSERT_TRUE(log.waitFor(3));
    render(length - 44100);
    ASSERT_TRUE(log.waitFor(4));
    ASSERT_TRUE(BASS_Free());
    const std::vector<SyncLog::Call> expected = {{pos, 44100 * 4}, {end, 0}, {pos, 44100 * 4}, {end, 0}};
    EXPECT_EQ(log.snapshot(), expected);
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
}

// ---- user streams ----

struct Feeder {
    std::vector<int16_t> samples;  // what the stream plays, interleaved
    size_t given = 0;              // bytes handed out
    size_t chunkLimit = 1u << 30;  // most bytes per call
    int zeroCalls = 0;             // calls answered with no data (the stream stalls)
    std::atomic<int> calls{0};
    static DWORD proc(HSTREAM, void* buffer, DWORD length, void* user) {
        auto* self = static_cast<Feeder*>(user);
        ++self->calls;
        if (self->zeroCalls > 0) {
            --self->zeroCalls;
            return 0;
        }
        const size_t total = self->samples.size() * 2;
        const size_t n = std::min<size_t>({length, total - self->given, self->chunkLimit});
        std::memcpy(buffer, reinterpret_cast<const uint8_t*>(self->samples.data()) + self->given, n);
        self->given += n;
        return static_cast<DWORD>(n) | (self->given == total ? BASS_STREAMPROC_END : 0);
    }
};

TEST_F(Offline, UserStreamEndsAfterTheBytesItsCallbackGave) {
    Feeder feeder;
    feeder.samples.resize(2 * 10007);
    for (size_t i = 0; i < feeder.samples.size(); ++i) feeder.samples[i] = static_cast<int16_t>((i * 37) % 20000 - 10000);
    feeder.chunkLimit = 3000;  // fewer bytes than asked: the stream takes them and asks again
    const HSTREAM ch = BASS_StreamCreate(44100, 2, 0, &Feeder::proc, &feeder);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    SyncCounter ends;
    BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::callback, &ends);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    const auto heard = renderUntilStopped(ch, 5, 64);
    ASSERT_GE(heard.size(), feeder.samples.size());
    EXPECT_LT(heard.size() - feeder.samples.size(), 64u * 2);
    EXPECT_TRUE(std::equal(feeder.samples.begin(), feeder.samples.end(), heard.begin()));
    EXPECT_EQ(BASS_ChannelGetPosition(ch), 10007u * 4);
    EXPECT_TRUE(ends.waitFor(1));
    const int calls = feeder.calls;
    render(10000);
    EXPECT_EQ(feeder.calls, calls);  // an ended stream is not asked again
}

TEST_F(Offline, EightBitUserStreamAndStall) {
    Feeder feeder;  // 8-bit mono: bytes 128 +- 64
    std::vector<uint8_t> bytes(4000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = i % 2 ? 192 : 64;
    feeder.samples.resize(bytes.size() / 2);
    std::memcpy(feeder.samples.data(), bytes.data(), bytes.size());
    feeder.zeroCalls = 3;
    const HSTREAM ch = BASS_StreamCreate(44100, 1, BASS_SAMPLE_8BITS, &Feeder::proc, &feeder);
    ASSERT_NE(ch, 0u);
    BASS_CHANNELINFO info{};
    BASS_ChannelGetInfo(ch, &info);
    EXPECT_EQ(info.flags & BASS_SAMPLE_8BITS, DWORD{BASS_SAMPLE_8BITS});
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    const auto stalled = render(512);
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_STALLED});
    EXPECT_TRUE(std::all_of(stalled.begin(), stalled.end(), [](int16_t s) { return s == 0; }));
    render(1024);  // the remaining empty answers
    const auto heard = renderUntilStopped(ch, 2, 64);
    ASSERT_GE(heard.size(), 2u);
    EXPECT_EQ(heard[0], -64 * 256);
    EXPECT_EQ(heard[2], 64 * 256);
    EXPECT_EQ(BASS_ChannelGetPosition(ch), 4000u);  // 8-bit mono: one byte a frame
}

TEST_F(Offline, UserStreamRestartAsksItsCallbackAgain) {
    Feeder feeder;
    feeder.samples.assign(2 * 1000, 1000);
    const HSTREAM ch = BASS_StreamCreate(44100, 2, 0, &Feeder::proc, &feeder);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    renderUntilStopped(ch, 1, 64);
    feeder.given = 0;
    ASSERT_TRUE(BASS_ChannelPlay(ch, TRUE));
    const auto heard = render(64);
    EXPECT_EQ(heard[0], 1000);
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_PLAYING});
}

TEST_F(Offline, AutoFreeReleasesTheStreamAtItsEnd) {
    Feeder feeder;
    feeder.samples.assign(2 * 500, 1);
    const HSTREAM ch = BASS_StreamCreate(44100, 2, BASS_STREAM_AUTOFREE, &Feeder::proc, &feeder);
    SyncCounter ends;
    BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::callback, &ends);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    render(2048);
    ASSERT_TRUE(ends.waitFor(1));
    for (int i = 0; i < 1000 && BASS_ChannelIsActive(ch) == 0 && BASS_ErrorGetCode() != BASS_ERROR_HANDLE; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

}  // namespace
}  // namespace aubadine::bass::test

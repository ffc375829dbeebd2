// Files whose length is easy to get wrong: Ogg's declared length (the decoder's padding
// must not be heard, nor the end cut short), chained Ogg files (every link counts for
// length, position and seeking) and a WAV file without samples.
#include "Offline.h"

#include <cmath>

namespace aubadine::bass::test {
namespace {

// Everything a channel decodes, as its DSP callback sees it.
struct Decoded {
    std::vector<int16_t> samples;
    static void callback(HDSP, DWORD, void* buffer, DWORD length, void* user) {
        auto* self = static_cast<Decoded*>(user);
        const auto* s = static_cast<const int16_t*>(buffer);
        self->samples.insert(self->samples.end(), s, s + length / 2);
    }
};

// Root-mean-square difference of two stereo sample runs, over the shorter one.
double rmsDifference(const int16_t* a, const int16_t* b, size_t samples) {
    double sum = 0;
    for (size_t i = 0; i < samples; ++i) sum += std::pow(double(a[i]) - double(b[i]), 2);
    return samples ? std::sqrt(sum / static_cast<double>(samples)) : 0;
}

TEST_F(Offline, OggPlaysExactlyTheLengthItDeclares) {
    // Lengths that end inside a Vorbis block: FFmpeg's own trimming cut 128 frames too many
    // from some of them, and a decoder's padding must not be heard either.
    for (double seconds : {1.0, 0.01, 1.2345, 2.0}) {
        SCOPED_TRACE(seconds);
        const Pcm pcm = sines({440.0, 1000.0}, seconds);
        const std::string path = fixtureDir() + "/exact.ogg";
        encodeFile(path, "ogg", "libvorbis", pcm);
        const DWORD ch = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        EXPECT_EQ(BASS_StreamGetLength(ch), pcm.frames() * 4);
        Decoded decoded;
        ASSERT_NE(BASS_ChannelSetDSP(ch, &Decoded::callback, &decoded, 0), 0u);
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        renderUntilStopped(ch);
        ASSERT_EQ(decoded.samples.size(), pcm.samples.size());
        // The last frames are the file's sound too, not silence or padding (lossy: about 80).
        const size_t tail = std::min<size_t>(pcm.samples.size(), 2 * 300);
        const size_t from = pcm.samples.size() - tail;
        EXPECT_LT(rmsDifference(decoded.samples.data() + from, pcm.samples.data() + from, tail), 400.0);
        EXPECT_EQ(BASS_ChannelGetPosition(ch), pcm.frames() * 4);
        BASS_StreamFree(ch);
    }
}

TEST_F(Offline, ChainedOggLengthPositionAndSeekingCoverEveryLink) {
    const Files& f = Files::get();
    const size_t first = f.chainFirst.frames(), second = f.chainSecond.frames();
    const DWORD ch = BASS_StreamCreateFile(FALSE, f.chainedOgg.c_str(), 0, 0, 0);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_StreamGetLength(ch), (first + second) * 4);
    EXPECT_STREQ(BASS_StreamGetTags(ch, BASS_TAG_OGG), "TITLE=First Light");

    // Played through: both links, the position moving on into the second one.
    Decoded decoded;
    const HDSP dsp = BASS_ChannelSetDSP(ch, &Decoded::callback, &decoded, 0);
    ASSERT_NE(dsp, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    render(first + 22050);
    EXPECT_EQ(BASS_ChannelGetPosition(ch), (first + 22050) * 4);
    renderUntilStopped(ch);
    ASSERT_EQ(decoded.samples.size(), (first + second) * 2);
    const int16_t* heard = decoded.samples.data();
    EXPECT_NEAR(toneAmplitude(heard + 2 * 4096, 8192, 2, 0, 440, 44100), 0.4, 0.03);
    EXPECT_NEAR(toneAmplitude(heard + 2 * (first + 4096), 8192, 2, 0, 880, 44100), 0.4, 0.03);
    EXPECT_EQ(BASS_ChannelGetPosition(ch), (first + second) * 4);

    // A seek into the second link plays from there; back into the first link too.
    ASSERT_TRUE(BASS_ChannelRemoveDSP(ch, dsp));
    ASSERT_TRUE(BASS_ChannelSetPosition(ch, (first + 11025) * 4)) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_ChannelGetPosition(ch), (first + 11025) * 4);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    auto part = render(8192);
    EXPECT_NEAR(toneAmplitude(part.data(), 8192, 2, 0, 880, 44100), 0.4, 0.03);
    EXPECT_EQ(BASS_ChannelGetPosition(ch), (first + 11025 + 8192) * 4);
    ASSERT_TRUE(BASS_ChannelSetPosition(ch, 22050 * 4));
    part = render(8192);
    EXPECT_NEAR(toneAmplitude(part.data(), 8192, 2, 0, 440, 44100), 0.4, 0.03);
    EXPECT_FALSE(BASS_ChannelSetPosition(ch, (first + second + 1) * 4));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
}

// A rising sweep: no two stretches of it are alike, so sound after a seek can be matched to
// exactly one place in the file.
Pcm sweep(double seconds, double from) {
    Pcm pcm;
    const auto frames = static_cast<size_t>(seconds * 44100);
    pcm.samples.resize(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / 44100;
        const auto v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * (from * t + 40 * t * t)));
        pcm.samples[i * 2] = pcm.samples[i * 2 + 1] = v;
    }
    return pcm;
}

TEST_F(Offline, OggSeeksAreSampleExactUpToTheLastPageOfEveryLink) {
    // The demuxer's timestamps after landing on a stream's final page are wrong; seeks there
    // used to play sound from thousands of frames earlier than the position said.
    const std::string single = fixtureDir() + "/sweep.ogg", second = fixtureDir() + "/sweep2.ogg";
    encodeFile(single, "ogg", "libvorbis", sweep(3.0, 200));
    encodeFile(second, "ogg", "libvorbis", sweep(2.0, 500));
    auto bytes = readFile(single);
    const auto more = readFile(second);
    bytes.insert(bytes.end(), more.begin(), more.end());
    const std::string chained = fixtureDir() + "/sweeps.ogg";
    writeFile(chained, bytes);

    for (const std::string* path : {&single, &chained}) {
        SCOPED_TRACE(*path);
        const DWORD ch = BASS_StreamCreateFile(FALSE, path->c_str(), 0, 0, BASS_STREAM_DECODE);
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        const QWORD length = BASS_StreamGetLength(ch);
        std::vector<int16_t> through(length / 2);
        ASSERT_EQ(BASS_ChannelGetData(ch, through.data(), static_cast<DWORD>(length)), length);
        const size_t frames = length / 4;
        const size_t link = 132300;  // the first link's length in the chained file
        for (size_t target : {size_t{1000}, size_t{54321}, frames / 2, link - 3000, link - 20, link + 5000,
                              frames - 30000, frames - 9000, frames - 1024}) {
            if (target >= frames) continue;  // the second link's targets, in the single file
            SCOPED_TRACE(target);
            ASSERT_TRUE(BASS_ChannelSetPosition(ch, target * 4));
            std::vector<int16_t> part(2 * std::min<size_t>(1000, frames - target));
            const auto want = static_cast<DWORD>(part.size() * 2);
            ASSERT_EQ(BASS_ChannelGetData(ch, part.data(), want), want);
            EXPECT_TRUE(std::equal(part.begin(), part.end(), through.begin() + static_cast<ptrdiff_t>(target * 2)));
        }
        BASS_StreamFree(ch);
    }
}

TEST_F(Offline, EmptyWavHasLengthZeroAndEndsAtOnce) {
    // The 44-byte header of a 16-bit stereo 44100 Hz WAV file with an empty data chunk.
    const std::vector<uint8_t> header = {'R', 'I', 'F', 'F', 36, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                         16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0,
                                         4, 0, 16, 0, 'd', 'a', 't', 'a', 0, 0, 0, 0};
    const std::string path = fixtureDir() + "/empty.wav";
    writeFile(path, header);
    const DWORD ch = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_StreamGetLength(ch), 0u);
    SyncCounter ended;
    ASSERT_NE(BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::callback, &ended), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    render(1024);
    EXPECT_EQ(BASS_ChannelIsActive(ch), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BASS_ChannelGetPosition(ch), 0u);
    EXPECT_TRUE(ended.waitFor(1));
    EXPECT_FALSE(BASS_ChannelSetPosition(ch, 4));
}

}  // namespace
}  // namespace aubadine::bass::test

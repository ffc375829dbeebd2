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

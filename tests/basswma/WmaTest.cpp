// WMA v1 and v2 files made by FFmpeg's own encoders play through libbasswma.so as ordinary
// channels of libbass.so: the decoded sound, lengths, seeking, syncs and the refusals.
#include "NetServer.h"
#include "Offline.h"
#include "OpenAsf.h"
#include "basswma.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace aubadine::bass::test {
namespace {

struct WmaFiles {
    std::string v1, v2, protectedV2;
    Pcm tone;  // 2 s of 440 Hz, then 2 s of 1000 Hz, stereo 44100 Hz
    static const WmaFiles& get() {
        static const WmaFiles files = [] {
            WmaFiles f;
            const std::string dir = fixtureDir();
            f.tone = sine(440.0, 2.0);
            const Pcm high = sine(1000.0, 2.0);
            f.tone.samples.insert(f.tone.samples.end(), high.samples.begin(), high.samples.end());
            f.v1 = dir + "/tone-v1.wma";
            encodeFile(f.v1, "asf", "wmav1", f.tone);
            f.v2 = dir + "/tone-v2.wma";
            encodeFile(f.v2, "asf", "wmav2", f.tone);
            f.protectedV2 = dir + "/protected.wma";
            writeFile(f.protectedV2, withContentEncryption(readFile(f.v2)));
            return f;
        }();
        return files;
    }

    // The file with a content-encryption object added to its header, as protected files have.
    static std::vector<uint8_t> withContentEncryption(std::vector<uint8_t> bytes) {
        const uint8_t guid[16] = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                  0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
        std::vector<uint8_t> object(guid, guid + 16);
        const uint64_t size = 24 + 16;
        for (int i = 0; i < 8; ++i) object.push_back(static_cast<uint8_t>(size >> (8 * i)));
        object.resize(size, 0);
        uint64_t header = 0;
        for (int i = 7; i >= 0; --i) header = (header << 8) | bytes[16 + static_cast<size_t>(i)];
        header += size;
        for (int i = 0; i < 8; ++i) bytes[16 + static_cast<size_t>(i)] = static_cast<uint8_t>(header >> (8 * i));
        uint32_t count = 0;
        std::memcpy(&count, bytes.data() + 24, 4);
        ++count;
        std::memcpy(bytes.data() + 24, &count, 4);
        bytes.insert(bytes.begin() + 30, object.begin(), object.end());
        return bytes;
    }
};

// The library on no device, rendered offline, with the add-on's files at hand.
class WmaFile : public Offline {
protected:
    // Waits until the whole file is in (so offline rendering cannot outrun the download),
    // plays the channel and renders it until it stops; its end sync must have come.
    static void playToTheEnd(DWORD ch, std::vector<int16_t>& heard) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (BASS_StreamGetFilePosition(ch, BASS_FILEPOS_DOWNLOAD) < BASS_StreamGetFilePosition(ch, BASS_FILEPOS_END) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        SyncCounter ends;
        BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::callback, &ends);
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        heard = renderUntilStopped(ch, 10);
        EXPECT_TRUE(ends.waitFor(1));
    }
};

// The same for each encoder's file.
class Wma : public WmaFile, public ::testing::WithParamInterface<const char*> {
protected:
    const std::string& file() const {
        return std::strcmp(GetParam(), "wmav1") == 0 ? WmaFiles::get().v1 : WmaFiles::get().v2;
    }
};

TEST_P(Wma, PlaysTheEncodersSoundWithItsLength) {
    const Pcm reference = decodeWithFfmpeg(file());
    const DWORD ch = BASS_WMA_StreamCreateFile(FALSE, file().c_str(), 0, 0, 0);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(ch, &info));
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.chans, 2u);
    EXPECT_EQ(info.ctype, DWORD{BASS_CTYPE_STREAM_WMA});

    // The length is what the file declares: the 4 s of sound, give or take one codec frame.
    const double seconds = BASS_ChannelBytes2Seconds(ch, BASS_StreamGetLength(ch));
    EXPECT_NEAR(seconds, 4.0, 0.05);

    std::vector<int16_t> heard;
    ASSERT_NO_FATAL_FAILURE(playToTheEnd(ch, heard));
    // Sample for sample what FFmpeg decodes (equal rates pass through unchanged).
    ASSERT_GE(heard.size(), reference.samples.size());
    EXPECT_TRUE(std::equal(reference.samples.begin(), reference.samples.end(), heard.begin()));
    const size_t second = 44100;
    EXPECT_GT(toneAmplitude(heard.data() + 2 * second / 2, second, 2, 0, 440, 44100), 0.4);
    EXPECT_LT(toneAmplitude(heard.data() + 2 * second / 2, second, 2, 0, 1000, 44100), 0.02);
    EXPECT_GT(toneAmplitude(heard.data() + 2 * (second * 5 / 2), second, 2, 1, 1000, 44100), 0.4);
    EXPECT_TRUE(BASS_StreamFree(ch));
}

TEST_P(Wma, SeeksIntoTheSecondTone) {
    const DWORD ch = BASS_WMA_StreamCreateFile(FALSE, file().c_str(), 0, 0, 0);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    render(4410);
    ASSERT_TRUE(BASS_ChannelSetPosition(ch, BASS_ChannelSeconds2Bytes(ch, 3.0f)));
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(ch, BASS_ChannelGetPosition(ch)), 3.0, 0.001);
    const auto heard = render(22050);
    EXPECT_GT(toneAmplitude(heard.data() + 2 * 2048, 16384, 2, 0, 1000, 44100), 0.4);
    EXPECT_LT(toneAmplitude(heard.data() + 2 * 2048, 16384, 2, 0, 440, 44100), 0.02);
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(ch, BASS_ChannelGetPosition(ch)), 3.5, 0.001);
    // Back to the first tone.
    ASSERT_TRUE(BASS_ChannelSetPosition(ch, BASS_ChannelSeconds2Bytes(ch, 0.5f)));
    const auto again = render(22050);
    EXPECT_GT(toneAmplitude(again.data() + 2 * 2048, 16384, 2, 0, 440, 44100), 0.4);
    EXPECT_TRUE(BASS_StreamFree(ch));
}

TEST_P(Wma, OpensFromMemory) {
    const auto bytes = readFile(file());
    const DWORD ch = BASS_WMA_StreamCreateFile(TRUE, bytes.data(), 0, static_cast<DWORD>(bytes.size()), 0);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(ch, BASS_StreamGetLength(ch)), 4.0, 0.05);
    EXPECT_TRUE(BASS_StreamFree(ch));
}

// A decoding channel gives the same sound through BASS_ChannelGetData, without a device.
TEST_P(Wma, DecodingChannelGivesTheEncodersSound) {
    const Pcm reference = decodeWithFfmpeg(file());
    const DWORD ch = BASS_WMA_StreamCreateFile(FALSE, file().c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    EXPECT_FALSE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DECODE);
    std::vector<int16_t> decoded, piece(4 * 1000);
    for (DWORD got; (got = BASS_ChannelGetData(ch, piece.data(), 4 * 1000 * 2)) != DWORD(-1);)
        decoded.insert(decoded.end(), piece.begin(), piece.begin() + got / 2);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
    ASSERT_GE(decoded.size(), reference.samples.size());
    EXPECT_TRUE(std::equal(reference.samples.begin(), reference.samples.end(), decoded.begin()));
    EXPECT_EQ(BASS_ChannelGetPosition(ch), decoded.size() * 2);
    EXPECT_TRUE(BASS_StreamFree(ch));
}

INSTANTIATE_TEST_SUITE_P(Encoders, Wma, ::testing::Values("wmav1", "wmav2"));

TEST_F(WmaFile, RefusalsCarryClearCodes) {
    const std::string dir = fixtureDir();
    const auto good = readFile(WmaFiles::get().v2);
    auto refused = [&](const std::string& path, DWORD flags = 0) {
        const DWORD ch = BASS_WMA_StreamCreateFile(FALSE, path.c_str(), 0, 0, flags);
        if (ch) BASS_StreamFree(ch);
        return ch ? 0 : BASS_ErrorGetCode();
    };
    // Random bytes named .wma, and a file cut inside its header: not an ASF file.
    std::vector<uint8_t> noise(5000);
    uint32_t x = 12345;
    for (auto& b : noise) b = static_cast<uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
    writeFile(dir + "/noise.wma", noise);
    EXPECT_EQ(refused(dir + "/noise.wma"), BASS_ERROR_FILEFORM);
    writeFile(dir + "/cut-header.wma", std::vector<uint8_t>(good.begin(), good.begin() + 200));
    EXPECT_EQ(refused(dir + "/cut-header.wma"), BASS_ERROR_FILEFORM);
    writeFile(dir + "/empty.wma", {});
    EXPECT_EQ(refused(dir + "/empty.wma"), BASS_ERROR_FILEFORM);
    EXPECT_EQ(refused(dir + "/missing.wma"), BASS_ERROR_FILEOPEN);
    // An MP3 is not the add-on's to play.
    EXPECT_EQ(refused(Files::get().mp3), BASS_ERROR_FILEFORM);
    EXPECT_EQ(refused(WmaFiles::get().protectedV2), BASS_ERROR_WMA_LICENSE);
    EXPECT_EQ(BASS_WMA_StreamCreateFile(TRUE, good.data(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);

    // The names that are not offered say so.
    EXPECT_EQ(BASS_WMA_StreamCreateFileUser(FALSE, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    EXPECT_EQ(BASS_WMA_GetIWMReader(1), nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    EXPECT_EQ(BASS_WMA_EncodeOpenFile(44100, 2, 0, 128000, "out.wma"), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
}

TEST_F(WmaFile, CutInItsDataPlaysWhatIsThereAndEnds) {
    const auto good = readFile(WmaFiles::get().v2);
    const std::string path = fixtureDir() + "/cut-data.wma";
    writeFile(path, std::vector<uint8_t>(good.begin(), good.begin() + static_cast<ptrdiff_t>(good.size() / 2)));
    const DWORD ch = BASS_WMA_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    std::vector<int16_t> heard;
    ASSERT_NO_FATAL_FAILURE(playToTheEnd(ch, heard));
    EXPECT_GT(heard.size() / 2, 44100u);      // about the first half was there
    EXPECT_LT(heard.size() / 2, 4 * 44100u);
    EXPECT_TRUE(BASS_StreamFree(ch));
}

// With flag 4 the name is an address: libbass's network reader fetches the file from a
// server on 127.0.0.1 started here, and the sound is the local file's.
TEST_F(WmaFile, OverTheNetworkSoundsLikeTheLocalFile) {
    const WmaFiles& files = WmaFiles::get();
    NetServer server(fixtureDir());
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 1500);
    const DWORD local = BASS_WMA_StreamCreateFile(FALSE, files.v2.c_str(), 0, 0, 0);
    ASSERT_NE(local, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(local, FALSE));
    const auto reference = renderUntilStopped(local, 10);
    BASS_StreamFree(local);

    const DWORD ch =
        BASS_WMA_StreamCreateFile(FALSE, server.http("/files/tone-v2.wma").c_str(), 0, 0, BASS_WMA_NETWORK);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(ch, &info));
    EXPECT_EQ(info.ctype, DWORD{BASS_CTYPE_STREAM_WMA});
    EXPECT_EQ(info.flags & BASS_SAMPLE_LOOP, 0u);  // flag 4 named the address
    std::vector<int16_t> heard;
    ASSERT_NO_FATAL_FAILURE(playToTheEnd(ch, heard));
    ASSERT_GE(heard.size(), 3 * 44100u * 2);
    EXPECT_TRUE(std::equal(heard.begin(), heard.begin() + 3 * 44100 * 2, reference.begin()));
    EXPECT_GT(toneAmplitude(heard.data() + 2 * 44100 * 5 / 2, 44100, 2, 0, 1000, 44100), 0.4);
    EXPECT_TRUE(BASS_StreamFree(ch));

    auto refused = [](const std::string& address) {
        const DWORD h = BASS_WMA_StreamCreateFile(FALSE, address.c_str(), 0, 0, BASS_WMA_NETWORK);
        if (h) BASS_StreamFree(h);
        return h ? 0 : BASS_ErrorGetCode();
    };
    EXPECT_EQ(refused(server.http("/files/missing.wma")), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(refused("http://127.0.0.1:1/tone.wma"), BASS_ERROR_NONET);
    // A plain web server does not speak MMS: a clean refusal, in bounded time.
    std::string mms = server.http("/files/tone-v2.wma");
    mms.replace(0, 7, "mms://");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NE(refused(mms), 0) << mms;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(refused(files.v2), BASS_ERROR_ILLPARAM);  // a path is not an address
    EXPECT_EQ(BASS_WMA_StreamCreateFile(TRUE, "http://x", 0, 8, BASS_WMA_NETWORK), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 5000);
}

// The fuzz target's work over the generated files whole, cut short and with bytes
// overwritten (header and data alike). Nothing may crash, hang or leak.
TEST_F(WmaFile, FuzzCorpusReplays) {
    for (const std::string* path : {&WmaFiles::get().v1, &WmaFiles::get().v2, &WmaFiles::get().protectedV2}) {
        const auto bytes = readFile(*path);
        aubadine::basswma::fuzz::openAsf(bytes.data(), bytes.size());
        for (size_t cut : {size_t{16}, size_t{30}, size_t{100}, size_t{600}, bytes.size() / 3, bytes.size() - 1})
            aubadine::basswma::fuzz::openAsf(bytes.data(), std::min(cut, bytes.size()));
        for (uint32_t seed = 1; seed <= 8; ++seed) {
            auto damaged = bytes;
            uint32_t x = seed * 2654435761u;
            const size_t span = seed % 2 ? std::min<size_t>(damaged.size(), 800) : damaged.size();
            for (int n = 0; n < 30; ++n) {
                x = x * 1664525u + 1013904223u;
                damaged[x % span] = static_cast<uint8_t>(x >> 24);
            }
            aubadine::basswma::fuzz::openAsf(damaged.data(), damaged.size());
        }
    }
    SUCCEED();
}

}  // namespace
}  // namespace aubadine::bass::test

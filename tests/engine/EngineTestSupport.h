// Shared set-up for the engine tests: a Qt event loop for the message window and timer,
// every message box recorded instead of shown, and the fake audio library reset for each
// test. The engine loads the fake libraries from the test program's folder.
#pragma once

#include "BASSPlayer.h"
#include "FakeBass.h"
#include "MessageBox.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

struct RecordedBox {
    std::string text;
    std::string caption;
    TMessageIcon icon;
};

inline QCoreApplication& TestApp()
{
    static int argc = 1;
    static char name[] = "engine_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        fake = FakeBass_Control();
        fake->Reset();
        SetMessageBoxHandler([this](const std::string& t, const std::string& c, TMessageIcon i) {
            boxes.push_back({t, c, i});
        });
        dir = std::filesystem::temp_directory_path() /
              ("aubadine_engine_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }

    void TearDown() override
    {
        player.reset();
        SetMessageBoxHandler({});
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // Creates the engine and records its mode changes.
    TBASSPlayer& Make()
    {
        player = std::make_unique<TBASSPlayer>();
        player->OnModeChange = [this](TBASSPlayer*, TPlayerMode o, TPlayerMode n) { modes.emplace_back(o, n); };
        return *player;
    }

    // Lets posted messages reach the engine.
    static void Pump()
    {
        for (int i = 0; i < 3; ++i)
            ProcessMessages();
    }

    std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // The only channel the fake holds (tests open one source at a time).
    FakeChannel& OnlyChannel()
    {
        EXPECT_EQ(fake->channels.size(), 1u);
        return fake->channels.begin()->second;
    }

    FakeBassControl* fake = nullptr;
    std::unique_ptr<TBASSPlayer> player;
    std::vector<RecordedBox> boxes;
    std::vector<std::pair<TPlayerMode, TPlayerMode>> modes;
    std::filesystem::path dir;
};

// ---- small fixture files ----

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, in the given channel mode (0 stereo, 3 mono):
// frames of 417 bytes whose side information is silent.
inline std::vector<uint8_t> MakeMp3(int frames, int mode = 0)
{
    std::vector<uint8_t> out;
    for (int f = 0; f < frames; ++f) {
        std::vector<uint8_t> frame(417, 0);
        frame[0] = 0xFF;
        frame[1] = 0xFB;
        frame[2] = 0x90;
        frame[3] = static_cast<uint8_t>(0x04 | (mode << 6));
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

// A 128-byte ID3v1.1 tag.
inline std::vector<uint8_t> MakeId3v1(const std::string& title, const std::string& artist, uint8_t track,
                                      uint8_t genre)
{
    std::vector<uint8_t> tag(128, 0);
    std::memcpy(tag.data(), "TAG", 3);
    std::memcpy(tag.data() + 3, title.data(), std::min<size_t>(30, title.size()));
    std::memcpy(tag.data() + 33, artist.data(), std::min<size_t>(30, artist.size()));
    std::memcpy(tag.data() + 93, "1999", 4);
    tag[126] = track;
    tag[127] = genre;
    return tag;
}

// An ID3v2.3 tag with a TIT2 and a TRCK frame.
inline std::vector<uint8_t> MakeId3v2(const std::string& title, const std::string& track)
{
    std::vector<uint8_t> frames;
    auto frame = [&](const char* id, const std::string& text) {
        uint32_t size = static_cast<uint32_t>(text.size() + 1);
        frames.insert(frames.end(), id, id + 4);
        for (int s = 24; s >= 0; s -= 8)
            frames.push_back(static_cast<uint8_t>(size >> s));
        frames.push_back(0);
        frames.push_back(0);
        frames.push_back(0);  // ISO-8859-1
        frames.insert(frames.end(), text.begin(), text.end());
    };
    frame("TIT2", title);
    frame("TRCK", track);
    std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
    uint32_t size = static_cast<uint32_t>(frames.size());
    for (int s = 21; s >= 0; s -= 7)
        tag.push_back(static_cast<uint8_t>((size >> s) & 0x7F));
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Bytes with text placed at offset, the rest filled.
inline std::vector<uint8_t> BytesWithText(size_t size, size_t offset, const std::string& text, uint8_t fill = 0)
{
    std::vector<uint8_t> out(size, fill);
    std::memcpy(out.data() + offset, text.data(), text.size());
    return out;
}

inline void PutLE(std::vector<uint8_t>& b, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A canonical 44-byte-header PCM WAV with dataBytes of silence.
inline std::vector<uint8_t> MakeWav(int channels, uint32_t rate, int bits, uint32_t dataBytes)
{
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
    PutLE(b, 36 + dataBytes, 4);
    for (char c : std::string("WAVEfmt "))
        b.push_back(static_cast<uint8_t>(c));
    PutLE(b, 16, 4);
    PutLE(b, 1, 2);
    PutLE(b, static_cast<uint64_t>(channels), 2);
    PutLE(b, rate, 4);
    PutLE(b, rate * static_cast<uint32_t>(channels * bits / 8), 4);
    PutLE(b, static_cast<uint64_t>(channels * bits / 8), 2);
    PutLE(b, static_cast<uint64_t>(bits), 2);
    for (char c : std::string("data"))
        b.push_back(static_cast<uint8_t>(c));
    PutLE(b, dataBytes, 4);
    b.resize(b.size() + dataBytes, 0);
    return b;
}

// An Ogg page holding body (at most 255 * 255 bytes).
inline std::vector<uint8_t> OggPage(uint64_t granule, const std::vector<uint8_t>& body, uint32_t sequence)
{
    std::vector<uint8_t> b = {'O', 'g', 'g', 'S', 0, static_cast<uint8_t>(sequence == 0 ? 2 : 0)};
    PutLE(b, granule, 8);
    PutLE(b, 0x1234, 4);
    PutLE(b, sequence, 4);
    PutLE(b, 0, 4);
    std::vector<uint8_t> lacing;
    size_t left = body.size();
    for (;;) {
        size_t lace = std::min<size_t>(left, 255);
        lacing.push_back(static_cast<uint8_t>(lace));
        left -= lace;
        if (lace < 255)
            break;
    }
    b.push_back(static_cast<uint8_t>(lacing.size()));
    return Concat(Concat(b, lacing), body);
}

// An Ogg Vorbis file: identification and comment headers, then 10 s of (empty) audio pages.
inline std::vector<uint8_t> MakeOgg(int channels, const std::vector<std::string>& comments)
{
    std::vector<uint8_t> id = {1, 'v', 'o', 'r', 'b', 'i', 's'};
    PutLE(id, 0, 4);
    id.push_back(static_cast<uint8_t>(channels));
    PutLE(id, 44100, 4);
    PutLE(id, 0, 4);
    PutLE(id, 128000, 4);
    PutLE(id, 0, 4);
    id.push_back(0xB8);
    id.push_back(1);
    std::vector<uint8_t> file = OggPage(0, id, 0);

    std::vector<uint8_t> c = {3, 'v', 'o', 'r', 'b', 'i', 's'};
    PutLE(c, 4, 4);
    for (char ch : std::string("test"))
        c.push_back(static_cast<uint8_t>(ch));
    PutLE(c, comments.size(), 4);
    for (const std::string& s : comments) {
        PutLE(c, s.size(), 4);
        c.insert(c.end(), s.begin(), s.end());
    }
    c.push_back(1);
    file = Concat(file, OggPage(0, c, 1));
    for (uint32_t seq = 2; seq < 42; ++seq)
        file = Concat(file, OggPage(seq == 41 ? 441000 : 1000, std::vector<uint8_t>(4000, 0x5A), seq));
    return file;
}

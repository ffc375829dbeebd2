// What a listener hears and when, in real time: a pause or a stop is heard (and the
// position holds) at once; playing on after a pause continues from the very frame last
// heard; the next track, started from the previous one's end sync, follows within a few
// milliseconds; and BASS_GetInfo reports the output's latency from BASS_Init on. The bounds
// are generous (CI machines are busy); the exact figures are bass_bench's.
#include "Offline.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace aubadine::bass::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Frame i is (i % 30000 + 1, i / 30000 + 1): never silent, and each frame says which it is.
struct Counter {
    std::atomic<uint32_t> next{0};
    static DWORD proc(HSTREAM, void* buffer, DWORD length, void* user) {
        auto* self = static_cast<Counter*>(user);
        auto* out = static_cast<int16_t*>(buffer);
        const DWORD frames = length / 4;
        uint32_t i = self->next;
        for (DWORD f = 0; f < frames; ++f, ++i) {
            out[f * 2] = static_cast<int16_t>(i % 30000 + 1);
            out[f * 2 + 1] = static_cast<int16_t>(i / 30000 + 1);
        }
        self->next = i;
        return frames * 4;
    }
};

// A short burst of noise that ends by itself.
struct Burst {
    std::atomic<int> left{22050};
    uint32_t state = 1;
    static DWORD proc(HSTREAM, void* buffer, DWORD length, void* user) {
        auto* self = static_cast<Burst*>(user);
        auto* out = static_cast<int16_t*>(buffer);
        const DWORD frames = std::min<DWORD>(length / 4, static_cast<DWORD>(self->left.load()));
        for (DWORD i = 0; i < frames * 2; ++i) {
            self->state = self->state * 1664525u + 1013904223u;
            out[i] = static_cast<int16_t>(1000 + (self->state >> 22));  // never 0
        }
        self->left -= static_cast<int>(frames);
        return frames * 4 | (self->left == 0 ? BASS_STREAMPROC_END : 0);
    }
};

class Latency : public ::testing::Test {
protected:
    void TearDown() override {
        BASS_Free();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("SDL_DISKAUDIOFILE");
        unsetenv("SDL_DISKAUDIODELAY");
    }
    // SDL's disk writer, paced at `delayMs` a buffer.
    static std::string initDisk(const char* delayMs) {
        const std::string capture = fixtureDir() + "/latency-" + delayMs + ".raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", delayMs, 1);
        EXPECT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
        return capture;
    }
    static std::vector<int16_t> readCapture(const std::string& path) {
        const auto bytes = readFile(path);
        std::vector<int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }
    // How long after `from` the channel's position last moved, watching for `watch`.
    static std::chrono::duration<double, std::milli> untilPositionHolds(DWORD ch, Clock::time_point from,
                                                                       std::chrono::milliseconds watch) {
        QWORD last = BASS_ChannelGetPosition(ch);
        Clock::time_point moved = from;
        while (Clock::now() - from < watch) {
            const QWORD pos = BASS_ChannelGetPosition(ch);
            if (pos != last) moved = Clock::now();
            last = pos;
            std::this_thread::sleep_for(200us);
        }
        return moved - from;
    }
};

TEST_F(Latency, ReportedLatencyIsTheSameFromInitOnAndShort) {
    ASSERT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    BASS_INFO before{};
    before.size = sizeof before;
    ASSERT_TRUE(BASS_GetInfo(&before));
    Counter counter;
    const HSTREAM ch = BASS_StreamCreate(44100, 2, 0, &Counter::proc, &counter);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    std::this_thread::sleep_for(300ms);
    BASS_INFO after{};
    after.size = sizeof after;
    ASSERT_TRUE(BASS_GetInfo(&after));
    EXPECT_EQ(before.latency, after.latency);
    EXPECT_GT(after.latency, 0u);
    EXPECT_LE(after.latency, 25u);
}

// Five pauses and five stops of a playing stream: each time, the heard position stops
// moving within 60 ms (it took about 128 ms when the whole mix was queued ahead).
TEST_F(Latency, PauseAndStopAreHeardAtOnce) {
    ASSERT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    Counter counter;
    const HSTREAM ch = BASS_StreamCreate(44100, 2, 0, &Counter::proc, &counter);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    std::vector<double> pauses, stops;
    for (int round = 0; round < 5; ++round) {
        std::this_thread::sleep_for(150ms);
        auto at = Clock::now();
        ASSERT_TRUE(BASS_ChannelPause(ch));
        pauses.push_back(untilPositionHolds(ch, at, 250ms).count());
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        std::this_thread::sleep_for(150ms);
        at = Clock::now();
        ASSERT_TRUE(BASS_ChannelStop(ch));
        stops.push_back(untilPositionHolds(ch, at, 250ms).count());
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    }
    std::sort(pauses.begin(), pauses.end());
    std::sort(stops.begin(), stops.end());
    EXPECT_LT(pauses[2], 60.0) << "median ms from BASS_ChannelPause until the position held";
    EXPECT_LT(stops[2], 60.0) << "median ms from BASS_ChannelStop until the position held";
    EXPECT_TRUE(BASS_StreamFree(ch));
}

// Through SDL's disk writer: the frames that reach the output across pauses, a stop and
// plays are the stream's frames in order, none skipped and none twice, and the position at
// the end is exactly what was heard.
TEST_F(Latency, PlayingOnContinuesFromTheFrameLastHeard) {
    const std::string capture = initDisk("5");
    Counter counter;
    const HSTREAM ch = BASS_StreamCreate(44100, 2, 0, &Counter::proc, &counter);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    for (int round = 0; round < 4; ++round) {
        std::this_thread::sleep_for(120ms);
        ASSERT_TRUE(round == 2 ? BASS_ChannelStop(ch) : BASS_ChannelPause(ch));
        std::this_thread::sleep_for(60ms);
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    }
    std::this_thread::sleep_for(120ms);
    ASSERT_TRUE(BASS_ChannelPause(ch));
    std::this_thread::sleep_for(100ms);
    const QWORD heldAt = BASS_ChannelGetPosition(ch);
    ASSERT_TRUE(BASS_Free());

    const auto samples = readCapture(capture);
    uint32_t expected = 0;
    size_t wrong = 0;
    for (size_t f = 0; f + 1 < samples.size(); f += 2) {
        if (samples[f] == 0 && samples[f + 1] == 0) continue;  // silence while paused
        const auto want0 = static_cast<int16_t>(expected % 30000 + 1);
        const auto want1 = static_cast<int16_t>(expected / 30000 + 1);
        if (samples[f] != want0 || samples[f + 1] != want1) {
            if (wrong++ < 3) ADD_FAILURE() << "frame " << f / 2 << " of the capture is not stream frame " << expected;
        }
        ++expected;
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_GT(expected, 44100u / 4);
    EXPECT_EQ(heldAt, QWORD{expected} * 4) << "the position says what was heard";
}

// The player's way from one track to the next: the END sync starts the next file. The
// silence between them, as written to the output, stays within three 256-frame buffers
// (it was one to two 1024-frame buffers, 23-46 ms, before).
TEST_F(Latency, NextTrackFromTheEndSyncFollowsClosely) {
    const std::string capture = initDisk("10");
    struct Next {
        std::string file;
        std::atomic<DWORD> channel{0};
    } next{Files::get().wav, {}};
    Burst burst;
    const HSTREAM first = BASS_StreamCreate(44100, 2, 0, &Burst::proc, &burst);
    BASS_ChannelSetSync(first, BASS_SYNC_END, 0, [](HSYNC, DWORD, uintptr_t, void* user) {
        auto* n = static_cast<Next*>(user);
        const HSTREAM ch = BASS_StreamCreateFile(FALSE, n->file.c_str(), 0, 0, 0);
        BASS_ChannelPlay(ch, FALSE);
        n->channel = ch;
    }, &next);
    ASSERT_TRUE(BASS_ChannelPlay(first, FALSE));
    const auto start = Clock::now();
    while ((next.channel == 0 || BASS_ChannelGetPosition(next.channel) < 44100 * 4 / 5) && Clock::now() - start < 10s)
        std::this_thread::sleep_for(5ms);
    ASSERT_NE(next.channel.load(), 0u);
    ASSERT_TRUE(BASS_Free());

    const auto samples = readCapture(capture);
    const size_t frames = samples.size() / 2;
    auto silent = [&](size_t f) { return samples[f * 2] == 0 && samples[f * 2 + 1] == 0; };
    size_t f = 0;
    while (f < frames && silent(f)) ++f;      // before the burst
    while (f < frames && !silent(f)) ++f;     // the burst
    const size_t gapStart = f;
    while (f < frames && silent(f)) ++f;      // the gap (and the tone's first zero sample)
    ASSERT_LT(f, frames) << "the next track was not heard";
    const double gapMs = static_cast<double>(f - gapStart) * 1000.0 / 44100.0;
    EXPECT_LT(gapMs, 17.5) << "silence between the tracks";
}

}  // namespace
}  // namespace aubadine::bass::test

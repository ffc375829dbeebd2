// The library at rest: while nothing plays, its threads sleep. The process's CPU time over
// a few seconds stays near zero after BASS_Init, with a channel paused, and with every
// channel stopped or freed; and the first sound after a rest still comes at once. On SDL's
// dummy output, and on an output whose clock runs ahead of the wall clock (SDL's disk
// writer to /dev/null, asking for a buffer every 10 ms instead of every 23 ms).
#include "Offline.h"

#include <SDL.h>

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

namespace aubadine::bass::test {
namespace {

using namespace std::chrono_literals;

double processCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

// CPU seconds the whole process uses over `wall` of doing nothing itself.
double cpuOver(std::chrono::milliseconds wall) {
    const double before = processCpuSeconds();
    std::this_thread::sleep_for(wall);
    return processCpuSeconds() - before;
}

// A steady tone, endless.
DWORD tone(HSTREAM, void* buffer, DWORD length, void* user) {
    auto* phase = static_cast<double*>(user);
    auto* out = static_cast<int16_t*>(buffer);
    for (DWORD i = 0; i < length / 4; ++i) {
        out[i * 2] = out[i * 2 + 1] = static_cast<int16_t>(8000 * std::sin(*phase));
        *phase += 2 * M_PI * 440 / 44100;
    }
    return length & ~3u;
}

// A generous bound: well under 2 % of a core even where CPU time is counted coarsely.
constexpr double kRestingCpu = 0.15;
constexpr auto kWindow = 3s;

class Idle : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (std::string(GetParam()) == "fast") {
            setenv("SDL_AUDIODRIVER", "disk", 1);
            setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
            setenv("SDL_DISKAUDIODELAY", "10", 1);
        } else {
            setenv("SDL_AUDIODRIVER", "dummy", 1);
        }
        // A short ring makes any drift between the output's clock and the mixer's show early.
        BASS_SetConfig(BASS_CONFIG_BUFFER, 20);
        ASSERT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    }
    void TearDown() override {
        BASS_Free();
        BASS_SetConfig(BASS_CONFIG_BUFFER, 100);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    HSTREAM playTone(double* phase) {
        const HSTREAM ch = BASS_StreamCreate(44100, 2, 0, &tone, phase);
        EXPECT_NE(ch, 0u);
        EXPECT_TRUE(BASS_ChannelPlay(ch, FALSE));
        return ch;
    }
    // Waits until the heard position of `ch` moves; returns how long that took.
    static std::chrono::milliseconds untilHeard(HSTREAM ch) {
        const QWORD from = BASS_ChannelGetPosition(ch);
        const auto start = std::chrono::steady_clock::now();
        while (BASS_ChannelGetPosition(ch) == from && std::chrono::steady_clock::now() - start < 5s)
            std::this_thread::sleep_for(1ms);
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    }
};

TEST_P(Idle, NothingCreatedOrPlaying) {
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(cpuOver(kWindow), kRestingCpu);
}

TEST_P(Idle, OneStreamPausedAndThenResumed) {
    double phase = 0;
    const HSTREAM ch = playTone(&phase);
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(BASS_ChannelPause(ch));
    ASSERT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_PAUSED});
    // Long enough for the ring and the output's buffer to have played out.
    std::this_thread::sleep_for(2s);
    EXPECT_LT(cpuOver(kWindow), kRestingCpu);
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_PAUSED});

    // Resuming wakes the mixer at once: the heard position moves within a few device periods.
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_LT(untilHeard(ch), 300ms);
    EXPECT_TRUE(BASS_StreamFree(ch));
}

TEST_P(Idle, EveryStreamStoppedOrFreed) {
    double a = 0, b = 0;
    const HSTREAM first = playTone(&a);
    const HSTREAM second = playTone(&b);
    const HSTREAM file = BASS_StreamCreateFile(FALSE, Files::get().wav.c_str(), 0, 0, 0);
    ASSERT_TRUE(BASS_ChannelPlay(file, FALSE));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(BASS_ChannelStop(first));
    ASSERT_TRUE(BASS_StreamFree(second));
    // The file (2 s) plays to its end and stops by itself.
    const auto start = std::chrono::steady_clock::now();
    while (BASS_ChannelIsActive(file) != BASS_ACTIVE_STOPPED && std::chrono::steady_clock::now() - start < 10s)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(BASS_ChannelIsActive(file), DWORD{BASS_ACTIVE_STOPPED});
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(cpuOver(kWindow), kRestingCpu);

    // A new channel after the rest is heard at once too.
    double c = 0;
    const HSTREAM third = playTone(&c);
    EXPECT_LT(untilHeard(third), 300ms);
    EXPECT_TRUE(BASS_StreamFree(third));
    EXPECT_TRUE(BASS_StreamFree(first));
    EXPECT_TRUE(BASS_StreamFree(file));
}

// The state of the library's SDL device: SDL_AUDIO_STOPPED when none is open.
SDL_AudioStatus deviceStatus() {
    for (SDL_AudioDeviceID id = 1; id < 16; ++id)
        if (const SDL_AudioStatus s = SDL_GetAudioDeviceStatus(id); s != SDL_AUDIO_STOPPED) return s;
    return SDL_AUDIO_STOPPED;
}

// Waits up to 2 s for the device to reach `status`.
bool deviceReaches(SDL_AudioStatus status) {
    for (int i = 0; i < 400 && deviceStatus() != status; ++i) std::this_thread::sleep_for(5ms);
    return deviceStatus() == status;
}

// On an output that can rest (not SDL's disk writer, which writes silence while paused),
// the device is paused while nothing is heard, so that SDL's thread does not call the
// library every few milliseconds, and it plays again for the first sound.
TEST_P(Idle, TheOutputDeviceRestsWhileNothingPlays) {
    if (std::string(GetParam()) == "fast") GTEST_SKIP() << "the disk writer does not rest";
    EXPECT_TRUE(deviceReaches(SDL_AUDIO_PAUSED)) << "after BASS_Init";
    double phase = 0;
    const HSTREAM ch = playTone(&phase);
    EXPECT_EQ(deviceStatus(), SDL_AUDIO_PLAYING) << "woken before the first sound";
    EXPECT_LT(untilHeard(ch), 300ms);
    ASSERT_TRUE(BASS_ChannelPause(ch));
    EXPECT_TRUE(deviceReaches(SDL_AUDIO_PAUSED)) << "with the only channel paused";
    const QWORD held = BASS_ChannelGetPosition(ch);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_EQ(deviceStatus(), SDL_AUDIO_PLAYING);
    EXPECT_LT(untilHeard(ch), 300ms);
    EXPECT_GE(BASS_ChannelGetPosition(ch), held);
    ASSERT_TRUE(BASS_ChannelStop(ch));
    EXPECT_TRUE(deviceReaches(SDL_AUDIO_PAUSED)) << "with the only channel stopped";
    // BASS_Pause and BASS_Start keep their meaning while the device rests.
    ASSERT_TRUE(BASS_Pause());
    ASSERT_TRUE(BASS_Start());
    EXPECT_TRUE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_EQ(deviceStatus(), SDL_AUDIO_PLAYING);
    EXPECT_TRUE(BASS_StreamFree(ch));
    EXPECT_TRUE(deviceReaches(SDL_AUDIO_PAUSED)) << "with the only channel freed";
}

INSTANTIATE_TEST_SUITE_P(Outputs, Idle, ::testing::Values("dummy", "fast"),
                         [](const auto& p) { return std::string(p.param); });

}  // namespace
}  // namespace aubadine::bass::test

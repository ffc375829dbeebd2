// A test fixture with the library initialised on device 0 (no sound) at 44100 Hz and full
// volumes, driven frame by frame through AUBADINE_BASS_Render, and the generated files.
#pragma once

#include "Fixtures.h"
#include "bass.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace aubadine::bass::test {

// Generated once per test program.
struct Files {
    std::string wav, mp3, ogg, mp2, monoWav, u8Wav, mod;
    std::string chainedOgg;  // two Ogg files one after the other: chainFirst, then chainSecond
    Pcm tone;      // what wav, mp3 and ogg were made from: 2 s stereo at 44100 Hz
    Pcm chainFirst, chainSecond;
    std::vector<uint8_t> modBytes;
    static const Files& get();
};

class Offline : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Renders `frames` frames (stereo) and returns them.
    static std::vector<int16_t> render(size_t frames);
    // Renders in blocks of `block` frames until the channel is no longer active, at most
    // maxSeconds; returns everything rendered.
    static std::vector<int16_t> renderUntilStopped(DWORD channel, double maxSeconds = 30, size_t block = 512);
};

// Counts sync callbacks and lets a test wait for them.
struct SyncCounter {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    DWORD channel = 0;
    void* user = nullptr;
    static void callback(HSYNC, DWORD channel, uintptr_t, void* user);
    bool waitFor(int n);  // false after 10 s without reaching n
};

// Logs each sync call with the channel's position at that moment, in the order of the calls.
struct SyncLog {
    struct Call {
        HSYNC sync;
        QWORD position;
        bool operator==(const Call&) const = default;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Call> calls;
    static void callback(HSYNC sync, DWORD channel, uintptr_t, void* user);
    bool waitFor(size_t n);  // false after 10 s without reaching n calls
    std::vector<Call> snapshot();
};

}  // namespace aubadine::bass::test

// The library in real time on SDL's dummy output (the suite's SDL_AUDIODRIVER): the mixer
// thread, the output thread and the sync thread against callers on several threads. Mainly
// for ThreadSanitizer; each wait is bounded and short.
#include "Offline.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <numbers>
#include <string>
#include <thread>

namespace aubadine::bass::test {
namespace {

using namespace std::chrono_literals;

class RealTime : public ::testing::Test {
protected:
    void SetUp() override {
        Files::get();
        BASS_SetConfig(BASS_CONFIG_MAXVOL, 255);
        ASSERT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    }
    void TearDown() override { BASS_Free(); }
};

struct Noise {
    std::atomic<uint32_t> state{1};
    std::atomic<int> left{-1};  // frames still to give; -1 = endless
    static DWORD proc(HSTREAM, void* buffer, DWORD length, void* user) {
        auto* self = static_cast<Noise*>(user);
        auto* out = static_cast<int16_t*>(buffer);
        DWORD frames = length / 4;
        bool end = false;
        if (self->left >= 0) {
            frames = std::min<DWORD>(frames, static_cast<DWORD>(self->left.load()));
            self->left -= static_cast<int>(frames);
            end = self->left == 0;
        }
        uint32_t s = self->state;
        for (DWORD i = 0; i < frames * 2; ++i) {
            s = s * 1664525u + 1013904223u;
            out[i] = static_cast<int16_t>(s >> 20);
        }
        self->state = s;
        return frames * 4 | (end ? BASS_STREAMPROC_END : 0);
    }
};

std::atomic<int> gDspCalls{0};
void countingDsp(HDSP, DWORD, void*, DWORD, void*) { ++gDspCalls; }

TEST_F(RealTime, CallersOnManyThreadsWhileTheMixerPlays) {
    Noise noise;
    const HSTREAM user = BASS_StreamCreate(44100, 2, 0, &Noise::proc, &noise);
    const HSTREAM file = BASS_StreamCreateFile(FALSE, Files::get().ogg.c_str(), 0, 0, BASS_SAMPLE_LOOP);
    ASSERT_TRUE(user && file);
    const HFX eq = BASS_ChannelSetFX(file, BASS_FX_PARAMEQ, 1);
    const HFX echo = BASS_ChannelSetFX(user, BASS_FX_ECHO, 11);
    BASS_ChannelSetDSP(user, &countingDsp, nullptr, 0);
    ASSERT_TRUE(BASS_ChannelPlay(user, FALSE));
    ASSERT_TRUE(BASS_ChannelPlay(file, FALSE));

    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {  // the visualization side
        std::vector<float> fft(2048);
        std::vector<int16_t> wave(576 * 2);
        while (!stop) {
            BASS_ChannelGetData(file, nullptr, 0);
            BASS_ChannelGetData(file, fft.data(), BASS_DATA_FFT2048 | BASS_DATA_FFT_INDIVIDUAL);
            BASS_ChannelGetData(user, wave.data(), static_cast<DWORD>(wave.size() * 2));
            BASS_ChannelGetLevel(user);
            std::this_thread::sleep_for(1ms);
        }
    });
    threads.emplace_back([&] {  // the user interface
        int i = 0;
        while (!stop) {
            BASS_ChannelGetPosition(file);
            BASS_ChannelIsActive(user);
            BASS_ChannelSetAttributes(user, -1, -1, (i++ % 200) - 100);
            BASS_FXPARAMEQ p{1000, 12, static_cast<float>(i % 30 - 15)};
            BASS_FXSetParameters(eq, &p);
            BASS_FXECHO e{};
            if (BASS_FXGetParameters(echo, &e)) {
                e.fWetDryMix = static_cast<float>(i % 100);
                BASS_FXSetParameters(echo, &e);
            }
            BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, static_cast<DWORD>(i % 256));
            std::this_thread::sleep_for(1ms);
        }
    });
    for (int round = 0; round < 5; ++round) {
        std::this_thread::sleep_for(40ms);
        BASS_ChannelPause(file);
        BASS_ChannelSetPosition(file, BASS_ChannelSeconds2Bytes(file, 0.5f * round));
        BASS_ChannelPlay(file, FALSE);
    }
    stop = true;
    for (auto& t : threads) t.join();
    EXPECT_GT(gDspCalls.load(), 0);
    EXPECT_TRUE(BASS_StreamFree(file));
    EXPECT_TRUE(BASS_StreamFree(user));  // before `noise` goes
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 255);
}

TEST_F(RealTime, EndSyncArrivesOnALibraryThreadAndMayCallTheLibrary) {
    Noise noise;
    noise.left = 4410;  // 0.1 s
    const HSTREAM ch = BASS_StreamCreate(44100, 2, 0, &Noise::proc, &noise);
    struct Seen {
        SyncCounter counter;
        std::thread::id thread;
        DWORD activeInside = 99;
        bool freed = false;
    } seen;
    const std::thread::id self = std::this_thread::get_id();
    auto sync = [](HSYNC h, DWORD channel, uintptr_t data, void* user) {
        auto* s = static_cast<Seen*>(user);
        s->thread = std::this_thread::get_id();
        s->activeInside = BASS_ChannelIsActive(channel);
        s->freed = BASS_StreamFree(channel) != FALSE;
        SyncCounter::callback(h, channel, data, &s->counter);
    };
    ASSERT_NE(BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, sync, &seen), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    ASSERT_TRUE(seen.counter.waitFor(1));
    std::lock_guard lock(seen.counter.mutex);
    EXPECT_NE(seen.thread, self);
    EXPECT_EQ(seen.activeInside, DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_TRUE(seen.freed);
}

// A position sync is called once its position is heard; with MIXTIME, as soon as the mixer
// reaches it, which is before (by the output's buffer, a few ms: too short a time to
// check the position inside the call on a busy machine, so the order is what is checked).
TEST_F(RealTime, PositionSyncsAtTheHeardPositionOrWhenMixed) {
    const HSTREAM ch = BASS_StreamCreateFile(FALSE, Files::get().wav.c_str(), 0, 0, 0);
    ASSERT_NE(ch, 0u);
    const QWORD target = BASS_ChannelSeconds2Bytes(ch, 0.3f);
    SyncLog log;
    const HSYNC heard = BASS_ChannelSetSync(ch, BASS_SYNC_POS, target, &SyncLog::callback, &log);
    const HSYNC mixed = BASS_ChannelSetSync(ch, BASS_SYNC_POS | BASS_SYNC_MIXTIME, target, &SyncLog::callback, &log);
    ASSERT_TRUE(heard && mixed);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    ASSERT_TRUE(log.waitFor(2));
    const auto calls = log.snapshot();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].sync, mixed);
    EXPECT_EQ(calls[1].sync, heard);
    EXPECT_GE(calls[1].position, target);
    EXPECT_LT(calls[1].position, target + BASS_ChannelSeconds2Bytes(ch, 0.25f));  // generous: a busy machine
}

TEST_F(RealTime, FreeingTheDeviceFromACallbackIsRefused) {
    Noise noise;
    const HSTREAM ch = BASS_StreamCreate(44100, 2, 0, &Noise::proc, &noise);
    static std::atomic<int> result{-1}, error{-1};
    BASS_ChannelSetDSP(
        ch,
        [](HDSP, DWORD, void*, DWORD, void*) {
            if (result == -1) {
                result = BASS_Free();
                error = BASS_ErrorGetCode();
            }
        },
        nullptr, 0);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    for (int i = 0; i < 5000 && result == -1; ++i) std::this_thread::sleep_for(2ms);
    EXPECT_EQ(result.load(), FALSE);
    EXPECT_EQ(error.load(), BASS_ERROR_UNKNOWN);
    // A DSP may free its own channel: the mixer lets go of it after the call.
    static std::atomic<bool> freedInside{false};
    Noise more;
    const HSTREAM other = BASS_StreamCreate(44100, 2, 0, &Noise::proc, &more);
    BASS_ChannelSetDSP(
        other, [](HDSP, DWORD channel, void*, DWORD, void*) { freedInside = BASS_StreamFree(channel) != FALSE; },
        nullptr, 0);
    ASSERT_TRUE(BASS_ChannelPlay(other, FALSE));
    for (int i = 0; i < 5000 && !freedInside; ++i) std::this_thread::sleep_for(2ms);
    EXPECT_TRUE(freedInside.load());
    EXPECT_EQ(BASS_ChannelIsActive(other), DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_TRUE(BASS_StreamFree(ch));  // before `noise` goes
}

TEST_F(RealTime, OutputPauseHoldsThePositionAndStopStopsEveryChannel) {
    const HSTREAM ch = BASS_StreamCreateFile(FALSE, Files::get().wav.c_str(), 0, 0, 0);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(BASS_Pause());
    std::this_thread::sleep_for(30ms);
    const QWORD held = BASS_ChannelGetPosition(ch);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(BASS_ChannelGetPosition(ch), held);
    ASSERT_TRUE(BASS_Start());
    ASSERT_TRUE(BASS_Stop());
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_FALSE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_START);
    ASSERT_TRUE(BASS_Start());
    EXPECT_TRUE(BASS_ChannelPlay(ch, FALSE));
}

// A sync callback that creates streams (which holds the library's device objects for a
// moment) while another thread frees the device: BASS_Free succeeds and nothing aborts.
TEST(RealTimeShutdown, FreeWhileASyncCallbackCreatesStreams) {
    const std::string wav = Files::get().wav;
    for (int round = 0; round < 8; ++round) {
        ASSERT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
        Noise noise;
        noise.left = 441;
        const HSTREAM ch = BASS_StreamCreate(44100, 2, 0, &Noise::proc, &noise);
        struct Inside {
            std::string file;
            std::atomic<bool> started{false};
        } inside{wav};
        BASS_ChannelSetSync(
            ch, BASS_SYNC_END, 0,
            [](HSYNC, DWORD, uintptr_t, void* user) {
                auto* in = static_cast<Inside*>(user);
                in->started = true;
                const auto until = std::chrono::steady_clock::now() + 30ms;
                while (std::chrono::steady_clock::now() < until) {
                    if (const HSTREAM s = BASS_StreamCreateFile(FALSE, in->file.c_str(), 0, 0, 0)) BASS_StreamFree(s);
                }
            },
            &inside);
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        for (int i = 0; i < 2000 && !inside.started; ++i) std::this_thread::sleep_for(1ms);
        ASSERT_TRUE(inside.started.load());
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 3));
        EXPECT_TRUE(BASS_Free()) << BASS_ErrorGetCode();
    }
}

// Once BASS_ChannelRemoveSync or BASS_StreamFree has returned, the sync is not called again,
// even when its call was already queued or running.
TEST_F(RealTime, NoSyncRunsAfterItsRemovalOrItsChannelsFreeReturns) {
    struct Guarded {
        std::atomic<bool> gone{false};
        std::atomic<int> calls{0};
        std::atomic<int> afterGone{0};
    };
    auto slow = [](HSYNC, DWORD, uintptr_t, void* user) {
        auto* g = static_cast<Guarded*>(user);
        ++g->calls;
        std::this_thread::sleep_for(20ms);  // the remover comes in meanwhile
        if (g->gone) ++g->afterGone;
    };
    for (int round = 0; round < 6; ++round) {
        Noise a, b;
        a.left = b.left = 441;
        const HSTREAM first = BASS_StreamCreate(44100, 2, 0, &Noise::proc, &a);
        const HSTREAM second = BASS_StreamCreate(44100, 2, 0, &Noise::proc, &b);
        Guarded one, two;
        // Two syncs each, so that the second is still queued while the first runs.
        const HSYNC s1 = BASS_ChannelSetSync(first, BASS_SYNC_END, 0, slow, &one);
        const HSYNC s2 = BASS_ChannelSetSync(first, BASS_SYNC_END, 0, slow, &one);
        BASS_ChannelSetSync(second, BASS_SYNC_END, 0, slow, &two);
        BASS_ChannelSetSync(second, BASS_SYNC_END, 0, slow, &two);
        ASSERT_TRUE(BASS_ChannelPlay(first, FALSE));
        ASSERT_TRUE(BASS_ChannelPlay(second, FALSE));
        for (int i = 0; i < 3000 && one.calls == 0; ++i) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 2));
        const BOOL r1 = BASS_ChannelRemoveSync(first, s1);
        const BOOL r2 = BASS_ChannelRemoveSync(first, s2);
        if (r1 && r2) one.gone = true;
        ASSERT_TRUE(BASS_StreamFree(second));
        two.gone = true;
        std::this_thread::sleep_for(60ms);
        EXPECT_EQ(one.afterGone.load(), 0);
        EXPECT_EQ(two.afterGone.load(), 0);
        BASS_StreamFree(first);
    }
}

// A slow DSP or stream callback holds up only what needs the source: calls on the same
// channel from another thread (state, position, level, attributes, pause) answer at once.
TEST_F(RealTime, ASlowCallbackDoesNotHoldUpCallsOnItsChannel) {
    struct Slow {
        std::atomic<bool> inside{false};
        std::atomic<bool> release{false};
        Noise noise;
        static void dsp(HDSP, DWORD, void*, DWORD, void* user) { static_cast<Slow*>(user)->hold(); }
        static DWORD stream(HSTREAM h, void* buffer, DWORD length, void* user) {
            static_cast<Slow*>(user)->hold();
            return Noise::proc(h, buffer, length, &static_cast<Slow*>(user)->noise);
        }
        void hold() {
            if (release) return;
            inside = true;
            for (int i = 0; i < 1000 && !release; ++i) std::this_thread::sleep_for(1ms);
        }
    };
    for (bool viaDsp : {true, false}) {
        SCOPED_TRACE(viaDsp ? "DSP" : "STREAMPROC");
        Slow slow;
        Noise noise;
        const HSTREAM ch = viaDsp ? BASS_StreamCreate(44100, 2, 0, &Noise::proc, &noise)
                                  : BASS_StreamCreate(44100, 2, 0, &Slow::stream, &slow);
        ASSERT_NE(ch, 0u);
        if (viaDsp) BASS_ChannelSetDSP(ch, &Slow::dsp, &slow, 0);
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        for (int i = 0; i < 3000 && !slow.inside; ++i) std::this_thread::sleep_for(1ms);
        ASSERT_TRUE(slow.inside.load());
        const auto start = std::chrono::steady_clock::now();
        BASS_ChannelGetPosition(ch);
        BASS_ChannelIsActive(ch);
        BASS_ChannelGetLevel(ch);
        BASS_ChannelSetAttributes(ch, -1, 50, 0);
        DWORD volume = 0;
        BASS_ChannelGetAttributes(ch, nullptr, &volume, nullptr);
        EXPECT_TRUE(BASS_ChannelPause(ch));
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_FALSE(slow.release.load()) << "the callback ended before the calls were made";
        slow.release = true;
        EXPECT_LT(took, 200ms);
        EXPECT_EQ(volume, 50u);
        EXPECT_TRUE(BASS_StreamFree(ch));
    }
}

// After each resume, the heard frame falls for a moment between the block mixed before the
// pause and the first one after it: the position must hold there, not run off.
TEST_F(RealTime, PositionsStayMonotonicAcrossPausesAndResumes) {
    const HSTREAM ch = BASS_StreamCreateFile(FALSE, Files::get().wav.c_str(), 0, 0, 0);
    ASSERT_NE(ch, 0u);
    const QWORD length = BASS_StreamGetLength(ch);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    QWORD last = 0;
    int backwards = 0, beyond = 0;
    for (int round = 0; round < 6; ++round) {
        std::this_thread::sleep_for(50ms);
        ASSERT_TRUE(BASS_ChannelPause(ch));
        std::this_thread::sleep_for(150ms);
        last = BASS_ChannelGetPosition(ch);
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        const auto until = std::chrono::steady_clock::now() + 80ms;
        while (std::chrono::steady_clock::now() < until) {
            const QWORD pos = BASS_ChannelGetPosition(ch);
            backwards += pos < last;
            beyond += pos > length;
            last = pos;
            std::this_thread::sleep_for(200us);
        }
    }
    EXPECT_EQ(backwards, 0);
    EXPECT_EQ(beyond, 0);
    EXPECT_TRUE(BASS_StreamFree(ch));
}

}  // namespace
}  // namespace aubadine::bass::test

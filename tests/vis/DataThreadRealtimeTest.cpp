// The visualization thread for real: our audio library plays a known tone on SDL's dummy
// output in real time, the thread runs at a 25 ms period, and a reader on the test's
// thread acts as the host (reads each finished block, then clears DataReady).
#include "Dynamic_Bass.h"
#include "VisDrive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace bass = Dynamic_Bass;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kRate = 44100.0;

struct Tone {
    std::atomic<double> frequency{1000.0};
    double phase = 0.0;  // mixer thread only
    static DWORD Proc(HSTREAM, void* buffer, DWORD length, void* user)
    {
        auto* self = static_cast<Tone*>(user);
        auto* out = static_cast<int16_t*>(buffer);
        const double step = 2 * std::numbers::pi * self->frequency.load() / kRate;
        for (DWORD i = 0; i < length / 4; ++i) {
            const auto s = static_cast<int16_t>(std::lround(16384.0 * std::sin(self->phase)));
            out[2 * i] = out[2 * i + 1] = s;
            self->phase = std::fmod(self->phase + step, 2 * std::numbers::pi);
        }
        return length;
    }
};

std::atomic_ref<uint32_t> Ready(TVisSharedBlock* b)
{
    return std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(b) + 280));
}

class DataThreadRealtime : public ::testing::Test {
protected:
    Tone tone;
    HSTREAM stream = 0;
    uint32_t message = 0;
    TVisSharedBlock* block = nullptr;
    std::unique_ptr<TVisDataThread> thread;

    void SetUp() override
    {
        ::setenv("AUBADINE_VIS_SHARE", ("AubadineVisRt" + std::to_string(::getpid())).c_str(), 1);
        ASSERT_TRUE(bass::LoadBassLibrary(std::string(AUBADINE_BIN_DIR) + "/libbass.so"));
        ASSERT_TRUE(bass::BASS_Init(1, 44100, 0, nullptr, nullptr)) << bass::BASS_ErrorGetCode();
        stream = bass::BASS_StreamCreate(44100, 2, 0, &Tone::Proc, &tone);
        ASSERT_NE(stream, 0u);
        ASSERT_TRUE(bass::BASS_ChannelPlay(stream, FALSE));
        thread = std::make_unique<TVisDataThread>(message, block);
        ASSERT_TRUE(thread->Ready());
        thread->SetStreamFormat(stream, 44100, 2);
    }
    void TearDown() override
    {
        thread.reset();
        bass::BASS_Free();
        bass::UnloadBassLibrary();
    }
    // Waits up to Limit for a finished block; copies it and hands it back to the thread.
    bool Take(TVisSharedBlock& copy, std::chrono::milliseconds limit = 1500ms)
    {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            if (Ready(block).load(std::memory_order_acquire) == 1) {
                std::memcpy(&copy, block, sizeof(copy));
                Ready(block).store(0, std::memory_order_release);
                return true;
            }
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }
};

int PeakBin(const uint8_t* section)
{
    return static_cast<int>(std::max_element(section, section + 576) - section) + 1;  // byte 0 is bin 1
}

TEST_F(DataThreadRealtime, KnownTonePeaksAtItsBinAndTheWaveformHoldsIt)
{
    thread->ApplyRequest(TVisRequest{0, 25, 1, 1});
    thread->StartOutput();
    TVisSharedBlock b{};
    ASSERT_TRUE(Take(b));
    ASSERT_TRUE(Take(b));  // a block of steady sound
    const int expected = static_cast<int>(std::lround(1000.0 * 2048 / kRate));  // 46
    EXPECT_NEAR(PeakBin(b.Data), expected, 1);
    EXPECT_EQ(b.DataSampleRate, 44100u);
    EXPECT_EQ(b.DataChannels, 2u);
    // Amplitude 16384: high bytes swing between about 0xC0 and 0x40.
    const auto* wave = reinterpret_cast<const int8_t*>(b.Data + 576);
    const int hi = *std::max_element(wave, wave + 576);
    const int lo = *std::min_element(wave, wave + 576);
    EXPECT_NEAR(hi, 63, 2);
    EXPECT_NEAR(lo, -64, 2);
    // About 13 samples of 1000 Hz per cycle at 44100: count the rising zero crossings.
    int rising = 0;
    for (int i = 1; i < 576; ++i)
        rising += wave[i - 1] < 0 && wave[i] >= 0;
    EXPECT_NEAR(rising, 576 * 1000.0 / kRate, 1.5);

    tone.frequency = 3000.0;
    std::this_thread::sleep_for(400ms);  // the history window moves past the old tone
    ASSERT_TRUE(Take(b));
    ASSERT_TRUE(Take(b));
    EXPECT_NEAR(PeakBin(b.Data), std::lround(3000.0 * 2048 / kRate), 1);
}

TEST_F(DataThreadRealtime, FirstBlockAfterAQuarterSecondThenThePeriod)
{
    thread->ApplyRequest(TVisRequest{0, 25, 2, 2});
    const auto start = Clock::now();
    thread->StartOutput();
    TVisSharedBlock b{};
    ASSERT_TRUE(Take(b));
    const auto first = Clock::now() - start;
    EXPECT_GE(first, 240ms);
    EXPECT_LT(first, 600ms);
    // The timer keeps the period: 80 ticks of 25 ms in 2 s, within 20 %. Each tick whose
    // wake-up was on time writes a block; a loaded machine wakes the thread late now and
    // then, and a late wake-up writes one block for the periods it missed.
    int blocks = 0;
    const uint64_t ticksBefore = thread->Ticks();
    const auto end = Clock::now() + 2s;
    while (Clock::now() < end)
        blocks += Take(b, std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()));
    const auto ticks = static_cast<int>(thread->Ticks() - ticksBefore);
    EXPECT_GE(ticks, 64);
    EXPECT_LE(ticks, 96);
    EXPECT_LE(blocks, ticks + 1);
    EXPECT_GE(blocks, ticks / 2) << blocks << " blocks for " << ticks << " ticks";
}

TEST_F(DataThreadRealtime, PausedOrNeverStartedWritesNothing)
{
    thread->ApplyRequest(TVisRequest{0, 25, 1, 0});
    TVisSharedBlock b{};
    EXPECT_FALSE(Take(b, 500ms)) << "no host linked: the thread never ran";

    thread->StartOutput();
    ASSERT_TRUE(Take(b));
    thread->Suspend();
    EXPECT_TRUE(thread->Suspended());
    Ready(block).store(0);
    std::vector<uint8_t> before(block->Data, block->Data + 576);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(Ready(block).load(), 0u);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), block->Data));

    // Resumed with the same period; a period change re-arms the timer.
    thread->StartOutput();
    ASSERT_TRUE(Take(b));
    thread->SetPeriod(50);
    ASSERT_TRUE(Take(b));
    const uint64_t ticksBefore = thread->Ticks();
    std::this_thread::sleep_for(1s);
    const auto ticks = static_cast<int>(thread->Ticks() - ticksBefore);
    EXPECT_GE(ticks, 16);
    EXPECT_LE(ticks, 24);

    // A paused channel: ticks come, nothing is written.
    ASSERT_TRUE(bass::BASS_ChannelPause(stream));
    std::this_thread::sleep_for(100ms);
    Ready(block).store(0);
    EXPECT_FALSE(Take(b, 300ms));
}

TEST_F(DataThreadRealtime, RequestAfterStartStillGivesThePeriod)
{
    thread->StartOutput();  // linked while playing, no request yet: a one-shot first tick
    TVisSharedBlock b{};
    ASSERT_TRUE(Take(b));
    std::this_thread::sleep_for(1200ms);  // past the one-second wait of the body
    EXPECT_FALSE(thread->Ended());
    const uint64_t ticksBefore = thread->Ticks();
    thread->ApplyRequest(TVisRequest{0, 25, 1, 0});
    int blocks = 0;
    const auto end = Clock::now() + 1s;
    while (Clock::now() < end)
        blocks += Take(b, std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()));
    EXPECT_GE(thread->Ticks() - ticksBefore, 24u) << "250 ms, then a tick every 25 ms";
    EXPECT_GE(blocks, 12);
}

}  // namespace

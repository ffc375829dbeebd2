// One tick of the visualization thread against the audio library's test double: what the
// spectrum and waveform sections hold for each request and channel count, the byte
// conversions, the DataReady hand-shake with its skip count, and the ticks that write
// nothing. The thread itself is not started here (see DataThreadRealtimeTest.cpp).
#include "Dynamic_Bass.h"
#include "FakeBass.h"
#include "VisDrive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

class DataThread : public ::testing::Test {
protected:
    FakeBassControl& fake = *FakeBass_Control();
    uint32_t message = 0;
    TVisSharedBlock* block = nullptr;
    std::unique_ptr<TVisDataThread> thread;
    uint32_t stream = 0;

    void SetUp() override
    {
        ::setenv("AUBADINE_VIS_SHARE", ("AubadineVisTick" + std::to_string(::getpid())).c_str(), 1);
        fake.Reset();
        ASSERT_TRUE(Dynamic_Bass::LoadBassLibrary(std::string(AUBADINE_TEST_BIN_DIR) + "/libbass.so"));
        thread = std::make_unique<TVisDataThread>(message, block);
        ASSERT_TRUE(thread->Ready());
        ASSERT_NE(block, nullptr);
        EXPECT_NE(message, 0u);
        Channel(2);
    }
    void TearDown() override { thread.reset(); }

    void Channel(uint32_t chans)
    {
        fake.defaultSource.chans = chans;
        stream = FakeBass_CreateChannel("tone", "StreamCreateFile");
        fake.Find(stream)->state = BASS_ACTIVE_PLAYING;
        fake.buffered = chans * 2048;
        thread->SetStreamFormat(stream, 44100, chans);
    }
    void Request(uint32_t spectrum, uint32_t wave)
    {
        thread->ApplyRequest(TVisRequest{0, 25, spectrum, wave});
    }
    // Marks every data byte so that untouched ones show.
    void Mark() { std::memset(block->Data, 0xEE, sizeof(block->Data)); }
};

TEST_F(DataThread, MixedSpectrumScaledTruncatedAndWrapped)
{
    fake.fft2048.assign(1024, 0.0f);
    fake.fft2048[1] = 0.6f;     // 512 * 0.6 = 307.2 -> 307 -> 51
    fake.fft2048[2] = 0.25f;    // 128
    fake.fft2048[576] = 0.499f; // 255.488 -> 255
    fake.fft2048[577] = 1.0f;   // beyond the section: never written
    Request(1, 0);
    Mark();
    thread->WriteBlock();
    EXPECT_EQ(block->DataReady, 1u);
    EXPECT_EQ(block->DataSampleRate, 44100u);
    EXPECT_EQ(block->DataChannels, 2u);
    EXPECT_EQ(block->Data[0], 51);
    EXPECT_EQ(block->Data[1], 128);
    EXPECT_EQ(block->Data[2], 0);
    EXPECT_EQ(block->Data[575], 255);
    EXPECT_EQ(block->Data[576], 0xEE) << "one section of 576 bytes, the rest untouched";

    thread->SetVisScale(1024);
    block->DataReady = 0;
    thread->WriteBlock();
    EXPECT_EQ(block->Data[0], static_cast<uint8_t>(614));  // 614.4 -> 614 -> 102
}

TEST_F(DataThread, StereoGivesTwoSetsPerChannelMonoTheSameSetTwice)
{
    fake.fft2048.assign(2048, 0.0f);
    fake.fft2048[2 * 10] = 0.1f;      // first channel, bin 10
    fake.fft2048[2 * 20 + 1] = 0.2f;  // second channel, bin 20
    Request(2, 0);
    Mark();
    thread->WriteBlock();
    EXPECT_EQ(block->Data[9], 51);
    EXPECT_EQ(block->Data[19], 0);
    EXPECT_EQ(block->Data[576 + 19], 102);
    EXPECT_EQ(block->Data[576 + 9], 0);
    EXPECT_EQ(block->Data[1152], 0xEE);
    EXPECT_EQ(fake.Count("BASS_ChannelGetData(" + std::to_string(stream) + "," +
                         std::to_string(BASS_DATA_FFT2048 | BASS_DATA_FFT_INDIVIDUAL) + ")"),
              1);

    Channel(1);
    fake.fft2048.assign(1024, 0.0f);
    fake.fft2048[7] = 0.1f;
    block->DataReady = 0;
    Mark();
    thread->WriteBlock();
    EXPECT_EQ(block->DataChannels, 1u);
    EXPECT_EQ(block->Data[6], 51);
    EXPECT_EQ(block->Data[576 + 6], 51);
    EXPECT_EQ(0, std::memcmp(block->Data, block->Data + 576, 576));
}

TEST_F(DataThread, WaveformHighBytesOfTheFirstChannels)
{
    // Six channels: sample i*6 + c holds channel c.
    Channel(6);
    fake.samples.assign(576 * 6, 0);
    for (int i = 0; i < 576; ++i) {
        fake.samples[i * 6] = static_cast<int16_t>(i == 0 ? -1 : i == 1 ? 0x7FFF : i == 2 ? -32768 : 0x1200);
        fake.samples[i * 6 + 1] = 0x3400;
        fake.samples[i * 6 + 2] = 0x5600;
    }
    Request(0, 2);
    Mark();
    thread->WriteBlock();
    EXPECT_EQ(block->DataChannels, 2u) << "capped at 2";
    EXPECT_EQ(block->Data[0], 0xFF) << "the waveform starts at offset 296 without a spectrum";
    EXPECT_EQ(block->Data[1], 0x7F);
    EXPECT_EQ(block->Data[2], 0x80);
    EXPECT_EQ(block->Data[3], 0x12);
    EXPECT_EQ(block->Data[575], 0x12);
    EXPECT_EQ(block->Data[576], 0x34);
    EXPECT_EQ(block->Data[1151], 0x34);
    EXPECT_EQ(block->Data[1152], 0xEE);

    // Mono asked for two: the one channel twice, after a mixed spectrum set.
    Channel(1);
    fake.samples.assign(576, 0x4100);
    fake.fft2048.assign(1024, 0.0f);
    Request(1, 2);
    block->DataReady = 0;
    Mark();
    thread->WriteBlock();
    EXPECT_EQ(block->Data[576], 0x41);
    EXPECT_EQ(block->Data[1151], 0x41);
    EXPECT_EQ(block->Data[1152], 0x41);
    EXPECT_EQ(block->Data[1727], 0x41);
    EXPECT_EQ(block->Data[1728], 0xEE);

    // More than eight channels: the spectrum only.
    Channel(9);
    Request(1, 2);
    block->DataReady = 0;
    Mark();
    thread->WriteBlock();
    EXPECT_EQ(block->DataReady, 1u);
    EXPECT_EQ(block->Data[575], 0);
    EXPECT_EQ(block->Data[576], 0xEE);
}

TEST_F(DataThread, UnreadBlocksAreKeptForNineTicksAndOverwrittenAtTheTenth)
{
    fake.fft2048.assign(1024, 0.0f);
    Request(1, 0);
    thread->SetVisPosition(1000);
    thread->WriteBlock();
    ASSERT_EQ(block->Position, 1000u);
    thread->SetVisPosition(2000);
    for (int tick = 1; tick <= 9; ++tick) {
        thread->WriteBlock();
        ASSERT_EQ(block->Position, 1000u) << "tick " << tick;
    }
    thread->WriteBlock();
    EXPECT_EQ(block->Position, 2000u);
    EXPECT_EQ(block->DataReady, 1u);

    // The host takes it: the next tick writes at once. StartOutput clears the flag.
    block->DataReady = 0;
    thread->SetVisPosition(3000);
    thread->WriteBlock();
    EXPECT_EQ(block->Position, 3000u);
    thread->StartOutput();
    EXPECT_EQ(block->DataReady, 0u);
    thread->Suspend();
}

TEST_F(DataThread, NothingIsWrittenUnlessPlayingWithEnoughDecoded)
{
    fake.fft2048.assign(1024, 0.5f);
    Request(1, 1);
    fake.Find(stream)->state = BASS_ACTIVE_PAUSED;
    thread->WriteBlock();
    EXPECT_EQ(block->DataReady, 0u);
    fake.Find(stream)->state = BASS_ACTIVE_PLAYING;
    fake.buffered = 2 * 2048 - 1;
    thread->WriteBlock();
    EXPECT_EQ(block->DataReady, 0u);
    EXPECT_EQ(block->Data[0], 0);
    fake.buffered = 2 * 2048;
    thread->WriteBlock();
    EXPECT_EQ(block->DataReady, 1u);
    EXPECT_EQ(block->Data[0], 0);  // 256 wraps to 0
}

TEST_F(DataThread, PeriodRules)
{
    EXPECT_EQ(thread->Period(), 0u);
    thread->SetPeriod(3);
    EXPECT_EQ(thread->Period(), 10u) << "at least 10 ms";
    Request(1, 1);
    EXPECT_EQ(thread->Period(), 25u);
}

}  // namespace

// Sound effects on the channel, the flanger DSP and the spectrum levels.
#include "EngineTestSupport.h"

#include <numeric>

namespace {

int CountEffects(const FakeChannel& ch, uint32_t type)
{
    return static_cast<int>(std::count_if(ch.effects.begin(), ch.effects.end(), [&](auto& e) { return e.type == type; }));
}

}  // namespace

TEST_F(EngineTest, EffectsRequestedWithoutChannelAreAppliedAtOpen)
{
    Make();
    player->SetSoundEffects(1);
    EXPECT_EQ(player->EffectFlags(), 1);
    EXPECT_EQ(fake->Count("BASS_ChannelSetDSP"), 0);
    ASSERT_TRUE(player->Open("http://host/a.mp3"));
    EXPECT_EQ(OnlyChannel().dsps.size(), 1u);
    // The next channel gets its own.
    ASSERT_TRUE(player->Open("http://host/b.mp3"));
    EXPECT_EQ(OnlyChannel().dsps.size(), 1u);
    player->SetSoundEffects(0);
    EXPECT_TRUE(OnlyChannel().dsps.empty());
}

TEST_F(EngineTest, WithoutDirectX8OnlyTheFlangerIsSet)
{
    fake->dsver = 7;
    Make();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Warning");
    EXPECT_FALSE(player->DX8EffectReady());
    ASSERT_TRUE(player->Open("http://host/a.mp3"));
    player->SetSoundEffects(15);
    EXPECT_EQ(OnlyChannel().dsps.size(), 1u);
    EXPECT_TRUE(OnlyChannel().effects.empty());
}

TEST_F(EngineTest, EqualizerIsSetOnceAndItsParametersRenewed)
{
    Make();
    ASSERT_TRUE(player->Open("http://host/a.mp3"));
    player->SetSoundEffects(2);
    player->SetSoundEffects(2);
    FakeChannel& ch = OnlyChannel();
    ASSERT_EQ(CountEffects(ch, BASS_FX_PARAMEQ), 10);
    EXPECT_EQ(fake->Count("BASS_ChannelSetFX"), 10);
    EXPECT_EQ(fake->Count("BASS_FXSetParameters"), 20);
    const float centers[] = {80, 170, 310, 600, 1000, 3000, 6000, 10000, 12000, 14000};
    const float widths[] = {4, 4, 4, 4, 5, 6, 5, 4, 3, 3};
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(ch.effects[i].priority, i + 1);
        EXPECT_EQ(ch.effects[i].params, (std::vector<float>{centers[i], widths[i], 0.0f}));
    }
    player->SetSoundEffects(0);
    EXPECT_TRUE(ch.effects.empty());
}

TEST_F(EngineTest, EchoAndReverbParameters)
{
    Make();
    ASSERT_TRUE(player->Open("http://host/a.mp3"));
    player->SetSoundEffects(4 | 8);
    FakeChannel& ch = OnlyChannel();
    ASSERT_EQ(ch.effects.size(), 2u);
    EXPECT_EQ(ch.effects[0].type, uint32_t{BASS_FX_ECHO});
    EXPECT_EQ(ch.effects[0].priority, 11u);
    // Mix and feedback set; the delays as the effect had them.
    EXPECT_EQ(ch.effects[0].params, (std::vector<float>{16 * 1.2f, 30, 500, 500, 0}));
    EXPECT_EQ(ch.effects[1].type, uint32_t{BASS_FX_REVERB});
    EXPECT_EQ(ch.effects[1].priority, 12u);
    EXPECT_EQ(ch.effects[1].params, (std::vector<float>{0, -8, 1000, 0.1f}));
}

TEST_F(EngineTest, RefusedEffectsAreTriedAgainNextTime)
{
    Make();
    ASSERT_TRUE(player->Open("http://host/a.mp3"));
    fake->fxRefused = true;
    player->SetSoundEffects(4);
    EXPECT_TRUE(OnlyChannel().effects.empty());
    fake->fxRefused = false;
    player->SetSoundEffects(4);
    EXPECT_EQ(OnlyChannel().effects.size(), 1u);
}

// ---- spectrum levels ----

class SpectrumTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        Make();
        player->OnNewFFTData = [this](TBASSPlayer*, TBandOut& b) { delivered.push_back(b); };
        ASSERT_TRUE(player->Open("http://host/a.mp3"));
        player->Play();
        fake->fft.assign(256, 0.0f);
    }

    // One tick with band 0 at the given new value.
    uint16_t TickBand0(int value)
    {
        fake->fft[1] = static_cast<float>(value) / 80.0f;
        player->TimerTick();
        return player->BandOut()[0];
    }

    std::vector<TBandOut> delivered;
};

TEST_F(SpectrumTest, LevelsJumpUpAndFallByTwo)
{
    EXPECT_TRUE(player->TimerEnabled());
    struct Step {
        int newValue;
        uint16_t level;
    } steps[] = {{1, 1}, {0, 0}, {10, 10}, {3, 8}, {9, 9}, {0, 7}, {0, 5}, {40, 40}};
    for (const Step& s : steps)
        EXPECT_EQ(TickBand0(s.newValue), s.level) << "new " << s.newValue;
    EXPECT_TRUE(player->TimerEnabled());
    Pump();
    EXPECT_EQ(delivered.size(), std::size(steps));
}

TEST_F(SpectrumTest, BandsTakeTheirPeakBinWithRisingWeight)
{
    // Band 24 covers bins 157..180; band 3 bins 4..6; bin 0 belongs to no band.
    fake->fft[0] = 1.0f;
    fake->fft[170] = 0.5f;
    fake->fft[160] = 0.25f;
    fake->fft[5] = 0.1f;
    player->TimerTick();
    const TBandOut& b = player->BandOut();
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[24], 184);  // 4.6 * 0.5 * 80
    EXPECT_EQ(b[3], 12);    // 1.45 * 0.1 * 80 = 11.6
    EXPECT_EQ(std::accumulate(b.begin(), b.end(), 0), 184 + 12);
}

TEST_F(SpectrumTest, FailedDataClearsLevelsAndPausedChannelStopsTheTimer)
{
    TickBand0(50);
    fake->fft.clear();  // the library has no data
    player->TimerTick();
    EXPECT_EQ(player->BandOut()[0], 0);
    EXPECT_TRUE(player->TimerEnabled());

    player->Pause();
    fake->getDataCalls = 0;
    player->TimerTick();
    EXPECT_FALSE(player->TimerEnabled());
    EXPECT_EQ(fake->getDataCalls, 0);
    player->Resume();
    EXPECT_TRUE(player->TimerEnabled());
}

TEST_F(EngineTest, NoSpectrumConsumerNoTimer)
{
    Make();
    ASSERT_TRUE(player->Open("http://host/a.mp3"));
    player->Play();
    EXPECT_FALSE(player->TimerEnabled());
}

// ---- the flanger ----

TEST(Flanger, EchoesTheSignalAboutHalfTheLineLater)
{
    ResetFlanger();
    std::vector<int16_t> frames(2 * 400, 0);
    frames[0] = 1000;   // left impulse
    frames[1] = -1000;  // right impulse
    FlangerDSP(0, 0, frames.data(), static_cast<DWORD>(frames.size() * 2), nullptr);
    EXPECT_EQ(frames[0], 1000);  // the dry signal passes
    // The delay starts at 175 frames and grows slowly: the echo is split between two frames.
    int left = 0, right = 0;
    for (int f = 1; f < 400; ++f) {
        left += frames[2 * f];
        right += frames[2 * f + 1];
        if (f < 170 || f > 180) {
            EXPECT_EQ(frames[2 * f], 0) << f;
        }
    }
    EXPECT_NEAR(left, 1000, 4);  // each of the two parts is truncated
    EXPECT_NEAR(right, -1000, 4);
}

TEST(Flanger, LimitsAndLeavesAPartialFrameAlone)
{
    ResetFlanger();
    // Loud samples meet their own echo after 175 frames: the sum is limited.
    std::vector<int16_t> loud(2 * 350, 30000);
    FlangerDSP(0, 0, loud.data(), static_cast<DWORD>(loud.size() * 2), nullptr);
    EXPECT_EQ(*std::max_element(loud.begin(), loud.end()), 32767);

    ResetFlanger();
    std::vector<int16_t> neg(2 * 350, -30000);
    FlangerDSP(0, 0, neg.data(), static_cast<DWORD>(neg.size() * 2), nullptr);
    EXPECT_EQ(*std::min_element(neg.begin(), neg.end()), -32768);

    // Three samples: one whole frame and half of another, which is not read or written.
    auto partial = std::make_unique<int16_t[]>(3);
    partial[0] = 1;
    partial[1] = 2;
    partial[2] = 3;
    FlangerDSP(0, 0, partial.get(), 6, nullptr);
    EXPECT_EQ(partial[2], 3);
}

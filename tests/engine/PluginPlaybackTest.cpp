// The engine playing through a real input plug-in (in_tone.so from tests/Plugins) and the
// output emulator, with the fake audio library standing in for the mixer: the test pulls
// the emulator's user stream itself.
#include "EngineTestSupport.h"

#include "OutputEmulatorDetail.h"
#include "PluginCtrl.h"

namespace {

class PluginEngineTest : public EngineTest {
protected:
    void TearDown() override
    {
        player.reset();  // stops the plug-in and shuts the host down
        EngineTest::TearDown();
    }

    std::string ToneFile(const std::string& name, const std::string& body)
    {
        return WriteFile(name, std::vector<uint8_t>(body.begin(), body.end()));
    }

    // Pumps messages until done() or about five seconds have passed.
    static bool PumpUntil(const std::function<bool()>& done)
    {
        for (int i = 0; i < 500 && !done(); ++i) {
            ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }

    // Plays the emulator's stream as the mixer would, up to its end, without letting
    // messages through; pulls only whole blocks until the plug-in has written total bytes.
    // Returns the samples heard.
    std::vector<int16_t> PullToTheEnd(uint32_t total)
    {
        const HSTREAM s = emulator_detail::Stream();
        fake->pulled.clear();
        for (int i = 0; i < 5000; ++i) {
            auto st = emulator_detail::State();
            if (st.used < 4096 && st.written < total) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (FakeBass_PullUserStream(s, 4096) & BASS_STREAMPROC_END)
                break;
        }
        return Samples();
    }

    std::vector<int16_t> Samples() const
    {
        std::vector<int16_t> pcm(fake->pulled.size() / 2);
        std::memcpy(pcm.data(), fake->pulled.data(), pcm.size() * 2);
        return pcm;
    }

    bool StreamPlaying()
    {
        FakeChannel* c = fake->Find(emulator_detail::Stream());
        return c && c->state == BASS_ACTIVE_PLAYING;
    }
};

int Peak(const std::vector<int16_t>& pcm)
{
    int peak = 0;
    for (int16_t s : pcm)
        peak = std::max(peak, std::abs(int{s}));
    return peak;
}

}  // namespace

TEST_F(PluginEngineTest, AToneFilePlaysThroughThePluginToItsEnd)
{
    Make();
    ASSERT_EQ(LoadPlugin("in_tone.so"), plDone);
    const std::string path = ToneFile("a.ton", "frequency=1000\nlength=1000\ntitle=Beep\n");

    TStreamInfo info;
    int slot = -2;
    TDecoderChoice decoder = dcNone;
    ASSERT_TRUE(player->GetStreamInfo(path, info, slot, decoder));
    EXPECT_EQ(decoder, dcPlugin);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(info.Duration, 1000u);
    EXPECT_EQ(info.Title, "Beep");
    // Longer extensions are never asked about, whatever the plug-ins list.
    EXPECT_FALSE(player->GetStreamInfo(ToneFile("b.tone", "frequency=1\n"), info, slot, decoder));

    int ended = 0;
    player->OnPlayEnd = [&](TBASSPlayer*) { ++ended; };
    ASSERT_TRUE(player->Open(path));
    EXPECT_EQ(player->ChannelKind(), ckPlugin);
    EXPECT_EQ(ActivePlugin(), 0);
    player->Play();
    EXPECT_EQ(player->Mode(), plmPlaying);

    ASSERT_TRUE(PumpUntil([&] { return StreamPlaying() && !player->Busy() && player->TimerEnabled() == false; }));
    ASSERT_TRUE(PumpUntil([&] { return player->StreamInfo().SampleRate == 44100; }));
    EXPECT_EQ(player->Channel(), emulator_detail::Stream());
    EXPECT_EQ(player->StreamInfo().Channels, 2);
    EXPECT_EQ(player->StreamInfo().BitRate, 1411);  // from the plug-in's SetInfo

    const auto pcm = PullToTheEnd(176400);
    EXPECT_EQ(pcm.size(), 88200u);     // one second of stereo frames
    EXPECT_NEAR(Peak(pcm), 9830, 2);   // the tone, 0.3 of full scale
    ASSERT_TRUE(PumpUntil([&] { return ended == 1; }));
    EXPECT_EQ(player->Mode(), plmStopped);
    EXPECT_EQ(emulator_detail::Stream(), 0u);  // the plug-in closed its output

    // The plug-in that played last is still the active one.
    EXPECT_EQ(UnloadPlugin("in_tone.so"), plInUse);
}

TEST_F(PluginEngineTest, SeekPauseAndStopGoThroughThePlugin)
{
    Make();
    ASSERT_EQ(LoadPlugin("in_tone.so"), plDone);
    ASSERT_TRUE(player->Open(ToneFile("long.ton", "frequency=440\nlength=20000\n")));
    EXPECT_TRUE(player->Seekable());
    EXPECT_EQ(player->GetPlayLength(), 20000u);
    player->Play();
    ASSERT_TRUE(PumpUntil([&] { return StreamPlaying(); }));
    ASSERT_TRUE(PumpUntil([&] { return emulator_detail::State().used > 80000; }));

    // A seek empties the ring, and the sound restarts once the plug-in has refilled it.
    player->SetPosition(12000);
    EXPECT_FALSE(player->Busy());
    EXPECT_EQ(player->GetPosition(), 12000u);
    EXPECT_TRUE(StreamPlaying());
    EXPECT_GE(emulator_detail::State().written, 70560u);

    player->Pause();
    EXPECT_EQ(player->Mode(), plmPaused);
    EXPECT_EQ(fake->Find(emulator_detail::Stream())->state, static_cast<uint32_t>(BASS_ACTIVE_PAUSED));
    player->Resume();
    EXPECT_TRUE(StreamPlaying());

    player->SetVolume(100);
    EXPECT_EQ(fake->config[BASS_CONFIG_GVOL_STREAM], 100u);

    player->Stop();
    EXPECT_EQ(player->Mode(), plmStopped);
    EXPECT_EQ(emulator_detail::Stream(), 0u);
}

TEST_F(PluginEngineTest, MisbehavingPluginsEndTheirTrackCleanly)
{
    Make();
    ASSERT_EQ(LoadPlugin("in_tone.so"), plDone);
    int ended = 0;
    player->OnPlayEnd = [&](TBASSPlayer*) { ++ended; };

    // Writes more than fits: refused writes, one box, and the track still ends (its end of
    // file comes before anything was heard: the engine's wait for the sound plays it).
    fake->userStreamsPlay = true;
    ASSERT_TRUE(player->Open(ToneFile("over.ton", "frequency=440\nlength=1000\nmisbehave=overwrite\n")));
    player->Play();
    ASSERT_TRUE(PumpUntil([&] { return ended == 1; }));
    EXPECT_GE(fake->pulled.size(), 70560u);
    EXPECT_LT(fake->pulled.size(), 88200u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Write error : No Space");

    // Never says that its file has ended: the drained stream ends the track instead.
    ASSERT_TRUE(player->Open(ToneFile("noend.ton", "frequency=440\nlength=1000\nmisbehave=noend\n")));
    player->Play();
    ASSERT_TRUE(PumpUntil([&] { return StreamPlaying(); }));
    fake->userStreamsPlay = false;
    const auto pcm = PullToTheEnd(176400);
    EXPECT_EQ(pcm.size(), 88200u);
    ASSERT_TRUE(PumpUntil([&] { return ended == 2; }));
    EXPECT_EQ(player->Mode(), plmStopped);
}

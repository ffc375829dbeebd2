// Playback control: Play in each mode, Pause, Resume, Stop, positions, seeking, volume and
// the end of a track as the window procedure sees it.
#include "EngineTestSupport.h"

#include "System.h"

namespace {
const char* kUrl = "http://host/a.mp3";
}

TEST_F(EngineTest, PlayInEachMode)
{
    Make();
    ASSERT_TRUE(player->Open(kUrl));
    const std::string h = std::to_string(player->Channel());
    FakeChannel& ch = OnlyChannel();

    // Ready: starts from the beginning and sets the one end sync.
    fake->calls.clear();
    player->Play();
    EXPECT_EQ(player->Mode(), plmPlaying);
    EXPECT_EQ(fake->Count("BASS_ChannelPlay(" + h + ",1)"), 1);
    ASSERT_EQ(ch.syncs.size(), 2u);  // download complete and end
    EXPECT_EQ(ch.syncs[1].type, uint32_t{BASS_SYNC_END});

    // Playing: nothing.
    fake->calls.clear();
    modes.clear();
    player->Play();
    EXPECT_TRUE(fake->calls.empty());
    EXPECT_TRUE(modes.empty());

    // Paused: resumes where it was.
    player->Pause();
    ch.position = 4000;
    fake->calls.clear();
    player->Play();
    EXPECT_EQ(player->Mode(), plmPlaying);
    EXPECT_EQ(fake->Count("BASS_ChannelPlay(" + h + ",0)"), 1);
    EXPECT_EQ(ch.position, 4000u);

    // Stopped: from 0 ms again, with no second end sync. The network file is not seekable
    // before its download, so the restart itself goes back to the start.
    player->Stop();
    EXPECT_EQ(player->Mode(), plmStopped);
    player->Play();
    EXPECT_EQ(player->Mode(), plmPlaying);
    EXPECT_EQ(ch.position, 0u);
    EXPECT_EQ(ch.syncs.size(), 2u);
}

TEST_F(EngineTest, PlayWithoutAChannelOrRefusedByTheLibraryChangesNothing)
{
    Make();
    player->Play();
    EXPECT_TRUE(modes.empty());
    ASSERT_TRUE(player->Open(kUrl));
    fake->playRefused = true;
    modes.clear();
    player->Play();
    EXPECT_TRUE(modes.empty());
    EXPECT_EQ(player->Mode(), plmReady);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(EngineTest, StopActsOnlyWhilePlaying)
{
    Make();
    ASSERT_TRUE(player->Open(kUrl));
    player->Play();
    player->Pause();
    modes.clear();
    fake->calls.clear();
    player->Stop();
    EXPECT_TRUE(modes.empty());
    EXPECT_TRUE(fake->calls.empty());
    EXPECT_EQ(player->Mode(), plmPaused);

    player->SetPaused(false);
    player->Stop();
    ASSERT_EQ(modes.size(), 2u);
    EXPECT_EQ(modes[1], std::make_pair(plmPlaying, plmStopped));
    // Pause and resume only fit their modes.
    modes.clear();
    player->SetPaused(false);
    player->Pause();
    EXPECT_TRUE(modes.empty());
}

TEST_F(EngineTest, SeekingUpToTheLengthExactly)
{
    Make();
    std::string mp3 = WriteFile("a.mp3", MakeMp3(20));
    ASSERT_TRUE(player->Open(mp3));
    FakeChannel& ch = OnlyChannel();
    ASSERT_EQ(player->GetPlayLength(), 10000u);

    player->SetPosition(10000);
    EXPECT_EQ(ch.position, 1764000u);
    EXPECT_EQ(player->GetPosition(), 10000u);

    player->SetPosition(2500);
    EXPECT_EQ(player->GetPosition(), 2500u);
    fake->calls.clear();
    player->SetPosition(10001);
    EXPECT_EQ(fake->Count("BASS_ChannelSetPosition"), 0);
    EXPECT_EQ(player->GetPosition(), 2500u);

    // A failing position query counts as 0.
    ch.position = ~uint64_t{0};
    EXPECT_EQ(player->GetPosition(), 0u);
}

TEST_F(EngineTest, NetworkFileBecomesSeekableWhenDownloaded)
{
    Make();
    ASSERT_TRUE(player->Open(kUrl));
    EXPECT_FALSE(player->Seekable());
    fake->calls.clear();
    player->SetPosition(1000);
    EXPECT_EQ(fake->Count("BASS_ChannelSetPosition"), 0);

    FakeChannel& ch = OnlyChannel();
    ch.syncs[0].proc(ch.syncs[0].handle, player->Channel(), 0, ch.syncs[0].user);  // download complete
    Pump();
    EXPECT_TRUE(player->Seekable());
    player->SetPosition(1000);
    EXPECT_EQ(player->GetPosition(), 1000u);
}

TEST_F(EngineTest, PausedModuleKeepsItsPosition)
{
    Make();
    std::string mod = WriteFile("tune.xm", BytesWithText(600, 17, "tune"));
    ASSERT_TRUE(player->Open(mod));
    EXPECT_EQ(player->GetPosition(), 0u);  // not started: the channel is stopped
    player->Play();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    player->Pause();
    uint32_t at = player->GetPosition();
    EXPECT_GE(at, 50u);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(player->GetPosition(), at);

    // Resuming continues from there; seeking moves the clock with the module.
    player->Resume();
    EXPECT_GE(player->GetPosition(), at);
    EXPECT_LT(player->GetPosition(), at + 50);
    player->SetPosition(5000);
    EXPECT_GE(player->GetPosition(), 5000u);
    EXPECT_LT(player->GetPosition(), 5050u);
    EXPECT_EQ(fake->Count("BASS_ChannelSetPosition(" + std::to_string(player->Channel()) + ",0xffffffffffff0005)"), 1);
}

TEST_F(EngineTest, VolumeIsLimitedTo255AndSetsBothGlobalVolumes)
{
    Make();
    player->SetVolume(300);
    EXPECT_EQ(player->Volume(), 255u);
    player->SetVolume(100);
    EXPECT_EQ(player->Volume(), 100u);
    EXPECT_EQ(fake->config[BASS_CONFIG_GVOL_MUSIC], 100u);
    EXPECT_EQ(fake->config[BASS_CONFIG_GVOL_STREAM], 100u);
}

TEST_F(EngineTest, PluginFirstMessage)
{
    Make();
    for (LPARAM l : {LPARAM{2}, LPARAM{0}, LPARAM{1}}) {
        PostMessage(player->MessageWindow(), WM_PLUGIN_FIRST, 0, l);
        Pump();
        EXPECT_EQ(player->PluginFirst(), l != 0);
    }
}

TEST_F(EngineTest, EndOfStreamStopsAndReportsTheEnd)
{
    Make();
    int ends = 0;
    player->OnPlayEnd = [&](TBASSPlayer*) {
        ends++;
        EXPECT_EQ(player->Mode(), plmStopped);
    };
    ASSERT_TRUE(player->Open(kUrl));
    player->Play();
    FakeChannel& ch = OnlyChannel();
    const FakeSync end = ch.syncs.back();
    modes.clear();

    // The channel has stopped; the library calls the sync on a thread of its own.
    ch.state = BASS_ACTIVE_STOPPED;
    std::thread([&] { end.proc(end.handle, player->Channel(), 0, end.user); }).join();
    EXPECT_EQ(ends, 0);
    Pump();
    EXPECT_EQ(ends, 1);
    ASSERT_EQ(modes.size(), 1u);
    EXPECT_EQ(modes[0], std::make_pair(plmPlaying, plmStopped));
}

// A track that is over before Play returns (shorter than the output's latency, or a UI
// thread held up) still reports its end; a channel that does not start keeps no end sync,
// so a later start leaves exactly one.
TEST_F(EngineTest, ATrackEndingAsItStartsReportsItsEnd)
{
    Make();
    int ends = 0;
    player->OnPlayEnd = [&](TBASSPlayer*) { ends++; };
    fake->defaultSource.endsOnPlay = true;
    ASSERT_TRUE(player->Open(kUrl));
    fake->playRefused = true;
    player->Play();
    EXPECT_EQ(player->Mode(), plmReady);
    auto endSyncs = [&] {
        return std::count_if(OnlyChannel().syncs.begin(), OnlyChannel().syncs.end(),
                             [](const FakeSync& s) { return s.type == BASS_SYNC_END; });
    };
    EXPECT_EQ(endSyncs(), 0);

    fake->playRefused = false;
    modes.clear();
    player->Play();
    EXPECT_EQ(endSyncs(), 1);
    Pump();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(player->Mode(), plmStopped);
    ASSERT_EQ(modes.size(), 2u);
    EXPECT_EQ(modes[1], std::make_pair(plmPlaying, plmStopped));
}

TEST_F(EngineTest, EndOfAReplacedChannelIsIgnored)
{
    Make();
    int ends = 0;
    player->OnPlayEnd = [&](TBASSPlayer*) { ends++; };
    ASSERT_TRUE(player->Open(kUrl));
    player->Play();
    const FakeSync end = OnlyChannel().syncs.back();
    const uint32_t old = player->Channel();
    end.proc(end.handle, old, 0, end.user);  // queued, not yet handled
    ASSERT_TRUE(player->Open("http://host/b.mp3"));
    player->Play();
    modes.clear();
    Pump();
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(modes.empty());
    EXPECT_EQ(player->Mode(), plmPlaying);
}

TEST_F(EngineTest, DestructorStopsWhatPlaysAndFreesTheLibrary)
{
    Make();
    ASSERT_TRUE(player->Open(kUrl));
    player->Play();
    const std::string h = std::to_string(player->Channel());
    player.reset();
    EXPECT_EQ(fake->Count("BASS_ChannelStop(" + h + ")"), 1);
    EXPECT_GE(fake->freeCalls, 1);
    EXPECT_EQ(fake->calls.back(), "BASS_Free");
}

TEST_F(EngineTest, MessagesFromOutsideTheEngine)
{
    Make();
    std::vector<TBandOut> bands;
    std::vector<int32_t> rates;
    player->OnNewFFTData = [&](TBASSPlayer*, TBandOut& b) { bands.push_back(b); };
    player->OnGetChannelInfo = [&](TBASSPlayer*, PChannelInfo ci) { rates.push_back(ci->SampleRate); };
    const HWND w = player->MessageWindow();

    // Band data from an outside poster: copied, then handed on.
    TBandOut outside{};
    for (size_t i = 0; i < outside.size(); ++i)
        outside[i] = static_cast<uint16_t>(100 + i);
    PostMessage(w, WM_BAND_DATA, 0, reinterpret_cast<LPARAM>(outside.data()));
    // New channel values from the emulated output.
    TChannelInfo ci{24, 320, 48000, 6};
    PostMessage(w, WM_PLUGIN_CHANNEL_INFO, 0, reinterpret_cast<LPARAM>(&ci));
    // The emulated output's stream exists.
    PostMessage(w, WM_PLUGIN_STREAM_CREATED, 4242, 0);
    // The session ends: the spectrum timer stops.
    PostMessage(w, WM_QUERYENDSESSION, 0, 0);
    // Unknown messages are ignored.
    PostMessage(w, WM_USER + 50, 1, 2);
    Pump();

    ASSERT_EQ(bands.size(), 1u);
    EXPECT_EQ(bands[0], outside);
    EXPECT_EQ(player->BandOut(), outside);
    EXPECT_EQ(rates, std::vector<int32_t>{48000});
    EXPECT_EQ(player->StreamInfo().SampleRate, 48000u);
    EXPECT_EQ(player->StreamInfo().Channels, 6);
    EXPECT_EQ(player->StreamInfo().BitRate, 320);
    EXPECT_EQ(player->Channel(), 4242u);
    EXPECT_FALSE(player->TimerEnabled());
}

// The output emulator against the fake audio library: the tests call the output module as
// a plug-in would and pull from the user stream as the mixer would.
#include "PluginTestSupport.h"

#include <cstring>
#include <numeric>

namespace {

DWORD Pull(std::vector<uint8_t>& out, DWORD bytes)
{
    out.assign(bytes, 0);
    return emulator_detail::StreamProc(emulator_detail::Stream(), out.data(), bytes, nullptr);
}

// Bytes whose values count up from first, so that their order can be checked.
std::vector<char> Pattern(size_t n, unsigned first = 0)
{
    std::vector<char> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<char>((first + i) & 0xFF);
    return v;
}

}  // namespace

TEST_F(PluginHostTest, OpenCreatesTheStreamAndSizesTheRing)
{
    ASSERT_EQ(Out().Open(44100, 2, 16, 2000, 500), 0);
    EXPECT_EQ(emulator_detail::State().size, 88200u);
    EXPECT_EQ(emulator_detail::State().block, 35280u);
    const HSTREAM s = emulator_detail::Stream();
    ASSERT_NE(fake->Find(s), nullptr);
    EXPECT_EQ(fake->Find(s)->creator, "StreamCreate");
    Pump();
    ASSERT_EQ(Count(WM_PLUGIN_STREAM_CREATED), 1);
    EXPECT_EQ(posted[0].wParam, s);

    Out().Close();
    EXPECT_EQ(fake->Find(s), nullptr);
    ASSERT_EQ(Out().Open(48000, 2, 16, -1, -1), 0);
    EXPECT_EQ(emulator_detail::State().size, 88200u);
    Out().Close();
    ASSERT_EQ(Out().Open(22050, 1, 16, -1, -1), 0);
    EXPECT_EQ(emulator_detail::State().size, 26460u);
    Out().Close();
    ASSERT_EQ(Out().Open(22050, 1, 8, -1, -1), 0);  // 8-bit: the stream says so
    EXPECT_EQ(fake->Find(emulator_detail::Stream())->source.flags, static_cast<uint32_t>(BASS_SAMPLE_8BITS));
    Out().Close();

    fake->streamCreateRefused = true;
    EXPECT_EQ(Out().Open(44100, 2, 16, -1, -1), -1);
    EXPECT_EQ(emulator_detail::State().used, 0u);
    EXPECT_TRUE(emulator_detail::State().startPending);

    ShutdownPluginHost();
    fake->streamCreateRefused = false;
    EXPECT_EQ(Out().Open(44100, 2, 16, -1, -1), -1);  // not ready
}

TEST_F(PluginHostTest, SoundStartsAtPointFourSecondsOrAlmostFull)
{
    // 44100 Hz stereo: the write that brings the buffer to 70560 bytes starts the sound.
    ASSERT_EQ(Out().Open(44100, 2, 16, -1, -1), 0);
    const auto chunk = Pattern(4096);
    for (int i = 0; i < 17; ++i)
        ASSERT_EQ(Out().Write(const_cast<char*>(chunk.data()), 4096), 0);
    EXPECT_TRUE(emulator_detail::State().startPending);
    Pump();
    EXPECT_EQ(Count(WM_PLUGIN_START_PLAY), 0);
    ASSERT_EQ(Out().Write(const_cast<char*>(chunk.data()), 4096), 0);  // 73728 bytes
    EXPECT_FALSE(emulator_detail::State().startPending);
    Pump();
    const HSTREAM s = emulator_detail::Stream();
    EXPECT_EQ(fake->Find(s)->state, static_cast<uint32_t>(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(Out().IsPlaying(), 1);
    ASSERT_EQ(Count(WM_PLUGIN_START_PLAY), 1);
    const auto* ci = reinterpret_cast<const TChannelInfo*>(posted.back().lParam);
    ASSERT_NE(ci, nullptr);
    EXPECT_EQ(ci->BitsPerSample, 16);
    EXPECT_EQ(ci->SampleRate, 44100);
    EXPECT_EQ(ci->Channels, 2);
    Out().Close();

    // 50100 Hz stereo: 8192 free bytes come before 0.4 s (80160 bytes).
    ASSERT_EQ(Out().Open(50100, 2, 16, -1, -1), 0);
    ASSERT_EQ(emulator_detail::State().size, 88200u);
    const auto big = Pattern(80000);
    ASSERT_EQ(Out().Write(const_cast<char*>(big.data()), 80000), 0);  // 8200 free
    EXPECT_TRUE(emulator_detail::State().startPending);
    ASSERT_EQ(Out().Write(const_cast<char*>(big.data()), 8), 0);  // 8192 free
    EXPECT_FALSE(emulator_detail::State().startPending);
}

TEST_F(PluginHostTest, WriteOfTheWholeFreeSpaceIsRefused)
{
    ASSERT_EQ(Out().Open(44100, 2, 16, -1, -1), 0);
    EXPECT_EQ(Out().CanWrite(), 88199);
    auto data = Pattern(88200);
    EXPECT_EQ(Out().Write(data.data(), 88200), 1);
    EXPECT_EQ(emulator_detail::State().used, 0u);
    EXPECT_EQ(Out().Write(data.data(), 88200), 1);
    Pump();
    // One box per playback, shown on this (the UI) thread.
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, "Write error : No Space");
    EXPECT_EQ(boxes[0].second, "Error");
    EXPECT_EQ(Out().Write(data.data(), 88199), 0);
    EXPECT_EQ(Out().CanWrite(), 0);
    EXPECT_EQ(Out().Write(data.data(), 1), 1);  // one free byte is kept
    EXPECT_EQ(Out().Write(data.data(), 0), 0);
    EXPECT_EQ(emulator_detail::State().written, 88199u);
}

TEST_F(PluginHostTest, PullsCopyAcrossTheEndOfTheRing)
{
    ASSERT_EQ(Out().Open(44100, 2, 16, -1, -1), 0);
    std::vector<uint8_t> out;
    auto a = Pattern(80000);
    ASSERT_EQ(Out().Write(a.data(), 80000), 0);
    ASSERT_EQ(Pull(out, 80000), 80000u);
    auto b = Pattern(10000, 7);
    ASSERT_EQ(Out().Write(b.data(), 10000), 0);  // wraps: write position 1800
    EXPECT_EQ(emulator_detail::State().writePos, 1800u);

    // More than the tail, less than what is buffered.
    ASSERT_EQ(Pull(out, 9000), 9000u);
    EXPECT_EQ(0, std::memcmp(out.data(), b.data(), 9000));
    EXPECT_EQ(emulator_detail::State().readPos, 800u);

    // Wrapped again, and more asked for than is buffered: the tail, then up to the writer.
    auto c = Pattern(87000, 3);
    ASSERT_EQ(Out().Write(c.data(), 87000), 0);  // write position 800 + 1000 + 87000 - 88200 = 600
    ASSERT_EQ(Pull(out, 1000), 1000u);          // the rest of b
    ASSERT_EQ(Pull(out, 87000 - 600), 87000u - 600);  // up to the end of the ring exactly
    EXPECT_EQ(emulator_detail::State().readPos, 0u);
    ASSERT_EQ(Out().Write(b.data(), 8000), 0);  // now 600 + 8000 from 0 on
    ASSERT_EQ(Pull(out, 5000), 5000u);
    ASSERT_EQ(Pull(out, 9999), 3600u);  // only what there is
    EXPECT_EQ(0, std::memcmp(out.data(), b.data() + 4400, 3600));

    // Empty: the stream ends, and the engine hears the end of the file once.
    EXPECT_EQ(Pull(out, 4096), BASS_STREAMPROC_END);
    EXPECT_EQ(Pull(out, 4096), BASS_STREAMPROC_END);
    Pump();
    EXPECT_EQ(Count(WM_PLUGIN_EOF), 1);
    EXPECT_TRUE(emulator_detail::State().endOfFile);
}

TEST_F(PluginHostTest, EndOfFileBelongsToItsPlayback)
{
    WinampMainWindow* w = EmulatorMainWindow();
    ASSERT_EQ(Out().Open(44100, 2, 16, -1, -1), 0);
    EXPECT_EQ(w->PostMessage(w, WINAMP_MSG_EOF, 0, 0), 1);
    EXPECT_EQ(w->PostMessage(w, WINAMP_MSG_START_PLAY, 0, 0), 0);  // not a plug-in's to post
    Pump();
    EXPECT_EQ(Count(WM_PLUGIN_EOF), 1);
    w->PostMessage(w, WINAMP_MSG_EOF, 0, 0);  // a second one changes nothing
    // A late end of file of a playback that is over does not end the next one.
    Out().Close();
    ASSERT_EQ(Out().Open(44100, 2, 16, -1, -1), 0);
    Pump();
    EXPECT_EQ(Count(WM_PLUGIN_EOF), 1);
    EXPECT_FALSE(emulator_detail::State().endOfFile);
}

TEST_F(PluginHostTest, UnderrunWaitsOnlyWellBeforeTheEnd)
{
    std::vector<uint8_t> out;
    auto data = Pattern(8192);
    TStreamInfo info;
    info.Duration = 10000;
    SetStreamInfo(info);
    ASSERT_EQ(Out().Open(44100, 2, 16, -1, -1), 0);
    ASSERT_EQ(Out().Write(data.data(), 8192), 0);
    // 46 ms written of 10 s: the pull gives nothing yet and does not end the stream.
    EXPECT_EQ(Pull(out, 16384), 0u);
    EXPECT_EQ(emulator_detail::State().used, 8192u);
    ASSERT_EQ(Out().Write(data.data(), 8192), 0);
    EXPECT_EQ(Pull(out, 16384), 16384u);

    // Within 2 s of the end there is no wait.
    info.Duration = 1000;
    SetStreamInfo(info);
    ASSERT_EQ(Out().Write(data.data(), 100), 0);
    EXPECT_EQ(Pull(out, 4096), 100u);
    // Nor after the plug-in's end of file.
    info.Duration = 10000;
    SetStreamInfo(info);
    ASSERT_EQ(Out().Write(data.data(), 100), 0);
    EmulatorMainWindow()->PostMessage(EmulatorMainWindow(), WINAMP_MSG_EOF, 0, 0);
    Pump();
    EXPECT_EQ(Pull(out, 4096), 100u);

    // After an unpause the pull waits for the plug-in to write again.
    Out().Pause(0);
    EXPECT_TRUE(emulator_detail::State().resumeWait);
}

TEST_F(PluginHostTest, PauseAndRestart)
{
    ASSERT_EQ(Out().Open(44100, 2, 16, -1, -1), 0);
    const HSTREAM s = emulator_detail::Stream();
    const std::string h = std::to_string(s);
    // Neither paused nor playing: starts again from the beginning.
    EXPECT_EQ(Out().Pause(0), 0);
    EXPECT_EQ(fake->calls.back(), "BASS_ChannelPlay(" + h + ",-1)");
    EXPECT_TRUE(emulator_detail::State().resumeWait);
    EXPECT_EQ(Out().Pause(1), 0);
    EXPECT_EQ(fake->Find(s)->state, static_cast<uint32_t>(BASS_ACTIVE_PAUSED));
    const auto calls = fake->calls.size();
    EXPECT_EQ(Out().Pause(1), 1);  // already paused: nothing
    EXPECT_EQ(fake->calls.size(), calls);
    EXPECT_EQ(Out().Pause(0), 1);
    EXPECT_EQ(fake->calls.back(), "BASS_ChannelPlay(" + h + ",0)");
}

TEST_F(PluginHostTest, FlushIsASeek)
{
    auto data = Pattern(40000);
    ASSERT_EQ(Out().Open(44100, 2, 16, -1, -1), 0);
    const HSTREAM s = emulator_detail::Stream();
    ASSERT_EQ(Out().Write(data.data(), 40000), 0);
    ASSERT_EQ(Out().Write(data.data(), 40000), 0);  // started
    Pump();
    ASSERT_EQ(Out().Pause(1), 0);

    // Paused, without the engine's seek: nothing happens.
    Out().Flush(5000);
    EXPECT_EQ(emulator_detail::State().used, 80000u);
    // Paused, with it: emptied, and the sound stays stopped until the unpause.
    SetSeekPending();
    Out().Flush(5000);
    auto st = emulator_detail::State();
    EXPECT_EQ(st.used, 0u);
    EXPECT_EQ(st.written, 0u);
    EXPECT_FALSE(st.seekPending);
    EXPECT_FALSE(st.startPending);
    EXPECT_EQ(fake->Find(s)->state, static_cast<uint32_t>(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(Out().GetWrittenTime(), 5000);

    // Playing: emptied and started again once 0.4 s are buffered.
    fake->Find(s)->state = BASS_ACTIVE_PLAYING;
    Out().Flush(8000);
    EXPECT_TRUE(emulator_detail::State().startPending);
    ASSERT_EQ(Out().Write(data.data(), 17640), 0);  // 100 ms
    EXPECT_EQ(Out().GetWrittenTime(), 8100);
    fake->Find(s)->position = 44100;  // 250 ms heard since the restart
    EXPECT_EQ(Out().GetOutputTime(), 8250);
}

TEST_F(PluginHostTest, PanVolumeAndChannelInfo)
{
    ASSERT_EQ(Out().Open(44100, 2, 16, -1, -1), 0);
    const HSTREAM s = emulator_detail::Stream();
    for (auto [in, pan] : {std::pair{128, 100}, {-128, -100}, {16, 12}, {0, 0}}) {
        Out().SetPan(in);
        EXPECT_EQ(fake->Find(s)->pan, pan) << in;
    }
    Out().SetVolume(300);
    EXPECT_EQ(fake->config[BASS_CONFIG_GVOL_STREAM], 255u);
    Out().SetVolume(-5);
    EXPECT_EQ(fake->config[BASS_CONFIG_GVOL_STREAM], 0u);

    ASSERT_EQ(LoadPlugin("in_tone.so"), plDone);
    TInModule* m = GetPluginModule(0);
    m->SetInfo(-1, -1, -1, 1);
    Pump();
    EXPECT_EQ(Count(WM_PLUGIN_CHANNEL_INFO), 0);
    auto* ci = reinterpret_cast<const TChannelInfo*>(0);
    m->SetInfo(320, 44, 2, 0);
    m->SetInfo(128, -1, -1, 0);
    Pump();
    ASSERT_EQ(Count(WM_PLUGIN_CHANNEL_INFO), 2);
    ci = reinterpret_cast<const TChannelInfo*>(posted.back().lParam);
    EXPECT_EQ(ci->BitRate, 128);
    EXPECT_EQ(ci->SampleRate, 44);
    EXPECT_EQ(ci->Channels, 2);
}

TEST_F(PluginHostTest, CanWriteIsZeroWhileThePullCopies)
{
    static int seen = -1;
    ASSERT_EQ(Out().Open(44100, 2, 16, -1, -1), 0);
    auto data = Pattern(1000);
    ASSERT_EQ(Out().Write(data.data(), 1000), 0);
    emulator_detail::SetCopyHook([] { seen = EmulatedOutputModule()->CanWrite(); });
    std::vector<uint8_t> out;
    Pull(out, 500);
    emulator_detail::SetCopyHook(nullptr);
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(Out().CanWrite(), 88199 - 500);
}

TEST_F(PluginHostTest, OutputModuleBoxesShowOnTheUiThread)
{
    Out().Config(0);
    Out().About(0);
    EXPECT_TRUE(boxes.empty());
    Pump();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].first, "No configuration is needed.");
    EXPECT_EQ(boxes[0].second, "Confirm");
    EXPECT_EQ(boxes[1].first, "This is a Winamp output plug-in emulator using BASS");
}

TEST_F(PluginHostTest, AFileShorterThanTheStartThresholdStillSounds)
{
    ASSERT_EQ(Out().Open(44100, 2, 16, -1, -1), 0);
    auto data = Pattern(17640);  // 0.1 s
    ASSERT_EQ(Out().Write(data.data(), 17640), 0);
    EXPECT_TRUE(emulator_detail::State().startPending);
    WinampMainWindow* w = EmulatorMainWindow();
    w->PostMessage(w, WINAMP_MSG_EOF, 0, 0);
    Pump();
    EXPECT_EQ(fake->Find(emulator_detail::Stream())->state, static_cast<uint32_t>(BASS_ACTIVE_PLAYING));
    // The engine hears the start first, so it waits for the sound before it moves on.
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_EQ(posted[0].msg, WM_PLUGIN_STREAM_CREATED);
    EXPECT_EQ(posted[1].msg, WM_PLUGIN_START_PLAY);
    EXPECT_EQ(posted[2].msg, WM_PLUGIN_EOF);
}

// Playback control: moving between the playing modes once Open has prepared a channel,
// length and position in milliseconds, seeking, volume, and the window procedure through
// which the audio library's callbacks, the emulated output, the plug-in dialog and the
// visualization side reach the engine. Every operation dispatches on FChannelKind.
#include "BASSPlayer.h"

#include "Dynamic_Bass.h"
#include "EngineHelpers.h"
#include "MessageBox.h"
#include "PluginCtrl.h"
#include "System.h"
#include "VisDrive.h"

#include <cstring>
#include <thread>

namespace bass = Dynamic_Bass;
using namespace engine_detail;

namespace {
// A plug-in seek waits at most this many sleeps for the emulated output to restart.
constexpr int kSeekTries = 50;
constexpr auto kSeekSleep = std::chrono::milliseconds(40);
constexpr auto kDrainSleep = std::chrono::milliseconds(50);
}  // namespace

void TBASSPlayer::EnableSpectrumTimer()
{
    if (FTimer)
        FTimer->SetEnabled(true);
}

// Starts the channel from the beginning. A plug-in is started through its module; a
// refusal is reported only when asked to (Play, not Restart).
bool TBASSPlayer::StartChannel(bool ReportRefusal)
{
    if (FChannelKind != ckPlugin)
        return bass::BASS_ChannelPlay(FChannel, TRUE) != 0;

    FBusy = true;
    FPluginStarted = false;
    FChannel = 1;
    int result = (FModule && FModule->Play) ? FModule->Play(FStreamName.c_str()) : -1;
    bool started = result == 0;
    if (started) {
        if (FModule->SetVolume)
            FModule->SetVolume(static_cast<int>(FVolume));
    } else {
        FChannel = 0;  // nothing plays
        if (ReportRefusal)
            ShowMessageBox("Can't play the specified stream : " + FStreamName, "Error", TMessageIcon::Error);
    }
    FBusy = false;
    return started;
}

void TBASSPlayer::Play()
{
    if (FBusy || FChannelKind == ckNone || FMode == plmPlaying)
        return;
    if (FMode == plmPaused) {
        Resume();
        return;
    }
    if (FMode == plmStopped) {
        if (FChannelKind != ckPlugin)
            SetPosition(0);
        Restart();
        return;
    }

    // The end sync goes on before the channel starts: a short track, or a UI thread held up
    // for a moment, can end before BASS_ChannelPlay has returned, and an end that finds no
    // sync is never reported (the player would stay "playing" in silence). A channel that
    // does not start loses its sync again, so a channel gets exactly one.
    HSYNC endSync = 0;
    if (FChannelKind != ckPlugin)
        endSync = bass::BASS_ChannelSetSync(FChannel, BASS_SYNC_END, 0, EndSync, SyncUser());
    if (!StartChannel(true)) {
        if (endSync != 0)
            bass::BASS_ChannelRemoveSync(FChannel, endSync);
        return;
    }
    if (FChannelKind == ckMusic)
        FMusicStart = timeGetTime();
    SetMode(plmPlaying);
    // A plug-in's timer starts when its sound does (WM_PLUGIN_START_PLAY).
    if (FChannelKind != ckPlugin && OnNewFFTData)
        EnableSpectrumTimer();
}

void TBASSPlayer::Restart()
{
    if (FMode != plmStopped || FBusy || FChannelKind == ckNone)
        return;
    if (!StartChannel(false))
        return;
    SetMode(plmPlaying);
    if (FChannelKind != ckPlugin && OnNewFFTData)
        EnableSpectrumTimer();
}

void TBASSPlayer::Pause()
{
    if (FMode != plmPlaying)
        return;
    if (FChannelKind == ckPlugin) {
        if (FModule && FModule->Pause)
            FModule->Pause();
    } else {
        bass::BASS_ChannelPause(FChannel);
    }
    if (FChannelKind == ckMusic)
        FMusicPausedAt = timeGetTime() - FMusicStart;
    SetMode(plmPaused);
}

void TBASSPlayer::Resume()
{
    if (FMode != plmPaused)
        return;
    if (FChannelKind == ckPlugin) {
        if (FModule && FModule->UnPause)
            FModule->UnPause();
    } else {
        bass::BASS_ChannelPlay(FChannel, FALSE);
    }
    if (FChannelKind == ckMusic)
        FMusicStart = timeGetTime() - FMusicPausedAt;
    SetMode(plmPlaying);
    if (OnNewFFTData && (FChannelKind != ckPlugin || FPluginStarted))
        EnableSpectrumTimer();
}

void TBASSPlayer::SetPaused(bool Paused)
{
    if (Paused)
        Pause();
    else
        Resume();
}

void TBASSPlayer::Stop()
{
    if (FMode != plmPlaying)
        return;
    if (FChannelKind == ckPlugin) {
        if (FChannel != 0) {
            if (FModule && FModule->Stop)
                FModule->Stop();
            FChannel = 0;
            ClearEffectHandles();  // the emulator's stream is gone
        }
    } else {
        bass::BASS_ChannelStop(FChannel);
    }
    SetMode(plmStopped);
}

uint32_t TBASSPlayer::GetPlayLength()
{
    QWORD Len = 0;
    switch (FChannelKind) {
    case ckNone: return 0;
    case ckPlugin: return FStreamInfo.Duration;
    case ckMusic: {
        DWORD music = bass::BASS_MusicGetLength(FChannel, TRUE);
        Len = music == 0xFFFFFFFFu ? 0 : music;
        break;
    }
    case ckStream:
    case ckCD:
    case ckWMA: Len = KnownLength(bass::BASS_StreamGetLength(FChannel)); break;
    }
    return SecondsToMs(bass::BASS_ChannelBytes2Seconds(FChannel, Len));
}

uint32_t TBASSPlayer::GetPosition()
{
    switch (FChannelKind) {
    case ckNone: return 0;
    case ckStream:
    case ckCD:
    case ckWMA: {
        QWORD Offset = bass::BASS_ChannelGetPosition(FChannel);
        if (static_cast<int64_t>(Offset) < 0)
            Offset = 0;
        return SecondsToMs(bass::BASS_ChannelBytes2Seconds(FChannel, Offset));
    }
    case ckMusic:
        // Modules keep their position by the clock.
        switch (bass::BASS_ChannelIsActive(FChannel)) {
        case BASS_ACTIVE_STOPPED: return 0;
        case BASS_ACTIVE_PAUSED: return FMusicPausedAt;
        default: return timeGetTime() - FMusicStart;
        }
    case ckPlugin:
        if (FMode == plmReady || !FModule || !FModule->GetOutputTime)
            return 0;
        return static_cast<uint32_t>(FModule->GetOutputTime());
    }
    return 0;
}

void TBASSPlayer::SetPosition(uint32_t Position_ms)
{
    if (!Seekable() || Position_ms > GetPlayLength() || FBusy)
        return;
    QWORD Bytes = bass::BASS_ChannelSeconds2Bytes(FChannel, static_cast<float>(Position_ms / 1000.0));

    switch (FChannelKind) {
    case ckStream:
    case ckCD:
    case ckWMA: bass::BASS_ChannelSetPosition(FChannel, Bytes); break;
    case ckMusic:
        if (bass::BASS_ChannelSetPosition(FChannel, BASS_MUSIC_POS_SECONDS(Position_ms / 1000)))
            FMusicStart = timeGetTime() - Position_ms;
        break;
    case ckPlugin: {
        if (FMode == plmPlaying && FPluginStarted)
            FBusy = true;
        SetSeekPending();
        if (FModule && FModule->SetOutputTime)
            FModule->SetOutputTime(static_cast<int>(Position_ms));
        // Wait, handling messages, until the emulated output restarts.
        int Tries = 0;
        while (FMode == plmPlaying) {
            if (!FBusy) {
                EnableSpectrumTimer();
                break;
            }
            ProcessMessages();
            std::this_thread::sleep_for(kSeekSleep);
            if (++Tries > kSeekTries)
                break;
        }
        FBusy = false;
        break;
    }
    case ckNone: break;
    }
}

bool TBASSPlayer::Seekable()
{
    if (FChannelKind == ckNone || FNetLiveStream)
        return false;
    if (FChannelKind == ckPlugin)
        return FModule && FModule->is_seekable != 0;
    if (FNetFileStream)
        return FDownloaded;
    return true;
}

void TBASSPlayer::SetVolume(uint32_t Volume)
{
    if (Volume > 255)
        Volume = 255;
    FVolume = Volume;
    if (FChannelKind == ckPlugin) {
        if (FModule && FModule->SetVolume)
            FModule->SetVolume(static_cast<int>(Volume));
        return;
    }
    if (!FBASSReady)
        return;
    bass::BASS_SetConfig(BASS_CONFIG_GVOL_MUSIC, Volume);
    bass::BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, Volume);
}

void TBASSPlayer::PlayerWndProc(uint32_t Msg, WPARAM wParam, LPARAM lParam)
{
    if (FVisMessage != 0 && Msg == FVisMessage) {
        if (!FVisThread)
            return;
        if (wParam == cmdRequest && lParam != 0) {
            FVisThread->ApplyRequest(*reinterpret_cast<const TVisRequest*>(lParam));
        } else if (wParam == cmdLink && lParam != 0) {
            FVisThread->SetHostThread(reinterpret_cast<const TVisLink*>(lParam)->HostThread);
            FVisConnected = true;
            // A host that links mid-track learns the mode and the track at once instead
            // of at the next change.
            if (FVisShared) {
                FVisShared->Mode = static_cast<uint32_t>(FMode);
                FVisThread->NotifyHost(ntfMode, 4);
            }
            SendVisInfo(2);
            SendVisInfo(3);
            if (FMode == plmPlaying && FVisThread->Suspended())
                FVisThread->StartOutput();
            if (FMode == plmPlaying && (FChannelKind != ckPlugin || FPluginStarted))
                EnableSpectrumTimer();  // the position for the host
        } else if (wParam == cmdUnlink) {
            FVisConnected = false;
            if (!FVisThread->Suspended())
                FVisThread->Suspend();
        }
        return;
    }

    switch (Msg) {
    case WM_QUERYENDSESSION:
        if (FTimer)
            FTimer->SetEnabled(false);
        break;

    case WM_PLUGIN_EOF:
        FBusy = false;
        if (FPluginStarted) {
            // Let the emulator's stream play out what it holds.
            while (FBASSReady && bass::BASS_ChannelIsActive(FChannel) == BASS_ACTIVE_PLAYING) {
                ProcessMessages();
                std::this_thread::sleep_for(kDrainSleep);
            }
        }
        Stop();
        if (OnPlayEnd)
            OnPlayEnd(this);
        break;

    case WM_PLUGIN_START_PLAY: {
        FBusy = false;
        FPluginStarted = true;
        SetVolume(FVolume);
        const auto* ci = reinterpret_cast<const TChannelInfo*>(lParam);
        if (ci) {
            FStreamInfo.Channels = ci->Channels;
            FStreamInfo.SampleRate = static_cast<uint32_t>(ci->SampleRate);
            FStreamInfo.BitsPerSample = ci->BitsPerSample;
        }
        if (FStreamInfo.Duration == 0 && FModule && FModule->GetFileInfo) {
            char title[257] = {};
            int length = 0;
            FModule->GetFileInfo(nullptr, title, &length);
            if (length > 0) {
                FStreamInfo.Title.assign(title, strnlen(title, 256));
                FStreamInfo.Duration = static_cast<uint32_t>(length);
            }
        }
        SendVisInfo(2);
        if (OnPluginStartPlay)
            OnPluginStartPlay(this, reinterpret_cast<PChannelInfo>(lParam));
        if (FVisThread)
            FVisThread->SetStreamFormat(FChannel, FStreamInfo.SampleRate, FStreamInfo.Channels);
        if (OnNewFFTData || FVisConnected)
            EnableSpectrumTimer();
        SetSoundEffects(FEffectFlags);
        break;
    }

    case WM_PLUGIN_STREAM_CREATED:
        FChannel = static_cast<uint32_t>(wParam);
        break;

    case WM_STREAM_END:
        // An end posted for a channel that has since been replaced belongs to no track.
        if (wParam != 0 && wParam != FChannel)
            break;
        SetMode(plmStopped);
        if (OnPlayEnd)
            OnPlayEnd(this);
        break;

    case WM_NEW_FFT_DATA:
        if (OnNewFFTData)
            OnNewFFTData(this, FBandOut);
        break;

    case WM_PLUGIN_FIRST:
        FPluginFirst = lParam != 0;
        break;

    case WM_META_TITLE:
        HandleMetaTitle(reinterpret_cast<const char*>(lParam));
        break;

    case WM_DOWNLOADED:
        HandleDownloaded();
        break;

    case WM_PLUGIN_CHANNEL_INFO: {
        const auto* ci = reinterpret_cast<const TChannelInfo*>(lParam);
        if (ci) {
            FStreamInfo.Channels = ci->Channels;
            FStreamInfo.SampleRate = static_cast<uint32_t>(ci->SampleRate);
            FStreamInfo.BitRate = ci->BitRate;
        }
        if (OnGetChannelInfo)
            OnGetChannelInfo(this, reinterpret_cast<PChannelInfo>(lParam));
        break;
    }

    case WM_BAND_DATA:
        if (lParam != 0)
            std::memcpy(FBandOut.data(), reinterpret_cast<const void*>(lParam), sizeof(FBandOut));
        if (OnNewFFTData)
            OnNewFFTData(this, FBandOut);
        break;

    default: break;
    }
}

// The engine object: construction, destruction, the mode and the engine's links to the
// visualization side.
#include "BASSPlayer.h"

#include "Dynamic_Bass.h"
#include "MessageBox.h"
#include "PluginConfig.h"
#include "PluginCtrl.h"
#include "RT_BASSWMA.h"
#include "RT_basscd.h"
#include "System.h"
#include "VisDrive.h"
#include "fileinfo/MPEGaudio.h"
#include "fileinfo/OggVorbis.h"
#include "fileinfo/WAVfile.h"
#include "fileinfo/WMAfile.h"

#include <chrono>
#include <cstdio>
#include <cstring>

// The audio library is reached only through its run-time binding.
namespace bass = Dynamic_Bass;

namespace {

constexpr std::array<TEQBand, 10> kEQBands = {{{80, 4}, {170, 4}, {310, 4}, {600, 4}, {1000, 5},
                                              {3000, 6}, {6000, 5}, {10000, 4}, {12000, 3}, {14000, 3}}};

// Shown instead of a version while hosted by a form designer.
constexpr const char* kNotAvailableText = "N/A";

// The destructor waits for the channel to stop while messages are processed; a channel
// that never stops must not keep the program from ending.
constexpr auto kDrainLimit = std::chrono::seconds(5);

std::string Utf8Cut(const std::string& s, size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return s;
    size_t n = maxBytes;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;  // never end inside a UTF-8 sequence
    return s.substr(0, n);
}

}  // namespace

TBASSPlayer::TBASSPlayer(bool Designing) : FDesigning(Designing)
{
    // 1. Initial values.
    FVersion = "1.7";
    FBASSReady = FWMAReady = FCDReady = false;
    FCDDriveCount = 0;
    FChannelKind = ckNone;
    FEffectFlags = 0;
    FMode = plmStandby;
    FStreamName.clear();
    FStreamInfo.FileName.clear();
    FStreamInfo.FileSize = 0;
    FStreamInfo.SampleRate = 0;
    FPluginFirst = false;
    FVisScale = 512;
    FSyncVisWindow = false;

    // 2. Message window and spectrum timer.
    if (!FDesigning) {
        FMessageWindow = std::make_unique<TMessageWindow>(
            [this](uint32_t Msg, WPARAM w, LPARAM l) { PlayerWndProc(Msg, w, l); });
        SetEngineWindow(FMessageWindow->Handle());
        FTimer = std::make_unique<TTimer>();
        FTimer->SetInterval(25);
        FTimer->SetEnabled(false);
        FTimer->OnTimer = [this] { TimerTick(); };
    }

    // 3. The audio library, from the program's own folder.
    FBASSLoaded = bass::LoadBassLibrary(ProgramFolder() + kBassLibraryFile);
    if (!FBASSLoaded) {
        FBASSDLLVer = FDesigning ? kNotAvailableText : "";
        return;
    }

    // 4. Exactly version 2.1.
    if (bass::BASS_GetVersion() != MAKELONG_BASS(2, 1)) {
        if (!FDesigning)
            ShowMessageBox("BASS version is not 2.1 !", "Confirm", TMessageIcon::None);
        return;
    }

    // 5, 6. Volume scale 0..255, then the default output at 44100 Hz.
    bass::BASS_SetConfig(BASS_CONFIG_MAXVOL, 255);
    if (!bass::BASS_Init(1, 44100, 0, reinterpret_cast<void*>(MessageWindow()), nullptr)) {
        if (!FDesigning)
            ShowError("Can't initialize device");
        return;
    }

    // 7. Device information: the effects need level 8.
    FBASSReady = true;
    FDeviceInfo = {};
    FDeviceInfo.size = sizeof(BASS_INFO);
    bass::BASS_GetInfo(&FDeviceInfo);
    if (FDeviceInfo.dsver < 8) {
        if (!FDesigning)
            ShowMessageBox("DirectX Ver 8 or higher is not installed.\r\nSound effects except flanger are disabled.",
                           "Warning", TMessageIcon::Warning);
        FDX8EffectReady = false;
    } else {
        FDX8EffectReady = true;
    }

    // 8. Equalizer bands and effect levels.
    FEQBandCount = 10;
    for (size_t i = 0; i < FEQBands.size(); ++i) {
        FEQGains[i] = 0;
        FEQBands[i] = kEQBands[i];
    }
    FEchoLevel = 16;
    FReverbLevel = 16;

    // 9, 10. Volumes and the version text.
    FVolume = 255;
    bass::BASS_SetConfig(BASS_CONFIG_GVOL_MUSIC, 255);
    bass::BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 255);
    FBASSDLLVer = GetBASSVersionText();

    if (FDesigning)
        return;

    // 11. The add-ons, and up to eight CD drives.
    FWMAReady = RT_BASSWMA::LoadWmaLibrary(ProgramFolder() + kWmaLibraryFile);
    if (RT_basscd::LoadCdLibrary(ProgramFolder() + kCdLibraryFile)) {
        FCDReady = true;
        int i = 0;
        while (i < 8) {
            const char* description = RT_basscd::BASS_CD_GetDriveDescription(static_cast<DWORD>(i));
            if (!description)
                break;
            char letter = static_cast<char>('A' + RT_basscd::BASS_CD_GetDriveLetter(static_cast<DWORD>(i)));
            FCDDrives[static_cast<size_t>(i)] = Utf8Cut(std::string(1, letter) + ": " + description, 255);
            ++i;
        }
        FCDDriveCount = i;
    }

    // 12. The plug-in host.
    InitPluginHost();

    // 13. The file readers.
    FMPEGReader = std::make_unique<TMPEGaudio>();
    FOggReader = std::make_unique<TOggVorbis>();
    FWMAReader = std::make_unique<TWMAfile>();
    FWAVReader = std::make_unique<TWAVfile>();

    // 14. The visualization thread.
    FVisThread = std::make_unique<TVisDataThread>(FVisMessage, FVisShared, MessageWindow());
    if (FVisThread->Ready())
        FVisThread->SetVisScale(FVisScale);

    // 15. The plug-in dialog, which posts "Plugin First" to our window.
    FPluginConfigForm = std::make_unique<TPluginConfigForm>();
    FPluginConfigForm->SetPluginConfigTarget(MessageWindow());
}

TBASSPlayer::~TBASSPlayer()
{
    // 1, 2. Unlink the host and stop what plays.
    if (FVisConnected)
        DetachVis();
    if (FChannelKind == ckPlugin && FChannel != 0) {
        if (FModule && FModule->Stop)
            FModule->Stop();
    } else if (FMode == plmPlaying) {
        Stop();
    }

    // 3. Let the channel drain while messages are processed.
    if (FBASSLoaded && FBASSReady) {
        auto deadline = std::chrono::steady_clock::now() + kDrainLimit;
        while (bass::BASS_ChannelIsActive(FChannel) == BASS_ACTIVE_PLAYING && std::chrono::steady_clock::now() < deadline)
            ProcessMessages();
    }

    // 4. What the engine owns. The plug-in host exists only when the device came up.
    if (!FDesigning) {
        FTimer.reset();
        FMPEGReader.reset();
        FOggReader.reset();
        FWMAReader.reset();
        FWAVReader.reset();
        if (FBASSReady)
            ShutdownPluginHost();
        FVisThread.reset();
        FPluginConfigForm.reset();
        FMessageWindow.reset();
    }

    // 5. The libraries that loaded.
    if (FBASSLoaded) {
        bass::BASS_Free();
        bass::UnloadBassLibrary();
    }
    if (FWMAReady)
        RT_BASSWMA::UnloadWmaLibrary();
    if (FCDReady)
        RT_basscd::UnloadCdLibrary();
}

void TBASSPlayer::SetMode(TPlayerMode NewMode)
{
    TPlayerMode OldMode = FMode;
    FMode = NewMode;

    if (NewMode == plmStandby) {
        FStreamName.clear();
        FStreamInfo.FileName.clear();
        FStreamInfo.Title.clear();
        FStreamInfo.FileSize = 0;
        FStreamInfo.Duration = 0;
        FStreamInfo.Channels = 0;
        FStreamInfo.SampleRate = 0;
        FStreamInfo.BitRate = 0;
        SetStreamInfo(FStreamInfo);
    }

    if (FVisThread) {
        if (NewMode != plmPlaying && !FVisThread->Suspended())
            FVisThread->Suspend();
        if (FVisConnected && FVisShared) {
            FVisShared->Mode = static_cast<uint32_t>(NewMode);
            FVisThread->NotifyHost(ntfMode, 4);
            if (NewMode == plmPlaying && FVisThread->Suspended())
                FVisThread->StartOutput();
            // The 25 ms timer hands the position to the host, so it runs while a host is
            // linked even when nobody takes the spectrum levels.
            if (NewMode == plmPlaying && (FChannelKind != ckPlugin || FPluginStarted))
                EnableSpectrumTimer();
        }
    }

    if (OnModeChange)
        OnModeChange(this, OldMode, NewMode);
}

void TBASSPlayer::ShowError(const std::string& Msg)
{
    int code = FBASSLoaded ? bass::BASS_ErrorGetCode() : -1;
    ShowMessageBox(Msg + "\r\n(error code: " + std::to_string(code) + ")", "Error", TMessageIcon::Error);
}

std::string TBASSPlayer::GetBASSVersionText() const
{
    if (!FBASSReady)
        return "";
    DWORD v = bass::BASS_GetVersion();
    return std::to_string(v & 0xFFFF) + "." + std::to_string(v >> 16);
}

void TBASSPlayer::SendVisInfo(int Kind)
{
    if (Kind == 2) {
        SetStreamInfo(FStreamInfo);
        if (FVisConnected && FVisShared && FVisThread) {
            FVisShared->SampleRate = FStreamInfo.SampleRate;
            FVisShared->BitRate = static_cast<uint32_t>(FStreamInfo.BitRate);
            FVisShared->Channels = FStreamInfo.Channels;
            FVisShared->Duration = FStreamInfo.Duration;
            std::memset(FVisShared->Title, 0, sizeof(FVisShared->Title));
            std::string title = Utf8Cut(FStreamInfo.Title, 255);
            std::memcpy(FVisShared->Title, title.data(), title.size());
            FVisThread->NotifyHost(ntfStreamInfo, 272);
        }
    } else if (Kind == 3) {
        if (FVisConnected && FVisShared && FVisThread) {
            FVisShared->SyncVisWindow = FSyncVisWindow ? 1 : 0;
            FVisThread->NotifyHost(ntfSyncVis, 4);
        }
    }
}

void TBASSPlayer::DetachVis()
{
    if (!FVisThread || !FVisThread->Ready())
        return;
    FVisConnected = false;
    if (!FVisThread->Suspended())
        FVisThread->Suspend();
}

void TBASSPlayer::SetVisScale(uint16_t Value)
{
    if (Value < 256 || Value > 1024)
        return;
    FVisScale = Value;
    if (FVisThread)
        FVisThread->SetVisScale(Value);
}

void TBASSPlayer::SetSyncVisWindow(bool Value)
{
    if (Value == FSyncVisWindow)
        return;
    FSyncVisWindow = Value;
    SendVisInfo(3);
}

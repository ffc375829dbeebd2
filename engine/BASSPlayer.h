// TBASSPlayer: the player engine. It owns the audio library's output device and one
// channel at a time, chooses the decoder (the audio library, one of its add-ons, or an
// input plug-in), opens, plays, pauses, stops and seeks, reports its mode and events,
// describes the stream, applies sound effects, computes spectrum levels and feeds the
// visualization side.
//
// Threads: every member runs on the UI thread. Audio library callbacks, the emulated
// output and the visualization side never call it directly; they post messages to its
// hidden message window, which PlayerWndProc handles on the UI thread.
#pragma once

#include "MessageWindow.h"
#include "PlayerTypes.h"
#include "Timer.h"
#include "bass.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

struct WinampInModule;
using TInModule = WinampInModule;  // the input-module record of plugins/winamp_in.h
class TMPEGaudio;
class TOggVorbis;
class TWMAfile;
class TWAVfile;
class TVisDataThread;
struct TVisSharedBlock;
class TPluginConfigForm;

// Messages to the engine's window (WM_USER = 1024); the plug-in host's are in PlayerTypes.h.
constexpr uint32_t WM_STREAM_END = WM_USER + 107;           // 1131
constexpr uint32_t WM_NEW_FFT_DATA = WM_USER + 108;         // 1132
constexpr uint32_t WM_PLUGIN_FIRST = WM_USER + 109;         // 1133
constexpr uint32_t WM_META_TITLE = WM_USER + 110;           // 1134
constexpr uint32_t WM_DOWNLOADED = WM_USER + 111;           // 1135
constexpr uint32_t WM_BAND_DATA = WM_USER + 113;            // 1137

// The library files the engine loads from the program's folder.
constexpr const char* kBassLibraryFile = "libbass.so";
constexpr const char* kWmaLibraryFile = "libbasswma.so";
constexpr const char* kCdLibraryFile = "libbasscd.so";

struct TEQBand {
    float Center;    // Hz
    float Bandwidth; // semitones
};

class TBASSPlayer {
public:
    // Builds the whole engine; afterwards BASSReady() tells whether anything can be played.
    // Designing: hosted by a form designer (no message window, timer, add-ons or messages).
    explicit TBASSPlayer(bool Designing = false);
    ~TBASSPlayer();
    TBASSPlayer(const TBASSPlayer&) = delete;
    TBASSPlayer& operator=(const TBASSPlayer&) = delete;

    // ---- opening and playback ----
    bool Open(const std::string& StreamName);
    void Play();
    void Pause();
    void Resume();
    void SetPaused(bool Paused);
    void Stop();
    void Restart();
    uint32_t GetPlayLength();     // ms
    uint32_t GetPosition();       // ms
    void SetPosition(uint32_t Position_ms);
    bool Seekable();
    void SetVolume(uint32_t Volume); // 0..255; larger values are taken as 255
    bool GetStreamInfo(const std::string& StreamName, TStreamInfo& Info, int& PluginIndex,
                       TDecoderChoice& Decoder);

    // ---- effects and spectrum ----
    void SetSoundEffects(uint8_t Flags);
    void ClearEffectHandles();
    void TimerTick();

    // ---- mode, errors, visualization ----
    void SetMode(TPlayerMode NewMode);
    void ShowError(const std::string& Msg);
    std::string GetBASSVersionText() const;
    void SendVisInfo(int Kind);
    void DetachVis();

    // The window procedure of the hidden message window.
    void PlayerWndProc(uint32_t Msg, WPARAM wParam, LPARAM lParam);

    // ---- published properties ----
    const std::string& Version() const { return FVersion; }
    void SetVersion(const std::string&) {}
    const std::string& BASSDLLVer() const { return FBASSDLLVer; }
    void SetBASSDLLVer(const std::string&) {}
    bool DX8EffectReady() const { return FDX8EffectReady; }
    void SetDX8EffectReady(bool) {}
    bool PluginFirst() const { return FPluginFirst; }
    void SetPluginFirst(bool Value) { FPluginFirst = Value; }
    uint16_t VisScale() const { return FVisScale; }
    void SetVisScale(uint16_t Value);
    bool SyncVisWindow() const { return FSyncVisWindow; }
    void SetSyncVisWindow(bool Value);

    TNotifyNewFFTDataEvent OnNewFFTData;
    TNotifyPluginEvent OnPluginStartPlay;
    TNotifyPluginEvent OnGetChannelInfo;
    TNotifyNetEvent OnGetMeta;
    TNotifyNetEvent OnDownloaded;
    TNotifyModeChangeEvent OnModeChange;
    TNotifyEvent OnPlayEnd;

    // ---- read-only state ----
    TPlayerMode Mode() const { return FMode; }
    bool BASSReady() const { return FBASSReady; }
    bool WMAReady() const { return FWMAReady; }
    bool CDReady() const { return FCDReady; }
    int CDDriveCount() const { return FCDDriveCount; }
    const std::string& CDDrive(int i) const { return FCDDrives.at(static_cast<size_t>(i)); }
    const TStreamInfo& StreamInfo() const { return FStreamInfo; }
    const std::string& StreamName() const { return FStreamName; }
    TChannelKind ChannelKind() const { return FChannelKind; }
    uint32_t Channel() const { return FChannel; }
    uint8_t EffectFlags() const { return FEffectFlags; }
    uint32_t Volume() const { return FVolume; }
    const TBandOut& BandOut() const { return FBandOut; }
    HWND MessageWindow() const { return FMessageWindow ? FMessageWindow->Handle() : 0; }
    bool VisConnected() const { return FVisConnected; }
    TVisDataThread* VisThread() const { return FVisThread.get(); }
    bool TimerEnabled() const { return FTimer && FTimer->Enabled(); }
    bool Busy() const { return FBusy; }
    TPluginConfigForm* PluginConfigForm() const { return FPluginConfigForm.get(); }

private:
    // Opening (Open.cpp).
    void ReleaseChannel();
    bool OpenNetworkStream(const std::string& StreamName, const std::string& Ext, TStreamInfo& Info);
    bool OpenLocalFile(const std::string& StreamName, const std::string& Ext, TStreamInfo& Info, int PluginIndex,
                       TDecoderChoice Decoder);
    void FailOpen(const std::string& Message);
    // Stream information (StreamInfo.cpp).
    bool ReadLocalFile(const std::string& StreamName, const std::string& Ext, TStreamInfo& Info, TDecoderChoice& Decoder);
    // Playback control (PlaybackControl.cpp): starts the channel from plmReady or plmStopped.
    bool StartChannel(bool ReportRefusal);
    void EnableSpectrumTimer();
    // Stream metadata messages (SyncCallbacks.cpp).
    void HandleMetaTitle(const char* Title);
    void HandleDownloaded();
    void* SyncUser() const { return reinterpret_cast<void*>(MessageWindow()); }

    bool FDesigning;

    std::unique_ptr<TTimer> FTimer;
    TChannelKind FChannelKind = ckNone;
    uint32_t FChannel = 0;
    BASS_CHANNELINFO FChannelInfo{};
    std::unique_ptr<TMessageWindow> FMessageWindow;
    TInModule* FModule = nullptr;
    bool FBusy = false;
    bool FPluginStarted = false;
    bool FBASSLoaded = false;
    BASS_INFO FDeviceInfo{};
    BASS_FXPARAMEQ FEQParam{};
    BASS_FXECHO FEchoParam{};
    BASS_FXREVERB FReverbParam{};
    uint8_t FEffectFlags = 0;
    uint32_t FDSPHandle = 0;
    std::array<uint32_t, 10> FEQHandles{};
    uint32_t FEchoHandle = 0;
    uint32_t FReverbHandle = 0;
    TBandOut FBandOut{};
    bool FNetFileStream = false;
    bool FNetLiveStream = false;
    const char* FICYTags = nullptr;
    const char* FHTTPHeaders = nullptr;
    uint32_t FMusicStart = 0;
    uint32_t FMusicPausedAt = 0;
    TVisSharedBlock* FVisShared = nullptr;
    bool FVisConnected = false;
    uint16_t FVisScale = 512;
    bool FSyncVisWindow = false;
    uint32_t FVisMessage = 0;
    std::unique_ptr<TMPEGaudio> FMPEGReader;
    std::unique_ptr<TOggVorbis> FOggReader;
    std::unique_ptr<TWMAfile> FWMAReader;
    std::unique_ptr<TWAVfile> FWAVReader;
    std::unique_ptr<TPluginConfigForm> FPluginConfigForm;
    std::unique_ptr<TVisDataThread> FVisThread;
    bool FBASSReady = false;
    bool FWMAReady = false;
    bool FCDReady = false;
    int FCDDriveCount = 0;
    std::array<std::string, 8> FCDDrives;
    bool FPluginFirst = false;
    std::string FVersion;
    std::string FBASSDLLVer;
    std::string FStreamName;
    bool FDownloaded = false;
    TStreamInfo FStreamInfo;
    uint32_t FVolume = 255;
    bool FDX8EffectReady = false;
    uint16_t FEchoLevel = 16;
    uint16_t FReverbLevel = 16;
    std::array<float, 10> FEQGains{};
    uint16_t FEQBandCount = 10;
    std::array<TEQBand, 10> FEQBands{};
    TPlayerMode FMode = plmStandby;
};

// ---- callbacks handed to the audio library; they run on its threads ----

// Sync callbacks: User is the engine's message window. EndSync posts WM_STREAM_END (with
// the ended channel in wParam), MetaSync WM_META_TITLE with the address of its static title
// buffer, DownloadSync WM_DOWNLOADED.
void EndSync(HSYNC Handle, DWORD Channel, uintptr_t Data, void* User);
void MetaSync(HSYNC Handle, DWORD Channel, uintptr_t Data, void* User);
void DownloadSync(HSYNC Handle, DWORD Channel, uintptr_t Data, void* User);

// The flanger, a DSP on 16-bit stereo frames. One state for the whole program: reset it
// only while no flanger DSP is set on any channel.
void FlangerDSP(HDSP Handle, DWORD Channel, void* Buffer, DWORD Length, void* User);
void ResetFlanger();

// The title in Shoutcast metadata ("StreamTitle='...';..."); false when there is none.
bool FindStreamTitle(const std::string& Meta, std::string& Title);
// The name of the file an address points to, without folder and extension.
std::string URLFileTitle(const std::string& Address);

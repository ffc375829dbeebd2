// Types shared by the player engine, the plug-in host and the visualization side.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class TBASSPlayer;

// The engine's mode; its ordinal also travels in the shared visualization block.
enum TPlayerMode : uint8_t { plmStandby = 0, plmReady = 1, plmStopped = 2, plmPlaying = 3, plmPaused = 4 };

// What the current channel is, and so which audio library calls apply to it.
enum TChannelKind : uint8_t { ckNone = 0, ckStream = 1, ckCD = 2, ckWMA = 3, ckMusic = 4, ckPlugin = 5 };

// Who can decode a local file (the answer of GetStreamInfo).
enum TDecoderChoice : uint8_t { dcBoth = 0, dcBASS = 1, dcPlugin = 2, dcNone = 3 };

// Description of the current stream. Strings are UTF-8.
struct TStreamInfo {
    std::string FileName;      // path or address as given to Open
    uint32_t FileSize = 0;     // bytes; for a CD track the track length in bytes
    uint32_t SampleRate = 0;   // Hz
    int32_t BitRate = 0;       // kbit/s
    uint16_t BitsPerSample = 0;
    uint32_t Duration = 0;     // ms
    uint16_t Channels = 0;
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string Genre;
    uint8_t GenreID = 0;       // ID3v1 genre index; set only from an ID3v1 tag
    uint8_t Track = 0;
    std::string Comment;
};

// Format of the audio that an input plug-in plays (the emulated output's record).
struct TChannelInfo {
    uint16_t BitsPerSample = 0;
    int32_t BitRate = 0;    // kbit/s
    int32_t SampleRate = 0; // Hz
    uint16_t Channels = 0;
};
using PChannelInfo = TChannelInfo*;

// Messages the plug-in host posts to the engine's window (WM_USER = 1024).
constexpr uint32_t WM_PLUGIN_EOF = 1024 + 2;             // 1026, 0 / 0
constexpr uint32_t WM_PLUGIN_START_PLAY = 1024 + 101;    // 1125, 0 / PChannelInfo
constexpr uint32_t WM_PLUGIN_STREAM_CREATED = 1024 + 105; // 1129, stream handle / 0
constexpr uint32_t WM_PLUGIN_CHANNEL_INFO = 1024 + 112;  // 1136, 0 / PChannelInfo

// 25 spectrum levels.
using TBandOut = std::array<uint16_t, 25>;

// Event types: optional callables, tested before they are called. Sender is the engine.
using TNotifyEvent = std::function<void(TBASSPlayer* Sender)>;
using TNotifyNetEvent = std::function<void(TBASSPlayer* Sender, const std::string& Content)>;
using TNotifyPluginEvent = std::function<void(TBASSPlayer* Sender, PChannelInfo ChannelInfo)>;
using TNotifyModeChangeEvent = std::function<void(TBASSPlayer* Sender, TPlayerMode OldMode, TPlayerMode NewMode)>;
using TNotifyNewFFTDataEvent = std::function<void(TBASSPlayer* Sender, TBandOut& BandOut)>;

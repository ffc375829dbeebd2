// Open: makes a file or a network address the engine's current source. It decides who
// decodes it (the audio library, one of its add-ons, or an input plug-in), releases the
// previous channel, creates the new one, gathers the stream description and leaves the
// engine in plmReady. Every refusal is reported in a "Confirm" box and answered with false.
#include "BASSPlayer.h"

#include "Dynamic_Bass.h"
#include "EngineHelpers.h"
#include "MessageBox.h"
#include "PluginCtrl.h"
#include "RT_BASSWMA.h"
#include "RT_basscd.h"
#include "VisDrive.h"

#include <array>
#include <charconv>

namespace bass = Dynamic_Bass;
using namespace engine_detail;

namespace {

constexpr DWORD kUrlFlags = BASS_STREAM_META;                                           // 0x400000
constexpr DWORD kMusicFlags = BASS_MUSIC_POSRESET | BASS_MUSIC_CALCLEN | BASS_MUSIC_RAMPS; // 0x28400
constexpr DWORD kWmaNetworkFlags = 4;
constexpr DWORD kCdFlags = 0x10000;

constexpr std::array<const char*, 7> kNetFileExts = {".MP3", ".MP2", ".MP1", ".OGG", ".WAV", ".WMA", ".ASF"};

template <size_t N>
bool OneOf(const std::string& ext, const std::array<const char*, N>& list)
{
    for (const char* e : list)
        if (ext == e)
            return true;
    return false;
}

// Network addresses are recognised by their scheme as written: "HTTP://..." is a local path.
bool IsNetworkAddress(const std::string& name)
{
    return StartsWith(name, "http://") || StartsWith(name, "ftp://") || StartsWith(name, "mms://");
}

void Confirm(const std::string& text)
{
    ShowMessageBox(text, "Confirm", TMessageIcon::None);
}

// The decimal number after "icy-br:"; false (BitRate kept) when it is not one.
bool ParseBitRate(std::string_view text, int32_t& value)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    int32_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        return false;
    value = v;
    return true;
}

}  // namespace

bool TBASSPlayer::Open(const std::string& StreamName)
{
    if (!FBASSReady) {
        Confirm("Player is not ready !");
        return false;
    }

    const bool network = IsNetworkAddress(StreamName);
    const std::string ext = UpperExt(StreamName);
    TStreamInfo Info;
    int PluginIndex = -1;
    TDecoderChoice Decoder = dcNone;

    // A file that cannot be described, or has too many channels, is refused before the
    // current track is touched.
    if (!network) {
        if (!GetStreamInfo(StreamName, Info, PluginIndex, Decoder)) {
            Confirm("Invalid stream file (" + StreamName + ") !");
            return false;
        }
        if (Info.Channels > 8) {
            Confirm("Channel count exceeds" + std::to_string(8) + " (" + StreamName + ") !");
            return false;
        }
    } else {
        Info.FileName = StreamName;
    }

    ReleaseChannel();

    bool opened = network ? OpenNetworkStream(StreamName, ext, Info)
                          : OpenLocalFile(StreamName, ext, Info, PluginIndex, Decoder);
    if (!opened)
        return false;

    ClearEffectHandles();
    if (FChannelKind != ckPlugin)
        SetSoundEffects(FEffectFlags);
    FStreamName = StreamName;
    FStreamInfo = Info;
    SendVisInfo(2);
    SetMode(plmReady);
    return true;
}

void TBASSPlayer::ReleaseChannel()
{
    switch (FChannelKind) {
    case ckStream:
    case ckCD:
    case ckWMA: bass::BASS_StreamFree(FChannel); break;
    case ckMusic: bass::BASS_MusicFree(FChannel); break;
    case ckPlugin:
        if (FChannel != 0 && FModule && FModule->Stop)
            FModule->Stop();
        break;
    case ckNone: break;
    }
    FChannelKind = ckNone;
    FChannel = 0;
    FDownloaded = FNetFileStream = FNetLiveStream = false;
    FICYTags = nullptr;
    FHTTPHeaders = nullptr;
}

// After the previous channel is gone: no channel now, the mode falls to standby.
void TBASSPlayer::FailOpen(const std::string& Message)
{
    FChannelKind = ckNone;
    FChannel = 0;
    Confirm(Message);
    if (FMode != plmStandby)
        SetMode(plmStandby);
}

bool TBASSPlayer::OpenNetworkStream(const std::string& StreamName, const std::string& Ext, TStreamInfo& Info)
{
    if (Ext == ".ASF" || Ext == ".WMA") {
        // Windows Media from the network plays only through an input plug-in.
        int PluginIndex = FindPluginForExtension(Ext == ".ASF" ? "ASF" : "WMA");
        if (PluginIndex < 0) {
            FailOpen("Winamp input plug-in for ASF (or WMA) file is not loaded.");
            return false;
        }
        FChannelKind = ckPlugin;
        FModule = GetPluginModule(PluginIndex);
        SelectPlugin(PluginIndex);
        Info.SampleRate = 0;
        Info.Duration = 0;
    } else {
        FChannel = bass::BASS_StreamCreateURL(StreamName.c_str(), 0, kUrlFlags, nullptr, nullptr);
        if (FChannel != 0) {
            FChannelKind = ckStream;
        } else if (FWMAReady) {
            std::string address = StreamName;
            if (StartsWith(address, "http://"))
                address = "mms://" + address.substr(7);
            FChannel = RT_BASSWMA::BASS_WMA_StreamCreateFile(FALSE, address.c_str(), 0, 0, kWmaNetworkFlags);
            if (FChannel != 0)
                FChannelKind = ckWMA;
        }
        if (FChannel == 0) {
            FailOpen("Can't play the specified URL stream : " + StreamName);
            return false;
        }
    }

    const bool plugin = FChannelKind == ckPlugin;
    if (OneOf(Ext, kNetFileExts)) {
        // A file being downloaded.
        FNetFileStream = true;
        if (Ext == ".OGG") {
            ForEachListEntry(bass::BASS_StreamGetTags(FChannel, BASS_TAG_OGG), [&](std::string_view e) {
                if (e.find("TITLE=") == std::string_view::npos)
                    return false;
                Info.Title = std::string(e.substr(6));
                return true;
            });
        } else if (!plugin) {
            Info.Title = URLFileTitle(StreamName);
        }
        if (!plugin) {
            if (StartsWith(StreamName, "http://") || StartsWith(StreamName, "mms://"))
                FHTTPHeaders = bass::BASS_StreamGetTags(FChannel, BASS_TAG_HTTP);
            float seconds = bass::BASS_ChannelBytes2Seconds(FChannel, KnownLength(bass::BASS_StreamGetLength(FChannel)));
            Info.Duration = SecondsToMs(seconds);
            DWORD size = bass::BASS_StreamGetFilePosition(FChannel, BASS_FILEPOS_END);
            if (size != 0xFFFFFFFFu) {
                Info.FileSize = size;
                // Without a known length there is no bit rate to derive.
                if (seconds > 0)
                    Info.BitRate = static_cast<int32_t>(RoundEven(size / (static_cast<double>(seconds) * 125.0)));
            }
            bass::BASS_ChannelSetSync(FChannel, BASS_SYNC_DOWNLOAD, 0, DownloadSync, SyncUser());
        }
    } else {
        // A live broadcast.
        FNetLiveStream = true;
        FICYTags = bass::BASS_StreamGetTags(FChannel, BASS_TAG_ICY);
        ForEachListEntry(FICYTags, [&](std::string_view e) {
            if (e.find("icy-br:") == std::string_view::npos)
                return false;
            if (e.size() >= 7)
                ParseBitRate(e.substr(7), Info.BitRate);
            return true;
        });
        if (const char* meta = bass::BASS_StreamGetTags(FChannel, BASS_TAG_META))
            FindStreamTitle(meta, Info.Title);
        bass::BASS_ChannelSetSync(FChannel, BASS_SYNC_META, 0, MetaSync, SyncUser());
    }

    if (!plugin) {
        bass::BASS_ChannelGetInfo(FChannel, &FChannelInfo);
        Info.SampleRate = FChannelInfo.freq;
        Info.Channels = static_cast<uint16_t>(FChannelInfo.chans);
        if (FVisThread)
            FVisThread->SetStreamFormat(FChannel, Info.SampleRate, Info.Channels);
    }
    return true;
}

bool TBASSPlayer::OpenLocalFile(const std::string& StreamName, const std::string& Ext, TStreamInfo& Info,
                                int PluginIndex, TDecoderChoice Decoder)
{
    if (Decoder == dcPlugin || (Decoder == dcBoth && FPluginFirst)) {
        // The plug-in opens the file itself when Play starts it.
        FChannelKind = ckPlugin;
        FModule = GetPluginModule(PluginIndex);
        SelectPlugin(PluginIndex);
        return true;
    }

    FChannel = 0;
    if (Ext == ".CDA") {
        if (FCDReady) {
            FChannel = RT_basscd::BASS_CD_StreamCreateFile(StreamName.c_str(), kCdFlags);
            if (FChannel != 0)
                FChannelKind = ckCD;
        }
    } else if (Ext == ".WMA") {
        if (FWMAReady) {
            FChannel = RT_BASSWMA::BASS_WMA_StreamCreateFile(FALSE, StreamName.c_str(), 0, 0, 0);
            if (FChannel != 0)
                FChannelKind = ckWMA;
        }
    } else if (IsTrackerModuleExt(Ext)) {
        FChannel = bass::BASS_MusicLoad(FALSE, StreamName.c_str(), 0, 0, kMusicFlags, 0);
        if (FChannel != 0) {
            FChannelKind = ckMusic;
            Info.Duration = GetPlayLength();
        }
    } else {
        FChannel = bass::BASS_StreamCreateFile(FALSE, StreamName.c_str(), 0, 0, 0);
        if (FChannel != 0)
            FChannelKind = ckStream;
    }

    if (FChannel == 0) {
        FailOpen("Can't play the specified stream file : " + StreamName);
        return false;
    }

    bass::BASS_ChannelGetInfo(FChannel, &FChannelInfo);
    if (FChannelInfo.flags & BASS_SAMPLE_8BITS) {
        // Whichever of the two applies frees the channel; the mode stays as it was.
        bass::BASS_MusicFree(FChannel);
        bass::BASS_StreamFree(FChannel);
        FChannelKind = ckNone;
        FChannel = 0;
        Confirm("Sound card does not support 16-bit sources.");
        return false;
    }

    if (FVisThread)
        FVisThread->SetStreamFormat(FChannel, Info.SampleRate, Info.Channels);
    return true;
}

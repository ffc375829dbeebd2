// GetStreamInfo: describes a local file before it is opened, with the matching file
// reader, and asks the loaded input plug-ins whether they play it. The answer also tells
// Open who can decode the file.
#include "BASSPlayer.h"

#include "EngineHelpers.h"
#include "PluginCtrl.h"
#include "RT_basscd.h"
#include "fileinfo/MPEGaudio.h"
#include "fileinfo/OggVorbis.h"
#include "fileinfo/WAVfile.h"
#include "fileinfo/WMAfile.h"

#include <cstring>
#include <fstream>

using namespace engine_detail;

namespace {

// The title stored in a tracker module's header: Length bytes at Offset, read into a
// 28-byte field of blanks, with trailing blanks and control characters removed.
std::string ReadModuleTitle(std::ifstream& file, std::streamoff Offset, size_t Length)
{
    char field[28];
    std::memset(field, ' ', sizeof field);
    file.seekg(Offset);
    if (file)
        file.read(field, static_cast<std::streamsize>(Length));
    file.clear();
    std::string title(field, sizeof field);
    while (!title.empty() && static_cast<unsigned char>(title.back()) <= ' ')
        title.pop_back();
    return title;
}

}  // namespace

bool TBASSPlayer::GetStreamInfo(const std::string& StreamName, TStreamInfo& Info, int& PluginIndex,
                                TDecoderChoice& Decoder)
{
    Info = TStreamInfo{};
    Info.BitsPerSample = 16;
    Info.FileName = StreamName;
    Decoder = dcNone;
    PluginIndex = -1;

    // Files without an extension, or with a longer one, are never recognised.
    const std::string ext = UpperExt(StreamName);
    if (ext.size() != 3 && ext.size() != 4)
        return false;

    bool Recognised = ReadLocalFile(StreamName, ext, Info, Decoder);

    // The plug-ins: the first (up to three) letters of the extension anywhere in a
    // plug-in's extension list, and a positive length from its GetFileInfo.
    const std::string key = ext.substr(1, 3);
    const std::string name = StreamName.substr(0, 255);
    for (int i = 0; i < kMaxPlugins; ++i) {
        TInModule* module = GetPluginModule(i);
        if (!module)
            continue;
        if (UpperCase(GetPluginInfo(i).FileExtensions).find(key) == std::string::npos)
            continue;
        PluginIndex = i;
        if (!module->GetFileInfo)
            continue;
        char title[257] = {};
        int length = 0;
        module->GetFileInfo(name.c_str(), title, &length);
        if (length <= 0)
            continue;
        if (Decoder == dcBASS) {
            Decoder = dcBoth;
        } else {
            if (FBASSReady)
                Decoder = dcPlugin;
            Info.Title.assign(title, strnlen(title, 256));
            Info.Duration = static_cast<uint32_t>(length);
            Recognised = true;
        }
        break;
    }

    if (Recognised && Info.Title.empty())
        Info.Title = FileNameOnly(StreamName);
    return Recognised;
}

// The readers' part of GetStreamInfo: true when the file was recognised.
bool TBASSPlayer::ReadLocalFile(const std::string& StreamName, const std::string& Ext, TStreamInfo& Info,
                                TDecoderChoice& Decoder)
{
    const TDecoderChoice bassDecoder = FBASSReady ? dcBASS : dcNone;

    if (Ext == ".WAV") {
        if (!FWAVReader)
            return false;
        TWAVfile& r = *FWAVReader;
        r.ReadFromFile(StreamName);
        if (!r.Valid())
            return false;
        Info.FileSize = static_cast<uint32_t>(r.FileSize());
        Info.SampleRate = r.SampleRate();
        Info.BitsPerSample = r.BitsPerSample();
        // Bits per sample times rate: the channel count is not part of this product.
        Info.BitRate = static_cast<int32_t>(uint32_t{Info.BitsPerSample} * Info.SampleRate / 1000);
        Info.Duration = SecondsToMs(r.Duration());
        Info.Channels = r.Channels();
        Decoder = bassDecoder;
        return true;
    }

    if (Ext == ".OGG") {
        if (!FOggReader)
            return false;
        TOggVorbis& r = *FOggReader;
        r.ReadFromFile(StreamName);
        if (!r.Valid())
            return false;
        Info.FileSize = static_cast<uint32_t>(r.FileSize());
        Info.SampleRate = r.SampleRate();
        Info.BitRate = r.BitRate();
        Info.Duration = SecondsToMs(r.Duration());
        Info.Title = r.Title();
        Info.Artist = r.Artist();
        Info.Album = r.Album();
        Info.Year = r.Date();
        Info.Genre = r.Genre();
        Info.Channels = r.Channels();
        Info.Track = static_cast<uint8_t>(r.Track() & 0xFF);
        Info.Comment = r.Comment();
        Decoder = bassDecoder;
        return true;
    }

    if (Ext == ".WMA") {
        if (!FWMAReader)
            return false;
        TWMAfile& r = *FWMAReader;
        r.ReadFromFile(StreamName);
        if (!r.Valid())
            return false;
        Info.FileSize = static_cast<uint32_t>(r.FileSize());
        Info.SampleRate = static_cast<uint32_t>(r.SampleRate());
        Info.BitRate = r.BitRate();
        Info.Duration = SecondsToMs(r.Duration());
        Info.Title = r.Title();
        Info.Artist = r.Artist();
        Info.Album = r.Album();
        Info.Year = r.Year();
        Info.Genre = r.Genre();
        Info.Channels = r.Channels();
        Info.Track = static_cast<uint8_t>(r.Track() & 0xFF);
        Info.Comment = r.Comment();
        // Played by the library only through its WMA add-on.
        Decoder = FWMAReady ? dcBASS : dcNone;
        return true;
    }

    if (Ext == ".MP1" || Ext == ".MP2" || Ext == ".MP3") {
        if (!FMPEGReader)
            return false;
        TMPEGaudio& r = *FMPEGReader;
        r.ReadFromFile(StreamName);
        if (!r.Valid())
            return false;
        Info.FileSize = static_cast<uint32_t>(r.FileLength());
        Info.SampleRate = r.SampleRate();
        Info.BitRate = r.BitRate();
        Info.Duration = SecondsToMs(r.Duration());
        if (r.ID3v1().Exists()) {
            const TID3v1& t = r.ID3v1();
            Info.Title = t.Title();
            Info.Artist = t.Artist();
            Info.Album = t.Album();
            Info.Year = t.Year();
            Info.Comment = t.Comment();
            Info.Genre = t.Genre();
            Info.GenreID = t.GenreIndex();
            Info.Track = t.Track();
        } else if (r.ID3v2().Exists()) {
            const TID3v2& t = r.ID3v2();
            Info.Title = t.Title();
            Info.Artist = t.Artist();
            Info.Album = t.Album();
            Info.Year = t.Year();
            Info.Genre = t.Genre();
            Info.Comment = t.Comment();
            Info.Track = static_cast<uint8_t>(t.Track() & 0xFF);
        }
        Info.Channels = r.ChannelMode() == "Mono" ? 1 : 2;
        Decoder = bassDecoder;
        return true;
    }

    if (Ext == ".CDA") {
        if (!FCDReady || StreamName.size() < 6)
            return false;
        const char drive = UpperCase(StreamName.substr(0, 1))[0];
        const char* digits = StreamName.c_str() + StreamName.size() - 6;
        if (!std::isdigit(static_cast<unsigned char>(digits[0])) || !std::isdigit(static_cast<unsigned char>(digits[1])))
            return false;  // not a track file name
        const int TrackNo = (digits[0] - '0') * 10 + (digits[1] - '0');
        bool found = false;
        for (int w = 0; w < FCDDriveCount; ++w) {
            if (FCDDrives[static_cast<size_t>(w)].empty() || FCDDrives[static_cast<size_t>(w)][0] != drive)
                continue;
            DWORD Bytes = RT_basscd::BASS_CD_GetTrackLength(static_cast<DWORD>(w), static_cast<DWORD>(TrackNo - 1));
            if (Bytes == 0xFFFFFFFFu)
                continue;  // no such track on this drive
            Info.FileSize = Bytes;
            Info.SampleRate = 44100;
            Info.BitRate = 1408;
            // 176400 bytes a second; in 64 bits, so tracks beyond 40 minutes do not wrap.
            Info.Duration = static_cast<uint32_t>(uint64_t{Bytes} * 10 / 1764);
            Info.Channels = 2;
            Info.Track = static_cast<uint8_t>(TrackNo - 1);
            found = true;
        }
        if (found)
            Decoder = dcBASS;
        return found;
    }

    if (IsTrackerModuleExt(Ext)) {
        std::ifstream file(StreamName, std::ios::binary);
        if (!file)
            return false;
        file.seekg(0, std::ios::end);
        Info.FileSize = static_cast<uint32_t>(file.tellg());
        if (Ext == ".MOD")
            Info.Title = ReadModuleTitle(file, 0, 20);
        else if (Ext == ".MTM" || Ext == ".IT")
            Info.Title = ReadModuleTitle(file, 4, 20);
        else if (Ext == ".XM")
            Info.Title = ReadModuleTitle(file, 17, 20);
        else if (Ext == ".S3M")
            Info.Title = ReadModuleTitle(file, 0, 28);
        else
            Info.Title = FileNameOnly(StreamName);
        Info.SampleRate = 44100;
        Info.BitRate = 1408;
        Info.Channels = 2;
        Decoder = dcBASS;
        return true;
    }

    return false;
}

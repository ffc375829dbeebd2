// The audio library's sync callbacks and the stream metadata they bring. The callbacks
// run on the library's thread and only post a message to the engine's window (MetaSync
// also extracts the title); the engine handles the messages on the UI thread.
#include "BASSPlayer.h"

#include "Dynamic_Bass.h"
#include "EngineHelpers.h"
#include "fileinfo/MPEGaudio.h"

#include <cstring>
#include <mutex>

namespace bass = Dynamic_Bass;
using namespace engine_detail;

namespace {

// The one title buffer shared by all metadata events: the address posted with
// WM_META_TITLE. A newer event overwrites it before an older message is handled, so the
// engine may see the newer title twice; the lock only keeps the copy in and out whole.
char metaTitle[256];
std::mutex metaTitleLock;

// Copy(S, Index, Count) with 1-based Index: what lies in range, empty for a count <= 0.
std::string Copy(const std::string& s, long index, long count)
{
    if (count <= 0 || index < 1 || index > static_cast<long>(s.size()))
        return "";
    return s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count));
}

HWND WindowOf(void* User)
{
    return reinterpret_cast<HWND>(User);
}

}  // namespace

bool FindStreamTitle(const std::string& Meta, std::string& Title)
{
    size_t p = Meta.find("StreamTitle=");
    if (p == std::string::npos)
        return false;
    long P = static_cast<long>(p) + 1;
    size_t q = Meta.find(';');
    long Q = q == std::string::npos ? 0 : static_cast<long>(q) + 1;
    // P + 13 skips "StreamTitle=" and the opening quote; the counts leave out the closing
    // quote. The first ';' of the whole text counts, even one before "StreamTitle=".
    if (Q == 0)
        Title = Copy(Meta, P + 13, static_cast<long>(Meta.size()) - P - 13);
    else
        Title = Copy(Meta, P + 13, Q - P - 14);
    return true;
}

std::string URLFileTitle(const std::string& Address)
{
    const long L = static_cast<long>(Address.size());
    // The search starts six characters before the end and stops at position 6.
    for (long A = L - 6; A >= 6; --A)
        if (Address[static_cast<size_t>(A - 1)] == '/')
            return Copy(Address, A + 1, L - A - 4);
    return "";
}

void EndSync(HSYNC, DWORD Channel, uintptr_t, void* User)
{
    PostMessage(WindowOf(User), WM_STREAM_END, Channel, 0);
}

void DownloadSync(HSYNC, DWORD, uintptr_t, void* User)
{
    PostMessage(WindowOf(User), WM_DOWNLOADED, 0, 0);
}

void MetaSync(HSYNC, DWORD, uintptr_t Data, void* User)
{
    const char* text = reinterpret_cast<const char*>(Data);
    std::string title;
    if (!text || !FindStreamTitle(text, title)) {
        // Not Shoutcast metadata: an Ogg comment list, matched without regard to case.
        ForEachListEntry(text, [&](std::string_view e) {
            if (UpperCase(std::string(e)).find("TITLE=") == std::string::npos)
                return false;
            title = std::string(e.size() > 6 ? e.substr(6) : std::string_view());
            return true;
        });
    }
    title = Utf8Cut(title, sizeof metaTitle - 1);
    {
        std::lock_guard lock(metaTitleLock);
        std::memcpy(metaTitle, title.c_str(), title.size() + 1);
    }
    PostMessage(WindowOf(User), WM_META_TITLE, 0, reinterpret_cast<LPARAM>(metaTitle));
}

void TBASSPlayer::HandleMetaTitle(const char* Title)
{
    if (Title) {
        std::lock_guard lock(metaTitleLock);
        FStreamInfo.Title.assign(Title, strnlen(Title, 255));
    } else {
        FStreamInfo.Title.clear();
    }
    SendVisInfo(2);
    if (OnGetMeta)
        OnGetMeta(this, FStreamInfo.Title);
}

void TBASSPlayer::HandleDownloaded()
{
    FDownloaded = true;  // from now on the file can be sought

    const std::string ext = UpperExt(FStreamName);
    const char* Tag = nullptr;
    uint16_t Kind = 0;
    if (ext == ".MP3" || ext == ".MP2" || ext == ".MP1") {
        if ((Tag = bass::BASS_StreamGetTags(FChannel, BASS_TAG_ID3)) != nullptr)
            Kind = 1;
        else if ((Tag = bass::BASS_StreamGetTags(FChannel, BASS_TAG_ID3V2)) != nullptr)
            Kind = 2;
    }

    DWORD size = bass::BASS_StreamGetFilePosition(FChannel, BASS_FILEPOS_END);
    if (size != 0xFFFFFFFFu)  // a failure keeps the size known so far
        FStreamInfo.FileSize = size;

    TMP3TagInfo TagInfo;
    if (Kind != 0 && FMPEGReader &&
        FMPEGReader->ReadTagFromBuffer(Tag, static_cast<int32_t>(FStreamInfo.FileSize), TagInfo, Kind)) {
        FStreamInfo.Title = TagInfo.Title;
        FStreamInfo.Artist = TagInfo.Artist;
        FStreamInfo.Album = TagInfo.Album;
        FStreamInfo.Year = TagInfo.Year;
        FStreamInfo.Genre = TagInfo.Genre;
        FStreamInfo.Comment = TagInfo.Comment;
        FStreamInfo.Track = static_cast<uint8_t>(TagInfo.Track & 0xFF);
    }

    FStreamInfo.Duration = SecondsToMs(bass::BASS_ChannelBytes2Seconds(FChannel, KnownLength(bass::BASS_StreamGetLength(FChannel))));
    if (OnDownloaded)
        OnDownloaded(this, std::to_string(FStreamInfo.Duration));
}

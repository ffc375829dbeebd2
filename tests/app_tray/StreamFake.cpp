#include "StreamFake.h"

#include "bass.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/stat.h>

namespace {

StreamFakeControl control;
std::recursive_mutex lock;
thread_local int lastError = 0;
DWORD config[16] = {};

void Record(const std::string& event)
{
    control.events.push_back(event);
    if (const char* path = std::getenv("STREAM_FAKE_LOG"); path && *path) {
        if (FILE* f = std::fopen(path, "a")) {
            std::fprintf(f, "%s\n", event.c_str());
            std::fclose(f);
        }
    }
}

StreamFakeChannel* Find(DWORD handle)
{
    if (handle == 0 || handle > control.channels.size())
        return nullptr;
    StreamFakeChannel* c = &control.channels[handle - 1];
    return c->freed ? nullptr : c;
}

BOOL Fail(int code)
{
    lastError = code;
    return FALSE;
}

BOOL Ok()
{
    lastError = 0;
    return TRUE;
}

}  // namespace

extern "C" {

StreamFakeControl* StreamFake_Control()
{
    return &control;
}

void StreamFake_Reset()
{
    std::lock_guard g(lock);
    control = StreamFakeControl();
}

bool StreamFake_End(uint32_t handle)
{
    SYNCPROC* proc = nullptr;
    void* user = nullptr;
    {
        std::lock_guard g(lock);
        StreamFakeChannel* c = Find(handle);
        if (!c || !c->endSync)
            return false;
        c->playing = c->paused = false;
        proc = reinterpret_cast<SYNCPROC*>(c->endSync);
        user = c->endUser;
    }
    proc(1, handle, 0, user);
    return true;
}

DWORD BASS_GetVersion(void) { return 0x00010002; }
DWORD BASS_SetConfig(DWORD option, DWORD value)
{
    if (option >= 16)
        return static_cast<DWORD>(-1);
    config[option] = value;
    return value;
}
DWORD BASS_GetConfig(DWORD option) { return option < 16 ? config[option] : static_cast<DWORD>(-1); }
int BASS_ErrorGetCode(void) { return lastError; }
BOOL BASS_Init(int, DWORD, DWORD, void*, const BASS_GUID*)
{
    Record("init");
    return Ok();
}
BOOL BASS_Free(void)
{
    std::lock_guard g(lock);
    control.frees++;
    Record("bass-free");
    return Ok();
}
BOOL BASS_GetInfo(BASS_INFO* info)
{
    if (!info)
        return Fail(BASS_ERROR_ILLPARAM);
    DWORD size = info->size;
    std::memset(info, 0, sizeof(*info));
    info->size = size;
    info->dsver = 9;
    return Ok();
}
const char* BASS_GetDeviceDescription(DWORD device) { return device == 1 ? "Test output" : nullptr; }

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, DWORD, DWORD, DWORD)
{
    std::lock_guard g(lock);
    struct stat st {};
    if (mem || !file || ::stat(static_cast<const char*>(file), &st) != 0)
        return static_cast<HSTREAM>(Fail(BASS_ERROR_FILEOPEN));
    StreamFakeChannel c;
    c.file = static_cast<const char*>(file);
    control.channels.push_back(c);
    control.opened.push_back(c.file);
    DWORD handle = static_cast<DWORD>(control.channels.size());
    Record("open " + std::to_string(handle) + " " + c.file);
    lastError = 0;
    return handle;
}
HSTREAM BASS_StreamCreateURL(const char*, DWORD, DWORD, DOWNLOADPROC*, void*)
{
    return static_cast<HSTREAM>(Fail(BASS_ERROR_FILEOPEN));
}
HMUSIC BASS_MusicLoad(BOOL, const void*, DWORD, DWORD, DWORD, DWORD)
{
    return static_cast<HMUSIC>(Fail(BASS_ERROR_FILEOPEN));
}

BOOL BASS_StreamFree(HSTREAM handle)
{
    std::lock_guard g(lock);
    StreamFakeChannel* c = Find(handle);
    if (!c)
        return Fail(BASS_ERROR_HANDLE);
    c->freed = true;
    c->playing = c->paused = false;
    Record("free " + std::to_string(handle));
    return Ok();
}
BOOL BASS_MusicFree(HMUSIC) { return Fail(BASS_ERROR_HANDLE); }

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info)
{
    std::lock_guard g(lock);
    if (!Find(handle) || !info)
        return Fail(BASS_ERROR_HANDLE);
    info->freq = 44100;
    info->chans = 2;
    info->flags = 0;
    info->ctype = 0;
    return Ok();
}
BOOL BASS_ChannelPlay(DWORD handle, BOOL)
{
    std::lock_guard g(lock);
    StreamFakeChannel* c = Find(handle);
    if (!c)
        return Fail(BASS_ERROR_HANDLE);
    c->playing = true;
    c->paused = false;
    Record("play " + std::to_string(handle));
    return Ok();
}
BOOL BASS_ChannelStop(DWORD handle)
{
    std::lock_guard g(lock);
    StreamFakeChannel* c = Find(handle);
    if (!c)
        return Fail(BASS_ERROR_HANDLE);
    c->playing = c->paused = false;
    Record("stop " + std::to_string(handle));
    return Ok();
}
BOOL BASS_ChannelPause(DWORD handle)
{
    std::lock_guard g(lock);
    StreamFakeChannel* c = Find(handle);
    if (!c)
        return Fail(BASS_ERROR_HANDLE);
    if (!c->playing)
        return Fail(BASS_ERROR_NOPLAY);
    c->playing = false;
    c->paused = true;
    Record("pause " + std::to_string(handle));
    return Ok();
}
DWORD BASS_ChannelIsActive(DWORD handle)
{
    std::lock_guard g(lock);
    StreamFakeChannel* c = Find(handle);
    if (!c)
        return BASS_ACTIVE_STOPPED;
    return c->playing ? BASS_ACTIVE_PLAYING : c->paused ? BASS_ACTIVE_PAUSED : BASS_ACTIVE_STOPPED;
}
HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD, SYNCPROC* proc, void* user)
{
    std::lock_guard g(lock);
    StreamFakeChannel* c = Find(handle);
    if (!c)
        return static_cast<HSYNC>(Fail(BASS_ERROR_HANDLE));
    if (type == BASS_SYNC_END) {
        c->endSync = reinterpret_cast<void*>(proc);
        c->endUser = user;
    }
    lastError = 0;
    return type + 1;
}
BOOL BASS_ChannelRemoveSync(DWORD, HSYNC) { return Ok(); }

// Lengths and positions: a fixed minute, position 0, 16-bit stereo at 44100 Hz.
QWORD BASS_StreamGetLength(DWORD) { return 60ull * 44100 * 4; }
QWORD BASS_ChannelGetPosition(DWORD) { return 0; }
BOOL BASS_ChannelSetPosition(DWORD, QWORD) { return Ok(); }
float BASS_ChannelBytes2Seconds(DWORD, QWORD pos) { return static_cast<float>(pos) / (44100.0f * 4); }
QWORD BASS_ChannelSeconds2Bytes(DWORD, float pos) { return static_cast<QWORD>(pos * 44100.0f) * 4; }
DWORD BASS_StreamGetFilePosition(HSTREAM, DWORD) { return static_cast<DWORD>(-1); }
const char* BASS_StreamGetTags(HSTREAM, DWORD) { return nullptr; }
DWORD BASS_ChannelGetData(DWORD, void*, DWORD) { return static_cast<DWORD>(Fail(BASS_ERROR_NOPLAY) - 1); }
DWORD BASS_ChannelGetLevel(DWORD) { return 0; }
BOOL BASS_ChannelSetAttributes(DWORD, int, int, int) { return Ok(); }

// Effects and DSP are accepted and do nothing.
HFX BASS_ChannelSetFX(DWORD, DWORD, DWORD) { return 1; }
BOOL BASS_ChannelRemoveFX(DWORD, HFX) { return Ok(); }
BOOL BASS_FXSetParameters(HFX, const void*) { return Ok(); }
BOOL BASS_FXGetParameters(HFX, void*) { return Ok(); }
HDSP BASS_ChannelSetDSP(DWORD, DSPPROC*, void*, int) { return 1; }
BOOL BASS_ChannelRemoveDSP(DWORD, HDSP) { return Ok(); }

}  // extern "C"

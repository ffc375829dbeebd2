#include "FakeBass.h"

#include "bass.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
FakeBassControl control;
thread_local int lastError = 0;

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

std::string Hex(uint64_t v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

// Appends the calls recorded since the last flush to the file FAKE_BASS_LOG names.
void FlushLog()
{
    static size_t written = 0;
    const char* path = std::getenv("FAKE_BASS_LOG");
    if (!path || !*path)
        return;
    if (written > control.calls.size())
        written = 0;  // the control block was reset
    if (FILE* f = std::fopen(path, "a")) {
        for (; written < control.calls.size(); ++written)
            std::fprintf(f, "%s\n", control.calls[written].c_str());
        std::fclose(f);
    }
}

// Stops the channel at its end and runs its end syncs; false when it has none.
bool EndChannel(DWORD handle)
{
    FakeChannel* c = control.Find(handle);
    if (!c)
        return false;
    c->state = BASS_ACTIVE_STOPPED;
    c->position = c->source.length;
    std::vector<FakeSync> ends;
    for (const FakeSync& s : c->syncs)
        if (s.type == BASS_SYNC_END)
            ends.push_back(s);
    for (const FakeSync& s : ends)
        s.proc(s.handle, handle, 0, s.user);
    return !ends.empty();
}

uint64_t BytesPerSecond(const FakeChannel& c)
{
    uint64_t bps = uint64_t{c.source.freq} * c.source.chans * ((c.source.flags & BASS_SAMPLE_8BITS) ? 1 : 2);
    return bps ? bps : 1;
}
}  // namespace

extern "C" {

FakeBassControl* FakeBass_Control()
{
    return &control;
}

bool FakeBass_EndChannel(uint32_t handle)
{
    return EndChannel(handle);
}

uint32_t FakeBass_CreateChannel(const char* name, const char* creator)
{
    std::string n = name ? name : "";
    if (std::find(control.refuse.begin(), control.refuse.end(), n) != control.refuse.end())
        return static_cast<uint32_t>(Fail(BASS_ERROR_FILEFORM));
    FakeChannel c;
    auto it = control.sources.find(n);
    if (it != control.sources.end())
        c.source = it->second;
    else if (control.acceptUnknown)
        c.source = control.defaultSource;
    else
        return static_cast<uint32_t>(Fail(BASS_ERROR_FILEOPEN));
    c.name = n;
    c.creator = creator;
    uint32_t h = control.nextHandle++;
    control.channels[h] = c;
    Ok();
    return h;
}

DWORD BASS_GetVersion(void)
{
    control.calls.push_back("BASS_GetVersion");
    return control.version;
}

DWORD BASS_SetConfig(DWORD option, DWORD value)
{
    control.calls.push_back("BASS_SetConfig(" + std::to_string(option) + "," + std::to_string(value) + ")");
    if (option >= 16)
        return static_cast<DWORD>(Fail(BASS_ERROR_ILLTYPE) - 1);
    control.config[option] = value;
    lastError = 0;
    return value;
}

DWORD BASS_GetConfig(DWORD option)
{
    return option < 16 ? control.config[option] : 0xFFFFFFFFu;
}

int BASS_ErrorGetCode(void)
{
    return lastError;
}

BOOL BASS_Init(int device, DWORD freq, DWORD, void*, const BASS_GUID*)
{
    control.calls.push_back("BASS_Init");
    control.initCalls++;
    control.initDevice = device;
    control.initFreq = freq;
    FlushLog();
    if (!control.initResult)
        return Fail(control.initError);
    lastError = 0;
    return TRUE;
}

BOOL BASS_Free(void)
{
    control.calls.push_back("BASS_Free");
    control.freeCalls++;
    FlushLog();
    return TRUE;
}

BOOL BASS_GetInfo(BASS_INFO* info)
{
    if (!info)
        return Fail(BASS_ERROR_ILLPARAM);
    DWORD size = info->size;
    std::memset(info, 0, sizeof(*info));
    info->size = size;
    info->dsver = control.dsver;
    return TRUE;
}

// ---- streams and music ----

HSTREAM BASS_StreamCreateFile(BOOL, const void* file, DWORD offset, DWORD length, DWORD flags)
{
    const char* name = static_cast<const char*>(file);
    control.calls.push_back("BASS_StreamCreateFile(" + std::string(name ? name : "") + "," + std::to_string(offset) +
                            "," + std::to_string(length) + "," + Hex(flags) + ")");
    return FakeBass_CreateChannel(name, "StreamCreateFile");
}

HSTREAM BASS_StreamCreate(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void* user)
{
    control.calls.push_back("BASS_StreamCreate(" + std::to_string(freq) + "," + std::to_string(chans) + "," +
                            Hex(flags) + ")");
    if (control.streamCreateRefused || !proc)
        return static_cast<HSTREAM>(Fail(BASS_ERROR_ILLPARAM));
    HSTREAM h = FakeBass_CreateChannel("", "StreamCreate");
    if (FakeChannel* c = control.Find(h)) {
        c->source.freq = freq;
        c->source.chans = chans;
        c->source.flags = flags;
        c->source.length = 0;
        c->proc = proc;
        c->user = user;
    }
    return h;
}

BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan)
{
    control.calls.push_back("BASS_ChannelSetAttributes(" + std::to_string(handle) + "," + std::to_string(freq) + "," +
                            std::to_string(volume) + "," + std::to_string(pan) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c)
        return Fail(BASS_ERROR_HANDLE);
    if (pan >= -100 && pan <= 100)
        c->pan = pan;
    return Ok();
}

HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC*, void*)
{
    control.calls.push_back("BASS_StreamCreateURL(" + std::string(url ? url : "") + "," + std::to_string(offset) + "," +
                            Hex(flags) + ")");
    if (control.urlRefused)
        return static_cast<HSTREAM>(Fail(BASS_ERROR_NONET));
    return FakeBass_CreateChannel(url, "StreamCreateURL");
}

HMUSIC BASS_MusicLoad(BOOL, const void* file, DWORD offset, DWORD length, DWORD flags, DWORD freq)
{
    const char* name = static_cast<const char*>(file);
    control.calls.push_back("BASS_MusicLoad(" + std::string(name ? name : "") + "," + std::to_string(offset) + "," +
                            std::to_string(length) + "," + Hex(flags) + "," + std::to_string(freq) + ")");
    if (control.musicRefused)
        return static_cast<HMUSIC>(Fail(BASS_ERROR_FILEFORM));
    return FakeBass_CreateChannel(name, "MusicLoad");
}

BOOL BASS_StreamFree(HSTREAM handle)
{
    control.calls.push_back("BASS_StreamFree(" + std::to_string(handle) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c || c->creator == "MusicLoad")
        return Fail(BASS_ERROR_HANDLE);
    control.channels.erase(handle);
    return Ok();
}

BOOL BASS_MusicFree(HMUSIC handle)
{
    control.calls.push_back("BASS_MusicFree(" + std::to_string(handle) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c || c->creator != "MusicLoad")
        return Fail(BASS_ERROR_HANDLE);
    control.channels.erase(handle);
    return Ok();
}

QWORD BASS_StreamGetLength(DWORD handle)
{
    FakeChannel* c = control.Find(handle);
    if (!c || c->creator == "MusicLoad") {
        Fail(BASS_ERROR_HANDLE);
        return ~QWORD{0};
    }
    Ok();
    return c->source.length;
}

DWORD BASS_MusicGetLength(HMUSIC handle, BOOL playlen)
{
    FakeChannel* c = control.Find(handle);
    if (!c || c->creator != "MusicLoad" || !playlen) {
        Fail(BASS_ERROR_HANDLE);
        return 0xFFFFFFFFu;
    }
    Ok();
    return static_cast<DWORD>(c->source.length);
}

const char* BASS_StreamGetTags(HSTREAM handle, DWORD tags)
{
    control.calls.push_back("BASS_StreamGetTags(" + std::to_string(handle) + "," + std::to_string(tags) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c)
        return nullptr;
    auto it = c->source.tags.find(tags);
    return it == c->source.tags.end() ? nullptr : it->second.c_str();
}

DWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode)
{
    FakeChannel* c = control.Find(handle);
    if (!c || mode != BASS_FILEPOS_END)
        return 0xFFFFFFFFu;
    return c->source.fileSize;
}

// ---- channels ----

float BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos)
{
    FakeChannel* c = control.Find(handle);
    if (!c)
        return -1.0f;
    return static_cast<float>(static_cast<double>(pos) / static_cast<double>(BytesPerSecond(*c)));
}

QWORD BASS_ChannelSeconds2Bytes(DWORD handle, float pos)
{
    FakeChannel* c = control.Find(handle);
    if (!c)
        return ~QWORD{0};
    uint64_t frame = c->source.chans * ((c->source.flags & BASS_SAMPLE_8BITS) ? 1u : 2u);
    uint64_t bytes = static_cast<uint64_t>(std::llround(static_cast<double>(pos) * static_cast<double>(BytesPerSecond(*c))));
    return bytes / frame * frame;
}

uint32_t FakeBass_PullUserStream(uint32_t handle, uint32_t bytes)
{
    FakeChannel* c = control.Find(handle);
    if (!c || !c->proc)
        return 0;
    std::vector<uint8_t> buf(bytes);
    const DWORD got = c->proc(handle, buf.data(), bytes, c->user);
    const DWORD n = std::min<DWORD>(got & ~BASS_STREAMPROC_END, bytes);
    control.pulled.insert(control.pulled.end(), buf.begin(), buf.begin() + n);
    c->position += n;
    if (got & BASS_STREAMPROC_END)
        c->state = BASS_ACTIVE_STOPPED;
    return got;
}

DWORD BASS_ChannelIsActive(DWORD handle)
{
    FakeChannel* c = control.Find(handle);
    if (c && c->proc && c->state == BASS_ACTIVE_PLAYING && control.userStreamsPlay)
        FakeBass_PullUserStream(handle, control.userStreamBlock);
    return c ? c->state : control.activeState;
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info)
{
    FakeChannel* c = control.Find(handle);
    if (!c || !info)
        return Fail(BASS_ERROR_HANDLE);
    info->freq = c->source.freq;
    info->chans = c->source.chans;
    info->flags = c->source.flags;
    info->ctype = BASS_CTYPE_STREAM;
    return Ok();
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart)
{
    control.calls.push_back("BASS_ChannelPlay(" + std::to_string(handle) + "," + std::to_string(restart) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c || control.playRefused)
        return Fail(BASS_ERROR_HANDLE);
    if (restart)
        c->position = 0;
    c->state = BASS_ACTIVE_PLAYING;
    FlushLog();
    if (c->source.endsOnPlay)
        EndChannel(handle);
    return Ok();
}

BOOL BASS_ChannelStop(DWORD handle)
{
    control.calls.push_back("BASS_ChannelStop(" + std::to_string(handle) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c)
        return Fail(BASS_ERROR_HANDLE);
    c->state = BASS_ACTIVE_STOPPED;
    FlushLog();
    return Ok();
}

BOOL BASS_ChannelPause(DWORD handle)
{
    control.calls.push_back("BASS_ChannelPause(" + std::to_string(handle) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c || c->state != BASS_ACTIVE_PLAYING)
        return Fail(BASS_ERROR_NOPLAY);
    c->state = BASS_ACTIVE_PAUSED;
    return Ok();
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos)
{
    control.calls.push_back("BASS_ChannelSetPosition(" + std::to_string(handle) + "," + Hex(pos) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c)
        return Fail(BASS_ERROR_HANDLE);
    if (c->creator == "MusicLoad") {
        // Only the seconds form: MAKELONG(seconds, 0xFFFF), sign-extended.
        if ((pos >> 16) != 0xFFFFFFFFFFFFull)
            return Fail(BASS_ERROR_POSITION);
        c->position = (pos & 0xFFFF) * BytesPerSecond(*c);
        return Ok();
    }
    if (pos > c->source.length)
        return Fail(BASS_ERROR_POSITION);
    c->position = pos;
    return Ok();
}

QWORD BASS_ChannelGetPosition(DWORD handle)
{
    FakeChannel* c = control.Find(handle);
    if (!c) {
        Fail(BASS_ERROR_HANDLE);
        return ~QWORD{0};
    }
    return c->position;
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length)
{
    control.getDataCalls++;
    FakeChannel* c = control.Find(handle);
    if (c && !buffer && length == 0)
        return control.buffered;
    if (c && buffer && (length == BASS_DATA_FFT2048 || length == (BASS_DATA_FFT2048 | BASS_DATA_FFT_INDIVIDUAL))) {
        control.calls.push_back("BASS_ChannelGetData(" + std::to_string(handle) + "," + std::to_string(length) + ")");
        const size_t n = length == BASS_DATA_FFT2048 ? 1024 : 1024 * c->source.chans;
        float* out = static_cast<float*>(buffer);
        for (size_t i = 0; i < n; ++i)
            out[i] = i < control.fft2048.size() ? control.fft2048[i] : 0.0f;
        return static_cast<DWORD>(n * sizeof(float));
    }
    if (c && buffer && !(length & 0x80000000u)) {
        control.calls.push_back("BASS_ChannelGetData(" + std::to_string(handle) + "," + std::to_string(length) + ")");
        const size_t n = std::min<size_t>(length / 2, control.samples.size());
        std::copy_n(control.samples.begin(), n, static_cast<int16_t*>(buffer));
        return static_cast<DWORD>(n * 2);
    }
    if (!c || control.fft.empty() || length != BASS_DATA_FFT512 || !buffer)
        return 0xFFFFFFFFu;
    float* out = static_cast<float*>(buffer);
    for (size_t i = 0; i < 256; ++i)
        out[i] = i < control.fft.size() ? control.fft[i] : 0.0f;
    return 512 * 2 * c->source.chans;
}

HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC* proc, void* user)
{
    control.calls.push_back("BASS_ChannelSetSync(" + std::to_string(handle) + "," + std::to_string(type) + "," +
                            std::to_string(param) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c || !proc)
        return static_cast<HSYNC>(Fail(BASS_ERROR_HANDLE));
    FakeSync s{control.nextHandle++, type, proc, user};
    c->syncs.push_back(s);
    Ok();
    return s.handle;
}

BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync)
{
    control.calls.push_back("BASS_ChannelRemoveSync(" + std::to_string(handle) + "," + std::to_string(sync) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c)
        return Fail(BASS_ERROR_HANDLE);
    auto it = std::find_if(c->syncs.begin(), c->syncs.end(), [&](auto& s) { return s.handle == sync; });
    if (it == c->syncs.end())
        return Fail(BASS_ERROR_HANDLE);
    c->syncs.erase(it);
    return Ok();
}

HDSP BASS_ChannelSetDSP(DWORD handle, DSPPROC* proc, void*, int priority)
{
    control.calls.push_back("BASS_ChannelSetDSP(" + std::to_string(handle) + "," + std::to_string(priority) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c || !proc)
        return static_cast<HDSP>(Fail(BASS_ERROR_HANDLE));
    uint32_t h = control.nextHandle++;
    c->dsps.emplace_back(h, proc);
    Ok();
    return h;
}

BOOL BASS_ChannelRemoveDSP(DWORD handle, HDSP dsp)
{
    control.calls.push_back("BASS_ChannelRemoveDSP(" + std::to_string(handle) + "," + std::to_string(dsp) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c)
        return Fail(BASS_ERROR_HANDLE);
    auto it = std::find_if(c->dsps.begin(), c->dsps.end(), [&](auto& d) { return d.first == dsp; });
    if (it == c->dsps.end())
        return Fail(BASS_ERROR_HANDLE);
    c->dsps.erase(it);
    return Ok();
}

HFX BASS_ChannelSetFX(DWORD handle, DWORD type, DWORD priority)
{
    control.calls.push_back("BASS_ChannelSetFX(" + std::to_string(handle) + "," + std::to_string(type) + "," +
                            std::to_string(priority) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c || control.fxRefused)
        return static_cast<HFX>(Fail(BASS_ERROR_NOFX));
    FakeEffect e{control.nextHandle++, type, priority, {}};
    c->effects.push_back(e);
    Ok();
    return e.handle;
}

BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx)
{
    control.calls.push_back("BASS_ChannelRemoveFX(" + std::to_string(handle) + "," + std::to_string(fx) + ")");
    FakeChannel* c = control.Find(handle);
    if (!c)
        return Fail(BASS_ERROR_HANDLE);
    auto it = std::find_if(c->effects.begin(), c->effects.end(), [&](auto& e) { return e.handle == fx; });
    if (it == c->effects.end())
        return Fail(BASS_ERROR_HANDLE);
    c->effects.erase(it);
    return Ok();
}

static FakeEffect* FindEffect(HFX fx)
{
    for (auto& [h, c] : control.channels)
        for (auto& e : c.effects)
            if (e.handle == fx)
                return &e;
    return nullptr;
}

static size_t ParamCount(uint32_t type)
{
    switch (type) {
    case BASS_FX_PARAMEQ: return 3;
    case BASS_FX_ECHO: return 5;
    case BASS_FX_REVERB: return 4;
    default: return 0;
    }
}

BOOL BASS_FXSetParameters(HFX handle, const void* par)
{
    control.calls.push_back("BASS_FXSetParameters(" + std::to_string(handle) + ")");
    FakeEffect* e = FindEffect(handle);
    if (!e || !par)
        return Fail(BASS_ERROR_HANDLE);
    const float* f = static_cast<const float*>(par);
    e->params.assign(f, f + ParamCount(e->type));
    return Ok();
}

BOOL BASS_FXGetParameters(HFX handle, void* par)
{
    FakeEffect* e = FindEffect(handle);
    if (!e || !par)
        return Fail(BASS_ERROR_HANDLE);
    if (e->type == BASS_FX_ECHO) {
        BASS_FXECHO echo{50, 50, 500, 500, 0};  // the effect's own defaults
        std::memcpy(par, &echo, sizeof echo);
    } else if (e->type == BASS_FX_REVERB) {
        BASS_FXREVERB reverb{0, 0, 1000, 0.001f};
        std::memcpy(par, &reverb, sizeof reverb);
    } else {
        BASS_FXPARAMEQ eq{100, 12, 0};
        std::memcpy(par, &eq, sizeof eq);
    }
    return Ok();
}

}  // extern "C"

// Exported general functions: configuration, device, output and the offline renderer.
#include "Library.h"
#include "Mixer.h"
#include "Output.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

using namespace aubadine::bass;

namespace {

DWORD volumeConfig(const std::atomic<float>& share) {
    return static_cast<DWORD>(std::lround(share.load() * static_cast<float>(config().maxVol.load())));
}

void setVolumeConfig(std::atomic<float>& share, DWORD value) {
    const DWORD top = config().maxVol.load();
    if (value > top) fail(BASS_ERROR_ILLPARAM);
    share = static_cast<float>(value) / static_cast<float>(top);
}

}  // namespace

extern "C" {

BASSDEF DWORD BASS_SetConfig(DWORD option, DWORD value) {
    return boundary<DWORD>(DWORD(-1), [&]() -> DWORD {
        Config& c = config();
        switch (option) {
        case BASS_CONFIG_BUFFER:
            if (value < 10 || value > 5000) fail(BASS_ERROR_ILLPARAM);
            c.bufferMs = value;  // applies from the next BASS_Init
            break;
        case BASS_CONFIG_UPDATEPERIOD:
            if (value < 5 || value > 100) fail(BASS_ERROR_ILLPARAM);
            c.updatePeriodMs = value;
            break;
        case BASS_CONFIG_MAXVOL:
            if (value < 1 || value > 10000) fail(BASS_ERROR_ILLPARAM);
            c.maxVol = value;
            break;
        case BASS_CONFIG_GVOL_SAMPLE: setVolumeConfig(c.sampleVolume, value); break;
        case BASS_CONFIG_GVOL_STREAM: setVolumeConfig(c.streamVolume, value); break;
        case BASS_CONFIG_GVOL_MUSIC: setVolumeConfig(c.musicVolume, value); break;
        case BASS_CONFIG_NET_TIMEOUT: c.netTimeoutMs = value; break;
        case BASS_CONFIG_NET_BUFFER:
            if (value < 1000 || value > 60000) fail(BASS_ERROR_ILLPARAM);
            c.netBufferMs = value;
            break;
        default: fail(BASS_ERROR_ILLTYPE);
        }
        return BASS_GetConfig(option);
    });
}

BASSDEF DWORD BASS_GetConfig(DWORD option) {
    return boundary<DWORD>(DWORD(-1), [&]() -> DWORD {
        const Config& c = config();
        switch (option) {
        case BASS_CONFIG_BUFFER: return c.bufferMs;
        case BASS_CONFIG_UPDATEPERIOD: return c.updatePeriodMs;
        case BASS_CONFIG_MAXVOL: return c.maxVol;
        case BASS_CONFIG_GVOL_SAMPLE: return volumeConfig(c.sampleVolume);
        case BASS_CONFIG_GVOL_STREAM: return volumeConfig(c.streamVolume);
        case BASS_CONFIG_GVOL_MUSIC: return volumeConfig(c.musicVolume);
        case BASS_CONFIG_NET_TIMEOUT: return c.netTimeoutMs;
        case BASS_CONFIG_NET_BUFFER: return c.netBufferMs;
        default: fail(BASS_ERROR_ILLTYPE);
        }
    });
}

BASSDEF DWORD BASS_GetVersion(void) {
    setError(BASS_OK);
    return BASSVERSION;
}

BASSDEF const char* BASS_GetDeviceDescription(DWORD device) {
    return boundary<const char*>(nullptr, [&]() -> const char* {
        static std::mutex mutex;
        static std::map<DWORD, std::string> names;  // texts handed out stay valid
        std::string name = device == 0 ? std::string("No sound") : Output::deviceName(static_cast<int>(device));
        if (name.empty()) fail(BASS_ERROR_DEVICE);
        std::lock_guard lock(mutex);
        auto& kept = names[device];
        if (kept != name) kept = name;
        return kept.c_str();
    });
}

BASSDEF int BASS_ErrorGetCode(void) { return lastError(); }

BASSDEF BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* /*win*/, const BASS_GUID* /*clsid*/) {
    return boundary<BOOL>(FALSE, [&] {
        Library::instance().init(device, freq, flags);
        return TRUE;
    });
}

BASSDEF BOOL BASS_SetDevice(DWORD device) {
    return boundary<BOOL>(FALSE, [&] {
        if (static_cast<int>(device) != Library::instance().device()) fail(BASS_ERROR_DEVICE);
        return TRUE;
    });
}

BASSDEF DWORD BASS_GetDevice(void) {
    return boundary<DWORD>(DWORD(-1), [] { return static_cast<DWORD>(Library::instance().device()); });
}

BASSDEF BOOL BASS_Free(void) {
    return boundary<BOOL>(FALSE, [] {
        Library::instance().free();
        return TRUE;
    });
}

BASSDEF void* BASS_GetDSoundObject(DWORD) { return unavailable<void*>(nullptr); }

BASSDEF BOOL BASS_GetInfo(BASS_INFO* info) {
    return boundary<BOOL>(FALSE, [&] {
        if (!info) fail(BASS_ERROR_ILLPARAM);
        Library& library = Library::instance();
        library.device();  // fails when not initialised
        const DWORD size = info->size;
        if (size < sizeof(DWORD)) fail(BASS_ERROR_ILLPARAM);
        BASS_INFO full{};
        full.size = sizeof(BASS_INFO);
        full.flags = 0;
        full.minrate = 1000;
        full.maxrate = 192000;
        full.eax = FALSE;
        full.minbuf = config().bufferMs;
        full.dsver = 8;  // the DirectX 8 effects (equalizer, echo, reverb) are available
        full.latency = library.latencyMs();
        full.initflags = library.flags();
        full.speakers = 2;
        full.freq = library.rate();
        std::memcpy(info, &full, std::min<size_t>(size, sizeof full));
        info->size = size;
        return TRUE;
    });
}

BASSDEF BOOL BASS_Update(void) {
    return boundary<BOOL>(FALSE, [] {
        Library::instance().mixer()->update();
        return TRUE;
    });
}

BASSDEF float BASS_GetCPU(void) {
    return boundary<float>(-1.0f, [] { return Library::instance().mixer()->cpuPercent(); });
}

BASSDEF BOOL BASS_Start(void) {
    return boundary<BOOL>(FALSE, [] {
        Library::instance().startOutput();
        return TRUE;
    });
}

BASSDEF BOOL BASS_Stop(void) {
    return boundary<BOOL>(FALSE, [] {
        Library::instance().stopOutput();
        return TRUE;
    });
}

BASSDEF BOOL BASS_Pause(void) {
    return boundary<BOOL>(FALSE, [] {
        Library::instance().pauseOutput();
        return TRUE;
    });
}

BASSDEF BOOL BASS_SetVolume(DWORD volume) {
    return boundary<BOOL>(FALSE, [&] {
        Library::instance().device();
        setVolumeConfig(config().masterVolume, volume);
        return TRUE;
    });
}

BASSDEF DWORD BASS_GetVolume(void) {
    return boundary<DWORD>(DWORD(-1), [] {
        Library::instance().device();
        return volumeConfig(config().masterVolume);
    });
}

BASSDEF DWORD AUBADINE_BASS_Render(void* buffer, DWORD bytes) {
    return boundary<DWORD>(DWORD(-1), [&]() -> DWORD {
        auto mixer = Library::instance().mixer();
        if (mixer->realtime()) fail(BASS_ERROR_NOTAVAIL);
        if (!buffer && bytes) fail(BASS_ERROR_ILLPARAM);
        const size_t frames = bytes / 4;
        mixer->render(static_cast<int16_t*>(buffer), frames);
        return static_cast<DWORD>(frames * 4);
    });
}

}  // extern "C"

#include "FakeBass.h"

#include "bass.h"

#include <cstring>

namespace {
FakeBassControl control;
thread_local int lastError = 0;

BOOL Fail(int code)
{
    lastError = code;
    return FALSE;
}
}  // namespace

extern "C" {

FakeBassControl* FakeBass_Control()
{
    return &control;
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
    if (!control.initResult)
        return Fail(control.initError);
    lastError = 0;
    return TRUE;
}

BOOL BASS_Free(void)
{
    control.calls.push_back("BASS_Free");
    control.freeCalls++;
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

DWORD BASS_ChannelIsActive(DWORD)
{
    return control.activeState;
}

}  // extern "C"

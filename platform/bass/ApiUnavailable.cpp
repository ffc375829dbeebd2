// The names that the library carries only so that the whole interface binds: 3D sound, EAX,
// samples, recording, channel links and attribute sliding. Each answers failure with
// BASS_ERROR_NOTAVAIL.
#include "CBoundary.h"

using namespace aubadine::bass;

extern "C" {

BASSDEF BOOL BASS_Set3DFactors(float, float, float) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_Get3DFactors(float*, float*, float*) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_Set3DPosition(const BASS_3DVECTOR*, const BASS_3DVECTOR*, const BASS_3DVECTOR*,
                                const BASS_3DVECTOR*) {
    return unavailable<BOOL>(FALSE);
}
BASSDEF BOOL BASS_Get3DPosition(BASS_3DVECTOR*, BASS_3DVECTOR*, BASS_3DVECTOR*, BASS_3DVECTOR*) {
    return unavailable<BOOL>(FALSE);
}
BASSDEF void BASS_Apply3D(void) { setError(BASS_ERROR_NOTAVAIL); }
BASSDEF BOOL BASS_SetEAXParameters(int, float, float, float) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_GetEAXParameters(DWORD*, float*, float*, float*) { return unavailable<BOOL>(FALSE); }

BASSDEF HSAMPLE BASS_SampleLoad(BOOL, const void*, DWORD, DWORD, DWORD, DWORD) { return unavailable<HSAMPLE>(0); }
BASSDEF void* BASS_SampleCreate(DWORD, DWORD, DWORD, DWORD) { return unavailable<void*>(nullptr); }
BASSDEF HSAMPLE BASS_SampleCreateDone(void) { return unavailable<HSAMPLE>(0); }
BASSDEF BOOL BASS_SampleFree(HSAMPLE) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_SampleGetInfo(HSAMPLE, BASS_SAMPLE*) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_SampleSetInfo(HSAMPLE, const BASS_SAMPLE*) { return unavailable<BOOL>(FALSE); }
BASSDEF HCHANNEL BASS_SampleGetChannel(HSAMPLE, BOOL) { return unavailable<HCHANNEL>(0); }
BASSDEF BOOL BASS_SampleStop(HSAMPLE) { return unavailable<BOOL>(FALSE); }

BASSDEF const char* BASS_RecordGetDeviceDescription(DWORD) { return unavailable<const char*>(nullptr); }
BASSDEF BOOL BASS_RecordInit(int) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_RecordSetDevice(DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF DWORD BASS_RecordGetDevice(void) { return unavailable<DWORD>(DWORD(-1)); }
BASSDEF BOOL BASS_RecordFree(void) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_RecordGetInfo(BASS_RECORDINFO*) { return unavailable<BOOL>(FALSE); }
BASSDEF const char* BASS_RecordGetInputName(int) { return unavailable<const char*>(nullptr); }
BASSDEF BOOL BASS_RecordSetInput(int, DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF DWORD BASS_RecordGetInput(int) { return unavailable<DWORD>(DWORD(-1)); }
BASSDEF HRECORD BASS_RecordStart(DWORD, DWORD, DWORD, RECORDPROC*, void*) { return unavailable<HRECORD>(0); }

BASSDEF BOOL BASS_ChannelSlideAttributes(DWORD, int, int, int, DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF DWORD BASS_ChannelIsSliding(DWORD) { return unavailable<DWORD>(0); }
BASSDEF BOOL BASS_ChannelSet3DAttributes(DWORD, int, float, float, int, int, int) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_ChannelGet3DAttributes(DWORD, DWORD*, float*, float*, DWORD*, DWORD*, DWORD*) {
    return unavailable<BOOL>(FALSE);
}
BASSDEF BOOL BASS_ChannelSet3DPosition(DWORD, const BASS_3DVECTOR*, const BASS_3DVECTOR*, const BASS_3DVECTOR*) {
    return unavailable<BOOL>(FALSE);
}
BASSDEF BOOL BASS_ChannelGet3DPosition(DWORD, BASS_3DVECTOR*, BASS_3DVECTOR*, BASS_3DVECTOR*) {
    return unavailable<BOOL>(FALSE);
}
BASSDEF BOOL BASS_ChannelSetEAXMix(DWORD, float) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_ChannelGetEAXMix(DWORD, float*) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_ChannelSetLink(DWORD, DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_ChannelRemoveLink(DWORD, DWORD) { return unavailable<BOOL>(FALSE); }

}  // extern "C"

// libbasscd.so: drives are listed now; reading discs and track streams come with the CD
// issue, and analog playback is not offered (BASS_ERROR_NOTAVAIL).
#include "basscd.h"

#include "CBoundary.h"
#include "Drives.h"

using namespace aubadine::bass;
using aubadine::basscd::drives;

namespace {

const aubadine::basscd::Drive& driveAt(DWORD drive) {
    const auto& list = drives();
    if (drive >= list.size()) fail(BASS_ERROR_DEVICE);
    return list[drive];
}

}  // namespace

extern "C" {

BASSDEF const char* BASS_CD_GetDriveDescription(DWORD drive) {
    return boundary<const char*>(nullptr, [&] { return driveAt(drive).description.c_str(); });
}

BASSDEF DWORD BASS_CD_GetDriveLetter(DWORD drive) {
    return boundary<DWORD>(DWORD(-1), [&] { return driveAt(drive).letter; });
}

BASSDEF BOOL BASS_CD_GetInfo(DWORD, BASS_CD_INFO*) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_CD_Door(DWORD, DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_CD_DoorIsOpen(DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_CD_DoorIsLocked(DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_CD_IsReady(DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF DWORD BASS_CD_GetTracks(DWORD) { return unavailable<DWORD>(DWORD(-1)); }
BASSDEF DWORD BASS_CD_GetTrackLength(DWORD, DWORD) { return unavailable<DWORD>(DWORD(-1)); }
BASSDEF const char* BASS_CD_GetID(DWORD, DWORD) { return unavailable<const char*>(nullptr); }
BASSDEF BOOL BASS_CD_Release(DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF HSTREAM BASS_CD_StreamCreate(DWORD, DWORD, DWORD) { return unavailable<HSTREAM>(0); }
BASSDEF HSTREAM BASS_CD_StreamCreateFile(const char*, DWORD) { return unavailable<HSTREAM>(0); }
BASSDEF DWORD BASS_CD_StreamGetTrack(HSTREAM) { return unavailable<DWORD>(DWORD(-1)); }
BASSDEF BOOL BASS_CD_Analog_Play(DWORD, DWORD, DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF DWORD BASS_CD_Analog_PlayFile(const char*, DWORD) { return unavailable<DWORD>(DWORD(-1)); }
BASSDEF BOOL BASS_CD_Analog_Stop(DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF DWORD BASS_CD_Analog_IsActive(DWORD) { return unavailable<DWORD>(0); }
BASSDEF DWORD BASS_CD_Analog_GetPosition(DWORD) { return unavailable<DWORD>(DWORD(-1)); }

}  // extern "C"

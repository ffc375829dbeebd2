#include "FakeBass.h"

#include "basscd.h"

extern "C" {

const char* BASS_CD_GetDriveDescription(DWORD drive)
{
    return drive < FakeBass_Control()->cdDrives.size() ? FakeBass_Control()->cdDrives[drive].c_str() : nullptr;
}

DWORD BASS_CD_GetDriveLetter(DWORD drive)
{
    return drive < FakeBass_Control()->cdLetters.size() ? FakeBass_Control()->cdLetters[drive] : 0xFFFFFFFFu;
}

}  // extern "C"

#include "FakeBass.h"

#include "basscd.h"

#include <string>

extern "C" {

const char* BASS_CD_GetDriveDescription(DWORD drive)
{
    return drive < FakeBass_Control()->cdDrives.size() ? FakeBass_Control()->cdDrives[drive].c_str() : nullptr;
}

DWORD BASS_CD_GetDriveLetter(DWORD drive)
{
    return drive < FakeBass_Control()->cdLetters.size() ? FakeBass_Control()->cdLetters[drive] : 0xFFFFFFFFu;
}

DWORD BASS_CD_GetTrackLength(DWORD drive, DWORD track)
{
    FakeBassControl* c = FakeBass_Control();
    c->calls.push_back("BASS_CD_GetTrackLength(" + std::to_string(drive) + "," + std::to_string(track) + ")");
    auto it = c->cdTrackLengths.find(drive * 100 + track);
    return it == c->cdTrackLengths.end() ? 0xFFFFFFFFu : it->second;
}

HSTREAM BASS_CD_StreamCreateFile(const char* file, DWORD flags)
{
    FakeBass_Control()->calls.push_back("BASS_CD_StreamCreateFile(" + std::string(file ? file : "") + "," +
                                        std::to_string(flags) + ")");
    return FakeBass_CreateChannel(file, "CD_StreamCreateFile");
}

}  // extern "C"

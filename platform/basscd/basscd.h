/*
 * basscd.h: the public interface of libbasscd.so, the audio CD add-on of Aubadine's audio
 * library (BASS 2.1 CD add-on interface, C linkage).
 *
 * Drives are numbered 0.. in the order the machine lists its optical drives; each has a
 * letter (0 = A:, 1 = B:, ...) so that track files named like "D:\Track01.cda" (or
 * "D:/Track01.cda") reach the drive with that letter. Streams it creates are channels of
 * libbass.so. Analog playback answers failure with BASS_ERROR_NOTAVAIL.
 */
#ifndef AUBADINE_BASSCD_H
#define AUBADINE_BASSCD_H

#include "bass.h"

#ifdef __cplusplus
extern "C" {
#endif

#define BASS_ERROR_NOCD 12     /* no disc in the drive */
#define BASS_ERROR_CDTRACK 13  /* no such track */

/* flag for BASS_CD_StreamCreateFile: read sub-channel data too (accepted, ignored) */
#define BASS_CD_SUBCHANNEL 0x10000

/* BASS_CD_GetID kinds */
#define BASS_CDID_UPC 1
#define BASS_CDID_CDDB 2

typedef struct {
    DWORD flags;      /* capabilities */
    DWORD canopen;    /* the door can be opened by the program */
    DWORD canlock;
    DWORD maxspeed;   /* kilobytes per second */
    DWORD cache;      /* kilobytes */
    BOOL cdtext;
} BASS_CD_INFO;

BASSDEF const char* BASS_CD_GetDriveDescription(DWORD drive); /* null past the last drive */
BASSDEF DWORD BASS_CD_GetDriveLetter(DWORD drive);           /* 0 = A:, 1 = B:, ... */
BASSDEF BOOL BASS_CD_GetInfo(DWORD drive, BASS_CD_INFO* info);
BASSDEF BOOL BASS_CD_Door(DWORD drive, DWORD action);
BASSDEF BOOL BASS_CD_DoorIsOpen(DWORD drive);
BASSDEF BOOL BASS_CD_DoorIsLocked(DWORD drive);
BASSDEF BOOL BASS_CD_IsReady(DWORD drive);
BASSDEF DWORD BASS_CD_GetTracks(DWORD drive);                     /* -1 on failure */
BASSDEF DWORD BASS_CD_GetTrackLength(DWORD drive, DWORD track);   /* bytes; -1 on failure */
BASSDEF const char* BASS_CD_GetID(DWORD drive, DWORD id);
BASSDEF BOOL BASS_CD_Release(DWORD drive);
BASSDEF HSTREAM BASS_CD_StreamCreate(DWORD drive, DWORD track, DWORD flags);
BASSDEF HSTREAM BASS_CD_StreamCreateFile(const char* file, DWORD flags);
BASSDEF DWORD BASS_CD_StreamGetTrack(HSTREAM handle);
BASSDEF BOOL BASS_CD_Analog_Play(DWORD drive, DWORD track, DWORD pos);
BASSDEF DWORD BASS_CD_Analog_PlayFile(const char* file, DWORD pos);
BASSDEF BOOL BASS_CD_Analog_Stop(DWORD drive);
BASSDEF DWORD BASS_CD_Analog_IsActive(DWORD drive);
BASSDEF DWORD BASS_CD_Analog_GetPosition(DWORD drive);

#ifdef __cplusplus
}
#endif

#endif

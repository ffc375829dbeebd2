/*
 * basscd.h: the public interface of libbasscd.so, the audio CD add-on of Aubadine's audio
 * library (BASS 2.1 CD add-on interface, C linkage).
 *
 * Drives are numbered 0..: first the machine's optical drives in the order libcdio lists
 * them, then one drive for each disc image (".cue" with its BIN file, cdrdao ".toc", Nero
 * ".nrg") found in the folder named by the environment variable AUBADINE_CD_IMAGES, in
 * file-name order. The list is made once, at the first call. Each drive has a letter
 * (0 = A:, 1 = B:, ...; drive 0 is D:) so that track files named like "D:\Track01.cda"
 * (or "d:/track01.cda") reach the drive with that letter. An image's description is its
 * file name; its door answers as closed and unlocked.
 *
 * Tracks are numbered 0.. (0 is the disc's first track). Lengths are bytes of 16-bit
 * stereo at 44100 Hz (2352 a sector). A track of an image whose data file is shorter than
 * its sheet says ends where the file ends; a track lying wholly past it answers
 * BASS_ERROR_CDTRACK.
 *
 * Streams are channels of libbass.so reading the track's sectors (real drives through
 * libcdio-paranoia, with its error correction): every BASS_Channel* call, syncs and
 * BASS_StreamFree apply. If the disc or image goes away while playing, the stream ends
 * where reading failed. Every call opens the disc afresh, so nothing is held between
 * calls (BASS_CD_Release has nothing to give back).
 *
 * Errors: BASS_ERROR_DEVICE (no such drive, or no drive with the file name's letter),
 * BASS_ERROR_NOCD (no disc, or the image is gone or unreadable), BASS_ERROR_CDTRACK (no
 * such track), BASS_ERROR_NOTAUDIO (a data track), BASS_ERROR_FILEOPEN (a file name not
 * of the form "X:\TrackNN.cda"), BASS_ERROR_NOTAVAIL (analog playback,
 * a door that cannot do the action, an identifier the disc does not have).
 */
#ifndef AUBADINE_BASSCD_H
#define AUBADINE_BASSCD_H

#include "bass.h"

#ifdef __cplusplus
extern "C" {
#endif

#define BASS_ERROR_NOCD 12     /* no disc in the drive */
#define BASS_ERROR_CDTRACK 13  /* no such track */
#define BASS_ERROR_NOTAUDIO 17 /* the track is a data track */

/* flag for BASS_CD_StreamCreateFile: read sub-channel data too (accepted, ignored) */
#define BASS_CD_SUBCHANNEL 0x10000

/* BASS_CD_Door actions */
#define BASS_CD_DOOR_CLOSE 0
#define BASS_CD_DOOR_OPEN 1
#define BASS_CD_DOOR_LOCK 2
#define BASS_CD_DOOR_UNLOCK 3

/* BASS_CD_GetID kinds; the text is valid until the calling thread's next BASS_CD_GetID */
#define BASS_CDID_UPC 1          /* the disc's catalogue number (MCN), when it has one */
#define BASS_CDID_CDDB 2         /* FreeDB/CDDB disc id: 8 hex digits */
#define BASS_CDID_CDDB2 3        /* CDDB query text: id, track count, offsets, seconds */
#define BASS_CDID_MUSICBRAINZ 0x10000 /* MusicBrainz disc id */

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
BASSDEF DWORD BASS_CD_StreamGetTrack(HSTREAM handle); /* MAKELONG(track, drive); -1 */
BASSDEF BOOL BASS_CD_Analog_Play(DWORD drive, DWORD track, DWORD pos);
BASSDEF DWORD BASS_CD_Analog_PlayFile(const char* file, DWORD pos);
BASSDEF BOOL BASS_CD_Analog_Stop(DWORD drive);
BASSDEF DWORD BASS_CD_Analog_IsActive(DWORD drive);
BASSDEF DWORD BASS_CD_Analog_GetPosition(DWORD drive);

#ifdef __cplusplus
}
#endif

#endif

/*
 * bass.h: the public interface of libbass.so, Aubadine's own audio library.
 *
 * It offers the BASS 2.1 programming interface that the player was written against:
 * the same function names, argument orders, records and constants, with C linkage.
 * The player never links against it; it loads libbass.so at run time from its own folder
 * and binds every name below (audiolib/Dynamic_Bass.h).
 *
 * Conventions
 * - Handles are 32-bit; 0 means failure. BOOL results are non-zero for success.
 * - Every function that fails sets the calling thread's error code (BASS_ErrorGetCode);
 *   every function that succeeds sets it to BASS_OK. The codes each function can give are
 *   listed with it below; BASS_ERROR_MEM and BASS_ERROR_UNKNOWN can come from any of them.
 * - Byte positions and lengths are 64-bit counts of bytes of the channel's own samples
 *   (16-bit, or 8-bit for BASS_SAMPLE_8BITS channels) in its own sample rate and channel
 *   count, whatever the output's format.
 * - "user" values are handed back unchanged to the callbacks they were given with.
 * - No function lets a C++ exception escape.
 * - Functions for recording, samples, 3D sound, EAX, channel links and attribute sliding
 *   (and BASS_GetDSoundObject, BASS_MusicSetAttribute/GetAttribute,
 *   BASS_StreamCreateFileUser) are present so that the whole interface binds, and answer
 *   failure with BASS_ERROR_NOTAVAIL: nothing in the player uses them.
 *
 * Decoding channels
 *   A stream or module created with BASS_STREAM_DECODE (BASS_MUSIC_DECODE) is never mixed or
 *   heard: BASS_ChannelGetData(handle, buffer, bytes) decodes the next frames on the calling
 *   thread, through its DSP callbacks and effects, in its own format (16-bit, or 8-bit
 *   unsigned for BASS_SAMPLE_8BITS; its own rate and channel count). Any device will do,
 *   device 0 ("no sound") too. The position is that of the next frame to be given; the
 *   FFT modes and BASS_ChannelGetLevel measure the next frames and use them up; a buffer
 *   null with length 0 gives 0. At the end the end syncs run (on the sync thread), and
 *   BASS_ChannelGetData answers -1 with BASS_ERROR_ENDED until BASS_ChannelSetPosition
 *   moves it back; BASS_ChannelIsActive is PLAYING before, STOPPED after. BASS_ChannelPlay,
 *   BASS_ChannelPause and BASS_ChannelStop answer BASS_ERROR_DECODE. BASS_SAMPLE_LOOP
 *   starts it again at the end instead.
 *
 * What is heard
 *   The mixer decodes ahead of the output by about BASS_CONFIG_BUFFER ms plus the output's
 *   own buffer. Positions (BASS_ChannelGetPosition), levels, BASS_ChannelGetData and the
 *   end sync all describe the sound that is leaving the speakers now, not what has been
 *   decoded. Pausing or stopping a channel stops it being mixed at once; what was already
 *   mixed (at most the latency of BASS_GetInfo) still plays out, and the position follows it.
 *
 * Threads
 *   Every function may be called from any thread. The library runs three kinds of thread:
 *   - the mixer thread: decodes, calls STREAMPROCs and DSPPROCs, mixes;
 *   - the output's thread (SDL's audio thread): takes mixed sound from the mixer;
 *   - the sync thread: calls SYNCPROCs, one at a time, in the order their events happened.
 *   A STREAMPROC or DSPPROC runs under its channel's source lock only: calls on that
 *   channel from other threads that do not touch its source (state, positions, levels,
 *   data, attributes, pause/stop/play without a restart, syncs, effects) answer at once,
 *   while seeking, restarting, tags, adding or removing a DSP and freeing the channel wait
 *   for the running callback (so that after BASS_StreamFree or BASS_ChannelRemoveDSP has
 *   returned, the callback is not running and is not called again). A callback may call
 *   any function on its own or another channel (even BASS_StreamFree of its own channel),
 *   and should return quickly (the output underruns otherwise).
 *   From any callback, BASS_Free fails (BASS_ERROR_UNKNOWN) instead of waiting for itself,
 *   and AUBADINE_BASS_Render must not be called. A SYNCPROC holds no library lock and may
 *   call anything else, including freeing its own channel. Once BASS_ChannelRemoveSync or
 *   BASS_StreamFree/BASS_MusicFree has returned, that sync is not called again (a call
 *   already queued is dropped, a running one waited for), unless the removal was made
 *   from inside that very callback.
 *
 * Devices
 *   0: no sound. Nothing plays by itself; AUBADINE_BASS_Render mixes on request (tests,
 *      offline rendering).
 *   1 (or -1): the default output through SDL2. SDL_AUDIODRIVER picks SDL's driver as
 *      usual; when none is set and no sound card can be opened, SDL's "dummy" driver takes
 *      its place so that playback (and time) still runs. SDL_AUDIODRIVER=disk with
 *      SDL_DISKAUDIOFILE=<file> and SDL_DISKAUDIODELAY=0 writes the output (16-bit stereo at
 *      the device rate) to <file> as fast as the mixer renders it; while nothing plays,
 *      silence is written at real-time speed only.
 *   2..: SDL's listed output devices (BASS_GetDeviceDescription names them).
  */
#ifndef AUBADINE_BASS_H
#define AUBADINE_BASS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define BASSDEF __attribute__((visibility("default")))
#else
#define BASSDEF
#endif

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint64_t QWORD;
typedef int32_t BOOL;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

typedef DWORD HMUSIC;   /* tracker module handle */
typedef DWORD HSAMPLE;  /* sample handle */
typedef DWORD HCHANNEL; /* sample playback channel handle */
typedef DWORD HSTREAM;  /* stream handle */
typedef DWORD HRECORD;  /* recording handle */
typedef DWORD HSYNC;    /* synchronizer handle */
typedef DWORD HDSP;     /* DSP handle */
typedef DWORD HFX;      /* effect handle */

#define MAKELONG_BASS(lo, hi) ((DWORD)(((WORD)(lo)) | ((DWORD)((WORD)(hi))) << 16))

/* The version this library reports: major 2 in the low word, minor 1 in the high word. */
#define BASSVERSION 0x00010002u

/* ---- error codes (BASS_ErrorGetCode) ---- */
#define BASS_OK 0             /* all is OK */
#define BASS_ERROR_MEM 1      /* memory error */
#define BASS_ERROR_FILEOPEN 2 /* the file could not be opened */
#define BASS_ERROR_DRIVER 3   /* no free or usable output device */
#define BASS_ERROR_HANDLE 5   /* the handle is not valid */
#define BASS_ERROR_FORMAT 6   /* unsupported sample format */
#define BASS_ERROR_POSITION 7 /* invalid position */
#define BASS_ERROR_INIT 8     /* BASS_Init has not been called successfully */
#define BASS_ERROR_START 9    /* output is paused or stopped (BASS_Stop/BASS_Pause) */
#define BASS_ERROR_ALREADY 14 /* already initialised, paused or in the requested state */
#define BASS_ERROR_NOPAUSE 16 /* the channel is not paused */
#define BASS_ERROR_NOCHAN 18  /* no channel could be had */
#define BASS_ERROR_ILLTYPE 19 /* an illegal type was given */
#define BASS_ERROR_ILLPARAM 20 /* an illegal parameter was given */
#define BASS_ERROR_DEVICE 23  /* illegal device number */
#define BASS_ERROR_NOPLAY 24  /* the channel is not playing */
#define BASS_ERROR_FREQ 25    /* illegal sample rate */
#define BASS_ERROR_NOTFILE 27 /* the stream is not a file stream */
#define BASS_ERROR_EMPTY 31   /* the file holds no sound */
#define BASS_ERROR_NONET 32   /* no connection could be opened */
#define BASS_ERROR_CREATE 33  /* the file or stream could not be created */
#define BASS_ERROR_NOFX 34    /* the effect is not available */
#define BASS_ERROR_PLAYING 35 /* the channel is playing */
#define BASS_ERROR_NOTAVAIL 37 /* the requested data or function is not available */
#define BASS_ERROR_DECODE 38  /* the channel is a decoding channel */
#define BASS_ERROR_FILEFORM 41 /* unsupported file format */
#define BASS_ERROR_ENDED 45   /* a decoding channel has given all its sound */
#define BASS_ERROR_CODEC 44   /* no codec for the file's audio */
#define BASS_ERROR_UNKNOWN -1 /* some other problem */

/* ---- BASS_SetConfig / BASS_GetConfig options ---- */
#define BASS_CONFIG_BUFFER 0       /* playback buffer length, ms */
#define BASS_CONFIG_UPDATEPERIOD 1 /* mixing period, ms */
#define BASS_CONFIG_MAXVOL 3       /* top of the volume scale (BASS_SetVolume, global volumes) */
#define BASS_CONFIG_GVOL_SAMPLE 4  /* global sample volume, 0..MAXVOL */
#define BASS_CONFIG_GVOL_STREAM 5  /* global stream volume, 0..MAXVOL */
#define BASS_CONFIG_GVOL_MUSIC 6   /* global tracker music volume, 0..MAXVOL */
#define BASS_CONFIG_NET_TIMEOUT 11 /* network connection timeout, ms */
#define BASS_CONFIG_NET_BUFFER 12  /* network buffer length, ms */

/* ---- BASS_Init flags ---- */
#define BASS_DEVICE_8BITS 1
#define BASS_DEVICE_MONO 2
#define BASS_DEVICE_3D 4
#define BASS_DEVICE_LATENCY 256

/* ---- sample, stream and music flags ---- */
#define BASS_SAMPLE_8BITS 1    /* 8-bit samples */
#define BASS_SAMPLE_MONO 2     /* mono */
#define BASS_SAMPLE_LOOP 4     /* loop at the end */
#define BASS_MUSIC_LOOP BASS_SAMPLE_LOOP
#define BASS_SAMPLE_3D 8
#define BASS_SAMPLE_SOFTWARE 0x10
#define BASS_SAMPLE_FX 0x80    /* effects may be set on the channel */
#define BASS_SAMPLE_FLOAT 0x100
#define BASS_STREAM_PRESCAN 0x20000 /* exact length and seeking of MP3 by scanning the file */
#define BASS_STREAM_AUTOFREE 0x40000
#define BASS_STREAM_RESTRATE 0x80000
#define BASS_STREAM_BLOCK 0x100000
#define BASS_STREAM_DECODE 0x200000 /* a decoding channel: BASS_ChannelGetData pulls its sound */
#define BASS_MUSIC_DECODE BASS_STREAM_DECODE
#define BASS_STREAM_META 0x400000   /* ask a network server for Shoutcast metadata */
#define BASS_STREAM_STATUS 0x800000
#define BASS_MUSIC_RAMP 0x200
#define BASS_MUSIC_RAMPS 0x400      /* sensitive ramping */
#define BASS_MUSIC_SURROUND 0x800
#define BASS_MUSIC_SURROUND2 0x1000
#define BASS_MUSIC_FT2MOD 0x2000
#define BASS_MUSIC_PT1MOD 0x4000
#define BASS_MUSIC_CALCLEN 0x8000   /* compute the play length at load time */
#define BASS_MUSIC_NONINTER 0x10000
#define BASS_MUSIC_POSRESET 0x20000 /* stop all notes when seeking */
#define BASS_MUSIC_STOPBACK 0x80000
#define BASS_MUSIC_NOSAMPLE 0x100000

/* Position in a tracker module given as seconds: MAKELONG(seconds, 0xFFFF), sign-extended
   to 64 bits when passed to BASS_ChannelSetPosition / returned from BASS_ChannelGetPosition. */
#define BASS_MUSIC_POS_SECONDS(s) ((QWORD)(int64_t)(int32_t)MAKELONG_BASS((s), 0xFFFF))

/* ---- BASS_ChannelGetInfo channel types (ctype) ---- */
#define BASS_CTYPE_SAMPLE 1
#define BASS_CTYPE_RECORD 2
#define BASS_CTYPE_STREAM 0x10000
#define BASS_CTYPE_STREAM_WAV 0x10001
#define BASS_CTYPE_STREAM_OGG 0x10002
#define BASS_CTYPE_STREAM_MP1 0x10003
#define BASS_CTYPE_STREAM_MP2 0x10004
#define BASS_CTYPE_STREAM_MP3 0x10005
#define BASS_CTYPE_STREAM_WMA 0x10300
#define BASS_CTYPE_STREAM_CD 0x10200
#define BASS_CTYPE_MUSIC_MOD 0x20000
#define BASS_CTYPE_MUSIC_MTM 0x20001
#define BASS_CTYPE_MUSIC_S3M 0x20002
#define BASS_CTYPE_MUSIC_XM 0x20003
#define BASS_CTYPE_MUSIC_IT 0x20004
#define BASS_CTYPE_MUSIC_MO3 0x00100 /* flag added to the module type */

/* ---- BASS_ChannelIsActive ---- */
#define BASS_ACTIVE_STOPPED 0
#define BASS_ACTIVE_PLAYING 1
#define BASS_ACTIVE_STALLED 2
#define BASS_ACTIVE_PAUSED 3

/* ---- BASS_StreamGetTags kinds ---- */
#define BASS_TAG_ID3 0   /* the 128-byte ID3v1 block */
#define BASS_TAG_ID3V2 1 /* the ID3v2 block */
#define BASS_TAG_OGG 2   /* Ogg comments: NUL-separated "NAME=value" strings, ended by an empty one */
#define BASS_TAG_HTTP 3  /* HTTP headers: NUL-separated, ended by an empty one */
#define BASS_TAG_ICY 4   /* ICY headers: NUL-separated, ended by an empty one */
#define BASS_TAG_META 5  /* Shoutcast metadata text: "StreamTitle='...';..." */

/* ---- BASS_StreamGetFilePosition modes ---- */
#define BASS_FILEPOS_CURRENT 0
#define BASS_FILEPOS_DOWNLOAD 1
#define BASS_FILEPOS_END 2 /* total size of the file */
#define BASS_FILEPOS_START 3

/* ---- BASS_ChannelSetSync kinds ---- */
#define BASS_SYNC_POS 0      /* the channel reached a position (param: bytes); called once it is heard */
#define BASS_SYNC_END 2      /* the channel reached its end; called once the last sample is heard */
#define BASS_SYNC_META 4     /* new Shoutcast metadata; data = address of the text */
#define BASS_SYNC_DOWNLOAD 7 /* a network file stream has been downloaded completely */
#define BASS_SYNC_MIXTIME 0x40000000 /* called as soon as the event is mixed, not once it is heard */
#define BASS_SYNC_ONETIME 0x80000000 /* called once, then taken off the channel */

/* ---- BASS_ChannelGetData ---- */
#define BASS_DATA_FFT512 0x80000000u  /* 512-sample FFT: 256 float magnitudes */
#define BASS_DATA_FFT1024 0x80000001u /* 1024-sample FFT: 512 float magnitudes */
#define BASS_DATA_FFT2048 0x80000002u /* 2048-sample FFT: 1024 float magnitudes */
#define BASS_DATA_FFT_INDIVIDUAL 0x10u /* one FFT per channel, interleaved */

/* ---- stream procedure results ---- */
#define BASS_STREAMPROC_END 0x80000000u /* or-ed into the byte count: the stream ends after these bytes */

/* ---- DirectX 8 effect types (BASS_ChannelSetFX) ---- */
#define BASS_FX_CHORUS 0
#define BASS_FX_COMPRESSOR 1
#define BASS_FX_DISTORTION 2
#define BASS_FX_ECHO 3
#define BASS_FX_FLANGER 4
#define BASS_FX_GARGLE 5
#define BASS_FX_I3DL2REVERB 6
#define BASS_FX_PARAMEQ 7
#define BASS_FX_REVERB 8

/* ---- records ---- */
typedef struct {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} BASS_GUID;

/* Device information: 60 bytes; set size to 60 before calling BASS_GetInfo. */
typedef struct {
    DWORD size;      /* size of this record (set by the caller) */
    DWORD flags;     /* device capabilities */
    DWORD hwsize;    /* hardware memory (0: none) */
    DWORD hwfree;
    DWORD freesam;
    DWORD free3d;
    DWORD minrate;   /* lowest and highest sample rates the output takes */
    DWORD maxrate;
    BOOL eax;
    DWORD minbuf;    /* recommended minimum buffer length, ms */
    DWORD dsver;     /* effects level: 8 or more means the DirectX 8 effects are available */
    DWORD latency;   /* delay before a sample is heard, ms */
    DWORD initflags; /* flags given to BASS_Init */
    DWORD speakers;  /* number of speakers */
    DWORD freq;      /* output sample rate */
} BASS_INFO;

typedef struct {
    DWORD size;
    DWORD flags;
    DWORD formats;
    DWORD inputs;
    BOOL singlein;
} BASS_RECORDINFO;

typedef struct {
    DWORD freq;
    DWORD volume;
    int pan;
    DWORD flags;
    DWORD length;
    DWORD max;
} BASS_SAMPLE;

typedef struct {
    DWORD freq;  /* sample rate, Hz */
    DWORD chans; /* channels */
    DWORD flags; /* BASS_SAMPLE_xxx / BASS_STREAM_xxx / BASS_MUSIC_xxx; bit 0 = 8-bit */
    DWORD ctype; /* BASS_CTYPE_xxx */
} BASS_CHANNELINFO;

typedef struct {
    float x, y, z;
} BASS_3DVECTOR;

typedef struct {
    float fCenter;    /* Hz, 80..16000 */
    float fBandwidth; /* semitones, 1..36 */
    float fGain;      /* dB, -15..15 */
} BASS_FXPARAMEQ;

typedef struct {
    float fWetDryMix;  /* percent, 0..100 */
    float fFeedback;   /* percent, 0..100 */
    float fLeftDelay;  /* ms, 1..2000 */
    float fRightDelay; /* ms, 1..2000 */
    BOOL lPanDelay;    /* 0 or 1 */
} BASS_FXECHO;

typedef struct {
    float fInGain;          /* dB, -96..0 */
    float fReverbMix;       /* dB, -96..0 */
    float fReverbTime;      /* ms, 0.001..3000 */
    float fHighFreqRTRatio; /* 0.001..0.999 */
} BASS_FXREVERB;

/* ---- callbacks ----
   All run on one of the library's own threads, never on the caller's. */

/* Pull stream: fill buffer with up to length bytes; return the count given, or-ed with
   BASS_STREAMPROC_END when the stream ends after them. Runs on the mixing thread. */
typedef DWORD(STREAMPROC)(HSTREAM handle, void* buffer, DWORD length, void* user);
/* Sync: data depends on the kind (BASS_SYNC_META: address of the metadata text).
   Runs on the library's sync thread; it may call any library function. */
typedef void(SYNCPROC)(HSYNC handle, DWORD channel, uintptr_t data, void* user);
/* DSP: buffer holds whole frames of 16-bit samples in the channel's channel count, length
   in bytes; change them in place. Runs on the mixing thread: must not block. */
typedef void(DSPPROC)(HDSP handle, DWORD channel, void* buffer, DWORD length, void* user);
typedef void(DOWNLOADPROC)(const void* buffer, DWORD length, void* user);
typedef DWORD(STREAMFILEPROC)(DWORD action, DWORD param1, DWORD param2, void* user);
typedef BOOL(RECORDPROC)(HRECORD handle, const void* buffer, DWORD length, void* user);

/* ---- general ---- */
/* Options may be set before BASS_Init. Volumes (GVOL_xxx) take 0..MAXVOL (default MAXVOL
   100; the player sets 255 first) and scale linearly: half of MAXVOL is -6 dB. BUFFER
   (10..5000 ms, default 100) applies from the next BASS_Init; UPDATEPERIOD 5..100 ms.
   Returns the option's new value; -1 with BASS_ERROR_ILLTYPE (unknown option) or
   BASS_ERROR_ILLPARAM (value out of range). */
BASSDEF DWORD BASS_SetConfig(DWORD option, DWORD value);
BASSDEF DWORD BASS_GetConfig(DWORD option); /* -1 with BASS_ERROR_ILLTYPE */
BASSDEF DWORD BASS_GetVersion(void);        /* BASSVERSION */
/* Text owned by the library; null with BASS_ERROR_DEVICE past the last device. */
BASSDEF const char* BASS_GetDeviceDescription(DWORD device);
BASSDEF int BASS_ErrorGetCode(void); /* the calling thread's last error */
/* Opens the device (see Devices) at freq Hz (0 = 44100), 16-bit stereo. win and clsid are
   ignored. Errors: BASS_ERROR_ALREADY, BASS_ERROR_DEVICE, BASS_ERROR_FREQ (not 8000..192000),
   BASS_ERROR_DRIVER (the output cannot be opened). */
BASSDEF BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, const BASS_GUID* clsid);
BASSDEF BOOL BASS_SetDevice(DWORD device); /* only the open one: BASS_ERROR_DEVICE, BASS_ERROR_INIT */
BASSDEF DWORD BASS_GetDevice(void);        /* -1 with BASS_ERROR_INIT */
/* Stops and frees every channel, closes the output and ends the library's threads (queued
   sync callbacks run first). BASS_ERROR_INIT; BASS_ERROR_UNKNOWN when called from a callback. */
BASSDEF BOOL BASS_Free(void);
BASSDEF void* BASS_GetDSoundObject(DWORD object); /* BASS_ERROR_NOTAVAIL */
/* Fills the first info->size bytes (at most 60) of the record; size stays as given.
   dsver is 8: the DirectX 8 effects are available. latency = mixer ring + output buffer,
   ms (0 for device 0). BASS_ERROR_INIT, BASS_ERROR_ILLPARAM (null record). */
BASSDEF BOOL BASS_GetInfo(BASS_INFO* info);
BASSDEF BOOL BASS_Update(void);  /* wakes the mixer to refill now; BASS_ERROR_INIT */
BASSDEF float BASS_GetCPU(void); /* mixer's share of one CPU over the last second, percent */
BASSDEF BOOL BASS_Start(void);   /* resumes the output after BASS_Pause/BASS_Stop */
BASSDEF BOOL BASS_Stop(void);    /* pauses the output and stops every channel */
BASSDEF BOOL BASS_Pause(void);   /* pauses the output; channels keep their state */
/* Master volume of the library's output, 0..MAXVOL (BASS_ERROR_ILLPARAM above it). */
BASSDEF BOOL BASS_SetVolume(DWORD volume);
BASSDEF DWORD BASS_GetVolume(void);

/* ---- 3D and EAX (not available) ---- */
BASSDEF BOOL BASS_Set3DFactors(float distf, float rollf, float doppf);
BASSDEF BOOL BASS_Get3DFactors(float* distf, float* rollf, float* doppf);
BASSDEF BOOL BASS_Set3DPosition(const BASS_3DVECTOR* pos, const BASS_3DVECTOR* vel,
                                const BASS_3DVECTOR* front, const BASS_3DVECTOR* top);
BASSDEF BOOL BASS_Get3DPosition(BASS_3DVECTOR* pos, BASS_3DVECTOR* vel, BASS_3DVECTOR* front,
                                BASS_3DVECTOR* top);
BASSDEF void BASS_Apply3D(void);
BASSDEF BOOL BASS_SetEAXParameters(int env, float vol, float decay, float damp);
BASSDEF BOOL BASS_GetEAXParameters(DWORD* env, float* vol, float* decay, float* damp);

/* ---- tracker music ---- */
/* Loads a module (MOD, S3M, XM, IT, MTM, UMX, MO3, ... through libopenmpt) from a file, or
   from memory (mem TRUE: file points to length bytes, kept by the caller while the channel
   lives), rendered stereo 16-bit at freq Hz (0 = the device's). The play length is always
   computed (BASS_MUSIC_CALCLEN is implied); BASS_SAMPLE_LOOP loops at the end; other flags
   are accepted. Errors: BASS_ERROR_INIT, BASS_ERROR_FILEOPEN, BASS_ERROR_FILEFORM,
   BASS_ERROR_FREQ. */
BASSDEF HMUSIC BASS_MusicLoad(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags,
                              DWORD freq);
BASSDEF BOOL BASS_MusicFree(HMUSIC handle); /* BASS_ERROR_HANDLE (also for a stream handle) */
BASSDEF const char* BASS_MusicGetName(HMUSIC handle); /* owned by the channel */
/* playlen TRUE: the whole play length in bytes; FALSE: the number of orders. -1 on failure. */
BASSDEF DWORD BASS_MusicGetLength(HMUSIC handle, BOOL playlen);
BASSDEF BOOL BASS_MusicSetAttribute(HMUSIC handle, DWORD attrib, DWORD value);
BASSDEF DWORD BASS_MusicGetAttribute(HMUSIC handle, DWORD attrib);

/* ---- samples (not available) ---- */
BASSDEF HSAMPLE BASS_SampleLoad(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD max,
                                DWORD flags);
BASSDEF void* BASS_SampleCreate(DWORD length, DWORD freq, DWORD max, DWORD flags);
BASSDEF HSAMPLE BASS_SampleCreateDone(void);
BASSDEF BOOL BASS_SampleFree(HSAMPLE handle);
BASSDEF BOOL BASS_SampleGetInfo(HSAMPLE handle, BASS_SAMPLE* info);
BASSDEF BOOL BASS_SampleSetInfo(HSAMPLE handle, const BASS_SAMPLE* info);
BASSDEF HCHANNEL BASS_SampleGetChannel(HSAMPLE handle, BOOL onlynew);
BASSDEF BOOL BASS_SampleStop(HSAMPLE handle);

/* ---- streams ---- */
/* A stream whose samples come from proc (16-bit, or 8-bit unsigned with BASS_SAMPLE_8BITS;
   1..8 channels; freq 1000..384000). proc is called on the mixer thread whenever sound is
   needed; a result without BASS_STREAMPROC_END and no bytes stalls the channel
   (BASS_ChannelIsActive 2) until proc gives data again. After a result with
   BASS_STREAMPROC_END, proc is not called again unless the channel is restarted
   (BASS_ChannelPlay with restart, or after it ended), which begins at position 0.
   Errors: BASS_ERROR_INIT, BASS_ERROR_ILLPARAM (no proc), BASS_ERROR_FREQ, BASS_ERROR_FORMAT. */
BASSDEF HSTREAM BASS_StreamCreate(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void* user);
/* A file (name in the file system's encoding) or memory block (mem TRUE; length required; the
   caller keeps it alive) decoded with FFmpeg: MP1/MP2/MP3, Ogg Vorbis, WAV and anything else
   FFmpeg reads. offset/length select the bytes that hold the audio (length 0 = to the end).
   Only what is being decoded is read; the length is exact (MPEG encoder delay and padding
   removed; Ogg decodes exactly the length its last page declares, and a chained Ogg file,
   one logical stream after another, plays as one stream with every link counted). Flags:
   BASS_SAMPLE_LOOP, BASS_STREAM_AUTOFREE, BASS_STREAM_DECODE; others accepted.
   Errors: BASS_ERROR_INIT, BASS_ERROR_FILEOPEN (missing, unreadable, not a file),
   BASS_ERROR_FILEFORM (not an audio file), BASS_ERROR_CODEC, BASS_ERROR_FORMAT. */
BASSDEF HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length,
                                      DWORD flags);
/* A network stream, decoded like a file: "http://", "https://", "ftp://", "mms://" (tried as
   mmsh, then mmst), "mmsh://", "mmst://" (the scheme in any case; addresses up to 4000
   characters). A thread of the library downloads it while it plays; the channel stalls
   (BASS_ChannelIsActive 2) while it waits for data and ends (END sync) where the data ends,
   also when the connection drops.
   - A file (the server gives its size, or the address names an audio file and the server
     sent no ICY headers) is kept whole in memory. Until it is all in, the length is the
     container's estimate and the stream cannot be moved; then the BASS_SYNC_DOWNLOAD syncs
     fire once (when the channel next decodes, so a sync set right after creation is never
     missed), and from then on the length is exact, the stream seekable, and the tags at the
     end of the file there. BASS_StreamGetFilePosition: CURRENT = decoder's byte position,
     DOWNLOAD = bytes downloaded, END = size (-1 with BASS_ERROR_NOTAVAIL while the server
     gave none and the download runs).
   - A live broadcast goes through a bounded buffer (the download waits while the channel
     does not play). With BASS_STREAM_META it asks for Shoutcast metadata: BASS_TAG_META
     is the current text ("StreamTitle='...';StreamUrl='...';", bytes as the station sent
     them), and each new text fires the BASS_SYNC_META syncs with its address (valid for
     a while after the callback).
   Tags: BASS_TAG_HTTP holds what is known of the HTTP response ("Content-Type: ...",
   "Content-Length: ...", "Location: ..." after a redirect, and the ICY headers);
   BASS_TAG_ICY the "icy-..." headers as "name:value". offset: bytes of the file to skip
   (http Range request, ftp REST). proc: called on the download thread with every block,
   then with (NULL, 0) at the end.
   Creating waits for the server's answer and the stream's format, at most about
   BASS_CONFIG_NET_TIMEOUT ms (the same bound ends a download whose server falls silent).
   Errors: BASS_ERROR_INIT, BASS_ERROR_ILLPARAM (null, unknown scheme, address too long),
   BASS_ERROR_NONET (no connection, no answer in time), BASS_ERROR_FILEOPEN (the server
   refused: HTTP 4xx/5xx, a redirect loop, no such ftp file), BASS_ERROR_NOTAVAIL (a scheme
   this build cannot speak), BASS_ERROR_FILEFORM (not audio), BASS_ERROR_CODEC. */
BASSDEF HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc,
                                     void* user);
BASSDEF HSTREAM BASS_StreamCreateFileUser(BOOL buffered, DWORD flags, STREAMFILEPROC* proc,
                                          void* user);
/* Frees a stream at once, also from its own callbacks; its syncs, DSPs and effects go with
   it. BASS_ERROR_HANDLE (also for a module handle). */
BASSDEF BOOL BASS_StreamFree(HSTREAM handle);
/* Bytes; -1 with BASS_ERROR_NOTAVAIL when unknown (user streams). Modules answer too. */
BASSDEF QWORD BASS_StreamGetLength(DWORD handle);
/* Tags of a local file, owned by the stream: BASS_TAG_ID3 (the 128-byte block at the end),
   BASS_TAG_ID3V2 (the whole block at the start, header included), BASS_TAG_OGG (comments
   "NAME=value", each NUL-ended, then an empty string). Null with BASS_ERROR_NOTAVAIL when
   the file has none of that kind. */
BASSDEF const char* BASS_StreamGetTags(HSTREAM handle, DWORD tags);
/* File streams: CURRENT = read position, DOWNLOAD and END = size of the file (or of the
   offset/length part), START = where the audio begins (after an ID3v2 tag). -1 with
   BASS_ERROR_NOTFILE for other streams, BASS_ERROR_ILLPARAM for an unknown mode. */
BASSDEF DWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode);

/* ---- recording (not available) ---- */
BASSDEF const char* BASS_RecordGetDeviceDescription(DWORD device);
BASSDEF BOOL BASS_RecordInit(int device);
BASSDEF BOOL BASS_RecordSetDevice(DWORD device);
BASSDEF DWORD BASS_RecordGetDevice(void);
BASSDEF BOOL BASS_RecordFree(void);
BASSDEF BOOL BASS_RecordGetInfo(BASS_RECORDINFO* info);
BASSDEF const char* BASS_RecordGetInputName(int input);
BASSDEF BOOL BASS_RecordSetInput(int input, DWORD setting);
BASSDEF DWORD BASS_RecordGetInput(int input);
BASSDEF HRECORD BASS_RecordStart(DWORD freq, DWORD chans, DWORD flags, RECORDPROC* proc, void* user);

/* ---- channels ----
   Every function here fails with BASS_ERROR_HANDLE for an unknown handle and BASS_ERROR_INIT
   when the library is not initialised. */
BASSDEF float BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos); /* -1 on failure */
BASSDEF QWORD BASS_ChannelSeconds2Bytes(DWORD handle, float pos); /* whole frames, rounded down */
BASSDEF DWORD BASS_ChannelGetDevice(DWORD handle);
/* STOPPED until played, after BASS_ChannelStop, and once the last sample has been heard;
   PLAYING while it plays (also while its last mixed sound is still being heard); STALLED
   while a user stream has no data; PAUSED after BASS_ChannelPause. 0 on failure. */
BASSDEF DWORD BASS_ChannelIsActive(DWORD handle);
/* freq, chans and ctype of the source; flags as created, with BASS_SAMPLE_8BITS for 8-bit
   sources (e.g. 8-bit WAV files) and BASS_SAMPLE_MONO for mono ones. */
BASSDEF BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info);
BASSDEF BOOL BASS_ChannelSetFlags(DWORD handle, DWORD flags); /* BASS_SAMPLE_LOOP, BASS_STREAM_AUTOFREE */
BASSDEF BOOL BASS_ChannelPreBuf(DWORD handle);                  /* nothing to do: always TRUE */
/* Plays from the current position, or from the start when restart is non-zero or the
   channel had played to its end; resumes a paused channel. BASS_ERROR_START while the
   output is stopped or paused (BASS_Stop/BASS_Pause). */
BASSDEF BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BASSDEF BOOL BASS_ChannelStop(DWORD handle);  /* keeps the position; no end sync fires */
BASSDEF BOOL BASS_ChannelPause(DWORD handle); /* BASS_ERROR_NOPLAY when stopped, BASS_ERROR_ALREADY when paused */
/* freq: playback rate in Hz (100..384000; 0 = the source's own; -1 leaves it); volume 0..100
   (-1 leaves it); pan -100 (left only) .. 100 (right only), -101 leaves it. The channel's
   volume and the global volume of its kind (stream or music) multiply. BASS_ERROR_ILLPARAM. */
BASSDEF BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan);
BASSDEF BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan);
BASSDEF BOOL BASS_ChannelSlideAttributes(DWORD handle, int freq, int volume, int pan, DWORD time);
BASSDEF DWORD BASS_ChannelIsSliding(DWORD handle);
BASSDEF BOOL BASS_ChannelSet3DAttributes(DWORD handle, int mode, float min, float max, int iangle,
                                         int oangle, int outvol);
BASSDEF BOOL BASS_ChannelGet3DAttributes(DWORD handle, DWORD* mode, float* min, float* max,
                                         DWORD* iangle, DWORD* oangle, DWORD* outvol);
BASSDEF BOOL BASS_ChannelSet3DPosition(DWORD handle, const BASS_3DVECTOR* pos,
                                       const BASS_3DVECTOR* orient, const BASS_3DVECTOR* vel);
BASSDEF BOOL BASS_ChannelGet3DPosition(DWORD handle, BASS_3DVECTOR* pos, BASS_3DVECTOR* orient,
                                       BASS_3DVECTOR* vel);
/* Bytes (sample-exact for PCM; the next sound heard starts there). Modules also take
   BASS_MUSIC_POS_SECONDS(s). The reported position moves there at once. BASS_ERROR_POSITION
   beyond the end or where the source cannot seek (user streams: only 0). */
BASSDEF BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos);
BASSDEF QWORD BASS_ChannelGetPosition(DWORD handle); /* what is heard now, bytes; -1 on failure */
/* Peak of the last 20 ms heard: LOWORD left, HIWORD right, 0..32768 (mono: both the same).
   -1 with BASS_ERROR_NOPLAY unless playing. */
BASSDEF DWORD BASS_ChannelGetLevel(DWORD handle);
/* The channel's sound (after DSPs and effects, before volume and pan) ending at what is
   heard now:
   - length = byte count: the last length bytes heard, in the channel's sample format;
     returns the bytes given (fewer near the start);
   - BASS_DATA_FFT512 / FFT1024 / FFT2048 (| BASS_DATA_FFT_INDIVIDUAL): magnitudes of the
     last 512/1024/2048 frames (Hann window, a full-scale sine reads about 1.0 at its bin),
     256/512/1024 floats (times the channel count, interleaved, when individual); returns
     the bytes written;
   - buffer null and length 0: the bytes of sound ready to be given (up to ~1 s).
   -1 with BASS_ERROR_ILLPARAM for an unknown FFT mode or a null buffer with a length. */
BASSDEF DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);
/* Syncs: proc runs on the sync thread.
   - BASS_SYNC_END: once each time the channel's last sample has been heard; not after
     BASS_ChannelStop. A looping channel (BASS_SAMPLE_LOOP, BASS_MUSIC_LOOP) calls it at
     each loop, once the last sample before the loop point has been heard.
   - BASS_SYNC_POS: param is a byte position (also for modules); called once the sample at
     that position has been heard, each time playback comes across it (again after a loop
     or a seek back); a seek past it does not call it.
   - BASS_SYNC_MIXTIME (or-ed in): called as soon as the mixer reaches the event, about the
     latency of BASS_GetInfo before it is heard. On a decoding channel every sync is called
     when BASS_ChannelGetData decodes the event.
   - BASS_SYNC_ONETIME (or-ed in): called once, then removed (BASS_ChannelRemoveSync then
     answers BASS_ERROR_HANDLE).
   - BASS_SYNC_META and BASS_SYNC_DOWNLOAD are accepted and kept (network streams fire them).
   A sync stays until removed or its channel is freed. BASS_ERROR_ILLTYPE for other types,
   BASS_ERROR_ILLPARAM without proc. */
BASSDEF HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC* proc, void* user);
BASSDEF BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync); /* BASS_ERROR_HANDLE: no such sync */
/* proc gets every block of the channel's decoded sound, as whole frames of 16-bit samples
   in the channel's own channel count, before the effects; higher priorities run first. */
BASSDEF HDSP BASS_ChannelSetDSP(DWORD handle, DSPPROC* proc, void* user, int priority);
BASSDEF BOOL BASS_ChannelRemoveDSP(DWORD handle, HDSP dsp); /* BASS_ERROR_HANDLE: no such DSP */
BASSDEF BOOL BASS_ChannelSetEAXMix(DWORD handle, float mix);
BASSDEF BOOL BASS_ChannelGetEAXMix(DWORD handle, float* mix);
BASSDEF BOOL BASS_ChannelSetLink(DWORD handle, DWORD chan);
BASSDEF BOOL BASS_ChannelRemoveLink(DWORD handle, DWORD chan);
/* Adds an effect after the DSPs: BASS_FX_PARAMEQ (several may be set), BASS_FX_ECHO,
   BASS_FX_REVERB, with the DirectX 8 meanings, ranges and defaults; higher priorities run
   first. BASS_ERROR_NOFX for the other DirectX types, BASS_ERROR_ILLTYPE for unknown ones,
   BASS_ERROR_FORMAT for a channel the effect cannot take (rate 8000..192000 Hz). */
BASSDEF HFX BASS_ChannelSetFX(DWORD handle, DWORD type, DWORD priority);
BASSDEF BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx);

/* ---- effects ---- */
/* par: the record of the effect's type. A value out of range refuses the whole record
   (BASS_ERROR_ILLPARAM) and leaves the effect as it was; accepted values take effect
   smoothly, without a click. BASS_ERROR_HANDLE for an unknown or removed effect. */
BASSDEF BOOL BASS_FXSetParameters(HFX handle, const void* par);
BASSDEF BOOL BASS_FXGetParameters(HFX handle, void* par); /* current values (defaults at first) */

/* ---- offline rendering (Aubadine's own addition; not part of the BASS interface) ----
   For tests and offline use. After BASS_Init(0, ...) (device 0, "no sound") nothing plays by
   itself: each call mixes the next bytes / 4 frames (16-bit stereo, interleaved, at the
   device rate) of every playing channel into buffer, synchronously on the calling thread,
   exactly as the output would hear them, and those frames count as heard at once:
   positions, levels, BASS_ChannelGetData and end syncs follow them. Deterministic: the same
   calls give the same bytes. Sync callbacks still run on the library's sync thread.
   Returns the bytes written (bytes rounded down to whole frames), or -1 with
   BASS_ERROR_INIT (not initialised) or BASS_ERROR_NOTAVAIL (a real output is open).
   Must not be called from a DSP or stream callback. */
BASSDEF DWORD AUBADINE_BASS_Render(void* buffer, DWORD bytes);

#ifdef __cplusplus
}
#endif

#endif

/*
 * basswma.h: the public interface of libbasswma.so, the Windows Media audio add-on of
 * Aubadine's audio library (BASS 2.1 WMA add-on interface, C linkage).
 *
 * BASS_WMA_StreamCreateFile plays local ASF files (WMA v1, v2, and Pro where the system's
 * FFmpeg decodes it), from a file name or from memory, as channels of libbass.so: every
 * BASS_Channel* call applies to them (syncs, DSP, effects, positions, lengths) and
 * BASS_StreamFree releases them; their BASS_CHANNELINFO ctype is BASS_CTYPE_STREAM_WMA.
 * With BASS_STREAM_DECODE they are decoding channels, as libbass.so's own streams.
 * Errors: BASS_ERROR_INIT, BASS_ERROR_FILEOPEN, BASS_ERROR_FILEFORM (not an ASF file, or
 * no audio in it), BASS_ERROR_CODEC, BASS_ERROR_WMA_LICENSE (protected content),
 * BASS_ERROR_ILLPARAM (memory without a length).
 *
 * With BASS_WMA_NETWORK the name is an address ("mms://" tried as MMS over HTTP, then over
 * TCP; "http://", "mmsh://", "mmst://", "ftp://") read by libbass.so's network reader while
 * it plays (offset: bytes to skip; BASS_STREAM_META asks for Shoutcast metadata). Errors
 * as for BASS_StreamCreateURL: BASS_ERROR_NONET, BASS_ERROR_FILEOPEN (refused),
 * BASS_ERROR_FILEFORM, BASS_ERROR_CODEC, BASS_ERROR_ILLPARAM (not such an address, or
 * mem set).
 *
 * Not offered, each failing with BASS_ERROR_NOTAVAIL: BASS_WMA_StreamCreateFileUser,
 * BASS_WMA_GetIWMReader (there is no Windows Media reader object), and every
 * BASS_WMA_Encode* function (no encoder). They are present so that the whole interface
 * binds.
 */
#ifndef AUBADINE_BASSWMA_H
#define AUBADINE_BASSWMA_H

#include "bass.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef DWORD HWMENCODE;

#define BASS_ERROR_WMA_LICENSE 1000 /* the file is protected */
#define BASS_ERROR_WMA_WM9 1001

/* flag for BASS_WMA_StreamCreateFile on network addresses ("mms://", "http://") */
#define BASS_WMA_NETWORK 4

typedef void(CLIENTCONNECTPROC)(HWMENCODE handle, BOOL connect, const char* ip, void* user);
typedef void(WMENCODEPROC)(HWMENCODE handle, DWORD type, const void* buffer, DWORD length, void* user);

BASSDEF HSTREAM BASS_WMA_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length,
                                          DWORD flags);
BASSDEF HSTREAM BASS_WMA_StreamCreateFileUser(BOOL buffered, DWORD flags, STREAMFILEPROC* proc,
                                              void* user);
BASSDEF void* BASS_WMA_GetIWMReader(HSTREAM handle);
BASSDEF const DWORD* BASS_WMA_EncodeGetRates(DWORD freq, DWORD chans, DWORD flags);
BASSDEF HWMENCODE BASS_WMA_EncodeOpen(DWORD freq, DWORD chans, DWORD flags, DWORD bitrate,
                                      WMENCODEPROC* proc, void* user);
BASSDEF HWMENCODE BASS_WMA_EncodeOpenFile(DWORD freq, DWORD chans, DWORD flags, DWORD bitrate,
                                          const char* file);
BASSDEF HWMENCODE BASS_WMA_EncodeOpenNetwork(DWORD freq, DWORD chans, DWORD flags, DWORD bitrate,
                                             DWORD port, DWORD clients);
BASSDEF HWMENCODE BASS_WMA_EncodeOpenPublish(DWORD freq, DWORD chans, DWORD flags, DWORD bitrate,
                                             const char* url, const char* user, const char* pass);
BASSDEF DWORD BASS_WMA_EncodeGetPort(HWMENCODE handle);
BASSDEF BOOL BASS_WMA_EncodeSetNotify(HWMENCODE handle, CLIENTCONNECTPROC* proc, void* user);
BASSDEF DWORD BASS_WMA_EncodeGetClients(HWMENCODE handle);
BASSDEF BOOL BASS_WMA_EncodeSetTag(HWMENCODE handle, const char* tag, const char* text);
BASSDEF BOOL BASS_WMA_EncodeWrite(HWMENCODE handle, const void* buffer, DWORD length);
BASSDEF BOOL BASS_WMA_EncodeClose(HWMENCODE handle);

#ifdef __cplusplus
}
#endif

#endif

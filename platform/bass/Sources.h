// The library's own sources: files and network streams through FFmpeg, tracker modules
// through libopenmpt, and user streams fed by a STREAMPROC.
#pragma once

#include "ByteInput.h"
#include "Source.h"

namespace aubadine::bass {

// A file or a memory block (mem: file points to the bytes); offset and length (0 = to the
// end) select the part that holds the audio. Throws Failure (BASS_ERROR_FILEOPEN,
// BASS_ERROR_FILEFORM, BASS_ERROR_CODEC, ...). Exported for the WMA add-on, whose files
// FFmpeg reads like any other.
AUBADINE_BASS_INTERNAL std::unique_ptr<Source> openFileSource(bool mem, const void* file, uint64_t offset, uint64_t length);

// FFmpeg decoding over any byte input (the same decoder as for files). Throws as above.
std::unique_ptr<Source> openDecoder(std::unique_ptr<ByteInput> input);

// A network stream: "http://", "https://", "ftp://", "mmsh://", "mmst://" or "mms://" (tried
// as mmsh, then mmst). A thread of the library downloads it while it plays: a file (the
// server gives its size, or the address names an audio file and no broadcast headers came)
// is kept whole and becomes seekable, with an exact length, once it is all in; a live
// broadcast goes through a bounded buffer. offset: bytes of the file to skip (http, ftp).
// flags: BASS_STREAM_META asks the server for Shoutcast metadata. proc, when given, gets
// every downloaded block on the download thread, then (null, 0) at the end.
// Blocks until the server answered and the format is known, at most about
// BASS_CONFIG_NET_TIMEOUT. Throws Failure: BASS_ERROR_NONET (no connection, or no answer in
// time), BASS_ERROR_FILEOPEN (the server refused: 4xx/5xx, too many redirects),
// BASS_ERROR_FILEFORM / BASS_ERROR_CODEC (not audio), BASS_ERROR_ILLPARAM (not an address
// of those schemes). The add-ons call it too (libbasswma.so for its network streams).
AUBADINE_BASS_INTERNAL std::unique_ptr<Source> openNetworkSource(const char* url, uint64_t offset, DWORD flags,
                                                                 DOWNLOADPROC* proc, void* user);

// A tracker module rendered at `rate` Hz, stereo. Throws Failure as above.
std::unique_ptr<Source> openModuleSource(bool mem, const void* file, uint64_t offset, uint64_t length,
                                         uint32_t rate, uint32_t flags);

// A stream whose frames come from proc (on the mixer thread). flags: BASS_SAMPLE_8BITS.
std::unique_ptr<Source> makeUserSource(uint32_t rate, uint32_t channels, uint32_t flags, STREAMPROC* proc,
                                       void* user);

}  // namespace aubadine::bass

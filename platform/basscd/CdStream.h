// CD track streams: a track of a drive (or image) read sector by sector as a channel of
// libbass.so. Real drives are read through libcdio-paranoia, which re-reads and verifies
// sectors so that scratched discs play with error correction; images are read directly.
#pragma once

#include "bass.h"

#include <cstdint>

namespace aubadine::basscd {

// A playing-ready channel of the track (0 = the disc's first track). Throws Failure:
// BASS_ERROR_DEVICE, BASS_ERROR_NOCD, BASS_ERROR_CDTRACK, BASS_ERROR_NOTAUDIO,
// BASS_ERROR_INIT. BASS_STREAM_DECODE makes a decoding channel.
HSTREAM createCdStream(uint32_t drive, uint32_t track, DWORD flags);

// MAKELONG(track, drive) of a stream made by createCdStream; Failure(BASS_ERROR_HANDLE)
// for any other handle.
DWORD streamTrack(HSTREAM handle);

}  // namespace aubadine::basscd

// The library's own sources: files through FFmpeg, tracker modules through libopenmpt,
// and user streams fed by a STREAMPROC.
#pragma once

#include "Source.h"

namespace aubadine::bass {

// A file or a memory block (mem: file points to the bytes); offset and length (0 = to the
// end) select the part that holds the audio. Throws Failure (BASS_ERROR_FILEOPEN,
// BASS_ERROR_FILEFORM, BASS_ERROR_CODEC, ...). Exported for the WMA add-on, whose files
// FFmpeg reads like any other.
AUBADINE_BASS_INTERNAL std::unique_ptr<Source> openFileSource(bool mem, const void* file, uint64_t offset, uint64_t length);

// A tracker module rendered at `rate` Hz, stereo. Throws Failure as above.
std::unique_ptr<Source> openModuleSource(bool mem, const void* file, uint64_t offset, uint64_t length,
                                         uint32_t rate, uint32_t flags);

// A stream whose frames come from proc (on the mixer thread). flags: BASS_SAMPLE_8BITS.
std::unique_ptr<Source> makeUserSource(uint32_t rate, uint32_t channels, uint32_t flags, STREAMPROC* proc,
                                       void* user);

}  // namespace aubadine::bass

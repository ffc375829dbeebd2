// What the fuzz target does with one input, shared with the corpus-replay test: open the
// bytes as a stream or a module (from memory), read their tags and length, play, seek and
// render a little.
#pragma once

#include <cstddef>
#include <cstdint>

namespace aubadine::bass::fuzz {

// Needs BASS_Init(0, ...) done. The first byte chooses stream (even) or module (odd).
void openBytes(const uint8_t* data, size_t size);

}  // namespace aubadine::bass::fuzz

// What the WMA fuzz target does with one input, shared with the corpus-replay test: open the
// bytes as a WMA stream from memory through libbasswma.so, read its length and format, play,
// seek and render a little.
#pragma once

#include <cstddef>
#include <cstdint>

namespace aubadine::basswma::fuzz {

// Needs BASS_Init(0, ...) done.
void openAsf(const uint8_t* data, size_t size);

}  // namespace aubadine::basswma::fuzz

// What the network tag fuzz target does with one input, shared with its replay test.
#pragma once

#include <cstddef>
#include <cstdint>

namespace aubadine::bass::fuzz {

// The first byte picks the reader; the rest is the outside text (ICY header lines, an
// in-band metadata block, a Content-Type, an address). Checks what every answer promises.
void netTags(const uint8_t* data, size_t size);

}  // namespace aubadine::bass::fuzz

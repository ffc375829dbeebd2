// The size of an ID3v2 tag at the start of a file, from its 10-byte header.
//
// One rule for everything that skips the tag before the audio: the MPEG and Ogg readers and
// the audio library's file streams. Header-only and free of any other part of the project,
// so the audio library can use it without linking the readers.
//
// Rule: the header starts with "ID3"; its four size bytes are taken whole, most significant
// first, 7 bits apart (b6 x 2^21 + b7 x 2^14 + b8 x 2^7 + b9; the top bits are not masked, as
// the tags of the player's peers have always been measured); 10 bytes of header are added,
// and 10 more when the footer flag (0x10 of the flags byte) is set. A tag that would be
// larger than the file is no tag: the size is then 0, as it is without "ID3".
#pragma once

#include <cstdint>

namespace fileinfo_id3v2 {

inline constexpr int kHeaderSize = 10;

// Header = the first 10 bytes of the file (or of the stream), FileSize = its length.
inline int64_t TagSize(const uint8_t *Header, int64_t FileSize) {
  if (Header[0] != 'I' || Header[1] != 'D' || Header[2] != '3')
    return 0;
  const int64_t Size = (int64_t{Header[6]} << 21) + (int64_t{Header[7]} << 14) + (int64_t{Header[8]} << 7) +
                       Header[9] + kHeaderSize + ((Header[5] & 0x10) ? kHeaderSize : 0);
  return Size > FileSize ? 0 : Size;
}

} // namespace fileinfo_id3v2

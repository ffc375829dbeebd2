// Text and number helpers shared by the readers (not part of their public interface).
//
// The readers hand out std::string in UTF-8. Texts stored as bytes in the tag (ID3v1 fields,
// ID3v2 texts in encoding 0, the Vorbis vendor string) keep their bytes as stored; UTF-16
// texts are converted to UTF-8 here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fileinfo_detail {

inline bool IsBlankOrControl(unsigned char C) { return C <= 0x20; }

// The text without the bytes 0x00..0x20 at its end.
std::string_view TrimRight(std::string_view S);
// The text without the bytes 0x00..0x20 at both ends.
std::string_view Trim(std::string_view S);

// Appends one code point in UTF-8.
void AppendUtf8(std::string &Out, uint32_t CodePoint);

// Converts UTF-16 code units to UTF-8. Surrogate pairs are joined; a surrogate without its
// partner becomes '?' (the replacement the system uses for characters it cannot show).
std::string Utf16ToUtf8(const uint16_t *Units, size_t Count);

// A whole text read as a decimal integer (optional sign, then digits, nothing else, within
// the 32-bit range); anything else gives 0.
int32_t DecimalOrZero(std::string_view S);

// Rounding to the nearest integer with halves to even. A value that is not a finite number
// inside the 64-bit range gives 0.
int64_t RoundHalfEven(double Value);

// At most MaxBytes bytes of S, never ending inside a UTF-8 sequence.
std::string_view Utf8Prefix(std::string_view S, size_t MaxBytes);
// S without a UTF-8 sequence that its end cuts short (a text cut to a fixed size).
std::string_view WithoutCutSequence(std::string_view S);

inline uint32_t LoadBE32(const uint8_t *P) {
  return (uint32_t{P[0]} << 24) | (uint32_t{P[1]} << 16) | (uint32_t{P[2]} << 8) | P[3];
}
inline uint32_t LoadLE32(const uint8_t *P) {
  return (uint32_t{P[3]} << 24) | (uint32_t{P[2]} << 16) | (uint32_t{P[1]} << 8) | P[0];
}
inline uint16_t LoadLE16(const uint8_t *P) { return static_cast<uint16_t>(P[0] | (P[1] << 8)); }

} // namespace fileinfo_detail

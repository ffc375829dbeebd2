// One entry per file information reader: parses Data as a whole file (and, where the reader
// has one, as an in-memory tag block) and reads every property. Used by the libFuzzer
// targets and by the corpus replay test of the normal suite.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fileinfo_fuzz {

void FuzzID3v1(const uint8_t *Data, size_t Size);
void FuzzID3v2(const uint8_t *Data, size_t Size);
void FuzzMPEGaudio(const uint8_t *Data, size_t Size);
void FuzzOggVorbis(const uint8_t *Data, size_t Size);
void FuzzWMAfile(const uint8_t *Data, size_t Size);
void FuzzWAVfile(const uint8_t *Data, size_t Size);

} // namespace fileinfo_fuzz

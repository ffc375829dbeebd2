// TWAVfile: describes a RIFF/WAVE file from its first 44 bytes alone (the canonical layout:
// the format chunk right after "WAVE"). No operation throws.
#pragma once

#include "fileinfo/ByteSource.h"

#include <cstdint>
#include <string>

class TWAVfile {
public:
  TWAVfile() { ResetData(); }

  void ResetData();
  // True when the first 44 bytes could be read; Valid tells whether they form a usable
  // header ("RIFF", "WAVE", "fmt " and one or two channels).
  bool ReadFromFile(const std::string &FileName) noexcept;
  bool ReadFromSource(const TByteSource &Source) noexcept;

  bool Valid() const { return FValid; }
  uint8_t Channels() const { return FChannels; }
  uint16_t SampleRate() const { return FSampleRate; } // low 16 bits of the header's rate
  uint8_t BitsPerSample() const { return FBitsPerSample; }
  int32_t FileSize() const { return FFileSize; }      // RIFF chunk size + 8, as declared
  // Seconds, from the declared size less the 44 header bytes; 0 when the header is not
  // valid or a rate, sample size or channel count is 0.
  double Duration() const;

private:
  bool FValid;
  uint8_t FChannels;
  uint16_t FSampleRate;
  uint8_t FBitsPerSample;
  int32_t FFileSize;
};

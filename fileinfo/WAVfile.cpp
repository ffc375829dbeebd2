#include "fileinfo/WAVfile.h"

#include "fileinfo/TextHelpers.h"

#include <cstring>

using namespace fileinfo_detail;

namespace {
constexpr size_t kHeaderSize = 44;
}

void TWAVfile::ResetData() {
  FValid = false;
  FChannels = 0;
  FSampleRate = 0;
  FBitsPerSample = 0;
  FFileSize = 0;
}

bool TWAVfile::ReadFromFile(const std::string &FileName) noexcept {
  ResetData();
  const TFileSource Source(FileName);
  if (!Source.IsOpen())
    return false;
  return ReadFromSource(Source);
}

bool TWAVfile::ReadFromSource(const TByteSource &Source) noexcept {
  ResetData();
  uint8_t H[kHeaderSize];
  if (Source.ReadAt(0, H, kHeaderSize) != kHeaderSize)
    return false;
  const uint16_t ChannelCount = LoadLE16(H + 22);
  if (std::memcmp(H, "RIFF", 4) != 0 || std::memcmp(H + 8, "WAVE", 4) != 0 || std::memcmp(H + 12, "fmt ", 4) != 0 ||
      (ChannelCount != 1 && ChannelCount != 2))
    return true;
  FValid = true;
  FChannels = static_cast<uint8_t>(ChannelCount);
  FSampleRate = static_cast<uint16_t>(LoadLE32(H + 24));
  FBitsPerSample = H[34];
  FFileSize = static_cast<int32_t>(LoadLE32(H + 4) + 8u);
  return true;
}

double TWAVfile::Duration() const {
  if (!FValid || FSampleRate == 0 || FBitsPerSample == 0 || FChannels == 0)
    return 0;
  // The data bits are counted in 32 bits and read as unsigned, as stored files have always
  // been measured.
  const uint32_t Bits = (static_cast<uint32_t>(FFileSize) - 44u) * 8u;
  return static_cast<double>(Bits) / FSampleRate / FBitsPerSample / FChannels;
}

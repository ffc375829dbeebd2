#include "fileinfo/MPEGaudio.h"

#include "fileinfo/TextHelpers.h"

#include <algorithm>
#include <cstring>

using namespace fileinfo_detail;

namespace {

constexpr int kMaxFrameLength = 1729;
constexpr int kSearchPositions = TMPEGaudio::WindowSize - kMaxFrameLength + 1; // 0..1729
constexpr int kEncoderTail = 8; // the encoder tag search starts 8 bytes before the window end

// kbit/s by version code, layer code and bit-rate index. MPEG 2.5 uses the MPEG 2 rows.
constexpr uint16_t kBitRates[4][4][16] = {
    {{0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    {{0}, {0}, {0}, {0}},
    {{0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    {{0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}}};

constexpr uint16_t kSampleRates[4][4] = {
    {11025, 12000, 8000, 0}, {0, 0, 0, 0}, {22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};

constexpr const char *kModeNames[5] = {"Stereo", "Joint Stereo", "Dual Channel", "Mono", "Unknown"};

constexpr uint8_t kMPEG1 = 3, kLayerI = 3, kLayerII = 2, kMono = 3;

bool IsFrameHeader(const uint8_t *B) {
  return B[0] == 0xFF && (B[1] & 0xE0) == 0xE0 && ((B[1] >> 3) & 3) != 1 && ((B[1] >> 1) & 3) != 0 &&
         (B[2] & 0xF0) != 0xF0 && (B[2] & 0xF0) != 0 && ((B[2] >> 2) & 3) != 3 && (B[3] & 3) != 2;
}

void DecodeHeader(const uint8_t *B, FrameHeader &F) {
  std::memcpy(F.HeaderData, B, 4);
  F.VersionIndex = (B[1] >> 3) & 3;
  F.LayerIndex = (B[1] >> 1) & 3;
  F.Protected = (B[1] & 1) == 0;
  F.BitRateIndex = B[2] >> 4;
  F.SampleRateIndex = (B[2] >> 2) & 3;
  F.Padding = (B[2] & 2) != 0;
  F.PrivateBit = (B[2] & 1) != 0;
  F.ModeIndex = B[3] >> 6;
  F.ModeExtension = (B[3] >> 4) & 3;
  F.Copyright = (B[3] & 8) != 0;
  F.Original = (B[3] & 4) != 0;
  F.EmphasisIndex = B[3] & 3;
}

uint16_t TableBitRate(const FrameHeader &F) {
  return kBitRates[F.VersionIndex & 3][F.LayerIndex & 3][F.BitRateIndex & 15];
}

uint16_t TableSampleRate(const FrameHeader &F) { return kSampleRates[F.VersionIndex & 3][F.SampleRateIndex & 3]; }

// Bytes per frame per unit of bit rate over sample rate.
int Coefficient(const FrameHeader &F) {
  if (F.VersionIndex == kMPEG1)
    return F.LayerIndex == kLayerI ? 48 : 144;
  if (F.LayerIndex == kLayerI)
    return 24;
  return F.LayerIndex == kLayerII ? 144 : 72;
}

int PaddingSize(const FrameHeader &F) {
  if (!F.Padding)
    return 0;
  return F.LayerIndex == kLayerI ? 4 : 1;
}

uint16_t FrameLength(const FrameHeader &F) {
  const uint32_t Rate = TableSampleRate(F);
  if (Rate == 0)
    return 0;
  const uint32_t Length = static_cast<uint32_t>(Coefficient(F)) * TableBitRate(F) * 1000 / Rate;
  return static_cast<uint16_t>(Length + static_cast<uint32_t>(PaddingSize(F)));
}

int VBROffset(const FrameHeader &F) {
  if (F.VersionIndex == kMPEG1)
    return F.ModeIndex == kMono ? 21 : 36;
  return F.ModeIndex == kMono ? 13 : 21;
}

int32_t LoadBE32Signed(const uint8_t *P) { return static_cast<int32_t>(LoadBE32(P)); }

// Xing and VBRI headers are both looked for at the same place P of the window.
void ReadVBR(const uint8_t *W, int P, VBRData &V) {
  V = VBRData{};
  const uint8_t *H = W + P;
  if (std::memcmp(H, "Xing", 4) == 0) {
    V.Found = true;
    std::memcpy(V.Signature, "Xing", 4);
    V.FrameCount = LoadBE32Signed(H + 8);
    V.ByteCount = LoadBE32Signed(H + 12);
    V.Quality = H[119];
    V.Vendor.assign(reinterpret_cast<const char *>(H + 120), 8);
  }
  if (std::memcmp(H, "VBRI", 4) == 0) {
    V.Found = true;
    std::memcpy(V.Signature, "VBRI", 4);
    V.Quality = H[9];
    V.ByteCount = LoadBE32Signed(H + 10);
    V.FrameCount = LoadBE32Signed(H + 14);
  }
}

// First frame whose header is valid and followed, at its computed length, by another valid
// header lying wholly inside the window. The VBR header is read only when a frame is found.
FrameHeader FindFrame(const uint8_t *W, VBRData &V) {
  FrameHeader F;
  for (int I = 0; I < kSearchPositions; ++I) {
    if (!IsFrameHeader(W + I))
      continue;
    DecodeHeader(W + I, F);
    const int L = FrameLength(F);
    if (I + L + 4 <= TMPEGaudio::WindowSize && IsFrameHeader(W + I + L)) {
      F.Found = true;
      F.Position = I;
      F.Size = static_cast<uint16_t>(L);
      F.EmptySideInfo = std::all_of(W + I + 4, W + I + 10, [](uint8_t B) { return B == 0; });
      ReadVBR(W, I + VBROffset(F), V);
      return F;
    }
  }
  return F;
}

// "LAME" and its four version characters, or "GOGO", searched backwards from 8 bytes before
// the window's end for at most Limit + 1 positions.
std::string FindEncoderTag(const uint8_t *T, int Limit) {
  const int Last = TMPEGaudio::WindowSize - kEncoderTail;
  const int KMax = Limit < Last ? Limit : Last;
  for (int K = 0; K <= KMax; ++K) {
    const uint8_t *P = T + Last - K;
    if (std::memcmp(P, "LAME", 4) == 0)
      return std::string(reinterpret_cast<const char *>(P), 8);
    if (std::memcmp(P, "GOGO", 4) == 0)
      return "GOGO";
  }
  return {};
}

} // namespace

void TMPEGaudio::ResetData() {
  FFileLength = 0;
  FEncoderTag.clear();
  FVBR = VBRData{};
  FFrame = FrameHeader{};
  FFrame.VersionIndex = 1;
  FFrame.SampleRateIndex = 3;
  FFrame.ModeIndex = 4;
  FFrame.ModeExtension = 4;
  FFrame.EmphasisIndex = 2;
  FID3v1.ResetData();
  FID3v2.ResetData();
}

bool TMPEGaudio::ReadFromFile(const std::string &FileName) noexcept {
  ResetData();
  const TFileSource Source(FileName);
  if (!Source.IsOpen())
    return false;
  return ReadFromSource(Source);
}

bool TMPEGaudio::ReadFromSource(const TByteSource &Source) noexcept {
  bool Result = false;
  try {
    ResetData();
    // Both tags are read before the audio; their results only say the file was readable.
    if (FID3v2.ReadFromSource(Source) && FID3v1.ReadFromSource(Source))
      Result = ReadAudio(Source);
  } catch (...) {
    Result = false;
  }
  if (!FFrame.Found)
    ResetData();
  return Result;
}

bool TMPEGaudio::ReadAudio(const TByteSource &Source) {
  FFileLength = ClampFileSize(Source.Size());
  uint8_t W[WindowSize] = {};
  const size_t N = Source.ReadAt(FID3v2.Size(), W, WindowSize);
  FFrame = FindFrame(W, FVBR);
  if (!FFrame.Found && N == WindowSize) {
    // Second chance in the middle of the file. The bytes past a short read stay as they were.
    const int64_t Middle = (int64_t{FFileLength} - FID3v2.Size()) / 2;
    Source.ReadAt(Middle, W, WindowSize);
    FFrame = FindFrame(W, FVBR);
  }
  if (FFrame.Found && !FVBR.Found) {
    // The encoder tag stands before the end of the audio, which ends before any ID3v1 tag.
    const int64_t Tail = int64_t{FFileLength} - WindowSize - (FID3v1.Exists() ? TID3v1::TagSize : 0);
    if (Tail < 0 || Source.ReadAt(Tail, W, WindowSize) != WindowSize)
      return false;
    FEncoderTag = FindEncoderTag(W, 5 * FFrame.Size);
  }
  return true;
}

bool TMPEGaudio::ReadTagFromBuffer(const void *Buffer, int32_t StreamSize, TMP3TagInfo &Info, uint16_t TagKind) noexcept {
  switch (TagKind) {
  case 1:
    return FID3v1.ReadFromBuffer(Buffer, Info);
  case 2:
    return FID3v2.ReadFromBuffer(Buffer, StreamSize, Info);
  default:
    return false;
  }
}

uint16_t TMPEGaudio::SampleRate() const { return TableSampleRate(FFrame); }

uint16_t TMPEGaudio::BitRate() const {
  if (FVBR.Found && FVBR.FrameCount > 0) {
    const double Average = (static_cast<double>(FVBR.ByteCount) / FVBR.FrameCount - PaddingSize(FFrame)) *
                           SampleRate() / Coefficient(FFrame) / 1000.0;
    return static_cast<uint16_t>(RoundHalfEven(Average));
  }
  return TableBitRate(FFrame);
}

std::string TMPEGaudio::ChannelMode() const { return kModeNames[FFrame.ModeIndex <= 4 ? FFrame.ModeIndex : 4]; }

double TMPEGaudio::Duration() const {
  if (!FFrame.Found)
    return 0;
  if (FVBR.Found && FVBR.FrameCount > 0) {
    const uint16_t Rate = SampleRate();
    if (Rate == 0)
      return 0;
    // The product is formed in 32 bits, as stored headers have always been measured.
    const auto Samples = static_cast<int32_t>(static_cast<uint32_t>(Coefficient(FFrame)) *
                                              static_cast<uint32_t>(FVBR.FrameCount) * 8u);
    return static_cast<double>(Samples) / Rate;
  }
  const uint16_t Rate = TableBitRate(FFrame);
  if (Rate == 0)
    return 0;
  int64_t AudioBytes = int64_t{FFileLength} - FID3v2.Size();
  if (FID3v1.Exists())
    AudioBytes -= TID3v1::TagSize;
  return static_cast<double>(AudioBytes - FFrame.Position) / Rate / 1000.0 * 8.0;
}

bool TMPEGaudio::Valid() const {
  const uint16_t Rate = BitRate();
  return FFrame.Found && Rate >= 8 && Rate <= 448 && Duration() >= 0.1;
}

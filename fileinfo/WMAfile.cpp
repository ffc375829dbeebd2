#include "fileinfo/WMAfile.h"

#include "fileinfo/TextHelpers.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

using namespace fileinfo_detail;

namespace {

using Guid = std::array<uint8_t, 16>;

// Object identifiers in the byte order they are stored in the file.
constexpr Guid kHeader = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kStreamProperties = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kContentDescription = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kExtendedContentDescription = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11, 0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

constexpr size_t kFieldUnits = 250; // units kept of one text field
constexpr uint32_t kObjectHeaderSize = 24;

constexpr std::array<const char *, 7> kFieldNames = {"WM/TITLE", "WM/AUTHOR", "WM/ALBUMTITLE", "WM/TRACK",
                                                     "WM/YEAR",  "WM/GENRE",  "WM/DESCRIPTION"};
enum Field { fTitle, fArtist, fAlbum, fTrack, fYear, fGenre, fComment };

using WideText = std::vector<uint16_t>;

// Working record of one read.
struct FileData {
  int32_t FileSize = 0;
  int32_t MaxBitRate = 0;
  uint16_t Channels = 0;
  int32_t SampleRate = 0;
  int32_t ByteRate = 0;
  std::array<WideText, 7> Tag;
};

// Reading like a stream that refuses short reads: a read past the end fails the walk.
struct ReadPastEnd {};

struct Cursor {
  const TByteSource &Source;
  int64_t Pos = 0;
  void Read(void *Buffer, size_t Count) {
    if (Source.ReadAt(Pos, Buffer, Count) != Count)
      throw ReadPastEnd{};
    Pos += static_cast<int64_t>(Count);
  }
  uint16_t U16() {
    uint8_t B[2];
    Read(B, 2);
    return LoadLE16(B);
  }
  uint32_t U32() {
    uint8_t B[4];
    Read(B, 4);
    return LoadLE32(B);
  }
  Guid Id() {
    Guid G;
    Read(G.data(), G.size());
    return G;
  }
  // A text field of Bytes bytes: its first 250 units are kept, the rest is skipped.
  WideText Text(uint16_t Bytes) {
    const size_t Units = std::min<size_t>(Bytes / 2, kFieldUnits);
    std::array<uint8_t, kFieldUnits * 2> Raw;
    Read(Raw.data(), Units * 2);
    WideText T(Units);
    for (size_t I = 0; I < Units; ++I)
      T[I] = LoadLE16(Raw.data() + 2 * I);
    Pos += Bytes - static_cast<int64_t>(Units * 2);
    return T;
  }
};

WideText TrimWide(const WideText &T) {
  size_t Begin = 0, End = T.size();
  while (End > 0 && T[End - 1] <= 0x20)
    --End;
  while (Begin < End && T[Begin] <= 0x20)
    ++Begin;
  return WideText(T.begin() + static_cast<ptrdiff_t>(Begin), T.begin() + static_cast<ptrdiff_t>(End));
}

std::string ToUtf8(const WideText &T) { return Utf16ToUtf8(T.data(), T.size()); }

void ReadContentDescription(Cursor &In, FileData &Data) {
  uint16_t Lengths[5];
  for (auto &L : Lengths)
    L = In.U16();
  // Title, author, copyright, description, rating: copyright and rating are dropped.
  constexpr int Targets[5] = {fTitle, fArtist, -1, fComment, -1};
  for (int I = 0; I < 5; ++I) {
    if (Lengths[I] == 0)
      continue;
    WideText T = In.Text(Lengths[I]);
    if (Targets[I] >= 0)
      Data.Tag[static_cast<size_t>(Targets[I])] = std::move(T);
  }
}

void ReadExtendedContentDescription(Cursor &In, FileData &Data) {
  const uint16_t Count = In.U16();
  for (uint16_t I = 0; I < Count; ++I) {
    const WideText Name = In.Text(In.U16());
    const uint16_t Type = In.U16();
    const uint16_t Length = In.U16();
    if (Type != 0) {
      In.Pos += Length; // not a Unicode string
      continue;
    }
    WideText Value = In.Text(Length);
    std::string Upper = ToUtf8(TrimWide(Name));
    for (char &C : Upper)
      if (C >= 'a' && C <= 'z')
        C = static_cast<char>(C - 'a' + 'A');
    for (size_t K = 0; K < kFieldNames.size(); ++K)
      if (Upper == kFieldNames[K])
        Data.Tag[K] = Value;
  }
}

// Walks the header objects. Object sizes are read as unsigned 32-bit values; an object
// smaller than its own 24-byte header ends the walk after it has been handled (walking on
// would read the same bytes again or go round in circles).
void WalkHeader(Cursor &In, FileData &Data) {
  if (In.Id() != kHeader)
    return;
  In.Pos += 8;
  const uint32_t Objects = In.U32();
  In.Pos += 2;
  for (uint32_t I = 0; I < Objects; ++I) {
    const int64_t Start = In.Pos;
    const Guid Id = In.Id();
    const uint32_t Size = In.U32();
    if (Id == kFileProperties) {
      In.Pos = Start + 100;
      Data.MaxBitRate = static_cast<int32_t>(In.U32());
    } else if (Id == kStreamProperties) {
      In.Pos = Start + 80;
      Data.Channels = In.U16();
      Data.SampleRate = static_cast<int32_t>(In.U32());
      Data.ByteRate = static_cast<int32_t>(In.U32());
    } else if (Id == kContentDescription) {
      In.Pos = Start + 24;
      ReadContentDescription(In, Data);
    } else if (Id == kExtendedContentDescription) {
      In.Pos = Start + 24;
      ReadExtendedContentDescription(In, Data);
    }
    if (Size < kObjectHeaderSize)
      return;
    In.Pos = Start + Size;
  }
}

bool Plausible(const FileData &D) {
  return D.MaxBitRate > 0 && D.MaxBitRate < 320000 && D.Channels >= 1 && D.Channels <= 6 && D.SampleRate >= 8000 &&
         D.SampleRate <= 96000 && D.ByteRate > 0 && D.ByteRate < 40000;
}

} // namespace

void TWMAfile::ResetData() {
  FValid = false;
  FFileSize = 0;
  FChannels = 0;
  FSampleRate = 0;
  FDuration = 0;
  FBitRate = 0;
  FTitle.clear();
  FArtist.clear();
  FAlbum.clear();
  FTrack = 0;
  FYear.clear();
  FGenre.clear();
  FComment.clear();
}

bool TWMAfile::ReadFromFile(const std::string &FileName) noexcept {
  ResetData();
  const TFileSource Source(FileName);
  if (!Source.IsOpen())
    return false;
  return ReadFromSource(Source);
}

bool TWMAfile::ReadFromSource(const TByteSource &Source) noexcept {
  try {
    ResetData();
    FileData Data;
    Data.FileSize = ClampFileSize(Source.Size());
    Cursor In{Source, 0};
    WalkHeader(In, Data);
    if (!Plausible(Data))
      return true;
    FValid = true;
    FFileSize = Data.FileSize;
    FChannels = static_cast<uint8_t>(Data.Channels);
    FSampleRate = Data.SampleRate;
    // The bit count is formed in 32 bits, as stored files have always been measured.
    const auto Bits = static_cast<int32_t>(static_cast<uint32_t>(Data.FileSize) * 8u);
    FDuration = static_cast<double>(Bits) / Data.MaxBitRate;
    FBitRate = Data.ByteRate * 8 / 1000;
    FTitle = ToUtf8(TrimWide(Data.Tag[fTitle]));
    FArtist = ToUtf8(TrimWide(Data.Tag[fArtist]));
    FAlbum = ToUtf8(TrimWide(Data.Tag[fAlbum]));
    FTrack = DecimalOrZero(ToUtf8(TrimWide(Data.Tag[fTrack])));
    FYear = ToUtf8(TrimWide(Data.Tag[fYear]));
    FGenre = ToUtf8(TrimWide(Data.Tag[fGenre]));
    FComment = ToUtf8(TrimWide(Data.Tag[fComment]));
    return true;
  } catch (...) {
    ResetData();
    return false;
  }
}

#include "fileinfo/OggVorbis.h"

#include "fileinfo/ID3v2TagSize.h"
#include "fileinfo/TextHelpers.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace fileinfo_detail;

namespace {

constexpr size_t kPageHeaderSize = 282; // 27 fixed bytes and room for 255 segment sizes
constexpr size_t kIdentificationSize = 30;
constexpr size_t kItemLimit = 250;      // bytes kept of one comment item
constexpr int kLastPageWindows = 50;
constexpr int64_t kWindowStep = 241;
constexpr size_t kWindowSize = 251;

constexpr std::array<const char *, 10> kFieldNames = {
    "", "TITLE", "ARTIST", "ALBUM", "TRACKNUMBER", "DATE", "GENRE", "COMMENT", "PERFORMER", "DESCRIPTION"};
enum Field { fVendor, fTitle, fArtist, fAlbum, fTrack, fDate, fGenre, fComment, fPerformer, fDescription };

// A read position over a byte source, reading like a file stream: reads at or past the end
// deliver fewer bytes, and the bytes not delivered stay zero.
struct Cursor {
  const TByteSource &Source;
  int64_t Pos = 0;
  size_t Read(void *Buffer, size_t Count) {
    std::memset(Buffer, 0, Count);
    const size_t N = Source.ReadAt(Pos, Buffer, Count);
    Pos += static_cast<int64_t>(N);
    return N;
  }
};

int32_t ID3v2TagSize(const TByteSource &Source) {
  uint8_t H[fileinfo_id3v2::kHeaderSize] = {};
  Source.ReadAt(0, H, sizeof H);
  return static_cast<int32_t>(fileinfo_id3v2::TagSize(H, Source.Size()));
}

// The UTF-8 decoding the player has always applied to comment values: one- to three-byte
// sequences become 16-bit characters; a malformed or cut sequence ends the text.
std::string DecodeUtf8(std::string_view S) {
  std::array<uint16_t, kItemLimit> Units;
  size_t Count = 0;
  const size_t N = S.size();
  size_t I = 0;
  auto Byte = [&](size_t K) { return static_cast<uint8_t>(S[K]); };
  auto IsContinuation = [&](size_t K) { return (Byte(K) & 0xC0) == 0x80; };
  while (I < N && Count < Units.size()) {
    uint32_t V = Byte(I++);
    if (V < 0x80) {
      Units[Count++] = static_cast<uint16_t>(V);
      continue;
    }
    if (I >= N)
      break;
    V &= 0x3F;
    if (V & 0x20) {
      V &= 0x1F;
      if (!IsContinuation(I))
        break;
      V = V * 64 + (Byte(I) & 0x3F);
      if (++I >= N)
        break;
    }
    if (!IsContinuation(I))
      break;
    Units[Count++] = static_cast<uint16_t>((V * 64 + (Byte(I) & 0x3F)) & 0xFFFF);
    ++I;
  }
  return Utf16ToUtf8(Units.data(), Count);
}

void HandleItem(std::string_view D, std::array<std::string, 10> &FieldData) {
  const size_t Eq = D.find('=');
  if (Eq == std::string_view::npos) {
    if (FieldData[fVendor].empty())
      FieldData[fVendor] = std::string(D);
    return;
  }
  std::string Name(D.substr(0, Eq));
  for (char &C : Name)
    if (C >= 'a' && C <= 'z')
      C = static_cast<char>(C - 'a' + 'A');
  for (size_t K = 1; K < kFieldNames.size(); ++K) {
    if (Name == kFieldNames[K]) {
      FieldData[K] = DecodeUtf8(Trim(D.substr(Eq + 1)));
      return;
    }
  }
}

// The bytes of one packet, read across the pages it spans. A packet runs through the segments
// of a page (sizes from the page's lacing table) and goes on into the next page for as long
// as its last segment is a full 255 bytes; the first shorter segment ends it. Only the current
// page's lacing table is held, so memory stays fixed whatever the packet's size. A page that
// does not start with "OggS" or belongs to another logical stream ends the packet.
class PacketReader {
public:
  // PagePos: file position of the page on which the packet begins, at that page's data.
  PacketReader(const TByteSource &Source, int64_t PagePos) : FSource(Source) { LoadPage(PagePos, true); }

  // Copies up to Count bytes of the packet into Buffer (bytes not delivered stay zero);
  // returns how many were copied. A null Buffer skips them.
  size_t Read(void *Buffer, size_t Count) {
    if (Buffer != nullptr)
      std::memset(Buffer, 0, Count);
    auto *Out = static_cast<uint8_t *>(Buffer);
    size_t Done = 0;
    while (Done < Count && NextSegmentBytes()) {
      const size_t Take = std::min<size_t>(Count - Done, FSegmentLeft);
      if (Out != nullptr) {
        const size_t Got = FSource.ReadAt(FPos, Out + Done, Take);
        if (Got < Take) { // the file ends inside the packet
          FEnded = true;
          FSegmentLeft = 0;
          return Done + Got;
        }
      }
      FPos += static_cast<int64_t>(Take);
      FSegmentLeft -= Take;
      Done += Take;
    }
    return Done;
  }
  uint64_t Skip(uint64_t Count) {
    uint64_t Done = 0;
    while (Done < Count) {
      const size_t Step = static_cast<size_t>(std::min<uint64_t>(Count - Done, 1u << 30));
      const size_t N = Read(nullptr, Step);
      Done += N;
      if (N < Step)
        break;
    }
    return Done;
  }
  bool AtEnd() { return !NextSegmentBytes(); }

private:
  // Makes FSegmentLeft non-zero by moving to the next segment (and page) of the packet;
  // false at the end of the packet.
  bool NextSegmentBytes() {
    if (FEnded)
      return false;
    while (FSegmentLeft == 0 && !FEnded) {
      if (FSegment > 0 && FLacing[FSegment - 1] < 255) {
        FEnded = true; // the last segment was short: the packet is complete
        break;
      }
      if (FSegment == FSegments) {
        if (!LoadPage(FPos, false))
          break;
        continue;
      }
      FSegmentLeft = FLacing[FSegment++];
    }
    return !FEnded && FSegmentLeft > 0;
  }
  bool LoadPage(int64_t Pos, bool First) {
    uint8_t Header[27] = {};
    if (FSource.ReadAt(Pos, Header, sizeof Header) != sizeof Header || std::memcmp(Header, "OggS", 4) != 0) {
      FEnded = true;
      return false;
    }
    const uint32_t Serial = LoadLE32(Header + 14);
    if (!First && Serial != FSerial) {
      FEnded = true;
      return false;
    }
    FSerial = Serial;
    FSegments = Header[26];
    FSegment = 0;
    std::memset(FLacing, 0, sizeof FLacing);
    FSource.ReadAt(Pos + 27, FLacing, FSegments);
    FPos = Pos + 27 + FSegments;
    // A page with no segments carries nothing; the packet goes on into the next page.
    return true;
  }

  const TByteSource &FSource;
  int64_t FPos = 0;          // file position of the next packet byte
  uint8_t FLacing[255] = {}; // segment sizes of the current page
  size_t FSegments = 0;
  size_t FSegment = 0;       // index of the next segment to start
  size_t FSegmentLeft = 0;   // bytes left in the current segment
  uint32_t FSerial = 0;
  bool FEnded = false;
};

// Item 0 is the vendor string, then a count, then that many user comments. Each item keeps at
// most its first 250 bytes; the rest of a longer one (a cover picture, say) is skipped
// without being stored. Lengths are unsigned, and the end of the packet stops the reading.
void ReadComments(PacketReader &In, std::array<std::string, 10> &FieldData) {
  int64_t Index = 0;
  int32_t ItemCount = 0;
  do {
    if (In.AtEnd())
      break;
    uint8_t LengthBytes[4];
    In.Read(LengthBytes, 4);
    const uint32_t Length = LoadLE32(LengthBytes);
    char Item[kItemLimit] = {};
    const size_t Kept = Length < kItemLimit ? Length : kItemLimit;
    In.Read(Item, Kept);
    HandleItem(Trim(std::string_view(Item, kItemLimit)), FieldData);
    In.Skip(Length - Kept);
    if (Index == 0) {
      uint8_t CountBytes[4];
      In.Read(CountBytes, 4);
      ItemCount = static_cast<int32_t>(LoadLE32(CountBytes));
    }
    ++Index;
  } while (Index <= ItemCount);
}

// Granule position (low 32 bits) of the last page that starts within the last 12,060 bytes,
// looked for in overlapping windows stepping back from the end. A window that would start
// before the file is read from its first byte.
int32_t LastPageSamples(const TByteSource &Source) {
  const int64_t Size = Source.Size();
  for (int K = 1; K <= kLastPageWindows; ++K) {
    int64_t Start = Size - kWindowStep * K - 10;
    if (Start < 0)
      Start = 0;
    uint8_t W[kWindowSize] = {};
    Source.ReadAt(Start, W, kWindowSize);
    for (int J = static_cast<int>(kWindowStep); J >= 0; --J) {
      if (std::memcmp(W + J, "OggS", 4) == 0) {
        uint8_t Page[kPageHeaderSize] = {};
        Source.ReadAt(Start + J, Page, kPageHeaderSize);
        return static_cast<int32_t>(LoadLE32(Page + 6));
      }
    }
  }
  return 0;
}

uint16_t TrackNumber(std::string_view Text) {
  const size_t Slash = Text.find('/');
  if (Slash != std::string_view::npos)
    Text = Text.substr(0, Slash);
  return static_cast<uint16_t>(DecimalOrZero(Text) & 0xFF);
}

} // namespace

void TOggVorbis::ResetData() {
  FFileSize = 0;
  FChannels = 0;
  FSampleRate = 0;
  FNominalBitRate = 0;
  FSamples = 0;
  FID3v2Size = 0;
  FTitle.clear();
  FArtist.clear();
  FAlbum.clear();
  FTrack = 0;
  FDate.clear();
  FGenre.clear();
  FComment.clear();
  FVendor.clear();
}

bool TOggVorbis::ReadFromFile(const std::string &FileName) noexcept {
  ResetData();
  const TFileSource Source(FileName);
  if (!Source.IsOpen())
    return false;
  return ReadFromSource(Source);
}

bool TOggVorbis::ReadFromSource(const TByteSource &Source) noexcept {
  try {
    ResetData();
    const int32_t TagSize = ID3v2TagSize(Source);
    Cursor In{Source, TagSize};
    uint8_t FirstPage[kPageHeaderSize];
    In.Read(FirstPage, kPageHeaderSize);
    if (std::memcmp(FirstPage, "OggS", 4) != 0)
      return false;
    In.Pos = int64_t{TagSize} + 27 + FirstPage[26];
    uint8_t Id[kIdentificationSize];
    In.Read(Id, kIdentificationSize);
    if (std::memcmp(Id, "\x01vorbis", 7) != 0)
      return false;

    // The comment packet begins on the second page and may run over several pages.
    const int64_t SecondPagePos = In.Pos;
    PacketReader Packet(Source, SecondPagePos);
    uint8_t Marker[7];
    Packet.Read(Marker, 7);
    std::array<std::string, 10> FieldData;
    if (std::memcmp(Marker, "\x03vorbis", 7) == 0)
      ReadComments(Packet, FieldData);
    const int32_t Samples = LastPageSamples(Source);

    FFileSize = ClampFileSize(Source.Size());
    FChannels = Id[11];
    FSampleRate = LoadLE32(Id + 12);
    FNominalBitRate = static_cast<uint16_t>(RoundHalfEven(static_cast<int32_t>(LoadLE32(Id + 20)) / 1000.0));
    FSamples = Samples;
    FID3v2Size = TagSize;
    FTitle = std::move(FieldData[fTitle]);
    FArtist = std::move(FieldData[FieldData[fArtist].empty() ? fPerformer : fArtist]);
    FAlbum = std::move(FieldData[fAlbum]);
    FTrack = TrackNumber(FieldData[fTrack]);
    FDate = std::move(FieldData[fDate]);
    FGenre = std::move(FieldData[fGenre]);
    FComment = std::move(FieldData[FieldData[fComment].empty() ? fDescription : fComment]);
    FVendor = std::move(FieldData[fVendor]);
    return true;
  } catch (...) {
    ResetData();
    return false;
  }
}

double TOggVorbis::Duration() const {
  if (FSamples > 0)
    return FSampleRate == 0 ? 0.0 : static_cast<double>(FSamples) / FSampleRate;
  if (FNominalBitRate > 0 && FChannels > 0)
    return static_cast<double>(int64_t{FFileSize} - FID3v2Size) / FNominalBitRate / FChannels / 125.0 * 2.0;
  return 0;
}

uint16_t TOggVorbis::BitRate() const {
  const double Seconds = Duration();
  if (Seconds <= 0)
    return 0;
  return static_cast<uint16_t>(RoundHalfEven(static_cast<double>(int64_t{FFileSize} - FID3v2Size) / Seconds / 125.0));
}

bool TOggVorbis::Valid() const {
  return FChannels >= 1 && FChannels <= 6 && FSampleRate > 0 && Duration() > 0.1 && BitRate() > 0;
}

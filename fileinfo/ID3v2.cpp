#include "fileinfo/ID3v2.h"

#include "fileinfo/ID3v2TagSize.h"
#include "fileinfo/TextHelpers.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace fileinfo_detail;

namespace {

constexpr int kSlotCount = 16;
constexpr size_t kFrameTextSize = 500; // frame content kept per slot

// Identifiers per slot: versions 2.3/2.4, then version 2.2.
constexpr std::array<const char *, kSlotCount> kFrames34 = {
    "TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM", "TCOM",
    "TENC", "TCOP", "TLAN", "WXXX", "TDRC", "TOPE", "TIT1", "TOAL"};
constexpr std::array<const char *, kSlotCount> kFrames22 = {
    "TT2", "TP1", "TAL", "TRK", "TYE", "TCO", "COM", "TCM",
    "TEN", "TCR", "TLA", "WXX", "TOR", "TOA", "TT1", "TOT"};

enum Slot {
  sTitle, sArtist, sAlbum, sTrack, sYear, sGenre, sComment, sComposer,
  sEncoder, sCopyright, sLanguage, sLink, sYear2, sArtist2, sTitle2, sAlbum2
};

// Working record of one read.
struct TagInfo {
  uint8_t Header[10]{};
  int32_t FileSize = 0;
  std::array<std::string, kSlotCount> FrameText;
};

int32_t TagSize(const TagInfo &Tag) {
  return static_cast<int32_t>(fileinfo_id3v2::TagSize(Tag.Header, Tag.FileSize));
}

void OfferFrame(TagInfo &Tag, const char *Id, size_t IdLength, std::string &&Content) {
  const auto &Ids = Tag.Header[3] > 2 ? kFrames34 : kFrames22;
  for (size_t I = 0; I < kSlotCount; ++I) {
    if (std::memcmp(Ids[I], Id, IdLength) == 0 && static_cast<uint8_t>(Content[0]) <= 3) {
      Tag.FrameText[I] = std::move(Content);
      return;
    }
  }
}

// Walks the frames from offset 10 while the position is below Bound. A frame header or
// content that cannot be read whole (past the end of the file, or of an in-memory tag)
// ends the walk. Positions are 64-bit and frame sizes
// unsigned, so a corrupt size can only move the walk forward.
void WalkFrames(TagInfo &Tag, const TByteSource &Source, int64_t Bound) {
  const bool V22 = Tag.Header[3] == 2;
  const size_t HeaderLength = V22 ? 6 : 10;
  const size_t IdLength = V22 ? 3 : 4;
  int64_t Pos = 10;
  while (Pos < Bound) {
    uint8_t H[10];
    if (Source.ReadAt(Pos, H, HeaderLength) != HeaderLength)
      return;
    if (H[0] < 'A' || H[0] > 'Z')
      return; // padding or garbage
    uint32_t FrameSize;
    uint16_t Flags = 0;
    if (V22) {
      FrameSize = (uint32_t{H[3]} << 16) | (uint32_t{H[4]} << 8) | H[5];
    } else {
      FrameSize = LoadBE32(H + 4);
      Flags = LoadLE16(H + 8);
    }
    const size_t ContentLength = std::min<uint32_t>(FrameSize, kFrameTextSize);
    std::string Content(kFrameTextSize, '\0');
    if (Source.ReadAt(Pos + static_cast<int64_t>(HeaderLength), Content.data(), ContentLength) != ContentLength)
      return;
    if (!(Flags & 0x8000)) // compressed frames are skipped
      OfferFrame(Tag, reinterpret_cast<const char *>(H), IdLength, std::move(Content));
    Pos += static_cast<int64_t>(HeaderLength) + FrameSize;
  }
}

// Text of a frame's content by its encoding byte: 1 is UTF-16 with a byte-order mark (units
// always read little-endian), 2 is UTF-16 big-endian, both converted to UTF-8 up to the first
// zero unit, with the byte-order mark U+FEFF left out; 3 is UTF-8, kept up to its first zero
// byte and never ending inside a sequence (a frame cut to the slot's size may end in one);
// 0 and anything else are the bytes as stored. All are trimmed of 0x00..0x20 at their ends.
std::string DecodeText(std::string_view T) {
  if (!T.empty() && (T[0] == 1 || T[0] == 2)) {
    const bool BigEndian = T[0] == 2;
    const size_t Pairs = (T.size() - 1) / 2;
    std::array<uint16_t, kFrameTextSize / 2> Units;
    size_t Count = 0;
    for (size_t I = 0; I < Pairs && Count < Units.size(); ++I) {
      const auto First = static_cast<uint8_t>(T[1 + 2 * I]);
      const auto Second = static_cast<uint8_t>(T[2 + 2 * I]);
      const uint16_t Unit = BigEndian ? static_cast<uint16_t>((First << 8) | Second)
                                      : static_cast<uint16_t>(First | (Second << 8));
      if (Unit == 0)
        break;
      if (Unit == 0xFEFF)
        continue;
      Units[Count++] = Unit;
    }
    return std::string(Trim(Utf16ToUtf8(Units.data(), Count)));
  }
  if (!T.empty() && T[0] == 3) {
    std::string_view Text = T.substr(1);
    const size_t Zero = Text.find('\0');
    if (Zero != std::string_view::npos)
      Text = Text.substr(0, Zero);
    else
      Text = WithoutCutSequence(Text); // cut by the slot's size
    return std::string(Trim(Text));
  }
  return std::string(Trim(T));
}

std::string DecodeWithFallback(const TagInfo &Tag, int First, int Second) {
  std::string S = DecodeText(Tag.FrameText[static_cast<size_t>(First)]);
  return S.empty() ? DecodeText(Tag.FrameText[static_cast<size_t>(Second)]) : S;
}

uint16_t TrackNumber(std::string_view Text) {
  const size_t Slash = Text.find('/');
  if (Slash != std::string_view::npos)
    Text = Text.substr(0, Slash);
  return static_cast<uint16_t>(DecimalOrZero(Text));
}

std::string YearText(const TagInfo &Tag) {
  std::string S = DecodeText(Tag.FrameText[sYear]);
  if (S.empty())
    S = std::string(Utf8Prefix(DecodeText(Tag.FrameText[sYear2]), 4));
  return S;
}

// A numeric reference such as "(17)" in front of a name is dropped, not looked up.
std::string GenreText(const TagInfo &Tag) {
  std::string S = DecodeText(Tag.FrameText[sGenre]);
  const size_t Close = S.rfind(')');
  if (Close != std::string::npos)
    S.erase(0, Close + 1);
  return S;
}

// Comment and link frames: encoding byte, (for comments) a 3-byte language code, then a
// description with its terminator, then the text.
std::string TextAfterDescription(const std::string &T, bool WithLanguage) {
  if (T.empty())
    return {};
  const char E = T[0];
  const size_t Skip = WithLanguage ? 4 : 1;
  std::string_view Rest = T.size() > Skip ? std::string_view(T).substr(Skip) : std::string_view();
  size_t Cut = std::string_view::npos;
  if (E == 1 || E == 2) {
    for (size_t I = 0; I + 1 < Rest.size(); I += 2) {
      if (Rest[I] == 0 && Rest[I + 1] == 0) {
        Cut = I + 2;
        break;
      }
    }
  } else {
    const size_t Zero = Rest.find('\0');
    if (Zero != std::string_view::npos)
      Cut = Zero + 1;
  }
  // Without a terminator the whole rest is description.
  Rest = Cut == std::string_view::npos ? std::string_view() : Rest.substr(Cut);
  std::string WithEncoding(1, E);
  WithEncoding.append(Rest);
  return DecodeText(WithEncoding);
}

void FillInfo(const TagInfo &Tag, TMP3TagInfo &Info) {
  Info.Title = DecodeWithFallback(Tag, sTitle, sTitle2);
  Info.Artist = DecodeWithFallback(Tag, sArtist, sArtist2);
  Info.Album = DecodeWithFallback(Tag, sAlbum, sAlbum2);
  Info.Track = TrackNumber(DecodeText(Tag.FrameText[sTrack]));
  Info.Year = YearText(Tag);
  Info.Genre = GenreText(Tag);
  Info.Comment = TextAfterDescription(Tag.FrameText[sComment], true);
}

bool KnownVersion(uint8_t Version) { return Version >= 2 && Version <= 4; }

} // namespace

void TID3v2::ResetData() {
  FExists = false;
  FVersion = 0;
  FSize = 0;
  FTitle.clear();
  FArtist.clear();
  FAlbum.clear();
  FTrack = 0;
  FTrackText.clear();
  FYear.clear();
  FGenre.clear();
  FComment.clear();
  FComposer.clear();
  FEncoder.clear();
  FCopyright.clear();
  FLanguage.clear();
  FLink.clear();
}

bool TID3v2::ReadFromFile(const std::string &FileName) noexcept {
  ResetData();
  const TFileSource Source(FileName);
  if (!Source.IsOpen())
    return false;
  return ReadFromSource(Source);
}

bool TID3v2::ReadFromSource(const TByteSource &Source) noexcept {
  try {
    ResetData();
    TagInfo Tag;
    if (Source.ReadAt(0, Tag.Header, 10) != 10)
      return false;
    Tag.FileSize = ClampFileSize(Source.Size());
    if (std::memcmp(Tag.Header, "ID3", 3) != 0)
      return true;
    FExists = true;
    FVersion = Tag.Header[3];
    FSize = TagSize(Tag);
    if (!KnownVersion(FVersion) || FSize == 0)
      return true;
    WalkFrames(Tag, Source, std::min<int64_t>(FSize, Source.Size()));

    TMP3TagInfo Info;
    FillInfo(Tag, Info);
    FTitle = std::move(Info.Title);
    FArtist = std::move(Info.Artist);
    FAlbum = std::move(Info.Album);
    FTrack = Info.Track;
    FTrackText = DecodeText(Tag.FrameText[sTrack]);
    FYear = std::move(Info.Year);
    FGenre = std::move(Info.Genre);
    FComment = std::move(Info.Comment);
    FComposer = DecodeText(Tag.FrameText[sComposer]);
    FEncoder = DecodeText(Tag.FrameText[sEncoder]);
    FCopyright = DecodeText(Tag.FrameText[sCopyright]);
    FLanguage = DecodeText(Tag.FrameText[sLanguage]);
    FLink = TextAfterDescription(Tag.FrameText[sLink], false);
    return true;
  } catch (...) {
    ResetData();
    return false;
  }
}

bool TID3v2::ReadFromBuffer(const void *Buffer, int32_t StreamSize, TMP3TagInfo &Info) noexcept {
  if (Buffer == nullptr)
    return false;
  try {
    TagInfo Tag;
    std::memcpy(Tag.Header, Buffer, 10);
    if (std::memcmp(Tag.Header, "ID3", 3) != 0)
      return false;
    FVersion = Tag.Header[3];
    Tag.FileSize = StreamSize;
    FSize = TagSize(Tag);
    if (!KnownVersion(FVersion) || FSize == 0)
      return true;
    // The walk reads only the tag's own bytes: min(tag size, StreamSize) from Buffer.
    const TMemorySource Block(Buffer, static_cast<size_t>(std::min(FSize, StreamSize)));
    WalkFrames(Tag, Block, Block.Size());
    TMP3TagInfo Out;
    FillInfo(Tag, Out);
    Info = std::move(Out);
    return true;
  } catch (...) {
    return false;
  }
}

#include "fileinfo/ID3v1.h"

#include "fileinfo/TextHelpers.h"

#include <array>
#include <cstring>

using namespace fileinfo_detail;

namespace {

constexpr std::array<const char *, TID3v1::GenreCount> kGenres = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz",
    "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
    "Industrial", "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno",
    "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical",
    "Instrumental", "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "AlternRock",
    "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop", "Instrumental Rock",
    "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance",
    "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap",
    "Pop/Funk", "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave",
    "Showtunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro",
    "Musical", "Rock & Roll", "Hard Rock", "Folk", "Folk-Rock", "National Folk", "Swing",
    "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass", "Avantgarde",
    "Gothic Rock", "Progessive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera",
    "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire",
    "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad", "Power Ballad",
    "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A capella", "Euro-House",
    "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie", "BritPop",
    "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal", "Black Metal",
    "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Trash Metal", "Anime", "JPop", "Synthpop"};

// Block layout: "TAG", title, artist, album, year, comment, genre.
constexpr size_t kTitle = 3, kArtist = 33, kAlbum = 63, kYear = 93, kComment = 97, kGenre = 127;

std::string Field(const uint8_t *Block, size_t Offset, size_t Length) {
  return std::string(TrimRight(std::string_view(reinterpret_cast<const char *>(Block) + Offset, Length)));
}

// ID3v1.1 keeps a track number in the last comment byte, announced by a zero (or, as some
// taggers write it, a blank) in the byte before it.
uint8_t BlockVersion(const uint8_t *Block) {
  const uint8_t B125 = Block[125], B126 = Block[126];
  if ((B125 == 0 && B126 != 0) || (B125 == 0x20 && B126 != 0x20))
    return 2;
  return 1;
}

bool HasMarker(const uint8_t *Block) { return std::memcmp(Block, "TAG", 3) == 0; }

} // namespace

const char *TID3v1::GenreName(int Index) {
  return Index >= 0 && Index < GenreCount ? kGenres[static_cast<size_t>(Index)] : "";
}

void TID3v1::ResetData() {
  FExists = false;
  FVersion = 1;
  FTitle.clear();
  FArtist.clear();
  FAlbum.clear();
  FYear.clear();
  FComment.clear();
  FTrack = 0;
  FGenreIndex = 255;
}

bool TID3v1::ReadFromFile(const std::string &FileName) noexcept {
  ResetData();
  const TFileSource Source(FileName);
  if (!Source.IsOpen())
    return false;
  return ReadFromSource(Source);
}

bool TID3v1::ReadFromSource(const TByteSource &Source) noexcept {
  try {
    ResetData();
    uint8_t Block[TagSize];
    const int64_t Size = Source.Size();
    if (Size < TagSize || Source.ReadAt(Size - TagSize, Block, TagSize) != TagSize)
      return false;
    if (!HasMarker(Block))
      return true;
    FExists = true;
    FVersion = BlockVersion(Block);
    FTitle = Field(Block, kTitle, 30);
    FArtist = Field(Block, kArtist, 30);
    FAlbum = Field(Block, kAlbum, 30);
    FYear = Field(Block, kYear, 4);
    if (FVersion == 1) {
      FComment = Field(Block, kComment, 30);
    } else {
      FComment = Field(Block, kComment, 28);
      FTrack = Block[126];
    }
    FGenreIndex = Block[kGenre];
    return true;
  } catch (...) {
    ResetData();
    return false;
  }
}

bool TID3v1::ReadFromBuffer(const void *Buffer, TMP3TagInfo &Info) noexcept {
  if (Buffer == nullptr)
    return false;
  try {
    uint8_t Block[TagSize];
    std::memcpy(Block, Buffer, TagSize);
    if (!HasMarker(Block))
      return false;
    TMP3TagInfo Out;
    FVersion = BlockVersion(Block);
    Out.Title = Field(Block, kTitle, 30);
    Out.Artist = Field(Block, kArtist, 30);
    Out.Album = Field(Block, kAlbum, 30);
    Out.Year = Field(Block, kYear, 4);
    if (FVersion == 1) {
      Out.Comment = Field(Block, kComment, 30);
      Out.Track = 0;
    } else {
      Out.Comment = Field(Block, kComment, 28);
      Out.Track = Block[126];
    }
    FGenreIndex = Block[kGenre];
    Out.Genre = Genre();
    Info = std::move(Out);
    return true;
  } catch (...) {
    return false;
  }
}

#include "fileinfo/ID3v2.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace fileinfo_test;

namespace {

Bytes Frame(std::string_view Id, const Bytes &Content, uint16_t Flags = 0) {
  Bytes B;
  Append(B, Id);
  AppendBE32(B, static_cast<uint32_t>(Content.size()));
  AppendLE16(B, Flags);
  Append(B, Content);
  return B;
}

Bytes Frame22(std::string_view Id, const Bytes &Content) {
  Bytes B;
  Append(B, Id);
  const auto N = static_cast<uint32_t>(Content.size());
  B.push_back(static_cast<uint8_t>(N >> 16));
  B.push_back(static_cast<uint8_t>(N >> 8));
  B.push_back(static_cast<uint8_t>(N));
  Append(B, Content);
  return B;
}

Bytes Latin(std::string_view S) {
  Bytes B{0};
  Append(B, S);
  return B;
}

// Encoding 1 with the byte-order mark FF FE and the units little-endian.
Bytes Utf16Body(std::string_view S) {
  Bytes B{0xFF, 0xFE};
  AppendUtf16(B, S);
  return B;
}
Bytes Utf16(std::string_view S) {
  Bytes B{1};
  Append(B, Utf16Body(S));
  return B;
}

// A tag of the given version around the frames, with Padding zero bytes after them, and
// some audio-like bytes behind it.
Bytes Tag(uint8_t Version, const Bytes &Frames, size_t Padding = 32, uint8_t Flags = 0) {
  const uint32_t Body = static_cast<uint32_t>(Frames.size() + Padding);
  Bytes B;
  Append(B, "ID3");
  B.push_back(Version);
  B.push_back(0);
  B.push_back(Flags);
  for (int Shift = 21; Shift >= 0; Shift -= 7)
    B.push_back(static_cast<uint8_t>((Body >> Shift) & 0x7F));
  Append(B, Frames);
  AppendZeros(B, Padding);
  B.insert(B.end(), 300, 0xAA);
  return B;
}

struct Read {
  TempDir Dir;
  TID3v2 R;
  bool Ok;
  explicit Read(const Bytes &File) { Ok = R.ReadFromFile(Dir.Write("t.mp3", File)); }
};

} // namespace

TEST(ID3v2, TextFramesInEncodingsZeroAndOne) {
  Bytes Frames;
  Append(Frames, Frame("TIT2", Latin(std::string("Title\0\0\0", 8))));
  Append(Frames, Frame("TPE1", Utf16("Artist")));
  Bytes Cyrillic{1, 0xFF, 0xFE, 0x16, 0x04, 'a', 0}; // "Жa"
  Append(Frames, Frame("TALB", Cyrillic));
  Append(Frames, Frame("TCOM", Latin("  Composer ")));
  Append(Frames, Frame("TENC", Latin("Enc")));
  Append(Frames, Frame("TCOP", Latin("(c) X")));
  Append(Frames, Frame("TLAN", Latin("eng")));
  Read T(Tag(3, Frames));
  ASSERT_TRUE(T.Ok);
  EXPECT_TRUE(T.R.Exists());
  EXPECT_EQ(T.R.Version(), 3);
  EXPECT_EQ(T.R.Size(), static_cast<int32_t>(10 + Frames.size() + 32));
  EXPECT_EQ(T.R.Title(), "Title");
  EXPECT_EQ(T.R.Artist(), "Artist");
  EXPECT_EQ(T.R.Album(), "\xD0\x96" "a");
  EXPECT_EQ(T.R.Composer(), "Composer");
  EXPECT_EQ(T.R.Encoder(), "Enc");
  EXPECT_EQ(T.R.Copyright(), "(c) X");
  EXPECT_EQ(T.R.Language(), "eng");
}

TEST(ID3v2, BigEndianMarkIsStillReadLittleEndian) {
  Bytes Content{1, 0xFE, 0xFF};
  for (char C : std::string("Hi")) {
    Content.push_back(0);
    Content.push_back(static_cast<uint8_t>(C));
  }
  Read T(Tag(3, Frame("TIT2", Content)));
  ASSERT_TRUE(T.Ok);
  EXPECT_FALSE(T.R.Title().empty());
  EXPECT_NE(T.R.Title(), "Hi");
}

// What FFmpeg and current taggers write: ID3v2.4 in UTF-8 (encoding 3); encoding 2 is UTF-16
// big-endian without a byte-order mark. Both read like encodings 0 and 1, in every slot.
TEST(ID3v2, EncodingsTwoAndThreeAreRead) {
  Bytes Frames;
  Append(Frames, Frame("TIT2", Bytes{3, 'U', 'T', 'F', '8', ' ', 0xD0, 0x96, 0}));
  Bytes Be{2, 0x04, 0x16, 0, 'X'}; // "ЖX"
  Append(Frames, Frame("TPE1", Be));
  Bytes Comment{3, 'e', 'n', 'g'};
  Append(Comment, std::string_view("desc\0text \xE2\x82\xAC", 13));
  Append(Frames, Frame("COMM", Comment));
  Bytes BeComment{2, 'e', 'n', 'g', 0, 'd', 0, 0, 0, 'o', 0, 'k'};
  Append(Frames, Frame("COMM", BeComment)); // the later one wins
  Append(Frames, Frame("TRCK", Bytes{3, '7', '/', '9'}));
  Append(Frames, Frame("TDRC", Bytes{3, '2', '0', '2', '4', '-', '0', '1'}));
  Read T(Tag(4, Frames));
  ASSERT_TRUE(T.Ok);
  EXPECT_EQ(T.R.Title(), "UTF8 \xD0\x96");
  EXPECT_EQ(T.R.Artist(), "\xD0\x96X");
  EXPECT_EQ(T.R.Comment(), "ok");
  EXPECT_EQ(T.R.Track(), 7);
  EXPECT_EQ(T.R.Year(), "2024");

  // A UTF-8 frame longer than the 500-byte slot is cut before a sequence it would split.
  Bytes Long{3};
  Append(Long, std::string(498, 'a'));
  Append(Long, "\xD0\x96\xD0\x96");
  Read L(Tag(4, Frame("TIT2", Long)));
  EXPECT_EQ(L.R.Title(), std::string(498, 'a'));
}

// Units whose low byte is 0xFF are letters like any other (U+00FF, U+04FF, U+30FF); only the
// byte-order mark is left out.
TEST(ID3v2, UnitsEndingInFFAreKept) {
  Bytes Content{1, 0xFF, 0xFE, 'a', 0, 0xFF, 0x00, 0xFF, 0x04, 0xFF, 0x30};
  Read T(Tag(3, Frame("TIT2", Content)));
  EXPECT_EQ(T.R.Title(), "a\xC3\xBF\xD3\xBF\xE3\x83\xBF");
  Bytes Be{2, 0x00, 0xFF, 0x00, 'b'};
  Read B(Tag(4, Frame("TIT2", Be)));
  EXPECT_EQ(B.R.Title(), "\xC3\xBF" "b");
}

TEST(ID3v2, CommentAndLinkDropTheirDescription) {
  Bytes First = Latin("eng");
  Append(First, std::string_view("first\0old", 9));
  Bytes Second{1};
  Append(Second, "eng");
  Append(Second, Utf16Body("desc"));
  AppendLE16(Second, 0);
  Append(Second, Utf16Body("Text"));
  Bytes Link = Latin(std::string_view("home\0http://x.org", 17));
  Bytes Frames;
  Append(Frames, Frame("COMM", First));
  Append(Frames, Frame("COMM", Second)); // the later one wins
  Append(Frames, Frame("WXXX", Link));
  Read T(Tag(3, Frames));
  EXPECT_EQ(T.R.Comment(), "Text");
  EXPECT_EQ(T.R.Link(), "http://x.org");

  Read Plain(Tag(3, Frame("COMM", First)));
  EXPECT_EQ(Plain.R.Comment(), "old");
}

struct DerivedCase {
  const char *Track, *Year, *Date, *Genre;
  uint16_t TrackNumber;
  const char *YearOut, *GenreOut;
};

class ID3v2Derived : public ::testing::TestWithParam<DerivedCase> {};

TEST_P(ID3v2Derived, TrackYearAndGenre) {
  const auto &C = GetParam();
  Bytes Frames;
  Append(Frames, Frame("TRCK", Latin(C.Track)));
  if (*C.Year)
    Append(Frames, Frame("TYER", Latin(C.Year)));
  Append(Frames, Frame("TDRC", Latin(C.Date)));
  Append(Frames, Frame("TCON", Latin(C.Genre)));
  Read T(Tag(4, Frames));
  EXPECT_EQ(T.R.Track(), C.TrackNumber);
  EXPECT_EQ(T.R.TrackText(), C.Track);
  EXPECT_EQ(T.R.Year(), C.YearOut);
  EXPECT_EQ(T.R.Genre(), C.GenreOut);
}

INSTANTIATE_TEST_SUITE_P(Cases, ID3v2Derived,
                         ::testing::Values(DerivedCase{"3/12", "1999", "2004-05-06", "Rock", 3, "1999", "Rock"},
                                           DerivedCase{"A3", "", "2004-05-06", "(17)", 0, "2004", ""},
                                           DerivedCase{"7", "", "", "(17)Rock", 7, "", "Rock"},
                                           DerivedCase{"", "", "19", "(1)(2)Pop", 0, "19", "Pop"},
                                           DerivedCase{"65537", "", "", "Jazz", 1, "", "Jazz"}));

TEST(ID3v2, SecondChoiceFrames) {
  Bytes Frames;
  Append(Frames, Frame("TIT1", Latin("Group")));
  Append(Frames, Frame("TOPE", Latin("Original")));
  Append(Frames, Frame("TOAL", Latin("OrigAlbum")));
  Append(Frames, Frame("TALB", Latin("")));
  Read T(Tag(3, Frames));
  EXPECT_EQ(T.R.Title(), "Group");
  EXPECT_EQ(T.R.Artist(), "Original");
  EXPECT_EQ(T.R.Album(), "OrigAlbum");
}

TEST(ID3v2, LongAndSkippedFrames) {
  Bytes Long = Latin(std::string(700, 'x'));
  Bytes Frames;
  Append(Frames, Frame("TCOM", Long));
  Append(Frames, Frame("TIT2", Latin("Packed"), 0x8000)); // compressed: skipped
  Append(Frames, Frame("TPE1", Latin("After")));
  Read T(Tag(3, Frames));
  EXPECT_EQ(T.R.Composer(), std::string(499, 'x'));
  EXPECT_EQ(T.R.Title(), "");
  EXPECT_EQ(T.R.Artist(), "After");
}

TEST(ID3v2, Version22) {
  Bytes Frames;
  Append(Frames, Frame22("TT2", Latin("Old")));
  Append(Frames, Frame22("TP1", Utf16("Timer")));
  Append(Frames, Frame22("COM", Latin(std::string_view("engd\0c", 6))));
  Read T(Tag(2, Frames));
  EXPECT_EQ(T.R.Title(), "Old");
  EXPECT_EQ(T.R.Artist(), "Timer");
  EXPECT_EQ(T.R.Comment(), "c");
}

TEST(ID3v2, HeaderSizeRules) {
  { // Size bytes are taken whole: 0x80 in the last byte counts 128.
    Bytes F = Tag(3, Frame("TIT2", Latin("T")));
    F[6] = F[7] = F[8] = 0;
    F[9] = 0x80;
    Read T(F);
    EXPECT_EQ(T.R.Size(), 138);
    EXPECT_EQ(T.R.Title(), "T");
  }
  { // Footer flag adds ten bytes.
    Bytes F = Tag(4, Frame("TIT2", Latin("T")), 32, 0x10);
    Read T(F);
    EXPECT_EQ(T.R.Size(), static_cast<int32_t>(10 + 12 + 32 + 10));
  }
  { // A tag larger than the file has size 0 and no texts.
    Bytes F = Tag(3, Frame("TIT2", Latin("T")));
    F[6] = 0x7F;
    Read T(F);
    EXPECT_TRUE(T.R.Exists());
    EXPECT_EQ(T.R.Size(), 0);
    EXPECT_EQ(T.R.Title(), "");
  }
  { // Unknown version: size known, no texts.
    Read T(Tag(5, Frame("TIT2", Latin("T"))));
    EXPECT_TRUE(T.R.Exists());
    EXPECT_GT(T.R.Size(), 0);
    EXPECT_EQ(T.R.Title(), "");
  }
  { // Extended header is not skipped: the walk stops at once.
    Bytes Ext;
    AppendBE32(Ext, 6);
    AppendZeros(Ext, 6);
    Append(Ext, Frame("TIT2", Latin("T")));
    Read T(Tag(3, Ext, 32, 0x40));
    EXPECT_EQ(T.R.Title(), "");
  }
}

TEST(ID3v2, ShortMissingAndUntaggedFiles) {
  TempDir Dir;
  TID3v2 R;
  EXPECT_FALSE(R.ReadFromFile(Dir.Write("s.mp3", Bytes(9, 'I'))));
  EXPECT_FALSE(R.ReadFromFile((Dir.Path() / "none").string()));
  EXPECT_TRUE(R.ReadFromFile(Dir.Write("n.mp3", Bytes(100, 0xFF))));
  EXPECT_FALSE(R.Exists());
  EXPECT_EQ(R.Size(), 0);
}

TEST(ID3v2, CorruptFrameSizesEndTheWalk) {
  Bytes Frames;
  Append(Frames, Frame("TIT2", Latin("Kept")));
  Append(Frames, "TPE1");
  AppendBE32(Frames, 0xFFFFFFF0u);
  AppendLE16(Frames, 0);
  Append(Frames, "garbage");
  Read T(Tag(3, Frames));
  EXPECT_EQ(T.R.Title(), "Kept");
  EXPECT_EQ(T.R.Artist(), "");

  // A frame that runs past the end of a short file.
  Bytes Cut = Tag(3, Frame("TIT2", Latin("Only")), 0);
  Cut.resize(Cut.size() - 300 - 2);
  Read Short(Cut);
  EXPECT_TRUE(Short.Ok);
  EXPECT_EQ(Short.R.Title(), "");
}

TEST(ID3v2, BufferReadStaysInsideTheTag) {
  Bytes Frames;
  Append(Frames, Frame("TIT2", Utf16("Net")));
  Append(Frames, Frame("TRCK", Latin("4/9")));
  Append(Frames, Frame("COMM", Latin(std::string_view("engx\0Hi", 7))));
  Bytes Block = Tag(3, Frames, 0);
  Block.resize(10 + Frames.size());
  TID3v2 R;
  TMP3TagInfo Info;
  ASSERT_TRUE(R.ReadFromBuffer(Block.data(), 100000, Info));
  EXPECT_EQ(Info.Title, "Net");
  EXPECT_EQ(Info.Track, 4);
  EXPECT_EQ(Info.Comment, "Hi");
  EXPECT_FALSE(R.Exists());
  EXPECT_EQ(R.Version(), 3);
  EXPECT_EQ(R.Size(), static_cast<int32_t>(Block.size()));
  EXPECT_EQ(R.Title(), "");

  // A tag that claims one byte fewer than its last frame needs: that frame is not read.
  Bytes Shorter = Block;
  Shorter[9] = static_cast<uint8_t>(Shorter[9] - 1);
  TMP3TagInfo Partial;
  ASSERT_TRUE(R.ReadFromBuffer(Shorter.data(), 100000, Partial));
  EXPECT_EQ(Partial.Title, "Net");
  EXPECT_EQ(Partial.Comment, "");

  // A stream shorter than the tag: size 0, Info unchanged.
  TMP3TagInfo Kept;
  Kept.Title = "keep";
  ASSERT_TRUE(R.ReadFromBuffer(Block.data(), 20, Kept));
  EXPECT_EQ(R.Size(), 0);
  EXPECT_EQ(Kept.Title, "keep");

  Block[0] = 'X';
  EXPECT_FALSE(R.ReadFromBuffer(Block.data(), 100000, Kept));
}

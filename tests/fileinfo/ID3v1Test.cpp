#include "fileinfo/ID3v1.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace fileinfo_test;

namespace {

struct BlockSpec {
  std::string Title = "Title";
  std::string Artist = "Artist";
  std::string Album = "Album";
  std::string Year = "1999";
  std::string Comment; // up to 30 bytes, zero padded
  int B125 = -1;       // overrides of comment bytes 28 and 29 (block bytes 125, 126)
  int B126 = -1;
  uint8_t Genre = 17;
};

Bytes Field(std::string_view S, size_t Length, uint8_t Pad = 0) {
  Bytes B(S.begin(), S.end());
  B.resize(Length, Pad);
  return B;
}

Bytes MakeBlock(const BlockSpec &S) {
  Bytes B;
  Append(B, "TAG");
  Append(B, Field(S.Title, 30));
  Append(B, Field(S.Artist, 30));
  Append(B, Field(S.Album, 30));
  Append(B, Field(S.Year, 4));
  Append(B, Field(S.Comment, 30));
  if (S.B125 >= 0)
    B[125] = static_cast<uint8_t>(S.B125);
  if (S.B126 >= 0)
    B[126] = static_cast<uint8_t>(S.B126);
  B.push_back(S.Genre);
  return B;
}

Bytes WithAudio(const Bytes &Block, size_t AudioBytes = 1000) {
  Bytes F(AudioBytes, 0x55);
  Append(F, Block);
  return F;
}

} // namespace

struct VersionCase {
  int B125, B126;
  uint8_t Version;
  const char *Comment;
  uint8_t Track;
};

class ID3v1Version : public ::testing::TestWithParam<VersionCase> {};

TEST_P(ID3v1Version, CommentEndDecidesVersionAndTrack) {
  const auto &C = GetParam();
  BlockSpec S;
  S.Comment = std::string(28, 'c');
  S.B125 = C.B125;
  S.B126 = C.B126;
  TempDir Dir;
  TID3v1 Tag;
  ASSERT_TRUE(Tag.ReadFromFile(Dir.Write("a.mp3", WithAudio(MakeBlock(S)))));
  EXPECT_TRUE(Tag.Exists());
  EXPECT_EQ(Tag.Version(), C.Version);
  EXPECT_EQ(Tag.Comment(), C.Comment);
  EXPECT_EQ(Tag.Track(), C.Track);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ID3v1Version,
    ::testing::Values(VersionCase{0, 7, 2, "cccccccccccccccccccccccccccc", 7},         // v1.1 track 7
                      VersionCase{0, 0, 1, "cccccccccccccccccccccccccccc", 0},         // zeros: v1.0
                      VersionCase{' ', 'A', 2, "cccccccccccccccccccccccccccc", 'A'},   // blank then letter
                      VersionCase{' ', ' ', 1, "cccccccccccccccccccccccccccc", 0},     // trailing blanks
                      VersionCase{'x', 'y', 1, "ccccccccccccccccccccccccccccxy", 0})); // full 30-byte comment

TEST(ID3v1, GenreNamesComeFromTheTable) {
  const std::pair<int, const char *> Cases[] = {{0, "Blues"}, {17, "Rock"}, {80, "Folk"},
                                                {147, "Synthpop"}, {148, ""}, {255, ""}};
  TempDir Dir;
  for (const auto &[Index, Name] : Cases) {
    BlockSpec S;
    S.Genre = static_cast<uint8_t>(Index);
    TID3v1 Tag;
    ASSERT_TRUE(Tag.ReadFromFile(Dir.Write("g.mp3", WithAudio(MakeBlock(S)))));
    EXPECT_EQ(Tag.GenreIndex(), Index);
    EXPECT_EQ(Tag.Genre(), Name) << Index;
  }
}

TEST(ID3v1, TextsLoseTrailingPaddingButKeepInnerBytes) {
  BlockSpec S;
  S.Title = "Song";
  S.Artist = std::string("Band") + std::string(10, ' ');
  S.Album = std::string("Ab\0cd", 5);
  S.Year = "  "; // only blanks
  S.Comment = "\xC0\xE1\xE2"; // cp1251 bytes stay as stored
  TempDir Dir;
  TID3v1 Tag;
  ASSERT_TRUE(Tag.ReadFromFile(Dir.Write("t.mp3", WithAudio(MakeBlock(S)))));
  EXPECT_EQ(Tag.Title(), "Song");
  EXPECT_EQ(Tag.Artist(), "Band");
  EXPECT_EQ(Tag.Album(), std::string("Ab\0cd", 5));
  EXPECT_EQ(Tag.Year(), "");
  EXPECT_EQ(Tag.Comment(), "\xC0\xE1\xE2");
}

TEST(ID3v1, FilesWithoutTagOrTooShort) {
  TempDir Dir;
  TID3v1 Tag;
  EXPECT_TRUE(Tag.ReadFromFile(Dir.Write("none.mp3", Bytes(500, 0x11))));
  EXPECT_FALSE(Tag.Exists());
  EXPECT_EQ(Tag.GenreIndex(), 255);

  EXPECT_FALSE(Tag.ReadFromFile(Dir.Write("short.mp3", Bytes(127, 0))));
  EXPECT_FALSE(Tag.ReadFromFile((Dir.Path() / "missing.mp3").string()));
  EXPECT_FALSE(Tag.ReadFromFile(Dir.Path().string())); // a folder
  EXPECT_FALSE(Tag.Exists());

  // A file that is exactly the tag.
  EXPECT_TRUE(Tag.ReadFromFile(Dir.Write("only.mp3", MakeBlock(BlockSpec{}))));
  EXPECT_TRUE(Tag.Exists());
  EXPECT_EQ(Tag.Title(), "Title");
}

TEST(ID3v1, ReadFromFileForgetsTheEarlierFile) {
  TempDir Dir;
  TID3v1 Tag;
  ASSERT_TRUE(Tag.ReadFromFile(Dir.Write("a.mp3", WithAudio(MakeBlock(BlockSpec{})))));
  ASSERT_TRUE(Tag.ReadFromFile(Dir.Write("b.mp3", Bytes(200, 0))));
  EXPECT_FALSE(Tag.Exists());
  EXPECT_EQ(Tag.Title(), "");
}

TEST(ID3v1, BufferFillsInfoOnly) {
  BlockSpec S;
  S.Comment = "note";
  S.B126 = 9;
  S.Genre = 80;
  const Bytes Block = MakeBlock(S);
  TID3v1 Tag;
  TMP3TagInfo Info;
  ASSERT_TRUE(Tag.ReadFromBuffer(Block.data(), Info));
  EXPECT_EQ(Info.Title, "Title");
  EXPECT_EQ(Info.Artist, "Artist");
  EXPECT_EQ(Info.Album, "Album");
  EXPECT_EQ(Info.Year, "1999");
  EXPECT_EQ(Info.Comment, "note");
  EXPECT_EQ(Info.Track, 9);
  EXPECT_EQ(Info.Genre, "Folk");
  EXPECT_EQ(Tag.Version(), 2);
  EXPECT_EQ(Tag.GenreIndex(), 80);
  EXPECT_FALSE(Tag.Exists());
  EXPECT_EQ(Tag.Title(), "");

  Bytes NotATag = Block;
  NotATag[0] = 'X';
  TMP3TagInfo Untouched;
  Untouched.Title = "keep";
  EXPECT_FALSE(Tag.ReadFromBuffer(NotATag.data(), Untouched));
  EXPECT_EQ(Untouched.Title, "keep");
  EXPECT_FALSE(Tag.ReadFromBuffer(nullptr, Untouched));
}

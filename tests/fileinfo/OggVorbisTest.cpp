#include "fileinfo/OggVorbis.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace fileinfo_test;

namespace {

Bytes Page(uint64_t Granule, const Bytes &Body, uint32_t Sequence) {
  Bytes B;
  Append(B, "OggS");
  B.push_back(0);
  B.push_back(Sequence == 0 ? 2 : 0);
  AppendLE64(B, Granule);
  AppendLE32(B, 0x1234);
  AppendLE32(B, Sequence);
  AppendLE32(B, 0); // checksum, not checked
  Bytes Lacing;
  size_t Left = Body.size();
  do {
    const size_t Lace = Left < 255 ? Left : 255;
    Lacing.push_back(static_cast<uint8_t>(Lace));
    Left -= Lace;
    if (Lace < 255)
      break;
  } while (true);
  B.push_back(static_cast<uint8_t>(Lacing.size()));
  Append(B, Lacing);
  Append(B, Body);
  return B;
}

struct OggSpec {
  uint8_t Channels = 2;
  uint32_t SampleRate = 44100;
  int32_t Nominal = 128000;
  std::vector<std::string> Comments;
  std::string Vendor = "Xiph.Org libVorbis I 20200704";
  bool CommentHeader = true;
  uint64_t LastGranule = 441000; // 10 s
  size_t AudioBytes = 160000;
};

Bytes OggFile(const OggSpec &S) {
  Bytes Id{1};
  Append(Id, "vorbis");
  AppendLE32(Id, 0);
  Id.push_back(S.Channels);
  AppendLE32(Id, S.SampleRate);
  AppendLE32(Id, 0);
  AppendLE32(Id, static_cast<uint32_t>(S.Nominal));
  AppendLE32(Id, 0);
  Id.push_back(0xB8);
  Id.push_back(1);
  Bytes File = Page(0, Id, 0);

  Bytes Comments{S.CommentHeader ? uint8_t{3} : uint8_t{5}};
  Append(Comments, "vorbis");
  AppendLE32(Comments, static_cast<uint32_t>(S.Vendor.size()));
  Append(Comments, S.Vendor);
  AppendLE32(Comments, static_cast<uint32_t>(S.Comments.size()));
  for (const auto &C : S.Comments) {
    AppendLE32(Comments, static_cast<uint32_t>(C.size()));
    Append(Comments, C);
  }
  Comments.push_back(1);
  Append(File, Page(0, Comments, 1));

  // Audio in pages of 4,000 bytes; the last one carries the total granule position.
  uint32_t Sequence = 2;
  for (size_t Done = 0; Done < S.AudioBytes; Done += 4000, ++Sequence) {
    const bool Last = Done + 4000 >= S.AudioBytes;
    Append(File, Page(Last ? S.LastGranule : S.LastGranule / 2, Bytes(4000, 0x5A), Sequence));
  }
  return File;
}

struct Read {
  TempDir Dir;
  TOggVorbis R;
  bool Ok;
  explicit Read(const Bytes &File) { Ok = R.ReadFromFile(Dir.Write("a.ogg", File)); }
};

} // namespace

TEST(OggVorbis, HeadersCommentsAndLastPage) {
  OggSpec S;
  S.Comments = {"TITLE=Song", "artist=Band", "Album=  Record  ", "TRACKNUMBER=3/12", "DATE=2004",
                "GENRE=Rock", "COMMENT=Nice", "UNKNOWN=x", "TITLE=\xD0\x96izn"};
  const Bytes File = OggFile(S);
  Read T(File);
  ASSERT_TRUE(T.Ok);
  const auto &R = T.R;
  EXPECT_EQ(R.FileSize(), static_cast<int32_t>(File.size()));
  EXPECT_EQ(R.Channels(), 2);
  EXPECT_EQ(R.SampleRate(), 44100);
  EXPECT_EQ(R.NominalBitRate(), 128);
  EXPECT_EQ(R.Samples(), 441000);
  EXPECT_EQ(R.ID3v2Size(), 0);
  EXPECT_EQ(R.Title(), "\xD0\x96izn"); // the later item wins
  EXPECT_EQ(R.Artist(), "Band");
  EXPECT_EQ(R.Album(), "Record");
  EXPECT_EQ(R.Track(), 3);
  EXPECT_EQ(R.Date(), "2004");
  EXPECT_EQ(R.Genre(), "Rock");
  EXPECT_EQ(R.Comment(), "Nice");
  EXPECT_EQ(R.Vendor(), S.Vendor);
  EXPECT_DOUBLE_EQ(R.Duration(), 10.0);
  EXPECT_EQ(R.BitRate(), static_cast<uint16_t>(File.size() / 10.0 / 125 + 0.5));
  EXPECT_TRUE(R.Valid());
}

TEST(OggVorbis, BehindAnID3v2Tag) {
  Bytes File;
  Append(File, "ID3");
  File.push_back(3);
  AppendZeros(File, 2);
  AppendZeros(File, 3);
  File.push_back(90); // body of 90 bytes: tag of 100
  AppendZeros(File, 90);
  OggSpec S;
  S.Comments = {"TITLE=Tagged"};
  S.LastGranule = 0; // no samples: duration from the nominal bit rate
  Append(File, OggFile(S));
  Read T(File);
  ASSERT_TRUE(T.Ok);
  EXPECT_EQ(T.R.ID3v2Size(), 100);
  EXPECT_EQ(T.R.Title(), "Tagged");
  EXPECT_EQ(T.R.Samples(), 0);
  const double Expected = (File.size() - 100.0) / 128 / 2 / 125 * 2;
  EXPECT_DOUBLE_EQ(T.R.Duration(), Expected);
  EXPECT_EQ(T.R.BitRate(), 128 * 2 / 2);
}

TEST(OggVorbis, FallbackFieldsAndTrackNumbers) {
  struct Case {
    std::vector<std::string> Comments;
    const char *Artist, *Comment;
    uint16_t Track;
  } Cases[] = {
      {{"ARTIST=", "PERFORMER=Player", "DESCRIPTION=About", "TRACKNUMBER=300"}, "Player", "About", 44},
      {{"ARTIST=A", "PERFORMER=P", "COMMENT=C", "DESCRIPTION=D", "TRACKNUMBER=x1"}, "A", "C", 0},
      {{"TRACKNUMBER= 7 "}, "", "", 7},
  };
  for (const auto &C : Cases) {
    OggSpec S;
    S.Comments = C.Comments;
    Read T(OggFile(S));
    EXPECT_EQ(T.R.Artist(), C.Artist);
    EXPECT_EQ(T.R.Comment(), C.Comment);
    EXPECT_EQ(T.R.Track(), C.Track);
  }
}

TEST(OggVorbis, LongItemsAndBrokenUtf8) {
  OggSpec S;
  S.Comments = {"COMMENT=" + std::string(400, 'y'), "TITLE=ab\xC3\xA9" "cd\xC3(rest", "ALBUM=\xE2\x82\xAC!"};
  Read T(OggFile(S));
  ASSERT_TRUE(T.Ok);
  EXPECT_EQ(T.R.Comment(), std::string(250 - 8, 'y'));
  EXPECT_EQ(T.R.Title(), "ab\xC3\xA9" "cd");
  EXPECT_EQ(T.R.Album(), "\xE2\x82\xAC!");
}

TEST(OggVorbis, ChannelsAndRatesDecideValidity) {
  struct Case {
    uint8_t Channels;
    uint32_t Rate;
    bool Valid;
    uint16_t HeldRate;
  } Cases[] = {{6, 44100, true, 44100}, {7, 44100, false, 44100}, {0, 44100, false, 44100},
               {1, 96000, true, 30464}, {2, 0, false, 0}};
  for (const auto &C : Cases) {
    OggSpec S;
    S.Channels = C.Channels;
    S.SampleRate = C.Rate;
    Read T(OggFile(S));
    ASSERT_TRUE(T.Ok);
    EXPECT_EQ(T.R.Valid(), C.Valid) << int{C.Channels} << " " << C.Rate;
    EXPECT_EQ(T.R.SampleRate(), C.HeldRate);
  }
}

TEST(OggVorbis, MissingPartsAndForeignFiles) {
  { // No comment header: texts empty, still a Vorbis file.
    OggSpec S;
    S.CommentHeader = false;
    S.Comments = {"TITLE=x"};
    Read T(OggFile(S));
    EXPECT_TRUE(T.Ok);
    EXPECT_EQ(T.R.Title(), "");
    EXPECT_EQ(T.R.Vendor(), "");
    EXPECT_TRUE(T.R.Valid());
  }
  { // Last page too far from the end: no samples.
    OggSpec S;
    Bytes File = OggFile(S);
    AppendZeros(File, 13000);
    Read T(File);
    EXPECT_EQ(T.R.Samples(), 0);
    EXPECT_GT(T.R.Duration(), 0);
  }
  { // A corrupt comment length and a huge item count do not run away.
    OggSpec S;
    Bytes File = OggFile(S);
    const size_t CountAt = 28 + 30 + 28 + 7 + 4 + S.Vendor.size();
    File[CountAt - 4 - S.Vendor.size()] = 0xFF; // vendor length 0xFF......
    File[CountAt + 3] = 0x7F;
    Read T(File);
    EXPECT_TRUE(T.Ok);
  }
  Bytes NotOgg(1000, 'x');
  Read A(NotOgg);
  EXPECT_FALSE(A.Ok);
  EXPECT_EQ(A.R.FileSize(), 0);
  Bytes Opus = OggFile(OggSpec{});
  Opus[29] = 'V';
  Read B(Opus);
  EXPECT_FALSE(B.Ok);
  TOggVorbis R;
  EXPECT_FALSE(R.ReadFromFile("/nonexistent/a.ogg"));
}

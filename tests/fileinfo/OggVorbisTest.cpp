#include "fileinfo/OggVorbis.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

using namespace fileinfo_test;

// Bytes requested from operator new while counting is on: the readers must stay within fixed
// memory whatever the size of the file or of one comment.
static std::atomic<bool> gCounting{false};
static std::atomic<size_t> gAllocated{0};

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete" // the replacements below pair malloc and free
#endif
void *operator new(size_t Size) {
  if (gCounting)
    gAllocated += Size;
  if (void *P = std::malloc(Size ? Size : 1))
    return P;
  throw std::bad_alloc();
}
void operator delete(void *P) noexcept { std::free(P); }
void operator delete(void *P, size_t) noexcept { std::free(P); }

namespace {

// Segment sizes of one packet: 255 for each full segment, then the rest (0 when the packet
// is a multiple of 255 bytes).
Bytes LacingOf(size_t Size) {
  Bytes Lacing(Size / 255, 255);
  Lacing.push_back(static_cast<uint8_t>(Size % 255));
  return Lacing;
}

Bytes PageWith(uint64_t Granule, const Bytes &Lacing, const uint8_t *Data, size_t Size, uint32_t Sequence,
               bool Continued) {
  Bytes B;
  Append(B, "OggS");
  B.push_back(0);
  B.push_back(static_cast<uint8_t>((Sequence == 0 ? 2 : 0) | (Continued ? 1 : 0)));
  AppendLE64(B, Granule);
  AppendLE32(B, 0x1234);
  AppendLE32(B, Sequence);
  AppendLE32(B, 0); // checksum, not checked
  B.push_back(static_cast<uint8_t>(Lacing.size()));
  Append(B, Lacing);
  Append(B, Data, Size);
  return B;
}

Bytes Page(uint64_t Granule, const Bytes &Body, uint32_t Sequence) {
  return PageWith(Granule, LacingOf(Body.size()), Body.data(), Body.size(), Sequence, false);
}

// One packet laid over as many pages as it needs, at most SegmentsPerPage segments each, as
// encoders lay out a comment packet that carries a cover picture.
Bytes Pages(const Bytes &Packet, uint32_t &Sequence, size_t SegmentsPerPage) {
  const Bytes Lacing = LacingOf(Packet.size());
  Bytes B;
  size_t Done = 0;
  for (size_t First = 0; First < Lacing.size(); First += SegmentsPerPage) {
    const size_t Count = std::min(SegmentsPerPage, Lacing.size() - First);
    const Bytes PageLacing(Lacing.begin() + static_cast<ptrdiff_t>(First),
                           Lacing.begin() + static_cast<ptrdiff_t>(First + Count));
    size_t Size = 0;
    for (uint8_t L : PageLacing)
      Size += L;
    Append(B, PageWith(0, PageLacing, Packet.data() + Done, Size, Sequence++, First > 0));
    Done += Size;
  }
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
  size_t CommentSegmentsPerPage = 255;
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
  uint32_t Sequence = 1;
  Append(File, Pages(Comments, Sequence, S.CommentSegmentsPerPage));

  // Audio in pages of 4,000 bytes; the last one carries the total granule position.
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
    uint32_t HeldRate;
  } Cases[] = {{6, 44100, true, 44100}, {7, 44100, false, 44100}, {0, 44100, false, 44100},
               {1, 96000, true, 96000}, {2, 0, false, 0}};
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

// The identification header's rate is 32 bits: 96 kHz and 192 kHz files have their own rate,
// duration and bit rate.
TEST(OggVorbis, HighSampleRates) {
  for (const uint32_t Rate : {96000u, 192000u}) {
    OggSpec S;
    S.SampleRate = Rate;
    S.LastGranule = Rate * 87 / 100; // 0.87 s
    S.AudioBytes = 16000;
    const Bytes File = OggFile(S);
    Read T(File);
    ASSERT_TRUE(T.Ok);
    EXPECT_EQ(T.R.SampleRate(), Rate);
    EXPECT_DOUBLE_EQ(T.R.Duration(), 0.87);
    EXPECT_EQ(T.R.BitRate(), static_cast<uint16_t>(File.size() / 0.87 / 125 + 0.5));
    EXPECT_TRUE(T.R.Valid());
  }
}

// Real files put a cover picture (hundreds of KB) before the titles, so the comment packet
// runs over many pages. The texts after it are found, in fixed memory.
TEST(OggVorbis, CommentPacketOverManyPages) {
  for (const size_t SegmentsPerPage : {size_t{255}, size_t{16}, size_t{1}}) {
    SCOPED_TRACE(SegmentsPerPage);
    OggSpec S;
    S.CommentSegmentsPerPage = SegmentsPerPage;
    S.Comments = {"METADATA_BLOCK_PICTURE=" + std::string(SegmentsPerPage == 1 ? 20000 : 600000, 'P'),
                  "TITLE=After the picture", "ARTIST=Band", "COMMENT=" + std::string(300, 'c'), "DATE=2001"};
    const Bytes File = OggFile(S);
    TempDir Dir;
    const std::string Path = Dir.Write("a.ogg", File);
    TOggVorbis R;
    gAllocated = 0;
    gCounting = true;
    const bool Ok = R.ReadFromFile(Path);
    gCounting = false;
    ASSERT_TRUE(Ok);
    EXPECT_EQ(R.Title(), "After the picture");
    EXPECT_EQ(R.Artist(), "Band");
    EXPECT_EQ(R.Comment(), std::string(250 - 8, 'c'));
    EXPECT_EQ(R.Date(), "2001");
    EXPECT_EQ(R.Vendor(), S.Vendor);
    EXPECT_EQ(R.Samples(), 441000);
    EXPECT_LT(gAllocated.load(), 8192u) << "memory grew with the comment";
  }
  { // A length that runs past the packet's end stops at it: nothing after the packet (the
    // setup header, audio pages) is taken for comments.
    OggSpec S;
    S.Comments = {"TITLE=t", "ARTIST=a"};
    Bytes File = OggFile(S);
    const size_t TitleLength = 28 + 30 + 28 + 7 + 4 + S.Vendor.size() + 4;
    File[TitleLength + 3] = 0x10; // 268 MB
    Read T(File);
    EXPECT_TRUE(T.Ok);
    EXPECT_EQ(T.R.Title(), std::string("t\x08\0\0\0ARTIST=a", 13)); // the rest of the packet
    EXPECT_EQ(T.R.Artist(), "");
  }
  { // A file that ends inside the packet, with two billion comments announced, ends the
    // reading at once.
    OggSpec S;
    S.Comments = {"TITLE=t"};
    Bytes File = OggFile(S);
    const size_t CountAt = 28 + 30 + 28 + 7 + 4 + S.Vendor.size();
    File[CountAt + 3] = 0x7F;
    File.resize(CountAt + 8);
    Read T(File);
    EXPECT_TRUE(T.Ok);
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

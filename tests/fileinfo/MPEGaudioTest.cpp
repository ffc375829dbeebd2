#include "fileinfo/MPEGaudio.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace fileinfo_test;

namespace {

// MPEG 1 Layer III, 128 kbit/s, 44,100 Hz: 417 bytes a frame without padding.
constexpr uint8_t kStereo[4] = {0xFF, 0xFB, 0x90, 0x00};
constexpr uint8_t kMono[4] = {0xFF, 0xFB, 0x90, 0xC0};
constexpr size_t kFrameLength = 417;

Bytes Frames(size_t Count, const uint8_t *Header = kStereo, size_t Length = kFrameLength) {
  Bytes B;
  for (size_t I = 0; I < Count; ++I) {
    Append(B, Header, 4);
    AppendZeros(B, Length - 4);
  }
  return B;
}

Bytes ID3v2Tag(size_t Body) {
  Bytes B;
  Append(B, "ID3");
  B.push_back(3);
  AppendZeros(B, 2);
  for (int Shift = 21; Shift >= 0; Shift -= 7)
    B.push_back(static_cast<uint8_t>((Body >> Shift) & 0x7F));
  Append(B, "TIT2");
  AppendBE32(B, 5);
  AppendZeros(B, 2);
  Append(B, std::string_view("\0Song", 5));
  AppendZeros(B, Body - 15);
  return B;
}

Bytes ID3v1Tag() {
  Bytes B;
  Append(B, "TAG");
  Append(B, "Old title");
  AppendZeros(B, 128 - 3 - 9 - 1);
  B.push_back(17);
  return B;
}

void Put(Bytes &B, size_t At, std::string_view S) { std::memcpy(B.data() + At, S.data(), S.size()); }
void PutBE32(Bytes &B, size_t At, uint32_t V) {
  for (int I = 0; I < 4; ++I)
    B[At + static_cast<size_t>(I)] = static_cast<uint8_t>(V >> (24 - 8 * I));
}

struct Read {
  TempDir Dir;
  TMPEGaudio R;
  bool Ok;
  explicit Read(const Bytes &File) { Ok = R.ReadFromFile(Dir.Write("a.mp3", File)); }
};

} // namespace

TEST(MPEGaudio, ConstantBitRateWithBothTags) {
  const Bytes V2 = ID3v2Tag(100);
  Bytes Audio = Frames(40);
  Put(Audio, Audio.size() - 50, "LAME3.99r");
  Bytes File = V2;
  Append(File, Audio);
  Append(File, ID3v1Tag());
  Read T(File);
  ASSERT_TRUE(T.Ok);
  const auto &R = T.R;
  EXPECT_TRUE(R.Valid());
  EXPECT_EQ(R.FileLength(), static_cast<int32_t>(File.size()));
  EXPECT_TRUE(R.Frame().Found);
  EXPECT_EQ(R.Frame().Position, 0);
  EXPECT_EQ(R.Frame().Size, kFrameLength);
  EXPECT_TRUE(R.Frame().EmptySideInfo);
  EXPECT_EQ(R.SampleRate(), 44100);
  EXPECT_EQ(R.BitRate(), 128);
  EXPECT_EQ(R.ChannelMode(), "Stereo");
  EXPECT_DOUBLE_EQ(R.Duration(), 40.0 * kFrameLength / 128 / 1000 * 8);
  EXPECT_EQ(R.EncoderTag(), "LAME3.99");
  EXPECT_FALSE(R.VBR().Found);
  EXPECT_TRUE(R.ID3v2().Exists());
  EXPECT_EQ(R.ID3v2().Title(), "Song");
  EXPECT_TRUE(R.ID3v1().Exists());
  EXPECT_EQ(R.ID3v1().Title(), "Old title");
}

TEST(MPEGaudio, EncoderTagVariants) {
  struct Case {
    const char *Text;
    size_t FromEnd;
    const char *Expected;
  } Cases[] = {{"GOGO", 20, "GOGO"}, {"LAME3.90", 8, "LAME3.90"}, {"LAME3.90", 7, ""}, // past the window
               {"LAME3.90", 8 + 5 * kFrameLength + 1, ""}};                             // beyond 5 frames
  for (const auto &C : Cases) {
    Bytes Audio = Frames(40);
    Put(Audio, Audio.size() - C.FromEnd, C.Text);
    Read T(Audio);
    EXPECT_EQ(T.R.EncoderTag(), C.Expected) << C.Text << " " << C.FromEnd;
  }
}

TEST(MPEGaudio, HeaderFieldsDecoded) {
  // MPEG 2 Layer II, protected, 64 kbit/s at 24,000 Hz, padding, private, joint stereo,
  // mode extension 2, copyright, original, emphasis 3.
  const uint8_t H[4] = {0xFF, 0xF4, 0x87, 0x6F};
  Bytes Audio = Frames(60, H, 144 * 64000 / 24000 + 1);
  Read T(Audio);
  const auto &F = T.R.Frame();
  ASSERT_TRUE(F.Found);
  EXPECT_EQ(F.VersionIndex, 2);
  EXPECT_EQ(F.LayerIndex, 2);
  EXPECT_TRUE(F.Protected);
  EXPECT_EQ(F.BitRateIndex, 8);
  EXPECT_EQ(F.SampleRateIndex, 1);
  EXPECT_TRUE(F.Padding);
  EXPECT_TRUE(F.PrivateBit);
  EXPECT_EQ(F.ModeIndex, 1);
  EXPECT_EQ(F.ModeExtension, 2);
  EXPECT_TRUE(F.Copyright);
  EXPECT_TRUE(F.Original);
  EXPECT_EQ(F.EmphasisIndex, 3);
  EXPECT_EQ(F.Size, 385);
  EXPECT_EQ(T.R.BitRate(), 64);
  EXPECT_EQ(T.R.SampleRate(), 24000);
  EXPECT_EQ(T.R.ChannelMode(), "Joint Stereo");
  EXPECT_EQ(std::memcmp(F.HeaderData, H, 4), 0);
}

TEST(MPEGaudio, RefusedHeadersNeverMatch) {
  const uint8_t Refused[][4] = {
      {0xFF, 0xFB, 0x00, 0x00}, // free format
      {0xFF, 0xFB, 0xF0, 0x00}, // bit-rate index 15
      {0xFF, 0xFB, 0x9C, 0x00}, // sample-rate code 3
      {0xFF, 0xF9, 0x90, 0x00}, // layer code 0
      {0xFF, 0xEB, 0x90, 0x00}, // version code 1
      {0xFF, 0xFB, 0x90, 0x02}, // emphasis code 2
  };
  for (const auto &H : Refused) {
    Read T(Frames(20, H));
    EXPECT_TRUE(T.Ok);
    EXPECT_FALSE(T.R.Frame().Found);
    EXPECT_FALSE(T.R.Valid());
    EXPECT_EQ(T.R.FileLength(), 0); // reset
  }
}

TEST(MPEGaudio, LoneHeaderIsPassedOver) {
  Bytes File(100, 0x11);
  Append(File, kStereo, 4); // no successor at +417
  AppendZeros(File, 200);
  Append(File, Frames(20));
  Read T(File);
  ASSERT_TRUE(T.R.Frame().Found);
  EXPECT_EQ(T.R.Frame().Position, 304);
}

TEST(MPEGaudio, XingHeaderGivesAverages) {
  Bytes Audio = Frames(20, kMono);
  Put(Audio, 4 + 17, "Xing");
  PutBE32(Audio, 21 + 8, 1000);
  PutBE32(Audio, 21 + 12, 1000 * 417);
  Audio[21 + 119] = 57;
  Put(Audio, 21 + 120, "LAME3.10");
  Put(Audio, Audio.size() - 30, "LAME3.99");
  Read T(Audio);
  const auto &R = T.R;
  ASSERT_TRUE(R.VBR().Found);
  EXPECT_EQ(std::string(R.VBR().Signature, 4), "Xing");
  EXPECT_EQ(R.VBR().FrameCount, 1000);
  EXPECT_EQ(R.VBR().ByteCount, 417000);
  EXPECT_EQ(R.VBR().Quality, 57);
  EXPECT_EQ(R.VBR().Vendor, "LAME3.10");
  EXPECT_EQ(R.BitRate(), 128); // 417 * 44100 / 144 / 1000 = 127.7
  EXPECT_DOUBLE_EQ(R.Duration(), 144.0 * 1000 * 8 / 44100);
  EXPECT_EQ(R.EncoderTag(), "");
  EXPECT_EQ(R.ChannelMode(), "Mono");
  EXPECT_TRUE(R.Valid());
}

TEST(MPEGaudio, VBRIOnlyAtTheXingPlace) {
  for (size_t Offset : {36u, 21u}) {
    Bytes Audio = Frames(20);
    Put(Audio, Offset, "VBRI");
    Audio[Offset + 9] = 80;
    PutBE32(Audio, Offset + 10, 2000 * 418);
    PutBE32(Audio, Offset + 14, 2000);
    Read T(Audio);
    EXPECT_EQ(T.R.VBR().Found, Offset == 36) << Offset;
    if (Offset == 36) {
      EXPECT_EQ(std::string(T.R.VBR().Signature, 4), "VBRI");
      EXPECT_EQ(T.R.VBR().Quality, 80);
      EXPECT_EQ(T.R.VBR().FrameCount, 2000);
      EXPECT_EQ(T.R.VBR().Vendor, "");
      EXPECT_EQ(T.R.BitRate(), 128);
    }
  }
}

TEST(MPEGaudio, ImplausibleAveragesAreInvalid) {
  struct Case {
    uint32_t Frames, Bytes;
  } Cases[] = {{3, 3 * 417}, {10, 10 * 2000}};
  for (const auto &C : Cases) {
    Bytes Audio = Frames(20);
    Put(Audio, 36, "Xing");
    PutBE32(Audio, 36 + 8, C.Frames);
    PutBE32(Audio, 36 + 12, C.Bytes);
    Read T(Audio);
    EXPECT_TRUE(T.R.Frame().Found);
    EXPECT_FALSE(T.R.Valid()) << C.Frames;
  }
}

TEST(MPEGaudio, NonAudioWithTagsIsResetEntirely) {
  Bytes File = ID3v2Tag(200);
  File.insert(File.end(), 5000, 0x42);
  Append(File, ID3v1Tag());
  Read T(File);
  EXPECT_TRUE(T.Ok);
  EXPECT_FALSE(T.R.Valid());
  EXPECT_FALSE(T.R.ID3v2().Exists());
  EXPECT_FALSE(T.R.ID3v1().Exists());
  EXPECT_EQ(T.R.ID3v2().Size(), 0);
}

TEST(MPEGaudio, MiddleOfTheFileIsTheSecondChance) {
  Bytes File(14000, 0x42);
  Append(File, Frames(30));
  const size_t Middle = File.size() / 2; // no ID3v2 tag
  Read T(File);
  ASSERT_TRUE(T.R.Frame().Found);
  EXPECT_EQ(T.R.Frame().Position, static_cast<int32_t>(14000 - Middle));
}

TEST(MPEGaudio, ShortFilesAndFailures) {
  { // Valid audio but too short for the encoder tag read: False, what was found stays.
    Read T(Frames(5));
    EXPECT_FALSE(T.Ok);
    EXPECT_TRUE(T.R.Frame().Found);
    EXPECT_TRUE(T.R.Valid());
    EXPECT_EQ(T.R.EncoderTag(), "");
  }
  { // Shorter than an ID3v1 block.
    Read T(Bytes(100, 0));
    EXPECT_FALSE(T.Ok);
    EXPECT_FALSE(T.R.Valid());
  }
  TMPEGaudio R;
  EXPECT_FALSE(R.ReadFromFile("/nonexistent/a.mp3"));
  EXPECT_FALSE(R.Valid());
}

TEST(MPEGaudio, ReadTagFromBufferForwardsByKind) {
  TMPEGaudio R;
  TMP3TagInfo Info;
  const Bytes V1 = ID3v1Tag();
  ASSERT_TRUE(R.ReadTagFromBuffer(V1.data(), 0, Info, 1));
  EXPECT_EQ(Info.Title, "Old title");
  EXPECT_EQ(Info.Genre, "Rock");
  Bytes V2 = ID3v2Tag(30);
  ASSERT_TRUE(R.ReadTagFromBuffer(V2.data(), 100000, Info, 2));
  EXPECT_EQ(Info.Title, "Song");
  Info.Title = "keep";
  EXPECT_FALSE(R.ReadTagFromBuffer(V2.data(), 100000, Info, 3));
  EXPECT_EQ(Info.Title, "keep");
  EXPECT_FALSE(R.ID3v2().Exists());
}

#include "fileinfo/WAVfile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace fileinfo_test;

namespace {

Bytes WavHeader(uint16_t Channels, uint32_t Rate, uint16_t Bits, uint32_t RiffSize, std::string_view FirstChunk = "fmt ") {
  Bytes B;
  Append(B, "RIFF");
  AppendLE32(B, RiffSize);
  Append(B, "WAVE");
  Append(B, FirstChunk);
  AppendLE32(B, 16);
  AppendLE16(B, 1);
  AppendLE16(B, Channels);
  AppendLE32(B, Rate);
  AppendLE32(B, Rate * Channels * Bits / 8);
  AppendLE16(B, Channels * Bits / 8);
  AppendLE16(B, Bits);
  Append(B, "data");
  AppendLE32(B, RiffSize - 36);
  return B;
}

} // namespace

TEST(WAVfile, HeaderCases) {
  struct Case {
    Bytes File;
    bool Ok, Valid;
    double Duration;
  } Cases[] = {
      {WavHeader(2, 44100, 16, 176436), true, true, 1.0},
      {WavHeader(1, 8000, 8, 36 + 4000), true, true, 0.5},
      {WavHeader(6, 44100, 16, 176436), true, false, 0},
      {WavHeader(2, 44100, 16, 176436, "LIST"), true, false, 0},
      {WavHeader(2, 0, 16, 176436), true, true, 0},   // no rate: duration 0
      {WavHeader(2, 65536, 16, 176436), true, true, 0}, // rate whose low 16 bits are 0
      {WavHeader(2, 44100, 0, 176436), true, true, 0},
      {Bytes(43, 'R'), false, false, 0},
  };
  TempDir Dir;
  for (const auto &C : Cases) {
    TWAVfile R;
    EXPECT_EQ(R.ReadFromFile(Dir.Write("a.wav", C.File)), C.Ok);
    EXPECT_EQ(R.Valid(), C.Valid);
    EXPECT_DOUBLE_EQ(R.Duration(), C.Duration);
  }
}

TEST(WAVfile, FieldsAsDeclared) {
  TempDir Dir;
  TWAVfile R;
  ASSERT_TRUE(R.ReadFromFile(Dir.Write("a.wav", WavHeader(2, 96000, 24, 1000))));
  EXPECT_EQ(R.Channels(), 2);
  EXPECT_EQ(R.SampleRate(), 96000 - 65536);
  EXPECT_EQ(R.BitsPerSample(), 24);
  EXPECT_EQ(R.FileSize(), 1008); // declared, not measured
  // A declared size below the header: the 32-bit count wraps, as stored files measure.
  ASSERT_TRUE(R.ReadFromFile(Dir.Write("b.wav", WavHeader(1, 8000, 8, 20))));
  EXPECT_EQ(R.FileSize(), 28);
  EXPECT_DOUBLE_EQ(R.Duration(), static_cast<double>(static_cast<uint32_t>(-16 * 8)) / 8000 / 8);
  EXPECT_FALSE(R.ReadFromFile("/nonexistent/a.wav"));
  EXPECT_FALSE(R.Valid());
}

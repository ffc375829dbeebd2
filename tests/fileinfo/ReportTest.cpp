#include "FileInfoReport.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace fileinfo_tool;
using namespace fileinfo_test;

TEST(FileInfoReport, StringsKeepEveryByte) {
  const std::pair<std::string, std::string> Cases[] = {
      {"plain", "\"plain\""},
      {"q\"b\\", "\"q\\\"b\\\\\""},
      {std::string("a\0b\n", 4), "\"a\\u0000b\\u000a\""},
      {"\xD0\x96\xE2\x82\xAC\xF0\x9F\x8E\xB5", "\"\xD0\x96\xE2\x82\xAC\xF0\x9F\x8E\xB5\""}, // valid UTF-8
      {"\xC0\xE1", "\"\\u00c0\\u00e1\""},                                                  // cp1251 bytes
      {"\xE2\x82", "\"\\u00e2\\u0082\""},                                                  // cut sequence
      {"\xED\xA0\x80", "\"\\u00ed\\u00a0\\u0080\""},                                       // surrogate
      {"\xC1\xBF", "\"\\u00c1\\u00bf\""},                                                  // overlong
      {"\x7F", "\"\x7F\""},
  };
  for (const auto &[In, Out] : Cases)
    EXPECT_EQ(JsonString(In), Out);
}

TEST(FileInfoReport, NumbersAndReaders) {
  EXPECT_EQ(JsonNumber(1.0), "1");
  EXPECT_EQ(JsonNumber(0.1), "0.10000000000000001");
  EXPECT_EQ(JsonNumber(26.122448979591837), "26.122448979591837");
  EXPECT_EQ(JsonNumber(0.0), "0");
  const std::pair<const char *, const char *> Readers[] = {
      {"a.mp3", "mpeg"}, {"dir.x/A.Mp1", "mpeg"}, {"b.MP2", "mpeg"}, {"c.ogg", "ogg"}, {"d.WMA", "wma"},
      {"e.wav", "wav"},  {"f.flac", ""},          {"mp3", ""},       {"dir.mp3/x", ""}, {"g.mp3.txt", ""}};
  for (const auto &[File, Reader] : Readers)
    EXPECT_EQ(ReaderForFile(File), Reader) << File;
}

TEST(FileInfoReport, ContractShapes) {
  TempDir Dir;
  const std::string Unknown = (Dir.Path() / "notes.txt").string();
  EXPECT_EQ(DescribeFile(Unknown), "{\"file\":" + JsonString(Unknown) + ",\"reader\":null,\"ok\":false}");

  Bytes Wav;
  Append(Wav, "RIFF");
  AppendLE32(Wav, 176436);
  Append(Wav, "WAVEfmt ");
  AppendLE32(Wav, 16);
  AppendLE16(Wav, 1);
  AppendLE16(Wav, 2);
  AppendLE32(Wav, 44100);
  AppendLE32(Wav, 176400);
  AppendLE16(Wav, 4);
  AppendLE16(Wav, 16);
  Append(Wav, "data");
  AppendLE32(Wav, 176400);
  const std::string Path = Dir.Write("a.wav", Wav);
  EXPECT_EQ(DescribeFile(Path), "{\"file\":" + JsonString(Path) +
                                    ",\"reader\":\"wav\",\"ok\":true,\"Valid\":true,\"Channels\":2,\"SampleRate\":44100,"
                                    "\"BitsPerSample\":16,\"FileSize\":176444,\"Duration\":1}");

  const std::string Missing = (Dir.Path() / "gone.ogg").string();
  EXPECT_EQ(DescribeFile(Missing).rfind("{\"file\":" + JsonString(Missing) + ",\"reader\":\"ogg\",\"ok\":false,\"Valid\":false,", 0), 0u);
}

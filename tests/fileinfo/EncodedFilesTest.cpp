// The readers on files made by real encoders: durations within what each format's
// measurement allows of the samples that were encoded, and the texts the muxers wrote.
#include "fileinfo/MPEGaudio.h"
#include "fileinfo/OggVorbis.h"
#include "fileinfo/WAVfile.h"
#include "fileinfo/WMAfile.h"

#include "EncodedFixtures.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

using namespace fileinfo_test;

namespace {

const std::vector<std::pair<std::string, std::string>> kTags = {
    {"title", "Morning Song"}, {"artist", "The Band"}, {"album", "First Light"}, {"track", "3/12"},
    {"date", "2004"},          {"genre", "Rock"},      {"comment", "made by a test"}};

struct Fixture {
  std::string Name;
  EncodeRecipe Recipe;
};

std::vector<Fixture> Fixtures() {
  auto Recipe = [](std::string Format, std::string Codec, int Rate, int Channels, int64_t BitRate, int Quality) {
    EncodeRecipe S;
    S.Format = std::move(Format);
    S.Codec = std::move(Codec);
    S.SampleRate = Rate;
    S.Channels = Channels;
    S.BitRate = BitRate;
    S.Quality = Quality;
    S.Seconds = 4.0;
    S.Metadata = kTags;
    return S;
  };
  std::vector<Fixture> F = {
      {"cbr.mp3", Recipe("mp3", "libmp3lame", 44100, 2, 128000, -1)},
      {"vbr.mp3", Recipe("mp3", "libmp3lame", 44100, 2, 0, 2)},
      {"mono.mp3", Recipe("mp3", "libmp3lame", 22050, 1, 64000, -1)},
      {"layer2.mp2", Recipe("mp2", "mp2", 48000, 2, 192000, -1)},
      {"vorbis.ogg", Recipe("ogg", "libvorbis", 44100, 2, 0, 5)},
      {"wmav2.wma", Recipe("asf", "wmav2", 44100, 2, 128000, -1)},
      {"pcm.wav", Recipe("wav", "pcm_s16le", 44100, 2, 0, -1)},
      {"cover.ogg", Recipe("ogg", "libvorbis", 44100, 2, 0, 3)},
  };
  F[0].Recipe.MuxerOptions = {{"id3v2_version", "3"}, {"write_id3v1", "1"}};
  F[1].Recipe.MuxerOptions = {{"id3v2_version", "4"}};
  // Pages of about 0.1 s, as Vorbis encoders commonly write them (FFmpeg's default is 1 s,
  // which puts the last page's start beyond the 12,060 bytes the reader searches).
  F[4].Recipe.MuxerOptions = {{"page_duration", "100000"}};
  F[6].Recipe.Metadata.clear();
  // A cover picture of 300 KB before the texts, as taggers store one: the comment packet
  // runs over several pages.
  F[7].Recipe.Seconds = 1.0;
  F[7].Recipe.Metadata.insert(F[7].Recipe.Metadata.begin(), {"METADATA_BLOCK_PICTURE", std::string(300000, 'Q')});
  return F;
}

class EncodedFiles : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Dir = std::make_unique<TempDir>();
    for (const auto &F : Fixtures()) {
      const std::string Path = (Dir->Path() / F.Name).string();
      const EncodeResult R = EncodeFile(F.Recipe, Path);
      ASSERT_TRUE(R.Ok) << F.Name << ": " << R.Error;
      Seconds[F.Name] = static_cast<double>(R.Samples) / F.Recipe.SampleRate;
      Paths[F.Name] = Path;
    }
  }
  static void TearDownTestSuite() { Dir.reset(); }

  static inline std::unique_ptr<TempDir> Dir;
  static inline std::map<std::string, double> Seconds;
  static inline std::map<std::string, std::string> Paths;
};

} // namespace

TEST_F(EncodedFiles, ConstantBitRateMp3) {
  TMPEGaudio R;
  ASSERT_TRUE(R.ReadFromFile(Paths["cbr.mp3"]));
  EXPECT_TRUE(R.Valid());
  EXPECT_EQ(R.SampleRate(), 44100);
  EXPECT_EQ(R.BitRate(), 128);
  EXPECT_EQ(R.Frame().LayerIndex, 1);
  EXPECT_EQ(R.Frame().VersionIndex, 3);
  // Bytes over bit rate: the encoder's delay, its last partial frame and the "Info" frame
  // add up to a few frames of 26 ms.
  EXPECT_NEAR(R.Duration(), Seconds["cbr.mp3"], 0.1);
  EXPECT_FALSE(R.VBR().Found); // a constant-bit-rate "Info" header is not a Xing header
  EXPECT_EQ(R.EncoderTag().substr(0, 4), "LAME");
  EXPECT_TRUE(R.ID3v2().Exists());
  EXPECT_EQ(R.ID3v2().Version(), 3);
  EXPECT_EQ(R.ID3v2().Title(), "Morning Song");
  EXPECT_EQ(R.ID3v2().Artist(), "The Band");
  EXPECT_EQ(R.ID3v2().Album(), "First Light");
  EXPECT_EQ(R.ID3v2().Track(), 3);
  EXPECT_EQ(R.ID3v2().TrackText(), "3/12");
  EXPECT_EQ(R.ID3v2().Genre(), "Rock");
  EXPECT_TRUE(R.ID3v1().Exists());
  EXPECT_EQ(R.ID3v1().Title(), "Morning Song");
  EXPECT_EQ(R.ID3v1().Track(), 3);
  EXPECT_EQ(R.ID3v1().Genre(), "Rock");
}

TEST_F(EncodedFiles, VariableBitRateMp3WithXingAndLame) {
  TMPEGaudio R;
  ASSERT_TRUE(R.ReadFromFile(Paths["vbr.mp3"]));
  EXPECT_TRUE(R.Valid());
  ASSERT_TRUE(R.VBR().Found);
  EXPECT_EQ(std::string(R.VBR().Signature, 4), "Xing");
  EXPECT_FALSE(R.VBR().Vendor.empty()); // the muxer's LAME-format tag ("Lavf" or "LAME...")
  // Frames times 1,152 samples: the encoder's delay and padding stay within two frames.
  EXPECT_NEAR(R.Duration(), Seconds["vbr.mp3"], 2 * 1152.0 / 44100);
  EXPECT_EQ(R.EncoderTag(), "");
  // Version 2.4, texts in UTF-8 (encoding 3), as FFmpeg writes them by default.
  EXPECT_EQ(R.ID3v2().Version(), 4);
  EXPECT_EQ(R.ID3v2().Title(), "Morning Song");
  EXPECT_EQ(R.ID3v2().Artist(), "The Band");
  EXPECT_EQ(R.ID3v2().Album(), "First Light");
  EXPECT_EQ(R.ID3v2().Track(), 3);
  EXPECT_EQ(R.ID3v2().Year(), "2004");
  EXPECT_EQ(R.ID3v2().Genre(), "Rock");
  EXPECT_EQ(R.ID3v2().Comment(), ""); // FFmpeg writes it as a TXXX frame, not as COMM
  EXPECT_FALSE(R.ID3v1().Exists());
}

TEST_F(EncodedFiles, MonoMpeg2AndLayer2) {
  TMPEGaudio Mono;
  ASSERT_TRUE(Mono.ReadFromFile(Paths["mono.mp3"]));
  EXPECT_TRUE(Mono.Valid());
  EXPECT_EQ(Mono.Frame().VersionIndex, 2);
  EXPECT_EQ(Mono.SampleRate(), 22050);
  EXPECT_EQ(Mono.BitRate(), 64);
  EXPECT_EQ(Mono.ChannelMode(), "Mono");
  EXPECT_NEAR(Mono.Duration(), Seconds["mono.mp3"], 0.15);

  TMPEGaudio Mp2;
  ASSERT_TRUE(Mp2.ReadFromFile(Paths["layer2.mp2"]));
  EXPECT_TRUE(Mp2.Valid());
  EXPECT_EQ(Mp2.Frame().LayerIndex, 2);
  EXPECT_EQ(Mp2.SampleRate(), 48000);
  EXPECT_EQ(Mp2.BitRate(), 192);
  EXPECT_NEAR(Mp2.Duration(), Seconds["layer2.mp2"], 2 * 1152.0 / 48000);
}

TEST_F(EncodedFiles, OggVorbis) {
  TOggVorbis R;
  ASSERT_TRUE(R.ReadFromFile(Paths["vorbis.ogg"]));
  EXPECT_TRUE(R.Valid());
  EXPECT_EQ(R.Channels(), 2);
  EXPECT_EQ(R.SampleRate(), 44100);
  // The last page's granule position is the exact sample count.
  EXPECT_NEAR(R.Duration(), Seconds["vorbis.ogg"], 1e-9);
  EXPECT_GT(R.BitRate(), 0);
  EXPECT_EQ(R.Title(), "Morning Song");
  EXPECT_EQ(R.Artist(), "The Band");
  EXPECT_EQ(R.Album(), "First Light");
  EXPECT_EQ(R.Track(), 3);
  EXPECT_EQ(R.Date(), "2004");
  EXPECT_EQ(R.Genre(), "Rock");
  EXPECT_EQ(R.Comment(), "made by a test");
  EXPECT_FALSE(R.Vendor().empty());
}

TEST_F(EncodedFiles, OggVorbisWithACoverPicture) {
  TOggVorbis R;
  ASSERT_TRUE(R.ReadFromFile(Paths["cover.ogg"]));
  EXPECT_TRUE(R.Valid());
  EXPECT_EQ(R.Title(), "Morning Song");
  EXPECT_EQ(R.Artist(), "The Band");
  EXPECT_EQ(R.Comment(), "made by a test");
  EXPECT_NEAR(R.Duration(), Seconds["cover.ogg"], 1e-9);
}

TEST_F(EncodedFiles, WindowsMedia) {
  TWMAfile R;
  ASSERT_TRUE(R.ReadFromFile(Paths["wmav2.wma"]));
  EXPECT_TRUE(R.Valid());
  EXPECT_EQ(R.Channels(), 2);
  EXPECT_EQ(R.SampleRate(), 44100);
  EXPECT_EQ(R.BitRate(), 128);
  // The whole file's size over the maximum bit rate: the header and the packets' padding
  // count as audio, so the estimate runs long by a fixed overhead (about 0.5 s here).
  EXPECT_DOUBLE_EQ(R.Duration(), R.FileSize() * 8.0 / 128000);
  EXPECT_GE(R.Duration(), Seconds["wmav2.wma"]);
  EXPECT_LE(R.Duration(), Seconds["wmav2.wma"] + 0.6);
  EXPECT_EQ(R.Title(), "Morning Song");
  EXPECT_EQ(R.Artist(), "The Band");
  EXPECT_EQ(R.Album(), "First Light");
  EXPECT_EQ(R.Genre(), "Rock");
  // FFmpeg stores the comment as a "Description" attribute, which is not one of the names read.
  EXPECT_EQ(R.Comment(), "");
}

TEST_F(EncodedFiles, Wave) {
  TWAVfile R;
  ASSERT_TRUE(R.ReadFromFile(Paths["pcm.wav"]));
  EXPECT_TRUE(R.Valid());
  EXPECT_EQ(R.Channels(), 2);
  EXPECT_EQ(R.SampleRate(), 44100);
  EXPECT_EQ(R.BitsPerSample(), 16);
  EXPECT_DOUBLE_EQ(R.Duration(), Seconds["pcm.wav"]);
}

TEST_F(EncodedFiles, InspectorPrintsOneLinePerFile) {
  std::string Command = std::string(AUBADINE_BIN_DIR) + "/fileinfo";
  const char *Order[] = {"cbr.mp3", "vbr.mp3", "layer2.mp2", "vorbis.ogg", "wmav2.wma", "pcm.wav"};
  for (const char *Name : Order)
    Command += " '" + Paths[Name] + "'";
  FILE *Pipe = ::popen(Command.c_str(), "r");
  ASSERT_NE(Pipe, nullptr);
  std::string Output;
  char Buffer[4096];
  for (size_t N; (N = std::fread(Buffer, 1, sizeof Buffer, Pipe)) > 0;)
    Output.append(Buffer, N);
  EXPECT_EQ(::pclose(Pipe), 0);
  const char *Readers[] = {"mpeg", "mpeg", "mpeg", "ogg", "wma", "wav"};
  size_t Start = 0;
  for (size_t I = 0; I < std::size(Order); ++I) {
    const size_t End = Output.find('\n', Start);
    ASSERT_NE(End, std::string::npos);
    const std::string Line = Output.substr(Start, End - Start);
    EXPECT_EQ(Line.rfind("{\"file\":\"" + Paths[Order[I]] + "\",\"reader\":\"" + Readers[I] + "\",\"ok\":true,\"Valid\":true,", 0), 0u)
        << Line;
    EXPECT_NE(Line.find("\"Duration\":"), std::string::npos);
    Start = End + 1;
  }
  EXPECT_EQ(Start, Output.size());
}

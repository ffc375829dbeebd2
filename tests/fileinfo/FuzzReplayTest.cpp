// Replays the readers' fuzz entries over generated inputs (files from real encoders, their
// truncations and deterministic mutations) and over the saved corpus in fuzz/fileinfo/corpus.
// Under AddressSanitizer and UBSan this is the CI share of the fuzzing.
//
// With FILEINFO_SEED_DIR set, the generated seeds are also written there, as a starting corpus
// for a fuzzing run by hand.
#include "FuzzTargets.h"

#include "EncodedFixtures.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

using namespace fileinfo_test;
namespace fs = std::filesystem;

namespace {

using Entry = void (*)(const uint8_t *, size_t);

struct Reader {
  const char *Name;
  Entry Fuzz;
};

const Reader kReaders[] = {{"ID3v1", fileinfo_fuzz::FuzzID3v1},         {"ID3v2", fileinfo_fuzz::FuzzID3v2},
                           {"MPEGaudio", fileinfo_fuzz::FuzzMPEGaudio}, {"OggVorbis", fileinfo_fuzz::FuzzOggVorbis},
                           {"WMAfile", fileinfo_fuzz::FuzzWMAfile},     {"WAVfile", fileinfo_fuzz::FuzzWAVfile}};

Bytes ReadAll(const fs::path &P) {
  std::ifstream In(P, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(In), {});
}

// Seed files made by the encoders, kept short so the replay stays quick.
std::vector<Bytes> EncodedSeeds() {
  TempDir Dir;
  struct Recipe {
    const char *Name, *Format, *Codec;
    int Quality;
    std::vector<std::pair<std::string, std::string>> Options;
  } Recipes[] = {{"a.mp3", "mp3", "libmp3lame", -1, {{"id3v2_version", "3"}, {"write_id3v1", "1"}}},
               {"v.mp3", "mp3", "libmp3lame", 4, {}},
               {"a.mp2", "mp2", "mp2", -1, {}},
               {"a.ogg", "ogg", "libvorbis", 3, {{"page_duration", "100000"}}},
               {"a.wma", "asf", "wmav2", -1, {}},
               {"a.wav", "wav", "pcm_s16le", -1, {}}};
  std::vector<Bytes> Seeds;
  for (const auto &S : Recipes) {
    EncodeRecipe E;
    E.Format = S.Format;
    E.Codec = S.Codec;
    E.Quality = S.Quality;
    E.BitRate = 64000;
    E.Channels = 1;
    E.SampleRate = 22050;
    E.Seconds = 0.5;
    E.Metadata = {{"title", "T\xC3\xA9tre"}, {"artist", "Art"}, {"track", "2/9"}, {"comment", "c"}, {"genre", "(13)Pop"}};
    E.MuxerOptions = S.Options;
    const std::string Path = (Dir.Path() / S.Name).string();
    if (EncodeFile(E, Path).Ok)
      Seeds.push_back(ReadAll(Path));
  }
  return Seeds;
}

// Truncations and a fixed series of small mutations of each seed.
std::vector<Bytes> Mutations(const std::vector<Bytes> &Seeds) {
  std::mt19937 Random(20261208);
  const uint8_t Interesting[] = {0x00, 0xFF, 0x7F, 0x80, 0x01, 0x20, 0xFE, 0x10};
  std::vector<Bytes> Out;
  for (const Bytes &Seed : Seeds) {
    for (size_t Length = 0; Length < Seed.size(); Length += Length < 300 ? 1 : 97)
      Out.emplace_back(Seed.begin(), Seed.begin() + static_cast<ptrdiff_t>(Length));
    for (int I = 0; I < 300 && !Seed.empty(); ++I) {
      Bytes M = Seed;
      const int Changes = 1 + static_cast<int>(Random() % 8);
      // Most changes land in the headers, where the readers look.
      const size_t Span = std::min<size_t>(M.size(), I % 2 ? 600 : M.size());
      for (int C = 0; C < Changes; ++C) {
        const size_t At = Random() % Span;
        M[At] = Random() % 2 ? Interesting[Random() % std::size(Interesting)] : static_cast<uint8_t>(Random());
      }
      Out.push_back(std::move(M));
    }
  }
  return Out;
}

} // namespace

TEST(FuzzReplay, GeneratedInputs) {
  const std::vector<Bytes> Seeds = EncodedSeeds();
  ASSERT_EQ(Seeds.size(), 6u);
  if (const char *SeedDir = std::getenv("FILEINFO_SEED_DIR")) {
    fs::create_directories(SeedDir);
    for (size_t I = 0; I < Seeds.size(); ++I)
      std::ofstream(fs::path(SeedDir) / ("seed" + std::to_string(I)), std::ios::binary)
          .write(reinterpret_cast<const char *>(Seeds[I].data()), static_cast<std::streamsize>(Seeds[I].size()));
  }
  const std::vector<Bytes> Inputs = Mutations(Seeds);
  for (const Reader &R : kReaders) {
    for (const Bytes &Seed : Seeds)
      R.Fuzz(Seed.data(), Seed.size());
    for (const Bytes &In : Inputs)
      R.Fuzz(In.data(), In.size());
  }
}

TEST(FuzzReplay, SavedCorpus) {
  const fs::path Root = fs::path(AUBADINE_SOURCE_DIR) / "fuzz" / "fileinfo" / "corpus";
  size_t Count = 0;
  for (const Reader &R : kReaders) {
    const fs::path Dir = Root / R.Name;
    if (!fs::is_directory(Dir))
      continue;
    for (const auto &File : fs::directory_iterator(Dir)) {
      const Bytes In = ReadAll(File.path());
      R.Fuzz(In.data(), In.size());
      ++Count;
    }
  }
  RecordProperty("inputs", static_cast<int>(Count));
}

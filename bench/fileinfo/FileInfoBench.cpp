// Files per second of our file information readers against TagLib on the same generated
// corpus (MP3 CBR and VBR, MP2, Ogg Vorbis, WMA, WAV made by real encoders), and their ratio.
// Both sides produce the fields they have in common: duration, bit rate, sample rate,
// channels, title and artist.
#include "fileinfo/MPEGaudio.h"
#include "fileinfo/OggVorbis.h"
#include "fileinfo/WAVfile.h"
#include "fileinfo/WMAfile.h"

#include "EncodedFixtures.h"
#include "TestFiles.h"

#include <benchmark/benchmark.h>

#include <taglib/asffile.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace fileinfo_test;

namespace {

struct Summary {
  double Duration = 0;
  int BitRate = 0, SampleRate = 0, Channels = 0;
  std::string Title, Artist;
};

enum class Kind { Mpeg, Ogg, Wma, Wav };

struct Group {
  std::string Name;
  Kind K;
  std::vector<std::string> Files;
};

std::unique_ptr<TempDir> CorpusDir;
std::vector<Group> Groups;

void BuildCorpus() {
  CorpusDir = std::make_unique<TempDir>();
  struct Recipe {
    const char *Group, *Ext, *Format, *Codec;
    Kind K;
    int Quality;
    int64_t BitRate;
  } Recipes[] = {{"mp3-cbr", "mp3", "mp3", "libmp3lame", Kind::Mpeg, -1, 128000},
                 {"mp3-vbr", "mp3", "mp3", "libmp3lame", Kind::Mpeg, 2, 0},
                 {"mp2", "mp2", "mp2", "mp2", Kind::Mpeg, -1, 192000},
                 {"ogg", "ogg", "ogg", "libvorbis", Kind::Ogg, 4, 0},
                 {"wma", "wma", "asf", "wmav2", Kind::Wma, -1, 128000},
                 {"wav", "wav", "wav", "pcm_s16le", Kind::Wav, -1, 0}};
  constexpr int kFilesPerGroup = 6;
  for (const auto &R : Recipes) {
    Group G{R.Group, R.K, {}};
    for (int I = 0; I < kFilesPerGroup; ++I) {
      EncodeRecipe S;
      S.Format = R.Format;
      S.Codec = R.Codec;
      S.Quality = R.Quality;
      S.BitRate = R.BitRate;
      S.SampleRate = I % 2 ? 48000 : 44100;
      S.Seconds = 4.0 + 3.0 * I;
      S.Metadata = {{"title", "Title " + std::to_string(I)}, {"artist", "Artist"}, {"album", "Album"},
                    {"track", std::to_string(I + 1)}};
      if (R.K == Kind::Mpeg)
        S.MuxerOptions = {{"id3v2_version", "3"}, {"write_id3v1", I % 2 ? "1" : "0"}};
      if (R.K == Kind::Ogg)
        S.MuxerOptions = {{"page_duration", "100000"}};
      const std::string Path = (CorpusDir->Path() / (G.Name + std::to_string(I) + "." + R.Ext)).string();
      const EncodeResult Result = EncodeFile(S, Path);
      if (!Result.Ok) {
        std::fprintf(stderr, "cannot make %s: %s\n", Path.c_str(), Result.Error.c_str());
        std::exit(1);
      }
      G.Files.push_back(Path);
    }
    Groups.push_back(std::move(G));
  }
}

Summary Ours(Kind K, const std::string &Path) {
  Summary S;
  switch (K) {
  case Kind::Mpeg: {
    TMPEGaudio R;
    R.ReadFromFile(Path);
    S = {R.Duration(), R.BitRate(), R.SampleRate(), R.ChannelMode() == "Mono" ? 1 : 2, {}, {}};
    const bool V1 = R.ID3v1().Exists();
    S.Title = V1 ? R.ID3v1().Title() : R.ID3v2().Title();
    S.Artist = V1 ? R.ID3v1().Artist() : R.ID3v2().Artist();
    break;
  }
  case Kind::Ogg: {
    TOggVorbis R;
    R.ReadFromFile(Path);
    S = {R.Duration(), R.BitRate(), static_cast<int>(R.SampleRate()), R.Channels(), R.Title(), R.Artist()};
    break;
  }
  case Kind::Wma: {
    TWMAfile R;
    R.ReadFromFile(Path);
    S = {R.Duration(), R.BitRate(), R.SampleRate(), R.Channels(), R.Title(), R.Artist()};
    break;
  }
  case Kind::Wav: {
    TWAVfile R;
    R.ReadFromFile(Path);
    S = {R.Duration(), R.SampleRate() * R.BitsPerSample() * R.Channels() / 1000, R.SampleRate(), R.Channels(), {}, {}};
    break;
  }
  }
  return S;
}

template <class File> Summary FromTagLib(File &F) {
  Summary S;
  if (const auto *P = F.audioProperties()) {
    S.Duration = P->lengthInMilliseconds() / 1000.0;
    S.BitRate = P->bitrate();
    S.SampleRate = P->sampleRate();
    S.Channels = P->channels();
  }
  if (const auto *T = F.tag()) {
    S.Title = T->title().to8Bit(true);
    S.Artist = T->artist().to8Bit(true);
  }
  return S;
}

Summary Peer(Kind K, const std::string &Path) {
  const auto Style = TagLib::AudioProperties::Average;
  switch (K) {
  case Kind::Mpeg: {
    TagLib::MPEG::File F(Path.c_str(), true, Style);
    return FromTagLib(F);
  }
  case Kind::Ogg: {
    TagLib::Ogg::Vorbis::File F(Path.c_str(), true, Style);
    return FromTagLib(F);
  }
  case Kind::Wma: {
    TagLib::ASF::File F(Path.c_str(), true, Style);
    return FromTagLib(F);
  }
  case Kind::Wav: {
    TagLib::RIFF::WAV::File F(Path.c_str(), true, Style);
    return FromTagLib(F);
  }
  }
  return {};
}

void ReadGroup(benchmark::State &State, const Group *G, bool UseOurs) {
  for (auto _ : State) {
    for (const std::string &Path : G->Files) {
      Summary S = UseOurs ? Ours(G->K, Path) : Peer(G->K, Path);
      benchmark::DoNotOptimize(S);
    }
  }
  State.SetItemsProcessed(static_cast<int64_t>(State.iterations() * G->Files.size()));
}

// Collects files per second of every run to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run> &Runs) override {
    ConsoleReporter::ReportRuns(Runs);
    for (const Run &R : Runs) {
      const auto It = R.counters.find("items_per_second");
      if (It != R.counters.end())
        Rates[R.benchmark_name()] = It->second.value;
    }
  }
  std::map<std::string, double> Rates;
};

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  BuildCorpus();
  for (const Group &G : Groups) {
    benchmark::RegisterBenchmark(("ours/" + G.Name).c_str(), ReadGroup, &G, true);
    benchmark::RegisterBenchmark(("taglib/" + G.Name).c_str(), ReadGroup, &G, false);
  }
  RatioReporter Reporter;
  benchmark::RunSpecifiedBenchmarks(&Reporter);

  std::printf("\n%-10s %14s %14s %8s\n", "corpus", "ours files/s", "TagLib files/s", "ratio");
  for (const Group &G : Groups) {
    const double O = Reporter.Rates["ours/" + G.Name], T = Reporter.Rates["taglib/" + G.Name];
    if (O > 0 && T > 0)
      std::printf("%-10s %14.0f %14.0f %7.2fx\n", G.Name.c_str(), O, T, O / T);
  }
  // What both sides see in each file, so a reader that reads less cannot look faster unseen.
  std::printf("\n%-28s %21s %21s\n", "file", "ours: s kbit/s Hz ch", "TagLib: s kbit/s Hz ch");
  for (const Group &G : Groups) {
    const std::string &Path = G.Files.back();
    const Summary A = Ours(G.K, Path), B = Peer(G.K, Path);
    std::printf("%-28s %6.2f %4d %5d %d %6.2f %4d %5d %d  \"%s\"/\"%s\"\n", Path.substr(Path.rfind('/') + 1).c_str(),
                A.Duration, A.BitRate, A.SampleRate, A.Channels, B.Duration, B.BitRate, B.SampleRate, B.Channels,
                A.Title.c_str(), B.Title.c_str());
  }
  benchmark::Shutdown();
  CorpusDir.reset();
  return 0;
}

// Audio files made by real encoders (through FFmpeg's libraries) for the readers' tests and
// benchmark. Each file holds a few seconds of a generated tone; nothing is downloaded.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fileinfo_test {

struct EncodeRecipe {
  std::string Format; // muxer: "mp3", "mp2", "ogg", "asf", "wav"
  std::string Codec;  // encoder: "libmp3lame", "mp2", "libvorbis", "wmav2", "pcm_s16le"
  int SampleRate = 44100;
  int Channels = 2;
  int64_t BitRate = 128000; // bit/s; ignored when Quality is set
  int Quality = -1;         // variable bit rate quality (LAME -V / Vorbis -q) when >= 0
  double Seconds = 3.0;
  std::vector<std::pair<std::string, std::string>> Metadata;
  std::vector<std::pair<std::string, std::string>> MuxerOptions; // e.g. {"id3v2_version", "3"}
};

struct EncodeResult {
  bool Ok = false;
  std::string Error;
  int64_t Samples = 0; // samples per channel given to the encoder
};

EncodeResult EncodeFile(const EncodeRecipe &Recipe, const std::string &Path);

// Duration of a file as FFmpeg's demuxer reports it, in seconds (negative when unknown).
double ProbeDuration(const std::string &Path);

} // namespace fileinfo_test

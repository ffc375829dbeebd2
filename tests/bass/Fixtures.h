// Test fixtures made by code: sound, files encoded through FFmpeg's own encoders, a tiny
// tracker module written byte by byte, and reference decodings by FFmpeg and libopenmpt.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace aubadine::bass::test {

struct Pcm {
    int rate = 44100;
    int channels = 2;
    std::vector<int16_t> samples;  // interleaved
    size_t frames() const { return samples.size() / static_cast<size_t>(channels); }
};

// A sine of `hz` at `amplitude` (0..1 of full scale) in every channel.
Pcm sine(double hz, double seconds, int rate = 44100, int channels = 2, double amplitude = 0.5);
// Sines of different frequencies added, one list for all channels.
Pcm sines(const std::vector<double>& hz, double seconds, int rate = 44100, int channels = 2, double amplitude = 0.25);

// Encodes pcm into `path` with FFmpeg: muxer "wav"/"mp3"/"ogg", encoder "pcm_s16le"/
// "pcm_u8"/"libmp3lame"/"libvorbis"/"mp2". Metadata goes into the file's tags (ID3v2 for MP3,
// Vorbis comments for Ogg); id3v1 adds an ID3v1 tag to an MP3. Throws std::runtime_error.
void encodeFile(const std::string& path, const std::string& muxer, const std::string& encoder, const Pcm& pcm,
                const std::map<std::string, std::string>& metadata = {}, bool id3v1 = false);

// Everything FFmpeg decodes from the file, as 16-bit samples in the file's own format.
Pcm decodeWithFfmpeg(const std::string& path);

// A 4-channel ProTracker module ("M.K.") of `rows` rows at speed 6 / 125 BPM (0.12 s a row)
// that plays one looped square-wave sample on channel 1 from row 0.
std::vector<uint8_t> tinyMod(const std::string& title, int rows = 16);
// What libopenmpt renders from the module at `rate` Hz, stereo, without dither and stopping
// at the song's end.
Pcm renderWithOpenmpt(const std::vector<uint8_t>& module, int rate = 44100);

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const std::string& path);
// A folder for this test program's generated files (created on first use, removed at exit).
std::string fixtureDir();

// Level of the `channel` samples (every `step`-th from `channel`) at `hz`, as the amplitude
// of the matching sine (Goertzel), 0..1 of full scale.
double toneAmplitude(const int16_t* samples, size_t frames, int channels, int channel, double hz, int rate);
double peak(const int16_t* samples, size_t frames, int channels, int channel);

}  // namespace aubadine::bass::test

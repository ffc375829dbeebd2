// Reading what SDL's disk audio driver wrote (16-bit stereo at 44100 Hz) and telling the
// tracks in it apart: sounding segments separated by silence, and the dominant frequency
// of each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Segment {
    size_t start = 0;    // frames
    size_t end = 0;      // one past the last sounding frame
    double frequency = 0; // Hz, dominant in the middle of the segment
    double seconds() const { return static_cast<double>(end - start) / 44100.0; }
};

// Left channel of a raw 16-bit stereo capture.
std::vector<int16_t> ReadCaptureLeft(const std::string& path);

// Sounding segments: runs of frames louder than threshold, split where at least
// minSilenceFrames quiet frames follow each other; segments shorter than minFrames are
// dropped.
std::vector<Segment> FindSegments(const std::vector<int16_t>& samples, int threshold = 64,
                                  size_t minSilenceFrames = 32, size_t minFrames = 4410);

// Dominant frequency (Hz) of samples[from, to), by FFT with a Hann window and parabolic
// interpolation of the peak.
double DominantFrequency(const std::vector<int16_t>& samples, size_t from, size_t to);

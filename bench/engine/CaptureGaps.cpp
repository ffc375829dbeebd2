// capture_gaps: the silences between the tracks in a raw 16-bit stereo 44100 Hz capture
// (what SDL's disk audio driver writes), in milliseconds, one line per gap, then the
// median (0 when the sounds follow each other without a silence of 0.7 ms) and the worst.
//
//   capture_gaps <capture.raw>
#include "CaptureAnalysis.h"

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: capture_gaps <capture.raw>\n");
        return 2;
    }
    std::vector<Segment> segments = FindSegments(ReadCaptureLeft(argv[1]));
    std::vector<double> gaps;
    for (size_t i = 1; i < segments.size(); ++i) {
        const double ms = static_cast<double>(segments[i].start - segments[i - 1].end) * 1000.0 / 44100.0;
        gaps.push_back(ms);
        std::printf("gap %zu: %.1f ms (%.0f Hz -> %.0f Hz)\n", i, ms, segments[i - 1].frequency,
                    segments[i].frequency);
    }
    if (gaps.empty()) {
        // Sounds that follow each other with less than 32 quiet frames (0.7 ms) between them.
        std::printf("no silence between %zu sounding segments\nmedian: 0\nworst: 0\n", segments.size());
        return 0;
    }
    std::sort(gaps.begin(), gaps.end());
    std::printf("median: %.1f\n", gaps[gaps.size() / 2]);
    std::printf("worst: %.1f\n", gaps.back());
    return 0;
}

// Disc images made by the tests from generated PCM: a CUE sheet and its BIN file, in a
// folder that the CD add-on is pointed at (AUBADINE_CD_IMAGES) before its first call.
#pragma once

#include "Fixtures.h"

#include <string>
#include <vector>

namespace aubadine::bass::test {

struct ImageTrack {
    bool audio = true;
    aubadine::bass::test::Pcm pcm;  // audio tracks: 16-bit stereo 44100 Hz, whole sectors
    size_t dataSectors = 0;          // data tracks
};

// Writes `name`.cue and `name`.bin into folder; the BIN holds the tracks one after the
// other, cut to binBytes when that is given (a BIN shorter than its sheet says).
// catalog: a CATALOG line when not empty.
void writeCueImage(const std::string& folder, const std::string& name, const std::vector<ImageTrack>& tracks,
                   size_t binBytes = 0, const std::string& catalog = {});

// A stereo sine of whole CD sectors (588 frames each).
aubadine::bass::test::Pcm sectorTone(double hz, size_t sectors, double amplitude = 0.5);

}  // namespace aubadine::bass::test

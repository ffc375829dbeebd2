// A disc in a drive (or an image) opened through libcdio, and its table of contents as the
// add-on counts it: tracks 0.. in disc order, each with its first sector and sector count,
// cut at the end of the readable disc (an image whose BIN file is shorter than its CUE
// sheet says has shorter or empty tracks at its end, not tracks that read past the file).
#pragma once

#include "Drives.h"

#include <cdio/cdio.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace aubadine::basscd {

inline constexpr uint32_t kSectorBytes = 2352;  // 588 frames of 16-bit stereo at 44100 Hz
inline constexpr uint32_t kSectorFrames = 588;

struct CdioCloser {
    void operator()(CdIo_t* p) const;
};
using CdioHandle = std::unique_ptr<CdIo_t, CdioCloser>;

struct TrackEntry {
    int32_t lsn = 0;         // first sector
    uint32_t sectors = 0;    // readable sectors (0: the track lies past the end of the image)
    bool audio = false;
};

struct Toc {
    int firstNumber = 1;           // the disc's number of track 0
    std::vector<TrackEntry> tracks;
    int32_t leadout = 0;           // sector after the last readable one
    int32_t declaredLeadout = 0;   // where the disc (or sheet) says the last track ends
};

// Opens the disc in the drive; throws Failure(BASS_ERROR_NOCD) when there is none (no disc,
// an image that is gone or unreadable).
CdioHandle openDisc(const Drive& drive);

// Reads the table of contents; throws Failure(BASS_ERROR_NOCD) when it cannot be read.
Toc readToc(CdIo_t* disc);

// The track, checked: BASS_ERROR_CDTRACK past the last track; with audioOnly,
// BASS_ERROR_NOTAUDIO for a data track and BASS_ERROR_CDTRACK for a track with no sectors.
const TrackEntry& trackOf(const Toc& toc, uint32_t track, bool audioOnly);

// Disc identifiers: the FreeDB/CDDB id (8 hex digits), the CDDB query text ("id count
// offsets... seconds") and the MusicBrainz disc id.
std::string cddbId(const Toc& toc);
std::string cddbQuery(const Toc& toc);
std::string musicBrainzId(const Toc& toc);

}  // namespace aubadine::basscd

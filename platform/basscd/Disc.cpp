#include "Disc.h"

#include "CBoundary.h"
#include "basscd.h"

#include <cdio/cdio.h>
#include <discid/discid.h>

#include <algorithm>
#include <cstdio>

namespace aubadine::basscd {

using aubadine::bass::fail;

void CdioCloser::operator()(CdIo_t* p) const { cdio_destroy(p); }

CdioHandle openDisc(const Drive& drive) {
    CdIo_t* p = nullptr;
    switch (drive.image) {
    case ImageKind::Cue: p = cdio_open_cue(drive.device.c_str()); break;
    case ImageKind::Toc: p = cdio_open_cdrdao(drive.device.c_str()); break;
    case ImageKind::Nrg: p = cdio_open_nrg(drive.device.c_str()); break;
    case ImageKind::None: p = cdio_open(drive.device.c_str(), DRIVER_DEVICE); break;
    }
    if (!p) fail(BASS_ERROR_NOCD);
    return CdioHandle(p);
}

Toc readToc(CdIo_t* disc) {
    const track_t first = cdio_get_first_track_num(disc);
    const track_t count = cdio_get_num_tracks(disc);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) fail(BASS_ERROR_NOCD);
    Toc toc;
    toc.firstNumber = first;
    toc.declaredLeadout = cdio_get_track_lsn(disc, CDIO_CDROM_LEADOUT_TRACK);
    if (toc.declaredLeadout == CDIO_INVALID_LSN) fail(BASS_ERROR_NOCD);
    toc.leadout = toc.declaredLeadout;
    for (int t = first; t < first + count; ++t) {
        TrackEntry e;
        e.lsn = cdio_get_track_lsn(disc, static_cast<track_t>(t));
        if (e.lsn == CDIO_INVALID_LSN) fail(BASS_ERROR_NOCD);
        e.audio = cdio_get_track_format(disc, static_cast<track_t>(t)) == TRACK_FORMAT_AUDIO;
        toc.tracks.push_back(e);
    }
    // Each track runs to the next one's start, or to the lead-out, whichever comes first;
    // an image's lead-out is where its data file ends.
    for (size_t i = 0; i < toc.tracks.size(); ++i) {
        const int32_t next = i + 1 < toc.tracks.size() ? toc.tracks[i + 1].lsn : toc.leadout;
        const int32_t end = std::min(next, toc.leadout);
        toc.tracks[i].sectors = end > toc.tracks[i].lsn ? static_cast<uint32_t>(end - toc.tracks[i].lsn) : 0;
    }
    return toc;
}

const TrackEntry& trackOf(const Toc& toc, uint32_t track, bool audioOnly) {
    if (track >= toc.tracks.size()) fail(BASS_ERROR_CDTRACK);
    const TrackEntry& e = toc.tracks[track];
    if (audioOnly && !e.audio) fail(BASS_ERROR_NOTAUDIO);
    if (audioOnly && e.sectors == 0) fail(BASS_ERROR_CDTRACK);
    return e;
}

namespace {

// Sectors as the identifiers count them: from the start of the disc's lead-in.
constexpr int32_t kLeadIn = 150;

int32_t idLeadout(const Toc& toc) { return std::max(toc.leadout, toc.tracks.back().lsn + 1); }

}  // namespace

std::string cddbId(const Toc& toc) {
    uint32_t digits = 0;
    for (const auto& t : toc.tracks)
        for (int32_t s = (t.lsn + kLeadIn) / 75; s > 0; s /= 10) digits += static_cast<uint32_t>(s % 10);
    const int32_t seconds = (idLeadout(toc) + kLeadIn) / 75 - (toc.tracks.front().lsn + kLeadIn) / 75;
    const uint32_t id = ((digits % 0xFF) << 24) | (static_cast<uint32_t>(seconds) << 8) |
                        static_cast<uint32_t>(toc.tracks.size());
    char text[9];
    std::snprintf(text, sizeof text, "%08x", id);
    return text;
}

std::string cddbQuery(const Toc& toc) {
    std::string text = cddbId(toc) + ' ' + std::to_string(toc.tracks.size());
    for (const auto& t : toc.tracks) text += ' ' + std::to_string(t.lsn + kLeadIn);
    text += ' ' + std::to_string((idLeadout(toc) + kLeadIn) / 75);
    return text;
}

std::string musicBrainzId(const Toc& toc) {
    // Trailing data tracks (enhanced discs) are not counted; the id ends with the last
    // audio track. The offsets are indexed by track number.
    size_t count = toc.tracks.size();
    while (count > 0 && !toc.tracks[count - 1].audio) --count;
    const int last = toc.firstNumber + static_cast<int>(count) - 1;
    if (count == 0 || toc.firstNumber < 1 || last > 99) fail(BASS_ERROR_NOTAVAIL);
    int offsets[100] = {};
    const TrackEntry& end = toc.tracks[count - 1];
    offsets[0] = end.lsn + static_cast<int32_t>(std::max<uint32_t>(end.sectors, 1)) + kLeadIn;
    for (size_t i = 0; i < count; ++i) offsets[toc.firstNumber + static_cast<int>(i)] = toc.tracks[i].lsn + kLeadIn;
    DiscId* d = discid_new();
    if (!d) fail(BASS_ERROR_MEM);
    std::string id;
    if (discid_put(d, toc.firstNumber, last, offsets)) id = discid_get_id(d);
    discid_free(d);
    if (id.empty()) fail(BASS_ERROR_NOTAVAIL);
    return id;
}

}  // namespace aubadine::basscd

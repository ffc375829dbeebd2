#include "CdStream.h"

#include "Disc.h"
#include "Source.h"
#include "basscd.h"

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace aubadine::basscd {
namespace {

using aubadine::bass::fail;
using aubadine::bass::ReadStatus;

constexpr uint32_t kSectorsPerRead = 16;  // about 0.2 s of sound per image read

// Which channel plays which drive and track, for BASS_CD_StreamGetTrack.
struct TrackRegistry {
    std::mutex mutex;
    std::map<DWORD, DWORD> tracks;
    static TrackRegistry& get() {
        static TrackRegistry registry;
        return registry;
    }
};

class CdSource final : public aubadine::bass::Source {
public:
    CdSource(uint32_t drive, uint32_t track) : drive_(drive), track_(track) {
        const Drive& d = driveAt(drive);
        disc_ = openDisc(d);
        const Toc toc = readToc(disc_.get());
        const TrackEntry& entry = trackOf(toc, track, true);
        first_ = entry.lsn;
        sectors_ = entry.sectors;
        if (!d.isImage()) openParanoia();
    }

    ~CdSource() override {
        if (channel_) {
            auto& registry = TrackRegistry::get();
            std::lock_guard lock(registry.mutex);
            registry.tracks.erase(channel_);
        }
        if (paranoia_) cdio_paranoia_free(paranoia_);
        if (cdda_) cdio_cddap_close_no_free_cdio(cdda_);
    }

    aubadine::bass::SourceFormat format() const override { return {44100, 2, 0, BASS_CTYPE_STREAM_CD}; }

    void attach(DWORD channel) override {
        channel_ = channel;
        auto& registry = TrackRegistry::get();
        std::lock_guard lock(registry.mutex);
        registry.tracks[channel] = (drive_ << 16) | (track_ & 0xFFFF);
    }

    size_t read(int16_t* out, size_t frames, ReadStatus& status) override {
        size_t done = 0;
        while (done < frames) {
            const size_t available = buffer_.size() / 2 - head_;
            if (available > 0) {
                const size_t n = std::min(frames - done, available);
                std::memcpy(out + done * 2, buffer_.data() + head_ * 2, n * 4);
                head_ += n;
                done += n;
                continue;
            }
            if (next_ >= sectors_ || !fill()) {
                // The end of the track, or sectors that cannot be read any more (an image
                // that went away, a disc taken out): the track ends here.
                status = ReadStatus::Ended;
                break;
            }
        }
        return done;
    }

    std::optional<uint64_t> lengthFrames() const override { return uint64_t{sectors_} * kSectorFrames; }

    bool seek(uint64_t frame) override {
        if (frame > uint64_t{sectors_} * kSectorFrames) return false;
        next_ = static_cast<uint32_t>(frame / kSectorFrames);
        skip_ = static_cast<size_t>(frame % kSectorFrames);
        buffer_.clear();
        head_ = 0;
        if (paranoia_) cdio_paranoia_seek(paranoia_, first_ + static_cast<int32_t>(next_), SEEK_SET);
        return true;
    }

private:
    void openParanoia() {
        cdda_ = cdio_cddap_identify_cdio(disc_.get(), CDDA_MESSAGE_FORGETIT, nullptr);
        if (!cdda_ || cdio_cddap_open(cdda_) != 0) fail(BASS_ERROR_NOCD);
        paranoia_ = cdio_paranoia_init(cdda_);
        if (!paranoia_) fail(BASS_ERROR_NOCD);
        cdio_paranoia_modeset(paranoia_, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        cdio_paranoia_seek(paranoia_, first_, SEEK_SET);
    }

    // Reads the next sectors into buffer_; false when they cannot be read.
    bool fill() {
        const uint32_t n = paranoia_ ? 1 : std::min(kSectorsPerRead, sectors_ - next_);
        buffer_.resize(size_t{n} * kSectorFrames * 2);
        head_ = 0;
        if (paranoia_) {
            const int16_t* sector = cdio_paranoia_read(paranoia_, nullptr);
            if (!sector) {
                buffer_.clear();
                return false;
            }
            std::memcpy(buffer_.data(), sector, kSectorBytes);
        } else if (cdio_read_audio_sectors(disc_.get(), buffer_.data(), first_ + static_cast<int32_t>(next_), n) !=
                   DRIVER_OP_SUCCESS) {
            buffer_.clear();
            return false;
        }
        next_ += n;
        head_ = std::min(skip_, buffer_.size() / 2);
        skip_ = 0;
        return true;
    }

    uint32_t drive_, track_;
    DWORD channel_ = 0;
    CdioHandle disc_;
    cdrom_drive_t* cdda_ = nullptr;
    cdrom_paranoia_t* paranoia_ = nullptr;
    int32_t first_ = 0;
    uint32_t sectors_ = 0;
    uint32_t next_ = 0;  // next sector to read, from the track's start
    size_t skip_ = 0;    // frames of the next read to drop (a seek inside a sector)
    std::vector<int16_t> buffer_;
    size_t head_ = 0;    // frames of buffer_ already handed out
};

}  // namespace

HSTREAM createCdStream(uint32_t drive, uint32_t track, DWORD flags) {
    if (BASS_GetDevice() == DWORD(-1)) fail(BASS_ERROR_INIT);
    auto source = std::make_unique<CdSource>(drive, track);
    return aubadine::bass::createChannel(std::move(source), flags & ~DWORD{BASS_CD_SUBCHANNEL},
                                         aubadine::bass::ChannelKind::Stream);
}

DWORD streamTrack(HSTREAM handle) {
    auto& registry = TrackRegistry::get();
    std::lock_guard lock(registry.mutex);
    const auto it = registry.tracks.find(handle);
    if (it == registry.tracks.end()) fail(BASS_ERROR_HANDLE);
    return it->second;
}

}  // namespace aubadine::basscd

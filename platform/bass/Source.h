// What a channel plays: a decoder that hands out 16-bit frames. The library's own sources
// (files through FFmpeg, tracker modules through libopenmpt, user streams) and those of the
// add-ons (libbasswma.so, libbasscd.so) all plug in here and become ordinary channels.
#pragma once

#include "CBoundary.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace aubadine::bass {

struct SourceFormat {
    uint32_t rate = 44100;     // sample rate, Hz
    uint32_t channels = 2;     // interleaved channels, 1..8
    uint32_t flags = 0;        // BASS_SAMPLE_8BITS when the source's own samples are 8-bit
    uint32_t ctype = BASS_CTYPE_STREAM;
};

inline constexpr uint64_t kUnknownFileSize = UINT64_MAX;

enum class ReadStatus {
    Ok,       // more may follow
    Stalled,  // nothing more right now (a user stream without data); ask again later
    Ended,    // no frames follow the ones just given
};

// A decoder. Every call is made under the owning channel's lock: read() and seek() on the
// mixer thread or an API thread, the rest on API threads; a source needs no lock of its own.
class Source {
public:
    virtual ~Source() = default;

    virtual SourceFormat format() const = 0;

    // Called once with the handle of the channel that plays this source.
    virtual void attach(DWORD /*channel*/) {}

    // Writes up to `frames` interleaved 16-bit frames (format().channels each) to out and
    // returns how many it wrote; status tells whether more follow.
    virtual size_t read(int16_t* out, size_t frames, ReadStatus& status) = 0;

    // Total length in frames, when known.
    virtual std::optional<uint64_t> lengthFrames() const { return std::nullopt; }

    // Moves so that the next read() starts exactly at `frame`; false when impossible.
    virtual bool seek(uint64_t /*frame*/) { return false; }

    // BASS_StreamGetTags data of the given kind, owned by the source; null when absent.
    virtual const char* tags(uint32_t /*kind*/) { return nullptr; }

    // BASS_StreamGetFilePosition for the given mode; nullopt when not a file stream,
    // kUnknownFileSize for the size of a download whose server gave none.
    virtual std::optional<uint64_t> filePosition(uint32_t /*mode*/) const { return std::nullopt; }

    // Tracker modules only: name and number of orders.
    virtual const char* musicName() const { return nullptr; }
    virtual std::optional<uint32_t> musicOrders() const { return std::nullopt; }
};

// Kinds of channel; they decide which global volume applies (streams or music).
enum class ChannelKind { Stream, Music };

// Makes a playing-ready channel of `source` on the current device and returns its handle.
// flags: BASS_SAMPLE_LOOP, BASS_STREAM_AUTOFREE, ... as given to the creating call.
// Throws Failure (BASS_ERROR_INIT when no device is initialised).
AUBADINE_BASS_INTERNAL DWORD createChannel(std::unique_ptr<Source> source, DWORD flags,
                                           ChannelKind kind);

// Runs the channel's syncs of `type` (BASS_SYNC_META with the address of the new text,
// BASS_SYNC_DOWNLOAD, ...) on the sync thread. For sources that learn of such events
// (network streams); unknown handles are ignored.
AUBADINE_BASS_INTERNAL void fireChannelSyncs(DWORD channel, DWORD type, uintptr_t data);

}  // namespace aubadine::bass

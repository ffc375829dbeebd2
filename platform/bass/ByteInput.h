// Where a decoder's bytes come from: a file region, a memory block or a network download.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace aubadine::bass {

class ByteInput {
public:
    virtual ~ByteInput() = default;

    // Total size in bytes; nullopt while unknown (a live broadcast, a server that gives none).
    virtual std::optional<uint64_t> knownSize() const = 0;
    // Reads up to n bytes at pos; returns the count read, 0 at the end. May wait for bytes
    // that are on their way (a download), never without bound.
    virtual size_t read(uint64_t pos, void* buffer, size_t n) const = 0;
    // False when only reading forward is cheap (a download in progress): the decoder then
    // neither looks at the end of the input nor scans it, and opens it only once.
    virtual bool seekable() const { return true; }
    // The container to use without probing ("mp3", "ogg", ...), or null to probe.
    virtual const char* formatName() const { return nullptr; }
};

}  // namespace aubadine::bass

// The bytes a channel is made from: a part of a file (read on demand, never all at once)
// or of a memory block that the caller keeps alive while the channel exists.
#pragma once

#include "ByteInput.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace aubadine::bass {

class FileRegion final : public ByteInput {
public:
    // mem: `file` points to the bytes; otherwise it is a file name. length 0 = to the end
    // (for memory, length must be given). Throws Failure(BASS_ERROR_FILEOPEN).
    FileRegion(bool mem, const void* file, uint64_t offset, uint64_t length);
    ~FileRegion();
    FileRegion(const FileRegion&) = delete;
    FileRegion& operator=(const FileRegion&) = delete;

    uint64_t size() const { return size_; }
    std::optional<uint64_t> knownSize() const override { return size_; }
    // Reads up to n bytes at pos (relative to the region); returns the count read.
    size_t read(uint64_t pos, void* buffer, size_t n) const override;
    bool isFile() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    const uint8_t* memory_ = nullptr;
    uint64_t offset_ = 0;
    uint64_t size_ = 0;
};

}  // namespace aubadine::bass

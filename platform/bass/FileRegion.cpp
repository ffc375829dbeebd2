#include "FileRegion.h"

#include "CBoundary.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace aubadine::bass {

FileRegion::FileRegion(bool mem, const void* file, uint64_t offset, uint64_t length) {
    if (!file) fail(BASS_ERROR_FILEOPEN);
    if (mem) {
        if (length == 0) fail(BASS_ERROR_ILLPARAM);
        memory_ = static_cast<const uint8_t*>(file) + offset;
        size_ = length;
        return;
    }
    fd_ = ::open(static_cast<const char*>(file), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) fail(BASS_ERROR_FILEOPEN);
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fail(BASS_ERROR_FILEOPEN);
    }
    const auto fileSize = static_cast<uint64_t>(st.st_size);
    if (offset > fileSize) {
        ::close(fd_);
        fail(BASS_ERROR_FILEOPEN);
    }
    offset_ = offset;
    size_ = length ? std::min(length, fileSize - offset) : fileSize - offset;
}

FileRegion::~FileRegion() {
    if (fd_ >= 0) ::close(fd_);
}

size_t FileRegion::read(uint64_t pos, void* buffer, size_t n) const {
    if (pos >= size_) return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, size_ - pos));
    if (memory_) {
        std::memcpy(buffer, memory_ + pos, n);
        return n;
    }
    size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, static_cast<uint8_t*>(buffer) + done, n - done,
                                    static_cast<off_t>(offset_ + pos + done));
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

}  // namespace aubadine::bass

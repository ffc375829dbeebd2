// libbasswma.so: Windows Media audio (ASF files holding WMA v1, v2 and whatever else
// FFmpeg decodes) as ordinary channels of libbass.so. The add-on checks what is ASF-specific
// (the container, content protection) and decodes through the library's own FFmpeg file
// source (files) or network reader (addresses, flag BASS_WMA_NETWORK); the channel
// machinery is libbass.so's. User file streams, the Windows Media reader object and
// encoding are not offered (BASS_ERROR_NOTAVAIL).
#include "basswma.h"

#include "AsfHeader.h"
#include "CBoundary.h"
#include "Source.h"
#include "Sources.h"

#include <algorithm>
#include <fstream>
#include <vector>

using namespace aubadine::bass;
using aubadine::basswma::inspectAsfHeader;

namespace {

// More than any real header needs; keeps a damaged size field from asking for gigabytes.
constexpr uint64_t kMaxHeaderBytes = 16u << 20;

// The library's file source with the stream type of a WMA channel.
class WmaSource final : public Source {
public:
    explicit WmaSource(std::unique_ptr<Source> inner) : inner_(std::move(inner)) {}
    SourceFormat format() const override {
        SourceFormat f = inner_->format();
        f.ctype = BASS_CTYPE_STREAM_WMA;
        return f;
    }
    void attach(DWORD channel) override { inner_->attach(channel); }
    size_t read(int16_t* out, size_t frames, ReadStatus& status) override { return inner_->read(out, frames, status); }
    std::optional<uint64_t> lengthFrames() const override { return inner_->lengthFrames(); }
    bool seek(uint64_t frame) override { return inner_->seek(frame); }
    const char* tags(uint32_t kind) override { return inner_->tags(kind); }
    std::optional<uint64_t> filePosition(uint32_t mode) const override { return inner_->filePosition(mode); }

private:
    std::unique_ptr<Source> inner_;
};

// The first bytes of the file or memory region, enough to hold the ASF header object.
std::vector<uint8_t> headerBytes(bool mem, const void* file, uint64_t offset, uint64_t length) {
    std::vector<uint8_t> bytes(aubadine::basswma::kAsfHeaderPrefix);
    auto want = [&](uint64_t declared) {
        uint64_t n = std::min(declared, kMaxHeaderBytes);
        if (length) n = std::min(n, length);
        return static_cast<size_t>(std::max<uint64_t>(n, bytes.size()));
    };
    if (mem) {
        const auto* p = static_cast<const uint8_t*>(file) + offset;
        const size_t first = static_cast<size_t>(std::min<uint64_t>(length, bytes.size()));
        bytes.assign(p, p + first);
        const auto check = inspectAsfHeader(bytes.data(), bytes.size());
        if (check.asf) bytes.assign(p, p + std::min<size_t>(want(check.headerSize), static_cast<size_t>(length)));
        return bytes;
    }
    std::ifstream in(static_cast<const char*>(file), std::ios::binary);
    if (!in) fail(BASS_ERROR_FILEOPEN);
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    const auto check = inspectAsfHeader(bytes.data(), bytes.size());
    if (check.asf) {
        bytes.resize(want(check.headerSize));
        in.clear();
        in.seekg(static_cast<std::streamoff>(offset));
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<size_t>(in.gcount()));
    }
    return bytes;
}

HSTREAM createFileStream(bool mem, const void* file, DWORD offset, DWORD length, DWORD flags) {
    if (!file) fail(BASS_ERROR_FILEOPEN);
    if (mem && length == 0) fail(BASS_ERROR_ILLPARAM);
    if (BASS_GetDevice() == DWORD(-1)) fail(BASS_ERROR_INIT);
    const auto header = headerBytes(mem, file, offset, length);
    const auto check = inspectAsfHeader(header.data(), header.size());
    if (!check.asf) fail(BASS_ERROR_FILEFORM);
    if (check.protectedContent) fail(BASS_ERROR_WMA_LICENSE);
    auto source = std::make_unique<WmaSource>(openFileSource(mem, file, offset, length));
    return createChannel(std::move(source), flags, ChannelKind::Stream);
}

// An address ("mms://", "http://", ...) read by libbass's network reader, which downloads
// it on its own thread; FFmpeg's ASF demuxer and WMA decoders do the rest.
HSTREAM createNetworkStream(bool mem, const void* file, DWORD offset, DWORD flags) {
    if (!file) fail(BASS_ERROR_FILEOPEN);
    if (mem) fail(BASS_ERROR_ILLPARAM);
    if (BASS_GetDevice() == DWORD(-1)) fail(BASS_ERROR_INIT);
    auto source = std::make_unique<WmaSource>(
        openNetworkSource(static_cast<const char*>(file), offset, flags & BASS_STREAM_META, nullptr, nullptr));
    // Flag 4 names an address here; it is not BASS_SAMPLE_LOOP.
    return createChannel(std::move(source), flags & ~DWORD{BASS_WMA_NETWORK}, ChannelKind::Stream);
}

}  // namespace

extern "C" {

BASSDEF HSTREAM BASS_WMA_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags) {
    return boundary<HSTREAM>(0, [&]() -> HSTREAM {
        if (flags & BASS_WMA_NETWORK) return createNetworkStream(mem != 0, file, offset, flags);
        return createFileStream(mem != 0, file, offset, length, flags);
    });
}

BASSDEF HSTREAM BASS_WMA_StreamCreateFileUser(BOOL, DWORD, STREAMFILEPROC*, void*) { return unavailable<HSTREAM>(0); }
BASSDEF void* BASS_WMA_GetIWMReader(HSTREAM) { return unavailable<void*>(nullptr); }
BASSDEF const DWORD* BASS_WMA_EncodeGetRates(DWORD, DWORD, DWORD) { return unavailable<const DWORD*>(nullptr); }
BASSDEF HWMENCODE BASS_WMA_EncodeOpen(DWORD, DWORD, DWORD, DWORD, WMENCODEPROC*, void*) {
    return unavailable<HWMENCODE>(0);
}
BASSDEF HWMENCODE BASS_WMA_EncodeOpenFile(DWORD, DWORD, DWORD, DWORD, const char*) { return unavailable<HWMENCODE>(0); }
BASSDEF HWMENCODE BASS_WMA_EncodeOpenNetwork(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) {
    return unavailable<HWMENCODE>(0);
}
BASSDEF HWMENCODE BASS_WMA_EncodeOpenPublish(DWORD, DWORD, DWORD, DWORD, const char*, const char*, const char*) {
    return unavailable<HWMENCODE>(0);
}
BASSDEF DWORD BASS_WMA_EncodeGetPort(HWMENCODE) { return unavailable<DWORD>(0); }
BASSDEF BOOL BASS_WMA_EncodeSetNotify(HWMENCODE, CLIENTCONNECTPROC*, void*) { return unavailable<BOOL>(FALSE); }
BASSDEF DWORD BASS_WMA_EncodeGetClients(HWMENCODE) { return unavailable<DWORD>(DWORD(-1)); }
BASSDEF BOOL BASS_WMA_EncodeSetTag(HWMENCODE, const char*, const char*) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_WMA_EncodeWrite(HWMENCODE, const void*, DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_WMA_EncodeClose(HWMENCODE) { return unavailable<BOOL>(FALSE); }

}  // extern "C"

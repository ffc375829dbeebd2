// Network streams: a download thread reads the address through FFmpeg's protocols (http,
// https, ftp, mmsh, mmst) into memory, and the file decoder reads that memory forward while
// it comes in. A file is kept whole; once it is all in, a second decoder is opened on the
// complete bytes (exact length, tags at the end, seeking) and takes over at the frame the
// first one had reached. A live broadcast goes through a bounded buffer, and its in-band
// Shoutcast metadata is picked up from FFmpeg's http protocol as it arrives.
#include "Library.h"
#include "NetTags.h"
#include "Sources.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
}

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace aubadine::bass {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kChunkBytes = 16 * 1024;
// A live broadcast's buffer: about half a minute of a 128 kbit/s station. The download waits
// (and the server with it) while it is full, e.g. while the channel is paused.
constexpr size_t kLiveBufferBytes = 512 * 1024;
// What a live buffer keeps behind the decoder, for FFmpeg's short backward seeks.
constexpr size_t kLiveKeepBytes = 64 * 1024;
// Bytes that must be in ahead of the decoder before it decodes more while a download runs,
// so that the mixer thread never waits for the network.
constexpr uint64_t kReadAheadBytes = 8 * 1024;
// FFmpeg cuts addresses longer than this, which would ask the server for another file.
constexpr size_t kLongestAddress = 4000;

std::string lowerScheme(std::string url) {
    const size_t end = url.find("://");
    for (size_t i = 0; i < end && i < url.size(); ++i)
        url[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(url[i])));
    return url;
}

bool hasScheme(const std::string& url, const char* scheme) { return url.rfind(scheme, 0) == 0; }

// The library's failure code for what FFmpeg's protocols answered.
int errorFor(int averror) {
    switch (averror) {
    case AVERROR_EXIT:  // our watchdog: no answer in time
    case AVERROR(ECONNREFUSED):
    case AVERROR(ETIMEDOUT):
    case AVERROR(EHOSTUNREACH):
    case AVERROR(ENETUNREACH):
    case AVERROR(ECONNRESET):
    case AVERROR(EPIPE):
    case AVERROR(EADDRNOTAVAIL):
        return BASS_ERROR_NONET;
    case AVERROR_PROTOCOL_NOT_FOUND: return BASS_ERROR_NOTAVAIL;
    default: return BASS_ERROR_FILEOPEN;  // HTTP 4xx/5xx, too many redirects, ftp refusals, ...
    }
}

std::string optionText(AVIOContext* io, const char* name) {
    uint8_t* value = nullptr;
    if (av_opt_get(io, name, AV_OPT_SEARCH_CHILDREN, &value) < 0 || !value) return {};
    std::string text(reinterpret_cast<const char*>(value));
    av_free(value);
    return text;
}

// Metadata texts handed to META syncs: the sync gets the address, and the callback may run
// after the stream is gone, so the last few texts of the whole process stay alive.
const char* keepMetaText(const std::string& text) {
    static std::mutex lock;
    static auto* kept = new std::deque<std::string>;  // never destroyed: callbacks may run at exit
    std::lock_guard guard(lock);
    kept->push_back(text);
    if (kept->size() > 64) kept->pop_front();
    return kept->back().c_str();
}

// One download, shared by the source and the byte input its decoders read.
class Download {
public:
    Download(const std::string& url, uint64_t offset, DWORD flags, DOWNLOADPROC* proc, void* user)
        : proc_(proc), user_(user), timeout_(std::chrono::milliseconds(std::max<uint32_t>(config().netTimeoutMs, 100))) {
        connect(url, offset, flags);
        thread_ = std::thread([this] { run(); });
    }

    ~Download() {
        stopping_ = true;  // FFmpeg gives up at once
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
        prepared_.reset();  // reads data_
        if (io_) avio_closep(&io_);
    }

    Download(const Download&) = delete;
    Download& operator=(const Download&) = delete;

    bool live() const { return live_; }
    const char* format() const { return format_; }
    const std::string& httpHeaders() const { return httpHeaders_; }
    const std::string& icyHeaders() const { return icyHeaders_; }
    // The size the server gave (less the offset), when it gave one.
    std::optional<uint64_t> announcedSize() const { return total_; }

    // Reads up to n bytes at pos, waiting (at most the network timeout) for bytes that are
    // on their way; 0 at the end, after a failure, or for bytes a live buffer let go.
    size_t read(uint64_t pos, void* buffer, size_t n) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout_, [&] { return stop_ || ended_ || pos < end(); });
        if (pos < base_ || pos >= end()) return 0;
        n = static_cast<size_t>(std::min<uint64_t>(n, end() - pos));
        std::memcpy(buffer, data_.data() + (pos - base_), n);
        if (live_ && pos + n > base_ + kLiveKeepBytes) {
            // Let go of what lies well behind the decoder, and wake the download if it waits.
            const size_t drop = static_cast<size_t>(pos + n - kLiveKeepBytes - base_);
            if (drop >= kChunkBytes) {
                data_.erase(data_.begin(), data_.begin() + static_cast<ptrdiff_t>(drop));
                base_ += drop;
                changed_.notify_all();
            }
        }
        return n;
    }

    uint64_t downloaded() const {
        std::lock_guard lock(mutex_);
        return end();
    }
    // No more bytes will come (the end, a failure or a stop).
    bool ended() const {
        std::lock_guard lock(mutex_);
        return ended_;
    }
    // The whole file is in (never for a live broadcast), and the decoder for the complete
    // bytes has been tried.
    bool complete() const {
        std::lock_guard lock(mutex_);
        return complete_;
    }
    // Why nothing at all came: the failure code for it (the server refused what it had
    // seemed to accept: an ftp file that is not there), or 0 when bytes came.
    int nothingCame() const {
        std::lock_guard lock(mutex_);
        if (!ended_ || end() > 0 || stop_) return 0;
        return endError_ == AVERROR_EOF ? BASS_ERROR_FILEFORM : errorFor(endError_);
    }
    // The whole file came and its decoder is being made: waits (briefly) until it is.
    void awaitComplete() {
        std::unique_lock lock(mutex_);
        if (allIn_) changed_.wait_for(lock, std::chrono::seconds(2), [&] { return complete_; });
    }
    bool allIn() const {
        std::lock_guard lock(mutex_);
        return allIn_;
    }
    // The decoder of the complete file, once (null when it could not be made).
    std::unique_ptr<Source> takePrepared() {
        std::lock_guard lock(mutex_);
        return std::move(prepared_);
    }
    // The current in-band metadata and a number that changes with each new text.
    std::pair<std::string, uint32_t> meta() const {
        std::lock_guard lock(mutex_);
        return {meta_, metaSerial_};
    }

private:
    uint64_t end() const { return base_ + data_.size(); }

    static int interrupted(void* opaque) {
        auto* self = static_cast<Download*>(opaque);
        if (self->stopping_.load(std::memory_order_relaxed)) return 1;
        const auto since = Clock::now().time_since_epoch().count() - self->progress_.load(std::memory_order_relaxed);
        return since > std::chrono::duration_cast<Clock::duration>(self->timeout_).count() ? 1 : 0;
    }

    void madeProgress() { progress_.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed); }

    void connect(const std::string& address, uint64_t offset, DWORD flags) {
        std::vector<std::string> tries;
        if (hasScheme(address, "mms://")) {
            // Windows Media servers speak mms over http first, then over tcp.
            tries = {"mmsh://" + address.substr(6), "mmst://" + address.substr(6)};
        } else {
            tries = {address};
        }
        int rc = AVERROR(EINVAL);
        for (const std::string& url : tries) {
            AVDictionary* options = nullptr;
            av_dict_set(&options, "protocol_whitelist", "http,https,tls,tcp,ftp,mmsh,mmst,crypto", 0);
            av_dict_set(&options, "user_agent", "Aubadine", 0);
            av_dict_set(&options, "icy", (flags & BASS_STREAM_META) ? "1" : "0", 0);
            av_dict_set(&options, "reconnect", "0", 0);
            if (offset && (hasScheme(url, "http://") || hasScheme(url, "https://")))
                av_dict_set_int(&options, "offset", static_cast<int64_t>(offset), 0);
            const AVIOInterruptCB watchdog{&Download::interrupted, this};
            madeProgress();
            rc = avio_open2(&io_, url.c_str(), AVIO_FLAG_READ, &watchdog, &options);
            av_dict_free(&options);
            if (rc >= 0) break;
        }
        if (rc < 0) fail(errorFor(rc));

        const bool http = hasScheme(address, "http://") || hasScheme(address, "https://");
        const int64_t size = avio_size(io_);
        if (size > 0) {
            if (!http && offset) {
                if (avio_seek(io_, static_cast<int64_t>(offset), SEEK_SET) < 0) {
                    avio_closep(&io_);
                    fail(BASS_ERROR_FILEOPEN);
                }
            }
            total_ = static_cast<uint64_t>(size) > offset ? static_cast<uint64_t>(size) - offset : 0;
        }
        const std::string contentType = optionText(io_, "mime_type");
        const std::string icy = optionText(io_, "icy_metadata_headers");
        std::string location = optionText(io_, "location");
        if (location == address) location.clear();
        icyHeaders_ = net::icyHeaderList(icy);
        if (http) httpHeaders_ = net::httpHeaderList(contentType, total_, location, icy);
        format_ = net::formatForContentType(contentType);
        live_ = !icyHeaders_.empty() || (!total_ && !net::namesAudioFile(address));
        meta_ = net::metaText(optionText(io_, "icy_metadata_packet"));
    }

    void run() {
        std::vector<uint8_t> chunk(kChunkBytes);
        if (!live_ && total_) {
            // The file's announced size, within reason (a server may claim anything).
            std::lock_guard lock(mutex_);
            data_.reserve(static_cast<size_t>(std::min<uint64_t>(*total_, 64u << 20)));
        }
        bool whole = false;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                if (live_ && data_.size() >= kLiveBufferBytes) {
                    changed_.wait(lock, [&] { return stop_ || data_.size() < kLiveBufferBytes; });
                    madeProgress();  // the wait was ours, not the server's
                }
                if (stop_) break;
            }
            const int got = avio_read_partial(io_, chunk.data(), static_cast<int>(chunk.size()));
            if (got == 0) continue;
            if (got < 0) {
                // The end, or the connection failed. A file with a known size is whole when
                // all of it came; without one, the end of the connection is the end of the
                // file (FFmpeg calls even a regular close an error then).
                std::lock_guard lock(mutex_);
                endError_ = got;
                whole = !stop_ && !live_ && got != AVERROR_EXIT && (total_ ? end() >= *total_ : true);
                break;
            }
            madeProgress();
            std::string meta;
            if (live_) meta = net::metaText(optionText(io_, "icy_metadata_packet"));
            if (proc_) proc_(chunk.data(), static_cast<DWORD>(got), user_);
            {
                std::lock_guard lock(mutex_);
                data_.insert(data_.end(), chunk.begin(), chunk.begin() + got);
                if (live_ && meta != meta_ && !meta.empty()) {
                    meta_ = std::move(meta);
                    ++metaSerial_;
                }
            }
            changed_.notify_all();
        }
        {
            std::lock_guard lock(mutex_);
            ended_ = true;
            allIn_ = whole && !data_.empty();
        }
        changed_.notify_all();
        if (proc_) proc_(nullptr, 0, user_);
        if (!whole || data_.empty()) return;
        // data_ no longer changes: the second decoder reads it in place.
        std::unique_ptr<Source> prepared;
        try {
            prepared = openFileSource(true, data_.data(), 0, data_.size());
        } catch (...) {
            // keeps playing through the first decoder, without exact length or seeking
        }
        {
            std::lock_guard lock(mutex_);
            prepared_ = std::move(prepared);
            complete_ = true;
        }
        changed_.notify_all();
    }

    DOWNLOADPROC* const proc_;
    void* const user_;
    const std::chrono::milliseconds timeout_;
    AVIOContext* io_ = nullptr;
    std::atomic<bool> stopping_{false};
    std::atomic<Clock::rep> progress_{0};

    bool live_ = false;
    const char* format_ = nullptr;
    std::optional<uint64_t> total_;
    std::string httpHeaders_, icyHeaders_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    bool ended_ = false;
    bool allIn_ = false;     // the whole file came
    bool complete_ = false;
    std::vector<uint8_t> data_;
    uint64_t base_ = 0;  // download position of data_[0]
    int endError_ = 0;   // what the last read answered
    std::string meta_;
    uint32_t metaSerial_ = 0;
    std::unique_ptr<Source> prepared_;
    std::thread thread_;
};

// What the first decoder reads: the download, forward.
class DownloadInput final : public ByteInput {
public:
    explicit DownloadInput(std::shared_ptr<Download> download) : download_(std::move(download)) {}
    std::optional<uint64_t> knownSize() const override { return download_->announcedSize(); }
    size_t read(uint64_t pos, void* buffer, size_t n) const override { return download_->read(pos, buffer, n); }
    bool seekable() const override { return false; }
    const char* formatName() const override { return download_->format(); }

private:
    std::shared_ptr<Download> download_;
};

class NetworkSource final : public Source {
public:
    NetworkSource(const std::string& url, uint64_t offset, DWORD flags, DOWNLOADPROC* proc, void* user)
        : download_(std::make_shared<Download>(url, offset, flags, proc, user)) {
        if (download_->complete()) decoder_ = download_->takePrepared();
        if (decoder_) {
            swapped_ = true;
        } else {
            try {
                decoder_ = openDecoder(std::make_unique<DownloadInput>(download_));
            } catch (const Failure&) {
                if (const int why = download_->nothingCame()) fail(why);
                throw;
            }
        }
        format_ = decoder_->format();
        metaSerial_ = download_->meta().second;
    }

    SourceFormat format() const override { return format_; }

    void attach(DWORD channel) override { channel_ = channel; }

    size_t read(int16_t* out, size_t frames, ReadStatus& status) override {
        // The first decoder does not play the end of a file: it hands over to the decoder of
        // the complete bytes, which trims the end exactly, as soon as that one is made.
        if (!swapped_ && download_->allIn()) download_->awaitComplete();
        deliverEvents();
        if (!swapped_ && !download_->ended()) {
            const uint64_t at = decoder_->filePosition(BASS_FILEPOS_CURRENT).value_or(0);
            if (download_->downloaded() < at + kReadAheadBytes) {
                status = ReadStatus::Stalled;  // the mixer asks again shortly
                return 0;
            }
        }
        const size_t n = decoder_->read(out, frames, status);
        position_ += n;
        return n;
    }

    std::optional<uint64_t> lengthFrames() const override {
        if (download_->live()) return std::nullopt;
        return decoder_->lengthFrames();
    }

    bool seek(uint64_t frame) override {
        deliverEvents();
        if (!swapped_) return frame == position_;  // no seeking while the file comes in
        if (!decoder_->seek(frame)) return false;
        position_ = frame;
        return true;
    }

    const char* tags(uint32_t kind) override {
        switch (kind) {
        case BASS_TAG_HTTP: return download_->httpHeaders().empty() ? nullptr : download_->httpHeaders().c_str();
        case BASS_TAG_ICY: return download_->icyHeaders().empty() ? nullptr : download_->icyHeaders().data();
        case BASS_TAG_META:
            meta_ = download_->meta().first;
            return meta_.empty() ? nullptr : meta_.c_str();
        default: return decoder_->tags(kind);
        }
    }

    std::optional<uint64_t> filePosition(uint32_t mode) const override {
        switch (mode) {
        case BASS_FILEPOS_CURRENT: return decoder_->filePosition(BASS_FILEPOS_CURRENT).value_or(0);
        case BASS_FILEPOS_DOWNLOAD: return download_->downloaded();
        case BASS_FILEPOS_END:
            if (auto size = download_->announcedSize()) return size;
            if (download_->complete()) return download_->downloaded();
            return kUnknownFileSize;
        case BASS_FILEPOS_START: return swapped_ ? decoder_->filePosition(BASS_FILEPOS_START) : uint64_t{0};
        default: return std::nullopt;
        }
    }

private:
    // Syncs for what the download brought (on the thread that decodes, so that the
    // download thread never holds the channel): new metadata, and the completed file, after
    // the decoder of the complete bytes took over.
    void deliverEvents() {
        if (!channel_) return;
        if (download_->live()) {
            auto [text, serial] = download_->meta();
            if (serial != metaSerial_) {
                metaSerial_ = serial;
                fireChannelSyncs(channel_, BASS_SYNC_META, reinterpret_cast<uintptr_t>(keepMetaText(text)));
            }
            return;
        }
        if (downloadFired_ || !download_->complete()) return;
        downloadFired_ = true;
        if (!swapped_) {
            auto whole = download_->takePrepared();
            const SourceFormat f = whole ? whole->format() : SourceFormat{};
            if (whole && f.rate == format_.rate && f.channels == format_.channels && catchUp(*whole)) {
                decoder_ = std::move(whole);
                swapped_ = true;
            }
        }
        fireChannelSyncs(channel_, BASS_SYNC_DOWNLOAD, 0);
    }

    // Brings the decoder of the complete file to position_ without a click: it starts a few
    // MPEG frames earlier and decodes up to it, so that the frame at position_ is decoded with
    // everything it draws on from the frames before (bit reservoir, overlap).
    bool catchUp(Source& whole) {
        constexpr uint64_t kPreroll = 4 * 1152;
        const uint64_t from = position_ > kPreroll ? position_ - kPreroll : 0;
        if (!whole.seek(from)) return false;
        std::vector<int16_t> scratch(1024 * format_.channels);
        for (uint64_t at = from; at < position_;) {
            ReadStatus status = ReadStatus::Ok;
            const size_t n = whole.read(scratch.data(), static_cast<size_t>(std::min<uint64_t>(1024, position_ - at)), status);
            at += n;
            if (n == 0 || status == ReadStatus::Ended) return at == position_;
        }
        return true;
    }

    std::shared_ptr<Download> download_;
    std::unique_ptr<Source> decoder_;
    SourceFormat format_;
    DWORD channel_ = 0;
    uint64_t position_ = 0;  // frames handed out, from the start or the last seek
    bool swapped_ = false;   // decoder_ reads the complete file
    bool downloadFired_ = false;
    uint32_t metaSerial_ = 0;
    std::string meta_;
};

}  // namespace

std::unique_ptr<Source> openNetworkSource(const char* url, uint64_t offset, DWORD flags, DOWNLOADPROC* proc,
                                          void* user) {
    if (!url) fail(BASS_ERROR_ILLPARAM);
    const std::string address = lowerScheme(url);
    if (address.size() > kLongestAddress) fail(BASS_ERROR_ILLPARAM);
    bool known = false;
    for (const char* scheme : {"http://", "https://", "ftp://", "mms://", "mmsh://", "mmst://"})
        known = known || hasScheme(address, scheme);
    if (!known) fail(BASS_ERROR_ILLPARAM);
    return std::make_unique<NetworkSource>(address, offset, flags, proc, user);
}

}  // namespace aubadine::bass

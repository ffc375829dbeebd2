// Local files (MP1/MP2/MP3, Ogg Vorbis, WAV and whatever else FFmpeg decodes), read through
// a small AVIO adapter over the file region so that offset and length are honoured and only
// what is being decoded is in memory. Network streams decode through the same source, over
// their download (a ByteInput that is read forward only while it is coming in).
#include "FileRegion.h"
#include "fileinfo/ID3v2TagSize.h"
#include "Sources.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace aubadine::bass {
namespace {

constexpr int kIoBufferBytes = 32 * 1024;

struct FormatCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct IoCloser {
    void operator()(AVIOContext* io) const {
        if (io) av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct PacketCloser {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameCloser {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct SwrCloser {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

uint32_t streamType(AVCodecID codec, const char* container) {
    switch (codec) {
    case AV_CODEC_ID_MP1: return BASS_CTYPE_STREAM_MP1;
    case AV_CODEC_ID_MP2: return BASS_CTYPE_STREAM_MP2;
    case AV_CODEC_ID_MP3: return BASS_CTYPE_STREAM_MP3;
    case AV_CODEC_ID_VORBIS: return BASS_CTYPE_STREAM_OGG;
    default: break;
    }
    if (container && std::strcmp(container, "wav") == 0) return BASS_CTYPE_STREAM_WAV;
    return BASS_CTYPE_STREAM;
}

class FileSource final : public Source {
public:
    FileSource(bool mem, const void* file, uint64_t offset, uint64_t length)
        : FileSource(std::make_unique<FileRegion>(mem, file, offset, length)) {}

    explicit FileSource(std::unique_ptr<ByteInput> input) : input_(std::move(input)) {
        if (!input_->seekable()) {
            // Forward only: read once from the start; the length is what the container says.
            open();
            return;
        }
        readTags();
        open();
        if (format_.ctype >= BASS_CTYPE_STREAM_MP1 && format_.ctype <= BASS_CTYPE_STREAM_MP3) {
            if (auto exact = scanMpegLength()) {
                open();  // back to the start, as freshly opened
                length_ = exact;
            } else {
                open();
            }
        }
        // A file whose length nothing declares (an empty WAV, for one) is known to be empty
        // when not even one frame decodes; a frame that does decode waits in pending_.
        if (!length_ && !decodeMore()) length_ = 0;
    }

    SourceFormat format() const override { return format_; }
    const ByteInput& region() const { return *input_; }
    bool isOgg() const { return ogg_; }

    size_t read(int16_t* out, size_t frames, ReadStatus& status) override {
        size_t done = 0;
        const size_t ch = format_.channels;
        while (done < frames) {
            if (pendingHead_ < pendingFrames()) {
                const size_t n = std::min(frames - done, pendingFrames() - pendingHead_);
                std::copy_n(pending_.data() + pendingHead_ * ch, n * ch, out + done * ch);
                pendingHead_ += n;
                done += n;
                continue;
            }
            if (!decodeMore()) {
                status = ReadStatus::Ended;
                break;
            }
        }
        return done;
    }

    std::optional<uint64_t> lengthFrames() const override { return length_; }

    // Ogg: where the stream's final page begins, as a granule position (see seek()).
    void setFinalPageGranule(int64_t granule) { finalPageGranule_ = granule; }

    bool seek(uint64_t frame) override {
        if (length_ && frame > *length_) return false;
        // FFmpeg's Ogg demuxer gives wrong timestamps after a seek that lands on the stream's
        // final page (its first-packet reckoning skips end-of-stream pages). A frame on that
        // page is reached from the page before, decoding on up to it.
        uint64_t from = frame;
        if (ogg_ && finalPageGranule_ > 0) {
            const int64_t start = stream_->start_time != AV_NOPTS_VALUE
                                      ? av_rescale_q(stream_->start_time, stream_->time_base,
                                                     AVRational{1, static_cast<int>(format_.rate)})
                                      : 0;
            const int64_t finalPage = finalPageGranule_ - start;
            if (finalPage > 0 && static_cast<int64_t>(frame) >= finalPage) from = static_cast<uint64_t>(std::max<int64_t>(0, finalPage - 4096));
        }
        const AVRational tb = stream_->time_base;
        int64_t ts = av_rescale_q(static_cast<int64_t>(from), AVRational{1, static_cast<int>(format_.rate)}, tb);
        if (stream_->start_time != AV_NOPTS_VALUE) ts += stream_->start_time;
        if (avformat_seek_file(format_ctx_.get(), stream_->index, INT64_MIN, ts, ts, 0) < 0 &&
            avformat_seek_file(format_ctx_.get(), stream_->index, INT64_MIN, ts, ts, AVSEEK_FLAG_ANY) < 0) {
            if (frame != 0) return false;
            // Unseekable at the start: reopen (the exact length found at first stays).
            const auto length = length_;
            open();
            length_ = length;
            return true;
        }
        avcodec_flush_buffers(codec_.get());
        pending_.clear();
        pendingHead_ = 0;
        drained_ = false;
        eof_ = false;
        skipTo_ = static_cast<int64_t>(frame);
        next_ = -1;  // known again from the next decoded frame's timestamp
        return true;
    }

    const char* tags(uint32_t kind) override {
        switch (kind) {
        case BASS_TAG_ID3: return id3v1_.empty() ? nullptr : id3v1_.data();
        case BASS_TAG_ID3V2: return id3v2_.empty() ? nullptr : id3v2_.data();
        case BASS_TAG_OGG: return oggComments_.empty() ? nullptr : oggComments_.data();
        default: return nullptr;
        }
    }

    std::optional<uint64_t> filePosition(uint32_t mode) const override {
        switch (mode) {
        case BASS_FILEPOS_CURRENT: return std::min(ioPos_, input_->knownSize().value_or(ioPos_));
        case BASS_FILEPOS_DOWNLOAD:
        case BASS_FILEPOS_END: return input_->knownSize();
        case BASS_FILEPOS_START: return audioStart_;
        default: return std::nullopt;
        }
    }

private:
    size_t pendingFrames() const { return pending_.size() / format_.channels; }

    static int readPacket(void* opaque, uint8_t* buf, int size) {
        auto* self = static_cast<FileSource*>(opaque);
        const size_t got = self->input_->read(self->ioPos_, buf, static_cast<size_t>(size));
        self->ioPos_ += got;
        return got == 0 ? AVERROR_EOF : static_cast<int>(got);
    }

    static int64_t seekIo(void* opaque, int64_t offset, int whence) {
        auto* self = static_cast<FileSource*>(opaque);
        const auto known = self->input_->knownSize();
        const int64_t size = known ? static_cast<int64_t>(*known) : -1;
        int64_t to = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return size;
        case SEEK_SET: to = offset; break;
        case SEEK_CUR: to = static_cast<int64_t>(self->ioPos_) + offset; break;
        case SEEK_END:
            if (size < 0) return -1;
            to = size + offset;
            break;
        default: return -1;
        }
        if (to < 0) return -1;
        self->ioPos_ = static_cast<uint64_t>(to);
        return to;
    }

    void readTags() {
        const uint64_t size = input_->knownSize().value_or(0);
        if (size >= 128) {
            std::string tag(128, '\0');
            if (input_->read(size - 128, tag.data(), 128) == 128 && tag.compare(0, 3, "TAG") == 0) id3v1_ = tag;
        }
        // The same rule as the player's file readers, so both agree on where the audio starts.
        uint8_t header[fileinfo_id3v2::kHeaderSize];
        const auto total = input_->read(0, header, sizeof header) == sizeof header
                               ? static_cast<uint64_t>(fileinfo_id3v2::TagSize(header, static_cast<int64_t>(size)))
                               : 0;
        if (total > 0) {
            id3v2_.assign(static_cast<size_t>(total), '\0');
            id3v2_.resize(input_->read(0, id3v2_.data(), id3v2_.size()));
            audioStart_ = total;
        }
    }

    void open() {
        format_ctx_.reset();
        io_.reset();
        codec_.reset();
        ioPos_ = 0;
        auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
        if (!buffer) fail(BASS_ERROR_MEM);
        io_.reset(avio_alloc_context(buffer, kIoBufferBytes, 0, this, &FileSource::readPacket, nullptr,
                                     &FileSource::seekIo));
        if (!io_) {
            av_free(buffer);
            fail(BASS_ERROR_MEM);
        }
        AVFormatContext* ctx = avformat_alloc_context();
        if (!ctx) fail(BASS_ERROR_MEM);
        ctx->pb = io_.get();
        ctx->flags |= AVFMT_FLAG_CUSTOM_IO;
        const AVInputFormat* forced = nullptr;
        if (!input_->seekable()) {
            // A download: never look at its end, and start after a short look at its head.
            io_->seekable = 0;
            ctx->probesize = 64 * 1024;
            ctx->max_analyze_duration = AV_TIME_BASE / 2;
            if (input_->formatName()) forced = av_find_input_format(input_->formatName());
        }
        if (avformat_open_input(&ctx, nullptr, forced, nullptr) < 0) fail(BASS_ERROR_FILEFORM);
        format_ctx_.reset(ctx);
        // Plain PCM (WAV, AIFF, ...) is described whole by its header; looking at its packets
        // would read megabytes (the whole of a short file) before the first sound.
        auto describedByHeader = [ctx] {
            if (ctx->nb_streams != 1) return false;
            const AVCodecParameters* p = ctx->streams[0]->codecpar;
            return p->codec_type == AVMEDIA_TYPE_AUDIO && p->codec_id >= AV_CODEC_ID_PCM_S16LE &&
                   p->codec_id < AV_CODEC_ID_ADPCM_IMA_QT && p->sample_rate > 0 && p->ch_layout.nb_channels > 0 &&
                   av_get_bits_per_sample(p->codec_id) > 0;
        };
        if (!describedByHeader() && avformat_find_stream_info(ctx, nullptr) < 0) fail(BASS_ERROR_FILEFORM);
        const AVCodec* decoder = nullptr;
        const int index = av_find_best_stream(ctx, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
        if (index < 0) fail(index == AVERROR_DECODER_NOT_FOUND ? BASS_ERROR_CODEC : BASS_ERROR_FILEFORM);
        stream_ = ctx->streams[index];
        for (unsigned i = 0; i < ctx->nb_streams; ++i)
            if (static_cast<int>(i) != index) ctx->streams[i]->discard = AVDISCARD_ALL;
        codec_.reset(avcodec_alloc_context3(decoder));
        if (!codec_ || avcodec_parameters_to_context(codec_.get(), stream_->codecpar) < 0) fail(BASS_ERROR_MEM);
        // Ogg declares its exact length in the granule position of its last page. FFmpeg's own
        // trimming of the last packet sometimes cuts 128 frames too many, so the decoder leaves
        // the end alone here and read() stops at the declared length itself.
        ogg_ = std::strcmp(ctx->iformat->name, "ogg") == 0;
        if (ogg_) codec_->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
        if (avcodec_open2(codec_.get(), decoder, nullptr) < 0) fail(BASS_ERROR_CODEC);
        const int channels = codec_->ch_layout.nb_channels;
        if (channels < 1 || channels > 8 || codec_->sample_rate <= 0) fail(BASS_ERROR_FORMAT);

        format_.rate = static_cast<uint32_t>(codec_->sample_rate);
        format_.channels = static_cast<uint32_t>(channels);
        format_.flags = codec_->codec_id == AV_CODEC_ID_PCM_U8 ? BASS_SAMPLE_8BITS : 0;
        format_.ctype = streamType(codec_->codec_id, ctx->iformat ? ctx->iformat->name : nullptr);
        const AVRational perFrame{1, codec_->sample_rate};
        length_.reset();
        if (stream_->duration > 0 && stream_->duration != AV_NOPTS_VALUE)
            length_ = static_cast<uint64_t>(av_rescale_q(stream_->duration, stream_->time_base, perFrame));
        else if (ctx->duration > 0 && ctx->duration != AV_NOPTS_VALUE)
            length_ = static_cast<uint64_t>(av_rescale_q(ctx->duration, AV_TIME_BASE_Q, perFrame));
        if (format_.ctype == BASS_CTYPE_STREAM_OGG || std::strcmp(ctx->iformat->name, "ogg") == 0) readComments();

        packet_.reset(av_packet_alloc());
        frame_.reset(av_frame_alloc());
        if (!packet_ || !frame_) fail(BASS_ERROR_MEM);
        pending_.clear();
        pendingHead_ = 0;
        drained_ = eof_ = false;
        skipTo_ = -1;
        next_ = 0;
        convertFor_ = -1;
        convert_.reset();
    }

    // MPEG audio files carry their encoder delay and padding in a header that FFmpeg turns
    // into skip and discard side data on the first and the last packets; the exact length
    // needs both, so read the first packets and the last few seconds' packets.
    std::optional<uint64_t> scanMpegLength() {
        AVFormatContext* ctx = format_ctx_.get();
        AVPacket* pkt = packet_.get();
        auto skipData = [](const AVPacket* p, int at) -> int64_t {
            size_t size = 0;
            const uint8_t* d = av_packet_get_side_data(p, AV_PKT_DATA_SKIP_SAMPLES, &size);
            if (!d || size < 10) return 0;
            return int64_t{d[at]} | (int64_t{d[at + 1]} << 8) | (int64_t{d[at + 2]} << 16) | (int64_t{d[at + 3]} << 24);
        };
        int64_t first = AV_NOPTS_VALUE, skip = 0;
        while (av_read_frame(ctx, pkt) >= 0) {
            const bool ours = pkt->stream_index == stream_->index && pkt->pts != AV_NOPTS_VALUE;
            if (ours) {
                first = pkt->pts;
                skip = skipData(pkt, 0);
            }
            av_packet_unref(pkt);
            if (ours) break;
        }
        if (first == AV_NOPTS_VALUE) return std::nullopt;
        const AVRational perFrame{1, static_cast<int>(format_.rate)};
        const uint64_t tail = 3ull * format_.rate;
        if (length_ && *length_ > tail) {
            const int64_t ts = first + av_rescale_q(static_cast<int64_t>(*length_ - tail), perFrame, stream_->time_base);
            avformat_seek_file(ctx, stream_->index, INT64_MIN, ts, ts, 0);
        }
        int64_t end = AV_NOPTS_VALUE, discard = 0;
        while (av_read_frame(ctx, pkt) >= 0) {
            if (pkt->stream_index == stream_->index && pkt->pts != AV_NOPTS_VALUE) {
                end = std::max(end == AV_NOPTS_VALUE ? pkt->pts : end, pkt->pts + pkt->duration);
                discard = skipData(pkt, 4);
            }
            av_packet_unref(pkt);
        }
        if (end == AV_NOPTS_VALUE) return std::nullopt;
        const int64_t frames = av_rescale_q(end - first, stream_->time_base, perFrame) - skip - discard;
        if (frames <= 0) return std::nullopt;
        return static_cast<uint64_t>(frames);
    }

    void readComments() {
        oggComments_.clear();
        const AVDictionaryEntry* e = nullptr;
        AVDictionary* dict = stream_->metadata ? stream_->metadata : format_ctx_->metadata;
        while ((e = av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX))) {
            if (av_strcasecmp(e->key, "encoder") == 0) continue;  // the vendor text, not a comment
            oggComments_ += e->key;
            oggComments_ += '=';
            oggComments_ += e->value;
            oggComments_ += '\0';
        }
        if (!oggComments_.empty()) oggComments_ += '\0';
    }

    // Decodes one more frame into pending_; false at the end of the audio.
    bool decodeMore() {
        while (!drained_) {
            const int rc = avcodec_receive_frame(codec_.get(), frame_.get());
            if (rc == 0) {
                takeFrame();
                av_frame_unref(frame_.get());
                return true;
            }
            if (rc == AVERROR_EOF) {
                drained_ = true;
                break;
            }
            if (rc != AVERROR(EAGAIN)) return false;
            if (eof_) {
                avcodec_send_packet(codec_.get(), nullptr);
                continue;
            }
            const int got = av_read_frame(format_ctx_.get(), packet_.get());
            if (got < 0) {
                eof_ = true;
                avcodec_send_packet(codec_.get(), nullptr);
                continue;
            }
            if (packet_->stream_index == stream_->index) {
                // A damaged packet is skipped; decoding goes on with the next one.
                avcodec_send_packet(codec_.get(), packet_.get());
            }
            av_packet_unref(packet_.get());
        }
        return false;
    }

    void takeFrame() {
        AVFrame* f = frame_.get();
        if (f->ch_layout.nb_channels != static_cast<int>(format_.channels) || f->sample_rate != static_cast<int>(format_.rate))
            return;  // a change of format inside the stream is not followed
        if (!convert_ || convertFor_ != f->format) {
            SwrContext* s = nullptr;
            if (swr_alloc_set_opts2(&s, &f->ch_layout, AV_SAMPLE_FMT_S16, f->sample_rate, &f->ch_layout,
                                    static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr) < 0 ||
                swr_init(s) < 0) {
                swr_free(&s);
                return;
            }
            convert_.reset(s);
            convertFor_ = f->format;
        }
        // Where this frame starts, in frames from the beginning of the stream.
        int64_t start = next_;
        const int64_t pts = f->best_effort_timestamp;
        if (pts != AV_NOPTS_VALUE && (next_ < 0 || skipTo_ >= 0)) {
            int64_t rel = pts - (stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0);
            start = av_rescale_q(rel, stream_->time_base, AVRational{1, static_cast<int>(format_.rate)});
        }
        if (start < 0) start = next_ < 0 ? (skipTo_ >= 0 ? skipTo_ : 0) : next_;

        // Ogg: the decoder leaves skipping to us (see open()). Frames the stream asks to skip at
        // its start are dropped here; at the end, nothing past the declared length is kept.
        int skip = 0;
        if (ogg_) {
            if (const AVFrameSideData* sd = av_frame_get_side_data(f, AV_FRAME_DATA_SKIP_SAMPLES); sd && sd->size >= 4) {
                const uint8_t* d = sd->data;
                skip = static_cast<int>(std::min<uint32_t>(
                    uint32_t{d[0]} | (uint32_t{d[1]} << 8) | (uint32_t{d[2]} << 16) | (uint32_t{d[3]} << 24),
                    static_cast<uint32_t>(f->nb_samples)));
                if (pts != AV_NOPTS_VALUE && (next_ < 0 || skipTo_ >= 0)) start += skip;
            }
        }

        const size_t ch = format_.channels;
        const size_t at = pending_.size();
        pending_.resize(at + static_cast<size_t>(f->nb_samples) * ch);
        uint8_t* dst = reinterpret_cast<uint8_t*>(pending_.data() + at);
        const int got = swr_convert(convert_.get(), &dst, f->nb_samples, const_cast<const uint8_t**>(f->extended_data),
                                    f->nb_samples);
        int kept = std::max(got - skip, 0);
        if (skip > 0 && kept > 0)
            std::memmove(pending_.data() + at, pending_.data() + at + static_cast<size_t>(skip) * ch,
                         static_cast<size_t>(kept) * ch * sizeof(int16_t));
        if (ogg_ && length_ && start >= 0)
            kept = static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(*length_) - start, 0, kept));
        pending_.resize(at + static_cast<size_t>(kept) * ch);
        next_ = start + kept;
        if (skipTo_ >= 0) {
            // After a seek: drop what lies before the wanted frame.
            const int64_t drop = std::clamp<int64_t>(skipTo_ - start, 0, kept);
            pending_.erase(pending_.begin() + static_cast<ptrdiff_t>(at),
                           pending_.begin() + static_cast<ptrdiff_t>(at + static_cast<size_t>(drop) * ch));
            if (next_ > skipTo_) skipTo_ = -1;
        }
        if (pendingHead_ > 0 && pendingHead_ * ch * 2 > pending_.size()) {
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(pendingHead_ * ch));
            pendingHead_ = 0;
        }
    }

    std::unique_ptr<ByteInput> input_;
    uint64_t ioPos_ = 0;
    uint64_t audioStart_ = 0;
    std::string id3v1_, id3v2_, oggComments_;

    std::unique_ptr<AVIOContext, IoCloser> io_;
    std::unique_ptr<AVFormatContext, FormatCloser> format_ctx_;
    std::unique_ptr<AVCodecContext, CodecCloser> codec_;
    std::unique_ptr<AVPacket, PacketCloser> packet_;
    std::unique_ptr<AVFrame, FrameCloser> frame_;
    std::unique_ptr<SwrContext, SwrCloser> convert_;
    int convertFor_ = -1;
    AVStream* stream_ = nullptr;
    bool ogg_ = false;
    int64_t finalPageGranule_ = -1;

    SourceFormat format_;
    std::optional<uint64_t> length_;
    std::vector<int16_t> pending_;
    size_t pendingHead_ = 0;
    bool eof_ = false, drained_ = false;
    int64_t skipTo_ = -1;
    int64_t next_ = 0;
};

// One logical stream of a chained Ogg file: bytes [start, start + size) of the region.
struct OggLink {
    uint64_t start = 0;
    uint64_t size = 0;
    int64_t finalPageGranule = -1;  // granule at which its final page begins (-1: unknown)
    int64_t lastGranule = -1;
};

// Walks the Ogg page headers of the region and splits it where a new logical stream begins
// (a beginning-of-stream page after pages of another stream), as when internet radio is
// saved to a file. Stops at the first bytes that are not a page (FFmpeg resynchronises
// over damage; the last link then runs to the end of the region).
std::vector<OggLink> findOggLinks(const ByteInput& region) {
    const uint64_t size = region.knownSize().value_or(0);
    std::vector<OggLink> links;
    uint8_t header[27 + 255];
    uint64_t pos = 0;
    bool inBosGroup = false;
    while (pos + 27 <= size) {
        const size_t got = region.read(pos, header, sizeof header);
        if (got < 27 || std::memcmp(header, "OggS", 4) != 0 || header[4] != 0) break;
        const size_t segments = header[26];
        if (got < 27 + segments) break;
        uint64_t body = 0;
        for (size_t i = 0; i < segments; ++i) body += header[27 + i];
        const bool bos = (header[5] & 0x02) != 0;
        if (bos && !inBosGroup) links.push_back({pos, 0});
        inBosGroup = bos;
        if (links.empty()) break;  // data before any stream's first page: not a chain we follow
        uint64_t bits = 0;
        for (int i = 7; i >= 0; --i) bits = (bits << 8) | header[6 + i];
        const auto granule = static_cast<int64_t>(bits);
        if (granule >= 0) {  // -1: no packet ends on this page
            links.back().finalPageGranule = links.back().lastGranule;
            links.back().lastGranule = granule;
        }
        pos += 27 + segments + body;
    }
    for (size_t i = 0; i < links.size(); ++i)
        links[i].size = (i + 1 < links.size() ? links[i + 1].start : size) - links[i].start;
    return links;
}

// A chained Ogg file played as one stream: each link is decoded by its own FileSource over
// its part of the file, one after the other; lengths, positions and seeks cover all links.
// Only the first link and the one playing are open. A link whose rate or channel count
// differs from the first link's ends the stream (a channel keeps one format).
class OggChainSource final : public Source {
public:
    OggChainSource(std::unique_ptr<FileSource> first, std::vector<OggLink> links, bool mem, const void* file,
                   uint64_t offset, uint64_t size)
        : first_(std::move(first)),
          mem_(mem),
          memory_(mem ? file : nullptr),
          path_(mem ? "" : static_cast<const char*>(file)),
          offset_(offset),
          size_(size) {
        const SourceFormat format = first_->format();
        uint64_t at = 0;
        for (size_t i = 0; i < links.size(); ++i) {
            uint64_t frames = 0;
            if (i == 0) {
                frames = first_->lengthFrames().value_or(0);
            } else {
                std::unique_ptr<FileSource> link;
                try {
                    link = openLink(links[i]);
                } catch (const Failure&) {
                    break;  // a damaged link ends the chain
                }
                const SourceFormat f = link->format();
                if (f.rate != format.rate || f.channels != format.channels || f.flags != format.flags) break;
                frames = link->lengthFrames().value_or(0);
            }
            links_.push_back({links[i], at, frames});
            at += frames;
        }
        length_ = at;
    }

    SourceFormat format() const override { return first_->format(); }
    std::optional<uint64_t> lengthFrames() const override { return length_; }

    size_t read(int16_t* out, size_t frames, ReadStatus& status) override {
        const size_t ch = first_->format().channels;
        size_t done = 0;
        while (done < frames) {
            ReadStatus s = ReadStatus::Ok;
            done += current().read(out + done * ch, frames - done, s);
            if (s != ReadStatus::Ended) continue;
            if (index_ + 1 >= links_.size()) {
                status = ReadStatus::Ended;
                break;
            }
            select(index_ + 1);  // freshly opened at its start
        }
        return done;
    }

    bool seek(uint64_t frame) override {
        if (frame > length_) return false;
        size_t k = 0;
        while (k + 1 < links_.size() && frame >= links_[k + 1].first) ++k;
        select(k);
        return current().seek(frame - links_[k].first);
    }

    const char* tags(uint32_t kind) override { return first_->tags(kind); }

    std::optional<uint64_t> filePosition(uint32_t mode) const override {
        if (mode == BASS_FILEPOS_DOWNLOAD || mode == BASS_FILEPOS_END) return size_;
        if (mode != BASS_FILEPOS_CURRENT) return first_->filePosition(mode);
        const FileSource& playing = open_ ? *open_ : *first_;
        return links_[index_].link.start + playing.filePosition(mode).value_or(0);
    }

private:
    struct Link {
        OggLink link;
        uint64_t first;   // the link's first frame in the whole stream
        uint64_t frames;  // its length
    };

    std::unique_ptr<FileSource> openLink(const OggLink& link) const {
        const void* file = mem_ ? memory_ : static_cast<const void*>(path_.c_str());
        auto source = std::make_unique<FileSource>(mem_, file, offset_ + link.start, link.size);
        source->setFinalPageGranule(link.finalPageGranule);
        return source;
    }

    FileSource& current() { return open_ ? *open_ : *first_; }

    void select(size_t k) {
        if (k == index_) return;
        open_.reset();
        if (k > 0) open_ = openLink(links_[k].link);
        index_ = k;
    }

    std::unique_ptr<FileSource> first_;
    std::unique_ptr<FileSource> open_;  // the link playing, when it is not the first
    const bool mem_;
    const void* memory_;
    const std::string path_;
    const uint64_t offset_;
    const uint64_t size_;  // of the whole chain, bytes
    std::vector<Link> links_;
    size_t index_ = 0;
    uint64_t length_ = 0;
};

}  // namespace

void quietFfmpeg() {
    // FFmpeg's chatter about damaged files stays quiet unless the host asked for it.
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_ERROR);
    });
}

std::unique_ptr<Source> openDecoder(std::unique_ptr<ByteInput> input) {
    quietFfmpeg();
    return std::make_unique<FileSource>(std::move(input));
}

std::unique_ptr<Source> openFileSource(bool mem, const void* file, uint64_t offset, uint64_t length) {
    quietFfmpeg();
    auto source = std::make_unique<FileSource>(mem, file, offset, length);
    if (!source->isOgg()) return source;
    auto links = findOggLinks(source->region());
    if (links.size() < 2) {
        if (links.size() == 1 && links[0].size == source->region().knownSize().value_or(0))
            source->setFinalPageGranule(links[0].finalPageGranule);
        return source;
    }
    // The first link is reopened over its own part, so that its length is its own.
    const uint64_t size = source->region().knownSize().value_or(0);
    source.reset();
    auto first = std::make_unique<FileSource>(mem, file, offset + links[0].start, links[0].size);
    first->setFinalPageGranule(links[0].finalPageGranule);
    return std::make_unique<OggChainSource>(std::move(first), std::move(links), mem, file, offset, size);
}

}  // namespace aubadine::bass

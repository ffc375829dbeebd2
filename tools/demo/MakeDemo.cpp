// make_demo: writes the built-in demo playlist: four short tracks in different formats,
// each a tone of its own pitch, the playlist file that lists them and a settings file
// whose "Path" points at them.
//
//   make_demo <folder> [seconds]
//
// Layout of <folder>:
//   music/01-a4-440hz.mp3, music/02-e5-660hz.ogg, music/03-a5-880hz.wav,
//   music/04-c6-1036hz.mod
//   Playlist.ini                      [Main] MainPath=<folder>/music/, [Default] 1=.. 4=..
//   config/Velkor/Aubadine/1.0.ini    Path=<folder> (use XDG_CONFIG_HOME=<folder>/config)
//
// The MP3, Ogg Vorbis and WAV files are encoded with FFmpeg's libraries; the tracker
// module is written byte by byte (a ProTracker "M.K." module with a one-cycle sine sample).
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;

struct Track {
    const char* file;
    const char* title;
    double frequency;  // Hz
};

// The tones of the demo, in playlist order. The module's pitch follows from its note and
// sample length (see WriteModule).
const Track kTracks[] = {
    {"01-a4-440hz.mp3", "Aubadine demo: A4 (MP3)", 440.0},
    {"02-e5-660hz.ogg", "Aubadine demo: E5 (Ogg Vorbis)", 660.0},
    {"03-a5-880hz.wav", "Aubadine demo: A5 (WAV)", 880.0},
    {"04-c6-1036hz.mod", "Aubadine demo C6", 0.0},
};

void Check(int result, const char* what)
{
    if (result < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(result, text, sizeof text);
        throw std::runtime_error(std::string(what) + ": " + text);
    }
}

// Sample value of the tone at frame i: a sine at half scale with 20 ms fades at both ends,
// so that the tracks start and end without clicks.
float Tone(double frequency, long i, long frames)
{
    const long fade = kRate / 50;
    double gain = 0.5;
    if (i < fade)
        gain *= static_cast<double>(i) / fade;
    else if (frames - i < fade)
        gain *= static_cast<double>(frames - i) / fade;
    return static_cast<float>(gain * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / kRate));
}

AVSampleFormat PickFormat(const AVCodec* codec)
{
    if (!codec->sample_fmts)
        return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_FLTP || *f == AV_SAMPLE_FMT_S16 || *f == AV_SAMPLE_FMT_S16P)
            return *f;
    throw std::runtime_error(std::string("no usable sample format for ") + codec->name);
}

void Drain(AVCodecContext* ctx, AVFormatContext* oc, AVStream* st, AVPacket* pkt)
{
    for (;;) {
        int r = avcodec_receive_packet(ctx, pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return;
        Check(r, "encode");
        av_packet_rescale_ts(pkt, ctx->time_base, st->time_base);
        pkt->stream_index = st->index;
        Check(av_interleaved_write_frame(oc, pkt), "write");
    }
}

// Encodes a stereo tone of the given length with codec into path (container by extension).
void WriteEncoded(const fs::path& path, const char* codecName, const Track& t, double seconds)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(codecName);
    if (!codec)
        throw std::runtime_error(std::string("encoder not available: ") + codecName);
    AVFormatContext* oc = nullptr;
    Check(avformat_alloc_output_context2(&oc, nullptr, nullptr, path.c_str()), "container");
    AVStream* st = avformat_new_stream(oc, nullptr);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->sample_rate = kRate;
    ctx->sample_fmt = PickFormat(codec);
    av_channel_layout_default(&ctx->ch_layout, 2);
    ctx->bit_rate = 128000;
    ctx->time_base = AVRational{1, kRate};
    if (oc->oformat->flags & AVFMT_GLOBALHEADER)
        ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(ctx, codec, nullptr), "open encoder");
    Check(avcodec_parameters_from_context(st->codecpar, ctx), "parameters");
    st->time_base = ctx->time_base;
    av_dict_set(&oc->metadata, "title", t.title, 0);
    av_dict_set(&oc->metadata, "artist", "Aubadine", 0);
    Check(avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE), "create file");
    Check(avformat_write_header(oc, nullptr), "header");

    const long frames = static_cast<long>(seconds * kRate);
    const int chunk = ctx->frame_size > 0 ? ctx->frame_size : 1024;
    AVFrame* frame = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    for (long at = 0; at < frames; at += chunk) {
        const int n = static_cast<int>(std::min<long>(chunk, frames - at));
        frame->nb_samples = n;
        frame->format = ctx->sample_fmt;
        frame->sample_rate = kRate;
        av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
        Check(av_frame_get_buffer(frame, 0), "frame");
        for (int i = 0; i < n; ++i) {
            float v = Tone(t.frequency, at + i, frames);
            int16_t s = static_cast<int16_t>(std::lrint(v * 32767.0f));
            switch (ctx->sample_fmt) {
            case AV_SAMPLE_FMT_FLTP:
                reinterpret_cast<float*>(frame->data[0])[i] = v;
                reinterpret_cast<float*>(frame->data[1])[i] = v;
                break;
            case AV_SAMPLE_FMT_S16P:
                reinterpret_cast<int16_t*>(frame->data[0])[i] = s;
                reinterpret_cast<int16_t*>(frame->data[1])[i] = s;
                break;
            default:
                reinterpret_cast<int16_t*>(frame->data[0])[2 * i] = s;
                reinterpret_cast<int16_t*>(frame->data[0])[2 * i + 1] = s;
                break;
            }
        }
        frame->pts = at;
        Check(avcodec_send_frame(ctx, frame), "encode");
        Drain(ctx, oc, st, pkt);
        av_frame_unref(frame);
    }
    Check(avcodec_send_frame(ctx, nullptr), "flush");
    Drain(ctx, oc, st, pkt);
    Check(av_write_trailer(oc), "trailer");
    avio_closep(&oc->pb);
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    avformat_free_context(oc);
}

void PutBE16(std::vector<uint8_t>& b, size_t at, unsigned v)
{
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}

// A four-channel ProTracker module: one pattern whose first row plays C-3 (period 214,
// 8287.1 Hz x 2 = 16574 Hz sample rate) with a looped 16-sample sine cycle, giving
// 16574 / 16 = 1035.9 Hz; a pattern break after about seconds ends the song.
void WriteModule(const fs::path& path, const Track& t, double seconds)
{
    std::vector<uint8_t> m(1084 + 1024, 0);
    std::snprintf(reinterpret_cast<char*>(m.data()), 21, "%s", t.title);
    // Sample 1: 16 bytes (8 words), full volume, looped whole.
    std::snprintf(reinterpret_cast<char*>(m.data() + 20), 23, "sine");
    PutBE16(m, 20 + 22, 8);
    m[20 + 24] = 0;   // finetune
    m[20 + 25] = 64;  // volume
    PutBE16(m, 20 + 26, 0);
    PutBE16(m, 20 + 28, 8);
    for (int s = 1; s < 31; ++s)
        PutBE16(m, 20 + 30 * s + 28, 1);  // empty samples loop one word, as trackers store them
    m[950] = 1;    // song length: one order
    m[951] = 127;
    m[952] = 0;    // order 0: pattern 0
    std::memcpy(m.data() + 1080, "M.K.", 4);

    // Rows last 6 ticks at 125 BPM = 0.12 s.
    const int rows = std::clamp(static_cast<int>(seconds / 0.12), 2, 64);
    uint8_t* pattern = m.data() + 1084;
    auto cell = [&](int row, int channel) { return pattern + (row * 4 + channel) * 4; };
    for (int channel : {0, 1}) {  // the same note left and right
        uint8_t* c = cell(0, channel);
        c[0] = 0x00 | (214 >> 8);
        c[1] = 214 & 0xFF;
        c[2] = 0x10;  // sample 1, no effect
    }
    uint8_t* brk = cell(rows - 1, 2);
    brk[2] = 0x0D;  // pattern break: the song ends after this row
    brk[3] = 0x00;

    std::vector<uint8_t> sample(16);
    for (int i = 0; i < 16; ++i)
        sample[static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<int8_t>(std::lrint(90 * std::sin(2 * std::numbers::pi * i / 16))));
    m.insert(m.end(), sample.begin(), sample.end());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(m.data()), static_cast<std::streamsize>(m.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_demo <folder> [seconds]\n");
        return 2;
    }
    try {
        const fs::path folder = fs::absolute(argv[1]);
        const double seconds = argc > 2 ? std::stod(argv[2]) : 4.0;
        const fs::path music = folder / "music";
        fs::create_directories(music);
        av_log_set_level(AV_LOG_ERROR);

        WriteEncoded(music / kTracks[0].file, "libmp3lame", kTracks[0], seconds);
        WriteEncoded(music / kTracks[1].file, "libvorbis", kTracks[1], seconds);
        WriteEncoded(music / kTracks[2].file, "pcm_s16le", kTracks[2], seconds);
        WriteModule(music / kTracks[3].file, kTracks[3], seconds);

        std::ofstream list(folder / "Playlist.ini");
        list << "[Main]\nMainPath=" << music.string() << "/\n\n[Default]\n";
        for (size_t i = 0; i < std::size(kTracks); ++i)
            list << i + 1 << "=" << kTracks[i].file << "\n";

        fs::create_directories(folder / "config" / "Velkor" / "Aubadine");
        std::ofstream settings(folder / "config" / "Velkor" / "Aubadine" / "1.0.ini");
        settings << "[General]\nPath=" << folder.string() << "\nShuffle=0\nPanel=0\n";
        std::printf("make_demo: %zu tracks in %s\n", std::size(kTracks), music.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_demo: %s\n", e.what());
        return 1;
    }
    return 0;
}

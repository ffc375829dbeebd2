#include "Fixtures.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}
#include <libopenmpt/libopenmpt.hpp>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <stdexcept>

namespace aubadine::bass::test {
namespace {

void check(int rc, const char* what) {
    if (rc < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(rc, text, sizeof text);
        throw std::runtime_error(std::string(what) + ": " + text);
    }
}

}  // namespace

Pcm sines(const std::vector<double>& hz, double seconds, int rate, int channels, double amplitude) {
    Pcm pcm;
    pcm.rate = rate;
    pcm.channels = channels;
    const auto frames = static_cast<size_t>(std::llround(seconds * rate));
    pcm.samples.resize(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        double v = 0;
        for (double f : hz) v += amplitude * std::sin(2 * std::numbers::pi * f * static_cast<double>(i) / rate);
        const auto s = static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0));
        for (int c = 0; c < channels; ++c) pcm.samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = s;
    }
    return pcm;
}

Pcm sine(double hz, double seconds, int rate, int channels, double amplitude) {
    return sines({hz}, seconds, rate, channels, amplitude);
}

void encodeFile(const std::string& path, const std::string& muxer, const std::string& encoderName, const Pcm& pcm,
                const std::map<std::string, std::string>& metadata, bool id3v1) {
    AVFormatContext* oc = nullptr;
    check(avformat_alloc_output_context2(&oc, nullptr, muxer.c_str(), path.c_str()), "output");
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName.c_str());
    if (!codec) throw std::runtime_error("no encoder " + encoderName);
    AVStream* st = avformat_new_stream(oc, nullptr);
    AVCodecContext* enc = avcodec_alloc_context3(codec);
    enc->sample_rate = pcm.rate;
    av_channel_layout_default(&enc->ch_layout, pcm.channels);
    enc->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    enc->bit_rate = encoderName == "mp2" ? 192000 : 128000;
    enc->time_base = AVRational{1, pcm.rate};
    if (oc->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    check(avcodec_open2(enc, codec, nullptr), "encoder");
    check(avcodec_parameters_from_context(st->codecpar, enc), "parameters");
    st->time_base = enc->time_base;
    for (const auto& [k, v] : metadata) {
        av_dict_set(&oc->metadata, k.c_str(), v.c_str(), 0);
        av_dict_set(&st->metadata, k.c_str(), v.c_str(), 0);
    }
    AVDictionary* options = nullptr;
    if (id3v1) av_dict_set(&options, "write_id3v1", "1", 0);
    check(avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE), "open");
    check(avformat_write_header(oc, &options), "header");
    av_dict_free(&options);

    SwrContext* swr = nullptr;
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, pcm.channels);
    check(swr_alloc_set_opts2(&swr, &enc->ch_layout, enc->sample_fmt, pcm.rate, &layout, AV_SAMPLE_FMT_S16, pcm.rate,
                              0, nullptr),
          "swr");
    check(swr_init(swr), "swr init");
    const int frameSize = enc->frame_size > 0 ? enc->frame_size : 1024;
    AVPacket* pkt = av_packet_alloc();
    auto drain = [&] {
        while (avcodec_receive_packet(enc, pkt) == 0) {
            av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
            pkt->stream_index = st->index;
            check(av_interleaved_write_frame(oc, pkt), "write");
        }
    };
    const size_t total = pcm.frames();
    for (size_t at = 0; at < total; at += static_cast<size_t>(frameSize)) {
        const int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(frameSize), total - at));
        AVFrame* frame = av_frame_alloc();
        frame->nb_samples = n;
        frame->format = enc->sample_fmt;
        frame->sample_rate = pcm.rate;
        av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout);
        check(av_frame_get_buffer(frame, 0), "frame");
        const auto* src = reinterpret_cast<const uint8_t*>(pcm.samples.data() + at * static_cast<size_t>(pcm.channels));
        check(swr_convert(swr, frame->data, n, &src, n), "convert");
        frame->pts = static_cast<int64_t>(at);
        check(avcodec_send_frame(enc, frame), "send");
        av_frame_free(&frame);
        drain();
    }
    avcodec_send_frame(enc, nullptr);
    drain();
    check(av_write_trailer(oc), "trailer");
    av_packet_free(&pkt);
    swr_free(&swr);
    av_channel_layout_uninit(&layout);
    avcodec_free_context(&enc);
    avio_closep(&oc->pb);
    avformat_free_context(oc);
}

Pcm decodeWithFfmpeg(const std::string& path) {
    AVFormatContext* ic = nullptr;
    check(avformat_open_input(&ic, path.c_str(), nullptr, nullptr), "open");
    check(avformat_find_stream_info(ic, nullptr), "info");
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    check(index, "stream");
    AVCodecContext* dec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(dec, ic->streams[index]->codecpar);
    check(avcodec_open2(dec, codec, nullptr), "decoder");
    Pcm pcm;
    pcm.rate = dec->sample_rate;
    pcm.channels = dec->ch_layout.nb_channels;
    SwrContext* swr = nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto take = [&] {
        while (avcodec_receive_frame(dec, frame) == 0) {
            if (!swr) {
                check(swr_alloc_set_opts2(&swr, &frame->ch_layout, AV_SAMPLE_FMT_S16, frame->sample_rate,
                                          &frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                                          frame->sample_rate, 0, nullptr),
                      "swr");
                check(swr_init(swr), "swr init");
            }
            const size_t at = pcm.samples.size();
            pcm.samples.resize(at + static_cast<size_t>(frame->nb_samples * pcm.channels));
            auto* dst = reinterpret_cast<uint8_t*>(pcm.samples.data() + at);
            const int got = swr_convert(swr, &dst, frame->nb_samples, const_cast<const uint8_t**>(frame->extended_data),
                                        frame->nb_samples);
            pcm.samples.resize(at + static_cast<size_t>(got * pcm.channels));
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(ic, pkt) >= 0) {
        if (pkt->stream_index == index) avcodec_send_packet(dec, pkt);
        av_packet_unref(pkt);
        take();
    }
    avcodec_send_packet(dec, nullptr);
    take();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    swr_free(&swr);
    avcodec_free_context(&dec);
    avformat_close_input(&ic);
    return pcm;
}

std::vector<uint8_t> tinyMod(const std::string& title, int rows) {
    std::vector<uint8_t> mod;
    auto put = [&](const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        mod.insert(mod.end(), b, b + n);
    };
    auto byte = [&](int v) { mod.push_back(static_cast<uint8_t>(v)); };
    auto word = [&](int v) {  // big-endian
        byte(v >> 8);
        byte(v & 0xFF);
    };
    char name[20] = {};
    std::memcpy(name, title.data(), std::min(title.size(), sizeof name));
    put(name, 20);
    constexpr int kSampleBytes = 64;
    for (int s = 0; s < 31; ++s) {
        char sampleName[22] = {};
        put(sampleName, 22);
        word(s == 0 ? kSampleBytes / 2 : 0);  // length in words
        byte(0);                               // finetune
        byte(s == 0 ? 64 : 0);                 // volume
        word(0);                               // loop start, words
        word(s == 0 ? kSampleBytes / 2 : 1);   // loop length, words
    }
    byte(1);    // song length: one order
    byte(127);  // restart
    std::vector<uint8_t> orders(128, 0);
    put(orders.data(), orders.size());
    put("M.K.", 4);
    for (int row = 0; row < 64; ++row) {
        for (int ch = 0; ch < 4; ++ch) {
            int sample = 0, period = 0, effect = 0, param = 0;
            if (row == 0 && ch == 0) {
                sample = 1;
                period = 428;  // C-2
            }
            if (row == rows - 1 && ch == 1 && rows < 64) effect = 0xD;  // pattern break: the song ends
            byte((sample & 0xF0) | ((period >> 8) & 0x0F));
            byte(period & 0xFF);
            byte(((sample & 0x0F) << 4) | effect);
            byte(param);
        }
    }
    for (int i = 0; i < kSampleBytes; ++i) byte(i < kSampleBytes / 2 ? 0x40 : 0xC0);  // square wave
    return mod;
}

Pcm renderWithOpenmpt(const std::vector<uint8_t>& module, int rate) {
    std::ostringstream log;
    openmpt::module m(module.data(), module.size(), log);
    m.ctl_set_integer("dither", 0);
    m.ctl_set_text("play.at_end", "stop");
    Pcm pcm;
    pcm.rate = rate;
    pcm.channels = 2;
    std::vector<int16_t> block(2048);
    for (;;) {
        const size_t n = m.read_interleaved_stereo(rate, 1024, block.data());
        if (n == 0) break;
        pcm.samples.insert(pcm.samples.end(), block.begin(), block.begin() + static_cast<ptrdiff_t>(n * 2));
    }
    return pcm;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string fixtureDir() {
    // Never destroyed, so that the exit handler can still read it.
    static const std::string* dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("aubadine-bass-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        auto* kept = new std::string(d.string());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(fixtureDir(), ignored);
        });
        return kept;
    }();
    return *dir;
}

double toneAmplitude(const int16_t* samples, size_t frames, int channels, int channel, double hz, int rate) {
    // Goertzel over a Hann-weighted block; the window's mean (0.5) is divided out.
    const double w = 2 * std::numbers::pi * hz / rate;
    double re = 0, im = 0, weight = 0;
    for (size_t i = 0; i < frames; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(frames));
        const double x = samples[i * static_cast<size_t>(channels) + static_cast<size_t>(channel)] / 32768.0 * hann;
        re += x * std::cos(w * static_cast<double>(i));
        im -= x * std::sin(w * static_cast<double>(i));
        weight += hann;
    }
    return 2 * std::hypot(re, im) / weight;
}

double peak(const int16_t* samples, size_t frames, int channels, int channel) {
    int best = 0;
    for (size_t i = 0; i < frames; ++i)
        best = std::max(best, std::abs(int{samples[i * static_cast<size_t>(channels) + static_cast<size_t>(channel)]}));
    return best / 32768.0;
}

}  // namespace aubadine::bass::test

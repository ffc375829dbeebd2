/* in_flac: FLAC and Opus (and other Ogg audio) through FFmpeg, as a Winamp-2-style input
 * plug-in. It decodes on a thread of its own and writes 16-bit PCM through the player's
 * output module, asking CanWrite before each Write.
 *
 * The player asks plug-ins only about extensions of one to three letters, so name the files
 * ".fla", ".opu" or ".oga" (the list below also names the long forms for other hosts).
 */
#include "winamp_in.h"

#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>

#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

typedef struct {
    AVFormatContext* format;
    AVCodecContext* codec;
    SwrContext* swr; /* only for frames that are not interleaved 16-bit already */
    uint8_t* pcm;    /* the converter's output, kept from frame to frame */
    int pcmSamples;
    AVPacket* packet;
    AVFrame* frame;
    int stream;
    int rate, channels;
} Decoder;

static WinampInModule mod;
static Decoder dec;
static char playingFile[4096];
static pthread_t worker;
static int workerRunning;
static atomic_int stopping;
static atomic_int seekTo = -1; /* ms, or -1 */

static void sleep_ms(int ms)
{
    struct timespec t = {ms / 1000, (long)(ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

static void close_decoder(Decoder* d)
{
    swr_free(&d->swr);
    av_freep(&d->pcm);
    d->pcmSamples = 0;
    avcodec_free_context(&d->codec);
    avformat_close_input(&d->format);
    av_packet_free(&d->packet);
    av_frame_free(&d->frame);
}

/* Opens file and its best audio stream; with decode set, also the decoder and, where it
   does not give interleaved 16-bit itself, the converter to that at the stream's own rate
   (at most 8 channels). 16-bit FLAC needs no converter. */
static int open_decoder(Decoder* d, const char* file, int decode)
{
    memset(d, 0, sizeof *d);
    if (!file || avformat_open_input(&d->format, file, NULL, NULL) < 0)
        return 0;
    if (avformat_find_stream_info(d->format, NULL) < 0)
        goto fail;
    const AVCodec* codec = NULL;
    d->stream = av_find_best_stream(d->format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (d->stream < 0 || !codec)
        goto fail;
    AVCodecParameters* par = d->format->streams[d->stream]->codecpar;
    if (codec->id != AV_CODEC_ID_FLAC && codec->id != AV_CODEC_ID_OPUS && codec->id != AV_CODEC_ID_VORBIS)
        goto fail; /* the rest is the player's own business */
    d->rate = par->sample_rate;
    d->channels = par->ch_layout.nb_channels;
    if (d->rate < 1000 || d->rate > 384000 || d->channels < 1 || d->channels > 8)
        goto fail;
    if (!decode)
        return 1;
    d->codec = avcodec_alloc_context3(codec);
    if (!d->codec || avcodec_parameters_to_context(d->codec, par) < 0 || avcodec_open2(d->codec, codec, NULL) < 0)
        goto fail;
    if (d->codec->sample_fmt != AV_SAMPLE_FMT_S16 &&
        (swr_alloc_set_opts2(&d->swr, &d->codec->ch_layout, AV_SAMPLE_FMT_S16, d->rate, &d->codec->ch_layout,
                             d->codec->sample_fmt, d->codec->sample_rate, 0, NULL) < 0 ||
         swr_init(d->swr) < 0))
        goto fail;
    d->packet = av_packet_alloc();
    d->frame = av_frame_alloc();
    if (!d->packet || !d->frame)
        goto fail;
    return 1;
fail:
    close_decoder(d);
    return 0;
}

static int length_ms(const Decoder* d)
{
    const AVStream* s = d->format->streams[d->stream];
    if (s->duration > 0 && s->time_base.den > 0)
        return (int)av_rescale(s->duration, 1000LL * s->time_base.num, s->time_base.den);
    if (d->format->duration > 0)
        return (int)(d->format->duration / (AV_TIME_BASE / 1000));
    return 0;
}

static void title_of(const Decoder* d, char* title)
{
    const AVDictionaryEntry* e = av_dict_get(d->format->metadata, "title", NULL, 0);
    if (!e)
        e = av_dict_get(d->format->streams[d->stream]->metadata, "title", NULL, 0);
    snprintf(title, WINAMP_TITLE_SIZE, "%s", e ? e->value : "");
}

/* Writes bytes of PCM, waiting for room; 0 when asked to stop meanwhile. */
static int write_pcm(const uint8_t* pcm, int bytes)
{
    const int frameBytes = dec.channels * 2;
    while (bytes > 0) {
        if (atomic_load(&stopping) || atomic_load(&seekTo) >= 0)
            return 0;
        int room = mod.outMod->CanWrite();
        int n = bytes < room ? bytes : room - room % frameBytes;
        if (n > 8192)
            n = 8192 - 8192 % frameBytes;
        if (n <= 0) {
            sleep_ms(10);
            continue;
        }
        mod.outMod->Write((char*)pcm, n);
        pcm += n;
        bytes -= n;
    }
    return 1;
}

/* Writes one decoded frame: as it is when it is interleaved 16-bit already, else converted
   into a buffer that is kept and grown as frames need. */
static int write_frame(AVFrame* f)
{
    if (f->format == AV_SAMPLE_FMT_S16 && f->ch_layout.nb_channels == dec.channels)
        return write_pcm(f->data[0], f->nb_samples * dec.channels * 2);
    if (!dec.swr)
        return 0; /* the decoder changed its format mid-stream */
    int outSamples = swr_get_out_samples(dec.swr, f->nb_samples);
    if (outSamples > dec.pcmSamples) {
        av_freep(&dec.pcm);
        dec.pcmSamples = 0;
        if (av_samples_alloc(&dec.pcm, NULL, dec.channels, outSamples, AV_SAMPLE_FMT_S16, 0) < 0)
            return 0;
        dec.pcmSamples = outSamples;
    }
    int n = swr_convert(dec.swr, &dec.pcm, outSamples, (const uint8_t**)f->extended_data, f->nb_samples);
    return n <= 0 || write_pcm(dec.pcm, n * dec.channels * 2);
}

static void* decode(void* arg)
{
    int ended = 0;
    (void)arg;
    while (!atomic_load(&stopping)) {
        int seek = atomic_exchange(&seekTo, -1);
        if (seek >= 0) {
            const AVStream* s = dec.format->streams[dec.stream];
            int64_t ts = av_rescale((int64_t)seek, s->time_base.den, 1000LL * s->time_base.num);
            av_seek_frame(dec.format, dec.stream, ts, AVSEEK_FLAG_BACKWARD);
            avcodec_flush_buffers(dec.codec);
            if (dec.swr)
                swr_init(dec.swr);
            mod.outMod->Flush(seek);
            ended = 0;
        }
        if (ended) {
            sleep_ms(10);
            continue;
        }
        int r = av_read_frame(dec.format, dec.packet);
        if (r < 0) {
            avcodec_send_packet(dec.codec, NULL); /* drain */
        } else if (dec.packet->stream_index != dec.stream) {
            av_packet_unref(dec.packet);
            continue;
        } else {
            avcodec_send_packet(dec.codec, dec.packet);
            av_packet_unref(dec.packet);
        }
        int got;
        while ((got = avcodec_receive_frame(dec.codec, dec.frame)) == 0) {
            int ok = write_frame(dec.frame);
            av_frame_unref(dec.frame);
            if (!ok)
                break;
        }
        if (r < 0 && atomic_load(&seekTo) < 0 && !atomic_load(&stopping)) {
            /* The last of the file is written: the player plays out what it holds. */
            mod.hMainWindow->PostMessage(mod.hMainWindow, WINAMP_MSG_EOF, 0, 0);
            ended = 1;
        }
    }
    return NULL;
}

static void config(WinampParentWindow parent)
{
    (void)parent;
    mod.hMainWindow->MessageBox(mod.hMainWindow, "FLAC and Opus through FFmpeg: there is nothing to configure.",
                                "in_flac");
}

static void about(WinampParentWindow parent)
{
    (void)parent;
    char text[256];
    snprintf(text, sizeof text, "FLAC/Opus decoder 1.0\nFFmpeg libavcodec %s", AV_STRINGIFY(LIBAVCODEC_VERSION));
    mod.hMainWindow->MessageBox(mod.hMainWindow, text, "About in_flac");
}

static void init(void) { av_log_set_level(AV_LOG_QUIET); }
static void quit(void) {}

static void get_file_info(const char* file, char* title, int* length)
{
    Decoder d;
    int ok = open_decoder(&d, file ? file : playingFile, 0);
    if (title) {
        if (ok)
            title_of(&d, title);
        else
            title[0] = 0;
    }
    if (length)
        *length = ok ? length_ms(&d) : 0;
    if (ok)
        close_decoder(&d);
}

static void stop(void);

static int play(const char* file)
{
    if (workerRunning)
        stop();
    if (!open_decoder(&dec, file, 1))
        return 1;
    snprintf(playingFile, sizeof playingFile, "%s", file);
    if (mod.outMod->Open(dec.rate, dec.channels, 16, -1, -1) < 0) {
        close_decoder(&dec);
        return 1;
    }
    int64_t bitrate = dec.format->bit_rate > 0 ? dec.format->bit_rate : dec.codec->bit_rate;
    mod.SetInfo((int)(bitrate / 1000), dec.rate / 1000, dec.channels, 1);
    atomic_store(&stopping, 0);
    atomic_store(&seekTo, -1);
    if (pthread_create(&worker, NULL, decode, NULL) != 0) {
        mod.outMod->Close();
        close_decoder(&dec);
        return 1;
    }
    workerRunning = 1;
    return 0;
}

static void pause_(void) { mod.outMod->Pause(1); }
static void unpause(void) { mod.outMod->Pause(0); }

static void stop(void)
{
    if (!workerRunning)
        return;
    atomic_store(&stopping, 1);
    pthread_join(worker, NULL);
    workerRunning = 0;
    mod.outMod->Close();
    close_decoder(&dec);
}

static int get_output_time(void) { return mod.outMod->GetOutputTime(); }
static void set_output_time(int ms) { atomic_store(&seekTo, ms < 0 ? 0 : ms); }
static void set_volume(int v) { mod.outMod->SetVolume(v); }

static WinampInModule mod = {
    .version = WINAMP_IN_VERSION,
    .description = "FLAC/Opus decoder 1.0",
    .FileExtensions = "FLAC;FLA;OPUS;OPU;OGA\0FLAC and Opus audio\0",
    .is_seekable = 1,
    .UsesOutputPlug = 1,
    .Config = config,
    .About = about,
    .Init = init,
    .Quit = quit,
    .GetFileInfo = get_file_info,
    .Play = play,
    .Pause = pause_,
    .UnPause = unpause,
    .Stop = stop,
    .GetOutputTime = get_output_time,
    .SetOutputTime = set_output_time,
    .SetVolume = set_volume,
};

WINAMP_EXPORT WinampInModule* winampGetInModule2(void) { return &mod; }

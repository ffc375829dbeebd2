#include "EncodedFixtures.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <cmath>
#include <memory>

namespace fileinfo_test {

namespace {

struct FormatCloser {
  void operator()(AVFormatContext *C) const {
    if (C->pb && !(C->oformat->flags & AVFMT_NOFILE))
      avio_closep(&C->pb);
    avformat_free_context(C);
  }
};
struct CodecCloser {
  void operator()(AVCodecContext *C) const { avcodec_free_context(&C); }
};
struct FrameCloser {
  void operator()(AVFrame *F) const { av_frame_free(&F); }
};
struct PacketCloser {
  void operator()(AVPacket *P) const { av_packet_free(&P); }
};

std::string AvError(int Code) {
  char Text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(Code, Text, sizeof Text);
  return Text;
}

// A tone with a slow sweep and some deterministic noise, so that variable-bit-rate encoders
// have something to vary.
double Sample(int64_t N, int Channel, int Rate) {
  const double T = static_cast<double>(N) / Rate;
  const double Tone = 0.4 * std::sin(2 * M_PI * (220.0 + 200.0 * T + 50.0 * Channel) * T);
  const uint32_t Hash = static_cast<uint32_t>(N * 2654435761u + static_cast<uint32_t>(Channel) * 40503u);
  return Tone + 0.05 * ((Hash >> 8) / 16777216.0 - 0.5);
}

void Fill(AVFrame *F, int64_t First, int Rate, int Channels) {
  const auto Format = static_cast<AVSampleFormat>(F->format);
  const bool Planar = av_sample_fmt_is_planar(Format) != 0;
  for (int I = 0; I < F->nb_samples; ++I) {
    for (int C = 0; C < Channels; ++C) {
      const double V = Sample(First + I, C, Rate);
      const int Plane = Planar ? C : 0;
      const int Index = Planar ? I : I * Channels + C;
      switch (av_get_packed_sample_fmt(Format)) {
      case AV_SAMPLE_FMT_S16:
        reinterpret_cast<int16_t *>(F->data[Plane])[Index] = static_cast<int16_t>(V * 32767);
        break;
      case AV_SAMPLE_FMT_S32:
        reinterpret_cast<int32_t *>(F->data[Plane])[Index] = static_cast<int32_t>(V * 2147483647.0);
        break;
      case AV_SAMPLE_FMT_FLT:
        reinterpret_cast<float *>(F->data[Plane])[Index] = static_cast<float>(V);
        break;
      case AV_SAMPLE_FMT_DBL:
        reinterpret_cast<double *>(F->data[Plane])[Index] = V;
        break;
      default:
        break;
      }
    }
  }
}

int Drain(AVCodecContext *Codec, AVFormatContext *Out, AVStream *Stream, AVPacket *Packet) {
  for (;;) {
    int Rc = avcodec_receive_packet(Codec, Packet);
    if (Rc == AVERROR(EAGAIN) || Rc == AVERROR_EOF)
      return 0;
    if (Rc < 0)
      return Rc;
    av_packet_rescale_ts(Packet, Codec->time_base, Stream->time_base);
    Packet->stream_index = Stream->index;
    Rc = av_interleaved_write_frame(Out, Packet);
    if (Rc < 0)
      return Rc;
  }
}

} // namespace

EncodeResult EncodeFile(const EncodeRecipe &Recipe, const std::string &Path) {
  EncodeResult Result;
  auto Fail = [&](const std::string &What, int Code) {
    Result.Error = What + ": " + AvError(Code);
    return Result;
  };
  const AVCodec *Encoder = avcodec_find_encoder_by_name(Recipe.Codec.c_str());
  if (Encoder == nullptr) {
    Result.Error = "no encoder " + Recipe.Codec;
    return Result;
  }
  AVFormatContext *RawOut = nullptr;
  int Rc = avformat_alloc_output_context2(&RawOut, nullptr, Recipe.Format.c_str(), Path.c_str());
  if (Rc < 0 || RawOut == nullptr)
    return Fail("output " + Recipe.Format, Rc);
  std::unique_ptr<AVFormatContext, FormatCloser> Out(RawOut);
  Out->flags |= AVFMT_FLAG_BITEXACT;
  for (const auto &[Key, Value] : Recipe.Metadata)
    av_dict_set(&Out->metadata, Key.c_str(), Value.c_str(), 0);

  std::unique_ptr<AVCodecContext, CodecCloser> Codec(avcodec_alloc_context3(Encoder));
  Codec->sample_rate = Recipe.SampleRate;
  av_channel_layout_default(&Codec->ch_layout, Recipe.Channels);
  Codec->sample_fmt = Encoder->sample_fmts ? Encoder->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  Codec->time_base = AVRational{1, Recipe.SampleRate};
  Codec->flags |= AV_CODEC_FLAG_BITEXACT;
  if (Recipe.Quality >= 0) {
    Codec->flags |= AV_CODEC_FLAG_QSCALE;
    Codec->global_quality = Recipe.Quality * FF_QP2LAMBDA;
  } else {
    Codec->bit_rate = Recipe.BitRate;
  }
  if (Out->oformat->flags & AVFMT_GLOBALHEADER)
    Codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if ((Rc = avcodec_open2(Codec.get(), Encoder, nullptr)) < 0)
    return Fail("open " + Recipe.Codec, Rc);

  AVStream *Stream = avformat_new_stream(Out.get(), nullptr);
  if (Stream == nullptr)
    return Fail("stream", AVERROR(ENOMEM));
  Stream->time_base = Codec->time_base;
  if ((Rc = avcodec_parameters_from_context(Stream->codecpar, Codec.get())) < 0)
    return Fail("parameters", Rc);
  if ((Rc = avio_open(&Out->pb, Path.c_str(), AVIO_FLAG_WRITE)) < 0)
    return Fail("create " + Path, Rc);
  AVDictionary *Options = nullptr;
  for (const auto &[Key, Value] : Recipe.MuxerOptions)
    av_dict_set(&Options, Key.c_str(), Value.c_str(), 0);
  Rc = avformat_write_header(Out.get(), &Options);
  av_dict_free(&Options);
  if (Rc < 0)
    return Fail("header", Rc);

  const int64_t Total = std::llround(Recipe.Seconds * Recipe.SampleRate);
  const int FrameSize = Codec->frame_size > 0 ? Codec->frame_size : 1024;
  std::unique_ptr<AVFrame, FrameCloser> Frame(av_frame_alloc());
  std::unique_ptr<AVPacket, PacketCloser> Packet(av_packet_alloc());
  for (int64_t Done = 0; Done < Total;) {
    const int N = static_cast<int>(std::min<int64_t>(FrameSize, Total - Done));
    av_frame_unref(Frame.get());
    Frame->nb_samples = N;
    Frame->format = Codec->sample_fmt;
    Frame->sample_rate = Recipe.SampleRate;
    if ((Rc = av_channel_layout_copy(&Frame->ch_layout, &Codec->ch_layout)) < 0 ||
        (Rc = av_frame_get_buffer(Frame.get(), 0)) < 0)
      return Fail("frame", Rc);
    Fill(Frame.get(), Done, Recipe.SampleRate, Recipe.Channels);
    Frame->pts = Done;
    if ((Rc = avcodec_send_frame(Codec.get(), Frame.get())) < 0)
      return Fail("encode", Rc);
    if ((Rc = Drain(Codec.get(), Out.get(), Stream, Packet.get())) < 0)
      return Fail("write", Rc);
    Done += N;
  }
  if ((Rc = avcodec_send_frame(Codec.get(), nullptr)) < 0 || (Rc = Drain(Codec.get(), Out.get(), Stream, Packet.get())) < 0)
    return Fail("flush", Rc);
  if ((Rc = av_write_trailer(Out.get())) < 0)
    return Fail("trailer", Rc);
  Result.Ok = true;
  Result.Samples = Total;
  return Result;
}

double ProbeDuration(const std::string &Path) {
  AVFormatContext *In = nullptr;
  if (avformat_open_input(&In, Path.c_str(), nullptr, nullptr) < 0)
    return -1;
  double Seconds = -1;
  if (avformat_find_stream_info(In, nullptr) >= 0 && In->duration != AV_NOPTS_VALUE)
    Seconds = static_cast<double>(In->duration) / AV_TIME_BASE;
  avformat_close_input(&In);
  return Seconds;
}

} // namespace fileinfo_test

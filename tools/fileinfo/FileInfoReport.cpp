#include "FileInfoReport.h"

#include "fileinfo/MPEGaudio.h"
#include "fileinfo/OggVorbis.h"
#include "fileinfo/WAVfile.h"
#include "fileinfo/WMAfile.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace fileinfo_tool {

namespace {

// Length of the valid UTF-8 sequence starting at S[I], or 0 when there is none.
size_t Utf8SequenceLength(std::string_view S, size_t I) {
  const auto B = [&](size_t K) { return static_cast<uint8_t>(S[K]); };
  const uint8_t Lead = B(I);
  size_t Length;
  uint8_t Low = 0x80, High = 0xBF; // allowed range of the second byte
  if (Lead < 0x80)
    return 1;
  if (Lead >= 0xC2 && Lead <= 0xDF)
    Length = 2;
  else if (Lead >= 0xE0 && Lead <= 0xEF) {
    Length = 3;
    if (Lead == 0xE0)
      Low = 0xA0;
    if (Lead == 0xED)
      High = 0x9F;
  } else if (Lead >= 0xF0 && Lead <= 0xF4) {
    Length = 4;
    if (Lead == 0xF0)
      Low = 0x90;
    if (Lead == 0xF4)
      High = 0x8F;
  } else
    return 0;
  if (I + Length > S.size())
    return 0;
  if (B(I + 1) < Low || B(I + 1) > High)
    return 0;
  for (size_t K = 2; K < Length; ++K)
    if ((B(I + K) & 0xC0) != 0x80)
      return 0;
  return Length;
}

void AppendEscape(std::string &Out, uint8_t Byte) {
  static const char Hex[] = "0123456789abcdef";
  Out += "\\u00";
  Out += Hex[Byte >> 4];
  Out += Hex[Byte & 15];
}

// Fixed-size character fields are shown without their trailing zero bytes.
std::string_view WithoutTrailingNuls(std::string_view S) {
  while (!S.empty() && S.back() == '\0')
    S.remove_suffix(1);
  return S;
}

class ObjectWriter {
public:
  ObjectWriter() { FOut = "{"; }
  ObjectWriter &Key(std::string_view Name) {
    if (FOut.size() > 1 && FOut.back() != '{')
      FOut += ',';
    FOut += JsonString(Name);
    FOut += ':';
    return *this;
  }
  ObjectWriter &Str(std::string_view Name, std::string_view Value) {
    Key(Name).FOut += JsonString(Value);
    return *this;
  }
  ObjectWriter &Int(std::string_view Name, int64_t Value) {
    Key(Name).FOut += std::to_string(Value);
    return *this;
  }
  ObjectWriter &Bool(std::string_view Name, bool Value) {
    Key(Name).FOut += Value ? "true" : "false";
    return *this;
  }
  ObjectWriter &Num(std::string_view Name, double Value) {
    Key(Name).FOut += JsonNumber(Value);
    return *this;
  }
  ObjectWriter &Null(std::string_view Name) {
    Key(Name).FOut += "null";
    return *this;
  }
  ObjectWriter &Open(std::string_view Name) {
    Key(Name).FOut += '{';
    return *this;
  }
  ObjectWriter &Close() {
    FOut += '}';
    return *this;
  }
  std::string Finish() { return FOut + '}'; }

private:
  std::string FOut;
};

void DescribeWav(ObjectWriter &W, const std::string &FileName) {
  TWAVfile R;
  const bool Ok = R.ReadFromFile(FileName);
  W.Bool("ok", Ok)
      .Bool("Valid", R.Valid())
      .Int("Channels", R.Channels())
      .Int("SampleRate", R.SampleRate())
      .Int("BitsPerSample", R.BitsPerSample())
      .Int("FileSize", R.FileSize())
      .Num("Duration", R.Duration());
}

void DescribeOgg(ObjectWriter &W, const std::string &FileName) {
  TOggVorbis R;
  const bool Ok = R.ReadFromFile(FileName);
  W.Bool("ok", Ok)
      .Bool("Valid", R.Valid())
      .Int("FileSize", R.FileSize())
      .Int("Channels", R.Channels())
      .Int("SampleRate", R.SampleRate())
      .Int("NominalBitRate", R.NominalBitRate())
      .Int("Samples", R.Samples())
      .Int("ID3v2Size", R.ID3v2Size())
      .Str("Title", R.Title())
      .Str("Artist", R.Artist())
      .Str("Album", R.Album())
      .Int("Track", R.Track())
      .Str("Date", R.Date())
      .Str("Genre", R.Genre())
      .Str("Comment", R.Comment())
      .Str("Vendor", R.Vendor())
      .Num("Duration", R.Duration())
      .Int("BitRate", R.BitRate());
}

void DescribeWma(ObjectWriter &W, const std::string &FileName) {
  TWMAfile R;
  const bool Ok = R.ReadFromFile(FileName);
  W.Bool("ok", Ok)
      .Bool("Valid", R.Valid())
      .Int("FileSize", R.FileSize())
      .Int("Channels", R.Channels())
      .Int("SampleRate", R.SampleRate())
      .Num("Duration", R.Duration())
      .Int("BitRate", R.BitRate())
      .Str("Title", R.Title())
      .Str("Artist", R.Artist())
      .Str("Album", R.Album())
      .Int("Track", R.Track())
      .Str("Year", R.Year())
      .Str("Genre", R.Genre())
      .Str("Comment", R.Comment());
}

void DescribeMpeg(ObjectWriter &W, const std::string &FileName) {
  TMPEGaudio R;
  const bool Ok = R.ReadFromFile(FileName);
  W.Bool("ok", Ok)
      .Bool("Valid", R.Valid())
      .Int("FileLength", R.FileLength())
      .Int("SampleRate", R.SampleRate())
      .Int("BitRate", R.BitRate())
      .Num("Duration", R.Duration())
      .Str("ChannelMode", R.ChannelMode())
      .Str("EncoderTag", WithoutTrailingNuls(R.EncoderTag()));
  const VBRData &V = R.VBR();
  W.Open("VBR")
      .Bool("Found", V.Found)
      .Str("Signature", WithoutTrailingNuls(std::string_view(V.Signature, sizeof V.Signature)))
      .Int("FrameCount", V.FrameCount)
      .Int("ByteCount", V.ByteCount)
      .Int("Quality", V.Quality)
      .Str("Vendor", WithoutTrailingNuls(V.Vendor))
      .Close();
  const FrameHeader &F = R.Frame();
  W.Open("Frame")
      .Bool("Found", F.Found)
      .Int("Position", F.Position)
      .Int("Size", F.Size)
      .Bool("EmptySideInfo", F.EmptySideInfo)
      .Int("VersionIndex", F.VersionIndex)
      .Int("LayerIndex", F.LayerIndex)
      .Bool("Protected", F.Protected)
      .Int("BitRateIndex", F.BitRateIndex)
      .Int("SampleRateIndex", F.SampleRateIndex)
      .Bool("Padding", F.Padding)
      .Bool("PrivateBit", F.PrivateBit)
      .Int("ModeIndex", F.ModeIndex)
      .Int("ModeExtension", F.ModeExtension)
      .Bool("Copyright", F.Copyright)
      .Bool("Original", F.Original)
      .Int("EmphasisIndex", F.EmphasisIndex)
      .Close();
  const TID3v1 &T1 = R.ID3v1();
  W.Open("ID3v1")
      .Bool("Exists", T1.Exists())
      .Int("Version", T1.Version())
      .Str("Title", T1.Title())
      .Str("Artist", T1.Artist())
      .Str("Album", T1.Album())
      .Str("Year", T1.Year())
      .Str("Comment", T1.Comment())
      .Int("Track", T1.Track())
      .Int("GenreIndex", T1.GenreIndex())
      .Str("Genre", T1.Genre())
      .Close();
  const TID3v2 &T2 = R.ID3v2();
  W.Open("ID3v2")
      .Bool("Exists", T2.Exists())
      .Int("Version", T2.Version())
      .Int("Size", T2.Size())
      .Str("Title", T2.Title())
      .Str("Artist", T2.Artist())
      .Str("Album", T2.Album())
      .Int("Track", T2.Track())
      .Str("TrackText", T2.TrackText())
      .Str("Year", T2.Year())
      .Str("Genre", T2.Genre())
      .Str("Comment", T2.Comment())
      .Str("Composer", T2.Composer())
      .Str("Encoder", T2.Encoder())
      .Str("Copyright", T2.Copyright())
      .Str("Language", T2.Language())
      .Str("Link", T2.Link())
      .Close();
}

} // namespace

std::string ReaderForFile(std::string_view FileName) {
  const size_t Slash = FileName.rfind('/');
  const std::string_view Base = Slash == std::string_view::npos ? FileName : FileName.substr(Slash + 1);
  const size_t Dot = Base.rfind('.');
  if (Dot == std::string_view::npos)
    return {};
  std::string Ext(Base.substr(Dot));
  for (char &C : Ext)
    if (C >= 'a' && C <= 'z')
      C = static_cast<char>(C - 'a' + 'A');
  if (Ext == ".MP1" || Ext == ".MP2" || Ext == ".MP3")
    return "mpeg";
  if (Ext == ".OGG")
    return "ogg";
  if (Ext == ".WMA")
    return "wma";
  if (Ext == ".WAV")
    return "wav";
  return {};
}

std::string DescribeFile(const std::string &FileName) {
  ObjectWriter W;
  W.Str("file", FileName);
  const std::string Reader = ReaderForFile(FileName);
  if (Reader.empty()) {
    W.Null("reader").Bool("ok", false);
    return W.Finish();
  }
  W.Str("reader", Reader);
  if (Reader == "mpeg")
    DescribeMpeg(W, FileName);
  else if (Reader == "ogg")
    DescribeOgg(W, FileName);
  else if (Reader == "wma")
    DescribeWma(W, FileName);
  else
    DescribeWav(W, FileName);
  return W.Finish();
}

std::string JsonString(std::string_view Text) {
  std::string Out = "\"";
  Out.reserve(Text.size() + 2);
  for (size_t I = 0; I < Text.size();) {
    const auto C = static_cast<uint8_t>(Text[I]);
    const size_t Length = Utf8SequenceLength(Text, I);
    if (Length == 0) {
      AppendEscape(Out, C);
      ++I;
    } else if (Length > 1) {
      Out.append(Text.substr(I, Length));
      I += Length;
    } else {
      if (C == '"')
        Out += "\\\"";
      else if (C == '\\')
        Out += "\\\\";
      else if (C < 0x20)
        AppendEscape(Out, C);
      else
        Out += static_cast<char>(C);
      ++I;
    }
  }
  Out += '"';
  return Out;
}

std::string JsonNumber(double Value) {
  if (!std::isfinite(Value))
    return "0"; // the readers never give one; JSON has no spelling for it
  char Buffer[64];
  const auto [End, Error] = std::to_chars(Buffer, Buffer + sizeof Buffer, Value, std::chars_format::general, 17);
  if (Error != std::errc())
    return "0";
  return std::string(Buffer, End);
}

} // namespace fileinfo_tool

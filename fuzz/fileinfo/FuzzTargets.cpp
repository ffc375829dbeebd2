#include "FuzzTargets.h"

#include "fileinfo/ID3v1.h"
#include "fileinfo/ID3v2.h"
#include "fileinfo/MPEGaudio.h"
#include "fileinfo/OggVorbis.h"
#include "fileinfo/WAVfile.h"
#include "fileinfo/WMAfile.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

namespace fileinfo_fuzz {

namespace {

// Touches a value so the reads cannot be optimised away; a NaN duration is a fault.
volatile size_t Sink;
void Use(const std::string &S) { Sink = Sink + S.size(); }
void Use(double D) {
  if (std::isnan(D))
    std::abort();
  Sink = Sink + (D > 0);
}
void Use(int64_t V) { Sink = Sink + static_cast<size_t>(V); }

void UseInfo(const TMP3TagInfo &I) {
  Use(I.Title);
  Use(I.Artist);
  Use(I.Album);
  Use(I.Year);
  Use(I.Comment);
  Use(I.Genre);
  Use(int64_t{I.Track});
}

void UseID3v1(const TID3v1 &R) {
  Use(R.Title());
  Use(R.Artist());
  Use(R.Album());
  Use(R.Year());
  Use(R.Comment());
  Use(R.Genre());
  Use(int64_t{R.Track()} + R.Version() + R.Exists());
}

void UseID3v2(const TID3v2 &R) {
  for (const std::string *S : {&R.Title(), &R.Artist(), &R.Album(), &R.TrackText(), &R.Year(), &R.Genre(),
                               &R.Comment(), &R.Composer(), &R.Encoder(), &R.Copyright(), &R.Language(), &R.Link()})
    Use(*S);
  Use(int64_t{R.Track()} + R.Size() + R.Version() + R.Exists());
}

int32_t StreamSize(size_t Size) { return Size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(Size); }

} // namespace

void FuzzID3v1(const uint8_t *Data, size_t Size) {
  TID3v1 R;
  R.ReadFromSource(TMemorySource(Data, Size));
  UseID3v1(R);
  if (Size >= TID3v1::TagSize) {
    TMP3TagInfo Info;
    R.ReadFromBuffer(Data, Info);
    UseInfo(Info);
  }
}

void FuzzID3v2(const uint8_t *Data, size_t Size) {
  TID3v2 R;
  R.ReadFromSource(TMemorySource(Data, Size));
  UseID3v2(R);
  if (Size >= 10) {
    TMP3TagInfo Info;
    R.ReadFromBuffer(Data, StreamSize(Size), Info);
    UseInfo(Info);
  }
}

void FuzzMPEGaudio(const uint8_t *Data, size_t Size) {
  TMPEGaudio R;
  R.ReadFromSource(TMemorySource(Data, Size));
  Use(R.Duration());
  Use(int64_t{R.BitRate()} + R.SampleRate() + R.Valid() + R.FileLength() + R.Frame().Position + R.VBR().FrameCount);
  Use(R.ChannelMode());
  Use(R.EncoderTag());
  Use(R.VBR().Vendor);
  UseID3v1(R.ID3v1());
  UseID3v2(R.ID3v2());
  TMP3TagInfo Info;
  if (Size >= TID3v1::TagSize)
    R.ReadTagFromBuffer(Data, StreamSize(Size), Info, 1);
  if (Size >= 10)
    R.ReadTagFromBuffer(Data, StreamSize(Size), Info, 2);
  UseInfo(Info);
}

void FuzzOggVorbis(const uint8_t *Data, size_t Size) {
  TOggVorbis R;
  R.ReadFromSource(TMemorySource(Data, Size));
  Use(R.Duration());
  Use(int64_t{R.BitRate()} + R.Valid() + R.Track() + R.Samples() + R.NominalBitRate());
  for (const std::string *S : {&R.Title(), &R.Artist(), &R.Album(), &R.Date(), &R.Genre(), &R.Comment(), &R.Vendor()})
    Use(*S);
}

void FuzzWMAfile(const uint8_t *Data, size_t Size) {
  TWMAfile R;
  R.ReadFromSource(TMemorySource(Data, Size));
  Use(R.Duration());
  Use(int64_t{R.BitRate()} + R.Valid() + R.Track() + R.SampleRate() + R.Channels());
  for (const std::string *S : {&R.Title(), &R.Artist(), &R.Album(), &R.Year(), &R.Genre(), &R.Comment()})
    Use(*S);
}

void FuzzWAVfile(const uint8_t *Data, size_t Size) {
  TWAVfile R;
  R.ReadFromSource(TMemorySource(Data, Size));
  Use(R.Duration());
  Use(int64_t{R.SampleRate()} + R.Valid() + R.FileSize() + R.BitsPerSample());
}

} // namespace fileinfo_fuzz

// TMPEGaudio: describes an MPEG audio file (layers I to III, MPEG 1, 2 and 2.5) without
// decoding it.
//
// It reads the ID3v2 and ID3v1 tags first, then finds the first frame whose header is valid
// and followed by another valid header, decodes that header, looks for a Xing or VBRI
// variable-bit-rate header inside the frame, and derives bit rate, sample rate, channel mode
// and duration. For constant-bit-rate files it also looks for an encoder tag ("LAME" plus
// version, or "GOGO") before the end of the audio. At most three reads of 3,458 bytes are
// made besides the tag readers' own, and nothing is allocated for them. No operation throws.
#pragma once

#include "fileinfo/ByteSource.h"
#include "fileinfo/ID3v1.h"
#include "fileinfo/ID3v2.h"
#include "fileinfo/MP3TagInfo.h"

#include <cstdint>
#include <string>

// The first valid frame's header, decoded.
struct FrameHeader {
  bool Found = false;          // a valid frame was located
  int32_t Position = 0;        // offset of the frame within the window scanned (not the file)
  uint16_t Size = 0;           // frame length in bytes
  bool EmptySideInfo = false;  // the six bytes after the header are all zero
  uint8_t HeaderData[4] = {};  // raw header bytes
  uint8_t VersionIndex = 0;    // 0 MPEG 2.5, 1 unknown, 2 MPEG 2, 3 MPEG 1
  uint8_t LayerIndex = 0;      // 0 unknown, 1 Layer III, 2 Layer II, 3 Layer I
  bool Protected = false;      // a CRC follows the header
  uint16_t BitRateIndex = 0;
  uint16_t SampleRateIndex = 0;
  bool Padding = false;
  bool PrivateBit = false;
  uint8_t ModeIndex = 0;       // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono, 4 unknown
  uint8_t ModeExtension = 0;
  bool Copyright = false;
  bool Original = false;
  uint8_t EmphasisIndex = 0;
};

// The Xing or VBRI header of the first frame.
struct VBRData {
  bool Found = false;
  char Signature[4] = {}; // "Xing" or "VBRI" (no terminating zero)
  int32_t FrameCount = 0;
  int32_t ByteCount = 0;
  uint8_t Quality = 0;
  std::string Vendor;     // the 8 characters after a Xing header; empty for VBRI
};

class TMPEGaudio {
public:
  static constexpr int WindowSize = 3458; // twice the largest frame length assumed (1,729)

  TMPEGaudio() { ResetData(); }

  void ResetData();
  // Reads the tags and the first frame. True when the file could be opened and read to the
  // end of the procedure; Valid tells whether it is MPEG audio. A file without a valid pair
  // of frame headers is reset entirely (tags included).
  bool ReadFromFile(const std::string &FileName) noexcept;
  bool ReadFromSource(const TByteSource &Source) noexcept;
  // TagKind 1: a 128-byte ID3v1 block; TagKind 2: an ID3v2 block of a stream of StreamSize
  // bytes (see TID3v1::ReadFromBuffer and TID3v2::ReadFromBuffer). Other kinds give False and
  // leave Info alone. Nothing is reset.
  bool ReadTagFromBuffer(const void *Buffer, int32_t StreamSize, TMP3TagInfo &Info, uint16_t TagKind) noexcept;

  int32_t FileLength() const { return FFileLength; }
  const std::string &EncoderTag() const { return FEncoderTag; }
  const VBRData &VBR() const { return FVBR; }
  const FrameHeader &Frame() const { return FFrame; }
  const TID3v1 &ID3v1() const { return FID3v1; }
  const TID3v2 &ID3v2() const { return FID3v2; }

  uint16_t SampleRate() const;  // Hz
  uint16_t BitRate() const;     // kbit/s; the average from the VBR header when there is one
  std::string ChannelMode() const;
  double Duration() const;      // seconds
  bool Valid() const;

private:
  bool ReadAudio(const TByteSource &Source);

  int32_t FFileLength;
  std::string FEncoderTag;
  VBRData FVBR;
  FrameHeader FFrame;
  TID3v1 FID3v1;
  TID3v2 FID3v2;
};

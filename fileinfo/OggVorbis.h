// TOggVorbis: describes an Ogg Vorbis file.
//
// It skips a leading ID3v2 tag, checks the first Ogg page and the Vorbis identification
// header, reads the Vorbis comment packet (reassembled across pages; each item cut to 250
// bytes, the rest of a longer one skipped), finds the last page
// within the last 12,060 bytes for the total number of samples, and derives duration, bit
// rate and validity. Comment values are decoded from UTF-8 and handed out in UTF-8; the
// vendor string keeps its bytes. No operation throws.
#pragma once

#include "fileinfo/ByteSource.h"

#include <cstdint>
#include <string>

class TOggVorbis {
public:
  TOggVorbis() { ResetData(); }

  void ResetData();
  // True when the file starts (after any ID3v2 tag) with an Ogg page whose first packet is a
  // Vorbis identification header; the texts and Samples are filled as far as they were
  // found. False leaves the reset state (also for a file that cannot be opened).
  bool ReadFromFile(const std::string &FileName) noexcept;
  bool ReadFromSource(const TByteSource &Source) noexcept;

  int32_t FileSize() const { return FFileSize; }
  uint8_t Channels() const { return FChannels; }
  uint32_t SampleRate() const { return FSampleRate; }         // Hz, as the header gives it
  uint16_t NominalBitRate() const { return FNominalBitRate; } // kbit/s
  int32_t Samples() const { return FSamples; }                // granule position of the last page
  int32_t ID3v2Size() const { return FID3v2Size; }
  const std::string &Title() const { return FTitle; }
  const std::string &Artist() const { return FArtist; }
  const std::string &Album() const { return FAlbum; }
  uint16_t Track() const { return FTrack; } // kept modulo 256
  const std::string &Date() const { return FDate; }
  const std::string &Genre() const { return FGenre; }
  const std::string &Comment() const { return FComment; }
  const std::string &Vendor() const { return FVendor; }

  double Duration() const;  // seconds
  uint16_t BitRate() const; // kbit/s, average over the file
  bool Valid() const;

private:
  int32_t FFileSize;
  uint8_t FChannels;
  uint32_t FSampleRate;
  uint16_t FNominalBitRate;
  int32_t FSamples;
  int32_t FID3v2Size;
  std::string FTitle;
  std::string FArtist;
  std::string FAlbum;
  uint16_t FTrack;
  std::string FDate;
  std::string FGenre;
  std::string FComment;
  std::string FVendor;
};

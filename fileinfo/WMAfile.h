// TWMAfile: describes a Windows Media Audio file by walking the objects of its ASF header
// (file properties, stream properties, content description, extended content description).
//
// Texts are read as UTF-16 (at most 250 units a field) and handed out in UTF-8. The header's
// values are checked for plausibility before anything is taken. No operation throws.
#pragma once

#include "fileinfo/ByteSource.h"

#include <cstdint>
#include <string>

class TWMAfile {
public:
  TWMAfile() { ResetData(); }

  void ResetData();
  // True when the header could be read without error (a file that is not ASF also gives
  // True, with Valid false); False when the file could not be opened or a read ran past its
  // end. Valid only when the header's values are plausible.
  bool ReadFromFile(const std::string &FileName) noexcept;
  bool ReadFromSource(const TByteSource &Source) noexcept;

  bool Valid() const { return FValid; }
  int32_t FileSize() const { return FFileSize; }
  uint8_t Channels() const { return FChannels; }
  int32_t SampleRate() const { return FSampleRate; } // Hz
  double Duration() const { return FDuration; }      // seconds
  int32_t BitRate() const { return FBitRate; }       // kbit/s
  const std::string &Title() const { return FTitle; }
  const std::string &Artist() const { return FArtist; }
  const std::string &Album() const { return FAlbum; }
  int32_t Track() const { return FTrack; }
  const std::string &Year() const { return FYear; }
  const std::string &Genre() const { return FGenre; }
  const std::string &Comment() const { return FComment; }

private:
  bool FValid;
  int32_t FFileSize;
  uint8_t FChannels;
  int32_t FSampleRate;
  double FDuration;
  int32_t FBitRate;
  std::string FTitle;
  std::string FArtist;
  std::string FAlbum;
  int32_t FTrack;
  std::string FYear;
  std::string FGenre;
  std::string FComment;
};

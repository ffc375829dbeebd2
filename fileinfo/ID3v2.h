// TID3v2: reader of the ID3v2 tag (versions 2.2, 2.3 and 2.4) at the start of an MPEG
// audio file.
//
// It gives the tag's size (which the MPEG reader skips before looking for audio) and the
// texts of sixteen frame types. Frames in text encoding 0 (bytes kept as stored) and 1
// (UTF-16, converted to UTF-8) are read; encodings 2 and 3 are ignored. No operation throws.
#pragma once

#include "fileinfo/ByteSource.h"
#include "fileinfo/MP3TagInfo.h"

#include <cstdint>
#include <string>

class TID3v2 {
public:
  TID3v2() { ResetData(); }

  void ResetData();
  // True when the first 10 bytes of the file could be read; Exists tells whether the file
  // starts with a tag. False (state reset) for a missing or unreadable file or one shorter
  // than 10 bytes.
  bool ReadFromFile(const std::string &FileName) noexcept;
  bool ReadFromSource(const TByteSource &Source) noexcept;
  // Parses a whole ID3v2 block in memory (as an audio library hands it out for a network
  // stream). StreamSize is the length of the stream and bounds the tag; the walk never reads
  // past min(tag size, StreamSize) bytes from Buffer, so Buffer must hold at least that many
  // bytes and at least 10. True when the block starts with "ID3"; fills Info then (unless
  // the version is unknown or the size is 0) and sets the object's Version and Size only.
  bool ReadFromBuffer(const void *Buffer, int32_t StreamSize, TMP3TagInfo &Info) noexcept;

  bool Exists() const { return FExists; }
  uint8_t Version() const { return FVersion; }
  int32_t Size() const { return FSize; } // whole tag in bytes, 0 when none or oversized
  const std::string &Title() const { return FTitle; }
  const std::string &Artist() const { return FArtist; }
  const std::string &Album() const { return FAlbum; }
  uint16_t Track() const { return FTrack; }
  const std::string &TrackText() const { return FTrackText; }
  const std::string &Year() const { return FYear; }
  const std::string &Genre() const { return FGenre; }
  const std::string &Comment() const { return FComment; }
  const std::string &Composer() const { return FComposer; }
  const std::string &Encoder() const { return FEncoder; }
  const std::string &Copyright() const { return FCopyright; }
  const std::string &Language() const { return FLanguage; }
  const std::string &Link() const { return FLink; }

private:
  bool FExists;
  uint8_t FVersion;
  int32_t FSize;
  std::string FTitle;
  std::string FArtist;
  std::string FAlbum;
  uint16_t FTrack;
  std::string FTrackText;
  std::string FYear;
  std::string FGenre;
  std::string FComment;
  std::string FComposer;
  std::string FEncoder;
  std::string FCopyright;
  std::string FLanguage;
  std::string FLink;
};

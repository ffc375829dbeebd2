// TID3v1: reader of the 128-byte ID3v1 / ID3v1.1 tag at the end of an MPEG audio file.
//
// Reads only; texts keep their bytes as stored in the tag (no character-set conversion).
// No operation throws.
#pragma once

#include "fileinfo/ByteSource.h"
#include "fileinfo/MP3TagInfo.h"

#include <cstdint>
#include <string>

class TID3v1 {
public:
  static constexpr int GenreCount = 148;
  static constexpr int TagSize = 128;

  TID3v1() { ResetData(); }

  // Every field back to its reset value (no tag, version 1, genre index 255).
  void ResetData();
  // True when the last 128 bytes of the file could be read; Exists tells whether they are a
  // tag. False (state reset) for a missing or unreadable file or one shorter than 128 bytes.
  bool ReadFromFile(const std::string &FileName) noexcept;
  // The same over any byte source.
  bool ReadFromSource(const TByteSource &Source) noexcept;
  // Parses a 128-byte block in memory (the ID3v1 block an audio library hands out for a
  // network stream) into Info. True when it starts with "TAG"; otherwise Info and the object
  // stay unchanged. Sets only the object's Version and GenreIndex. Buffer must hold 128 bytes
  // (a null Buffer gives False).
  bool ReadFromBuffer(const void *Buffer, TMP3TagInfo &Info) noexcept;

  bool Exists() const { return FExists; }
  uint8_t Version() const { return FVersion; } // 1 = ID3v1.0, 2 = ID3v1.1
  const std::string &Title() const { return FTitle; }
  const std::string &Artist() const { return FArtist; }
  const std::string &Album() const { return FAlbum; }
  const std::string &Year() const { return FYear; }
  const std::string &Comment() const { return FComment; }
  uint8_t Track() const { return FTrack; }
  uint8_t GenreIndex() const { return FGenreIndex; }
  // The genre's name, or empty for an index of 148 or more.
  std::string Genre() const { return GenreName(FGenreIndex); }

  // Name of a genre index from the fixed table of 148 names; empty outside the table.
  static const char *GenreName(int Index);

private:
  bool FExists;
  uint8_t FVersion;
  std::string FTitle;
  std::string FArtist;
  std::string FAlbum;
  std::string FYear;
  std::string FComment;
  uint8_t FTrack;
  uint8_t FGenreIndex;
};

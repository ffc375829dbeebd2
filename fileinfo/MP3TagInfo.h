// TMP3TagInfo: the tag texts taken from an in-memory tag block of a network stream.
#pragma once

#include <cstdint>
#include <string>

struct TMP3TagInfo {
  std::string Title;
  std::string Artist;
  std::string Album;
  std::string Year;
  std::string Comment;
  uint16_t Track = 0;
  std::string Genre;
};

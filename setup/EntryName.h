// EntryName.h: which package entries the installer accepts. One rule, shared by `setup`,
// which refuses a package that breaks it, and by `mkpackage`, which refuses to write one.
// Plain C++ (no Qt), so that mkpackage stays a small standalone tool.
//
// A stored name is '/'-separated ('\' counts as a separator too, as in packages made on
// Windows); a name that ends in a separator is a folder entry.
#ifndef AUBADINE_SETUP_ENTRYNAME_H
#define AUBADINE_SETUP_ENTRYNAME_H

#include <cstdint>
#include <string_view>

namespace setup_format {

enum class TEntryFault {
  None,
  Empty,           // no name at all
  NulByte,         // a NUL byte in the name
  Absolute,        // starts with a separator: would install outside the target folder
  Climbs,          // a ".." component: would install outside the target folder
  NoName,          // only separators and "." components: names the target folder itself
  FolderWithData,  // a folder entry whose DataSize is not 0
};

inline bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// True for a folder entry's name (it ends in a separator).
inline bool IsFolderName(std::string_view stored) { return !stored.empty() && IsSeparator(stored.back()); }

// The checks on the name alone (made before anything is written for the entry).
inline TEntryFault NameFault(std::string_view stored) {
  if (stored.empty()) return TEntryFault::Empty;
  if (stored.find('\0') != std::string_view::npos) return TEntryFault::NulByte;
  if (IsSeparator(stored.front())) return TEntryFault::Absolute;
  bool named = false;
  size_t start = 0;
  while (start <= stored.size()) {
    size_t end = start;
    while (end < stored.size() && !IsSeparator(stored[end])) ++end;
    const std::string_view part = stored.substr(start, end - start);
    if (part == "..") return TEntryFault::Climbs;
    if (!part.empty() && part != ".") named = true;
    start = end + 1;
  }
  return named ? TEntryFault::None : TEntryFault::NoName;
}

// The whole entry: its name and the size of its contents.
inline TEntryFault EntryFault(std::string_view stored, uint32_t dataSize) {
  const TEntryFault fault = NameFault(stored);
  if (fault != TEntryFault::None) return fault;
  if (IsFolderName(stored) && dataSize != 0) return TEntryFault::FolderWithData;
  return TEntryFault::None;
}

}  // namespace setup_format

#endif

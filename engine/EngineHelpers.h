// Small helpers shared by the engine's source files (not part of its interface).
#pragma once

#include <cctype>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace engine_detail {

inline bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

inline std::string UpperCase(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The extension of a path or address in upper case, dot included; empty when the last
// part of the name has no dot. Folders end at '/', '\' or ':'.
inline std::string UpperExt(const std::string& name)
{
    size_t i = name.find_last_of("./\\:");
    if (i == std::string::npos || name[i] != '.')
        return "";
    return UpperCase(name.substr(i));
}

// Extensions of the tracker module formats the audio library loads.
inline bool IsTrackerModuleExt(const std::string& ext)
{
    for (const char* e : {".MO3", ".IT", ".XM", ".S3M", ".MTM", ".MOD", ".UMX"})
        if (ext == e)
            return true;
    return false;
}

// The file name without its folder.
inline std::string FileNameOnly(const std::string& name)
{
    size_t i = name.find_last_of("/\\:");
    return i == std::string::npos ? name : name.substr(i + 1);
}

// Rounds to the nearest integer, halves to even (the FPU's default mode).
inline double RoundEven(double v)
{
    return std::nearbyint(v);
}

// Seconds as the audio library reports them to whole milliseconds. A failed or unknown
// length (negative, not a number) gives 0 and a huge one the largest count, instead of an
// out-of-range conversion.
inline uint32_t SecondsToMs(double seconds)
{
    if (!(seconds > 0))
        return 0;
    double ms = RoundEven(seconds * 1000.0);
    return ms >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(ms);
}

// A length the library does not know (all ones) counts as none.
inline uint64_t KnownLength(uint64_t bytes)
{
    return bytes == ~uint64_t{0} ? 0 : bytes;
}

// Cuts s to at most maxBytes without ending inside a UTF-8 sequence.
inline std::string Utf8Cut(const std::string& s, size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return s;
    size_t n = maxBytes;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;
    return s.substr(0, n);
}

// Walks a list of NUL-separated strings ended by an empty one; f returns true to stop.
template <typename F>
void ForEachListEntry(const char* list, F&& f)
{
    if (!list)
        return;
    for (const char* p = list; *p; p += std::char_traits<char>::length(p) + 1)
        if (f(std::string_view(p)))
            return;
}

}  // namespace engine_detail

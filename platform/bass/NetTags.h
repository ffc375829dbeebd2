// Texts of network streams as the library hands them out: the ICY and HTTP header lists
// (NUL-separated entries ended by an empty one) and the in-band Shoutcast metadata, made
// from what FFmpeg's http protocol gives, and the container a Content-Type names.
// Pure functions of outside data, fuzzed (fuzz/bass/FuzzNetTags.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace aubadine::bass::net {

// Appends one entry to a NUL-separated list (without its closing empty entry); entries hold
// no NUL, so one inside `entry` ends it there.
void appendEntry(std::string& list, std::string_view entry);
// Closes a list with its empty entry; an empty list stays empty (no list at all).
void closeList(std::string& list);

// FFmpeg's "icy_metadata_headers" text, lines of "name: value", as the list of "name:value"
// entries (the name as the server sent it, the value without surrounding blanks).
std::string icyHeaderList(std::string_view headers);

// The HTTP response as far as it is known: Content-Type, Content-Length, where a redirect
// led, and the ICY headers; an empty text when nothing is known.
std::string httpHeaderList(std::string_view contentType, std::optional<uint64_t> contentLength,
                           std::string_view location, std::string_view icyHeaders);

// The metadata text of an in-band block as FFmpeg's "icy_metadata_packet" holds it: cut at
// the first NUL, trailing blanks and a stray byte after the closing "';" removed. The bytes
// are kept as they stand (stations send Latin-1 as well as UTF-8).
std::string metaText(std::string_view packet);

// The FFmpeg demuxer for a Content-Type ("audio/mpeg" -> "mp3"), or null to probe.
const char* formatForContentType(std::string_view contentType);

// Whether an address's path ends in the extension of an audio file (.mp3 .mp2 .mp1 .ogg
// .wav .wma .asf .flac .aac .m4a), ignoring a query or fragment.
bool namesAudioFile(std::string_view url);

}  // namespace aubadine::bass::net

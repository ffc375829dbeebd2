// The fileinfo inspector's report: one JSON line per file, naming each member after the
// reader property it shows (see docs/fileinfo.md for the contract).
#pragma once

#include <string>
#include <string_view>

namespace fileinfo_tool {

// The reader chosen by the file's extension, compared in upper case as the player does:
// "mpeg" (.MP1 .MP2 .MP3), "ogg", "wma", "wav", or empty for anything else.
std::string ReaderForFile(std::string_view FileName);

// The JSON object for one file, without a line end. Never throws for any file.
std::string DescribeFile(const std::string &FileName);

// A JSON string literal of Text: valid UTF-8 passes through, every byte that is not part of a
// valid UTF-8 sequence becomes \u00XX of the same value.
std::string JsonString(std::string_view Text);

// Full double precision (17 significant digits), independent of the locale.
std::string JsonNumber(double Value);

} // namespace fileinfo_tool

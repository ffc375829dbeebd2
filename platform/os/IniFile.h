// Reader of INI files with the results of the Windows private-profile services that the
// playlist was written for: section and key names compared without regard to (ASCII)
// letter case, keys listed in file order (duplicates included), a key's value taken from
// its first occurrence in the first section of that name, values trimmed and stripped of
// one pair of enclosing quotes, ';' lines ignored. Bytes are kept as they are (no encoding
// is assumed); "\r\n", "\n" and a lone "\r" all end a line.
//
// QSettings cannot serve here: it sorts keys, and the playlist's order is its key order.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TIniFile {
public:
    // Reads the whole file; a missing or unreadable file reads as an empty one.
    explicit TIniFile(const std::string& path);
    static TIniFile FromText(std::string_view text);

    // Key names of the section, in file order (ReadSection).
    std::vector<std::string> ReadSection(const std::string& section) const;
    // The value of the key, or def when the section or key is missing (ReadString).
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;

private:
    TIniFile() = default;
    void Parse(std::string_view text);

    struct Section {
        std::vector<std::string> keys;                       // file order
        std::unordered_map<std::string, std::string> values; // lower-case key -> first value
    };
    std::unordered_map<std::string, Section> sections_;      // lower-case name -> first section
};

#include "NetTags.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace aubadine::bass::net {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

void appendEntry(std::string& list, std::string_view entry) {
    entry = entry.substr(0, entry.find('\0'));
    list.append(entry);
    list.push_back('\0');
}

void closeList(std::string& list) {
    if (!list.empty()) list.push_back('\0');
}

std::string icyHeaderList(std::string_view headers) {
    std::string list;
    while (!headers.empty()) {
        const size_t end = headers.find('\n');
        std::string_view line = headers.substr(0, end);
        headers = end == std::string_view::npos ? std::string_view{} : headers.substr(end + 1);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view name = trim(line.substr(0, colon));
        if (name.empty()) continue;
        std::string entry(name);
        entry += ':';
        entry += trim(line.substr(colon + 1));
        appendEntry(list, entry);
    }
    closeList(list);
    return list;
}

std::string httpHeaderList(std::string_view contentType, std::optional<uint64_t> contentLength,
                           std::string_view location, std::string_view icyHeaders) {
    std::string list;
    if (!contentType.empty()) appendEntry(list, "Content-Type: " + std::string(trim(contentType)));
    if (contentLength) appendEntry(list, "Content-Length: " + std::to_string(*contentLength));
    if (!location.empty()) appendEntry(list, "Location: " + std::string(trim(location)));
    std::string icy = icyHeaderList(icyHeaders);
    if (!icy.empty()) list.append(icy, 0, icy.size() - 1);  // without its closing entry
    closeList(list);
    return list;
}

std::string metaText(std::string_view packet) {
    packet = packet.substr(0, packet.find('\0'));
    // FFmpeg 5.1 ends the text of a block that the text fills exactly one byte too late, so
    // a stray byte may follow the closing quote and semicolon.
    if (packet.size() >= 3 && packet.size() % 16 == 1 && packet[packet.size() - 2] == ';' &&
        packet[packet.size() - 3] == '\'')
        packet.remove_suffix(1);
    while (!packet.empty() && (packet.back() == ' ' || packet.back() == '\r' || packet.back() == '\n'))
        packet.remove_suffix(1);
    return std::string(packet);
}

const char* formatForContentType(std::string_view contentType) {
    contentType = trim(contentType.substr(0, contentType.find(';')));
    struct Kind {
        const char* type;
        const char* format;
    };
    static constexpr std::array<Kind, 18> kinds{{
        {"audio/mpeg", "mp3"},          {"audio/mp3", "mp3"},
        {"audio/x-mpeg", "mp3"},        {"audio/mpeg3", "mp3"},
        {"audio/x-mp3", "mp3"},         {"application/ogg", "ogg"},
        {"audio/ogg", "ogg"},           {"audio/x-ogg", "ogg"},
        {"audio/vorbis", "ogg"},        {"audio/aac", "aac"},
        {"audio/aacp", "aac"},          {"audio/x-aac", "aac"},
        {"audio/wav", "wav"},           {"audio/x-wav", "wav"},
        {"audio/wave", "wav"},          {"video/x-ms-asf", "asf"},
        {"audio/x-ms-wma", "asf"},      {"audio/flac", "flac"},
    }};
    for (const Kind& k : kinds)
        if (equalNoCase(contentType, k.type)) return k.format;
    return nullptr;
}

bool namesAudioFile(std::string_view url) {
    url = url.substr(0, url.find_first_of("?#"));
    const size_t scheme = url.find("://");
    if (scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
    const size_t slash = url.find('/');
    if (slash == std::string_view::npos) return false;  // no path at all
    url.remove_prefix(slash);
    const size_t dot = url.rfind('.');
    if (dot == std::string_view::npos || url.find('/', dot) != std::string_view::npos) return false;
    const std::string_view ext = url.substr(dot + 1);
    for (const char* known : {"mp3", "mp2", "mp1", "ogg", "wav", "wma", "asf", "flac", "aac", "m4a"})
        if (equalNoCase(ext, known)) return true;
    return false;
}

}  // namespace aubadine::bass::net

#include "NetTagsInput.h"

#include "NetTags.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace aubadine::bass::fuzz {
namespace {

// A NUL-separated list is either empty or ends with an empty entry, and has no other.
void checkList(const std::string& list) {
    if (list.empty()) return;
    if (list.size() < 2 || list[list.size() - 1] != '\0' || list[list.size() - 2] != '\0') std::abort();
    for (size_t at = 0; at + 1 < list.size();) {
        const size_t len = std::strlen(list.c_str() + at);
        if (len == 0) std::abort();  // an empty entry before the end
        at += len + 1;
    }
}

}  // namespace

void netTags(const uint8_t* data, size_t size) {
    if (size == 0) return;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 4) {
    case 0: checkList(net::icyHeaderList(text)); break;
    case 1: {
        const std::string meta = net::metaText(text);
        if (meta.size() > text.size() || meta.find('\0') != std::string::npos) std::abort();
        break;
    }
    case 2: {
        const size_t half = text.size() / 2;
        checkList(net::httpHeaderList(text.substr(0, half), text.size(), "", text.substr(half)));
        if (const char* f = net::formatForContentType(text); f && !*f) std::abort();
        break;
    }
    default: net::namesAudioFile(text); break;
    }
}

}  // namespace aubadine::bass::fuzz

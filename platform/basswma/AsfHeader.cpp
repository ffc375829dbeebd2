#include "AsfHeader.h"

#include <cstring>

namespace aubadine::basswma {
namespace {

// GUIDs as they are stored in the file (the first three fields little-endian).
constexpr uint8_t kHeaderObject[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr uint8_t kContentEncryption[16] = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                            0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
constexpr uint8_t kExtendedContentEncryption[16] = {0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C,
                                                    0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C};

uint64_t le64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

}  // namespace

AsfHeaderCheck inspectAsfHeader(const uint8_t* data, size_t size) {
    AsfHeaderCheck check;
    if (size < kAsfHeaderPrefix || std::memcmp(data, kHeaderObject, 16) != 0) return check;
    check.asf = true;
    check.headerSize = le64(data + 16);
    const uint64_t end = check.headerSize < size ? check.headerSize : size;
    uint64_t at = kAsfHeaderPrefix;
    while (at + 24 <= end) {
        const uint8_t* object = data + at;
        const uint64_t objectSize = le64(object + 16);
        if (std::memcmp(object, kContentEncryption, 16) == 0 ||
            std::memcmp(object, kExtendedContentEncryption, 16) == 0)
            check.protectedContent = true;
        if (objectSize < 24 || objectSize > end - at) break;
        at += objectSize;
    }
    return check;
}

}  // namespace aubadine::basswma

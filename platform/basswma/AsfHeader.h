// What the WMA add-on checks in a file before handing it to the decoder: that it is an ASF
// file at all, and whether its header carries a content-protection object (such files are
// refused with BASS_ERROR_WMA_LICENSE instead of being decoded into noise).
#pragma once

#include <cstddef>
#include <cstdint>

namespace aubadine::basswma {

inline constexpr size_t kAsfHeaderPrefix = 30;  // GUID, 64-bit size, object count, 2 reserved bytes

struct AsfHeaderCheck {
    bool asf = false;          // starts with the ASF header object
    bool protectedContent = false;
    uint64_t headerSize = 0;   // size of the header object as the file declares it
};

// Looks at the first `size` bytes of a file (at least kAsfHeaderPrefix for a positive
// answer). Child objects that lie past `size` are not looked at; sizes that run past the
// bytes given or below an object's own header end the walk.
AsfHeaderCheck inspectAsfHeader(const uint8_t* data, size_t size);

}  // namespace aubadine::basswma

// libFuzzer target: the readers of what network servers send (ICY headers, in-band metadata,
// Content-Type) and of addresses.
#include "NetTagsInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    aubadine::bass::fuzz::netTags(data, size);
    return 0;
}

// libFuzzer target: stream metadata parsers of the engine.
#include "MetadataFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzStreamMetadata(data, size);
    return 0;
}

// libFuzzer target: the visualization host protocol's frame parser.
#include "FrameFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzVisFrame(data, size);
    return 0;
}

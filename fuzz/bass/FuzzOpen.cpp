// libFuzzer target: arbitrary bytes opened as a stream or a module from memory.
#include "OpenBytes.h"

#include "bass.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = BASS_Init(0, 44100, 0, nullptr, nullptr);
    if (ready) aubadine::bass::fuzz::openBytes(data, size);
    return 0;
}

// libFuzzer target: arbitrary bytes opened as a WMA stream from memory through the add-on.
#include "OpenAsf.h"

#include "bass.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = BASS_Init(0, 44100, 0, nullptr, nullptr);
    if (ready) aubadine::basswma::fuzz::openAsf(data, size);
    return 0;
}

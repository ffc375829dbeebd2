// libFuzzer entry for the MPEGaudio reader.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  fileinfo_fuzz::FuzzMPEGaudio(Data, Size);
  return 0;
}

// libFuzzer entry for the WAVfile reader.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  fileinfo_fuzz::FuzzWAVfile(Data, Size);
  return 0;
}

// libFuzzer entry for the WMAfile reader.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  fileinfo_fuzz::FuzzWMAfile(Data, Size);
  return 0;
}

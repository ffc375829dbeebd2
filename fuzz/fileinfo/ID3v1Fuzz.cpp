// libFuzzer entry for the ID3v1 reader.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  fileinfo_fuzz::FuzzID3v1(Data, Size);
  return 0;
}

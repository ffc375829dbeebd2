// libFuzzer entry for the OggVorbis reader.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  fileinfo_fuzz::FuzzOggVorbis(Data, Size);
  return 0;
}

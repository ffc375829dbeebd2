#include "fileinfo/ByteSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

size_t TMemorySource::ReadAt(int64_t Pos, void *Buffer, size_t Count) const {
  if (Pos < 0 || static_cast<uint64_t>(Pos) >= FLength || Count == 0)
    return 0;
  const size_t Available = FLength - static_cast<size_t>(Pos);
  const size_t N = Count < Available ? Count : Available;
  std::memcpy(Buffer, FData + Pos, N);
  return N;
}

TFileSource::TFileSource(const std::string &FileName) noexcept {
  const int Fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (Fd < 0)
    return;
  struct stat St {};
  if (::fstat(Fd, &St) != 0 || !S_ISREG(St.st_mode)) {
    ::close(Fd);
    return;
  }
  FHandle = Fd;
  FSize = static_cast<int64_t>(St.st_size);
}

TFileSource::~TFileSource() {
  if (FHandle >= 0)
    ::close(FHandle);
}

size_t TFileSource::ReadAt(int64_t Pos, void *Buffer, size_t Count) const {
  if (FHandle < 0 || Pos < 0 || Count == 0 || Pos >= FSize)
    return 0;
  const int64_t Start = Pos - Pos % BlockAlign;
  if (Pos + static_cast<int64_t>(Count) > Start + static_cast<int64_t>(BlockSize))
    return ReadDirect(Pos, Buffer, Count);
  Block *Hit = nullptr;
  for (Block &B : FBlocks)
    if (B.Start == Start)
      Hit = &B;
  if (Hit == nullptr) {
    Hit = &FBlocks[FNextVictim];
    FNextVictim ^= 1;
    Hit->Start = -1;
    Hit->Length = ReadDirect(Start, Hit->Data, BlockSize);
    Hit->Start = Start;
  }
  const size_t Offset = static_cast<size_t>(Pos - Start);
  if (Offset >= Hit->Length)
    return 0;
  const size_t N = Count < Hit->Length - Offset ? Count : Hit->Length - Offset;
  std::memcpy(Buffer, Hit->Data + Offset, N);
  return N;
}

size_t TFileSource::ReadDirect(int64_t Pos, void *Buffer, size_t Count) const {
  size_t Done = 0;
  auto *Out = static_cast<uint8_t *>(Buffer);
  while (Done < Count) {
    const ssize_t N = ::pread(FHandle, Out + Done, Count - Done, static_cast<off_t>(Pos + static_cast<int64_t>(Done)));
    if (N < 0 && errno == EINTR)
      continue;
    if (N <= 0)
      break;
    Done += static_cast<size_t>(N);
  }
  return Done;
}

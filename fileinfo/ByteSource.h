// Random-access byte sources for the file information readers.
//
// Every reader parses through a TByteSource, so the same code reads a file on disk
// (TFileSource) or bytes already in memory (TMemorySource, used by the fuzz targets and the
// tests). A read never throws: it returns how many bytes it delivered, which is fewer than
// asked at the end of the data or on an I/O error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class TByteSource {
public:
  virtual ~TByteSource() = default;
  // Size of the data in bytes.
  virtual int64_t Size() const = 0;
  // Copies up to Count bytes from absolute position Pos into Buffer; returns the number of
  // bytes copied (0 for a position outside the data).
  virtual size_t ReadAt(int64_t Pos, void *Buffer, size_t Count) const = 0;
};

// Bytes in memory; the caller keeps them alive while the source is used.
class TMemorySource final : public TByteSource {
public:
  TMemorySource(const void *Data, size_t Length)
      : FData(static_cast<const uint8_t *>(Data)), FLength(Length) {}
  int64_t Size() const override { return static_cast<int64_t>(FLength); }
  size_t ReadAt(int64_t Pos, void *Buffer, size_t Count) const override;

private:
  const uint8_t *FData;
  size_t FLength;
};

// A regular file opened read-only. Opening never blocks (FIFOs and devices are refused) and
// the descriptor is closed by the destructor. The readers make many small reads near the
// start and the end of a file, so small reads are served from two fixed blocks of 8 KiB
// (one system call per block instead of one per field); nothing grows with the file.
class TFileSource final : public TByteSource {
public:
  explicit TFileSource(const std::string &FileName) noexcept;
  ~TFileSource() override;
  TFileSource(const TFileSource &) = delete;
  TFileSource &operator=(const TFileSource &) = delete;

  bool IsOpen() const { return FHandle >= 0; }
  int64_t Size() const override { return FSize; }
  size_t ReadAt(int64_t Pos, void *Buffer, size_t Count) const override;

private:
  static constexpr size_t BlockSize = 8192;
  static constexpr int64_t BlockAlign = 4096;
  struct Block {
    int64_t Start = -1; // file position of Data[0]; -1 while empty
    size_t Length = 0;  // bytes held (fewer than BlockSize at the end of the file)
    uint8_t Data[BlockSize];
  };
  size_t ReadDirect(int64_t Pos, void *Buffer, size_t Count) const;

  int FHandle = -1;
  int64_t FSize = 0;
  mutable Block FBlocks[2];
  mutable int FNextVictim = 0;
};

// A file size as the readers' 32-bit size fields hold it: sizes beyond 2 GiB are held as the
// largest 32-bit value rather than wrapping to a negative number.
inline int32_t ClampFileSize(int64_t Size) {
  return Size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(Size < 0 ? 0 : Size);
}

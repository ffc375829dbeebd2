#include "fileinfo/ByteSource.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <random>

#include <sys/stat.h>

using namespace fileinfo_test;

// The file source's cached blocks must deliver exactly what the bytes in memory deliver, for
// reads inside, across and past the blocks and the end of the file.
TEST(ByteSource, FileReadsMatchMemoryReads) {
  Bytes Data(30011);
  for (size_t I = 0; I < Data.size(); ++I)
    Data[I] = static_cast<uint8_t>(I * 7 + (I >> 8));
  TempDir Dir;
  const TFileSource File(Dir.Write("data.bin", Data));
  const TMemorySource Memory(Data.data(), Data.size());
  ASSERT_TRUE(File.IsOpen());
  EXPECT_EQ(File.Size(), Memory.Size());

  std::mt19937 Random(7);
  const int64_t Edges[] = {0, 4095, 4096, 8191, 8192, 12287, 29000, 30000, 30010, 30011, 40000, -5};
  for (int I = 0; I < 3000; ++I) {
    const int64_t Pos = I < 120 ? Edges[I % std::size(Edges)] : static_cast<int64_t>(Random() % 31000);
    const size_t Count = I % 3 == 0 ? 1 + Random() % 20000 : Random() % 600;
    Bytes A(Count, 0xEE), B(Count, 0xEE);
    ASSERT_EQ(File.ReadAt(Pos, A.data(), Count), Memory.ReadAt(Pos, B.data(), Count)) << Pos << " " << Count;
    ASSERT_EQ(A, B) << Pos << " " << Count;
  }
}

TEST(ByteSource, OnlyRegularFilesOpen) {
  TempDir Dir;
  EXPECT_FALSE(TFileSource(Dir.Path().string()).IsOpen());
  EXPECT_FALSE(TFileSource((Dir.Path() / "missing").string()).IsOpen());
  const std::string Fifo = (Dir.Path() / "fifo").string();
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  EXPECT_FALSE(TFileSource(Fifo).IsOpen()); // refused without blocking
  EXPECT_TRUE(TFileSource(Dir.Write("empty", {})).IsOpen());
}

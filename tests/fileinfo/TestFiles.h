// Helpers for the readers' tests: byte builders and files in a per-test temporary folder.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace fileinfo_test {

using Bytes = std::vector<uint8_t>;

// (resize + memcpy rather than insert: GCC 12 reports a false overflow for the latter.)
inline void Append(Bytes &B, const void *Data, size_t N) {
  if (N == 0)
    return;
  const size_t Old = B.size();
  B.resize(Old + N);
  std::memcpy(B.data() + Old, Data, N);
}
inline void Append(Bytes &B, std::string_view S) { Append(B, S.data(), S.size()); }
inline void Append(Bytes &B, const Bytes &S) { Append(B, S.data(), S.size()); }
inline void AppendZeros(Bytes &B, size_t N) { B.insert(B.end(), N, 0); }
inline void AppendLE16(Bytes &B, uint32_t V) {
  B.push_back(static_cast<uint8_t>(V));
  B.push_back(static_cast<uint8_t>(V >> 8));
}
inline void AppendLE32(Bytes &B, uint32_t V) {
  AppendLE16(B, V & 0xFFFF);
  AppendLE16(B, V >> 16);
}
inline void AppendLE64(Bytes &B, uint64_t V) {
  AppendLE32(B, static_cast<uint32_t>(V));
  AppendLE32(B, static_cast<uint32_t>(V >> 32));
}
inline void AppendBE32(Bytes &B, uint32_t V) {
  for (int Shift = 24; Shift >= 0; Shift -= 8)
    B.push_back(static_cast<uint8_t>(V >> Shift));
}
// UTF-16LE units of an ASCII text.
inline void AppendUtf16(Bytes &B, std::string_view S) {
  for (char C : S)
    AppendLE16(B, static_cast<uint8_t>(C));
}

// A folder under the system's temporary folder, removed with its files at the end of scope.
class TempDir {
public:
  TempDir() {
    std::string Pattern = (std::filesystem::temp_directory_path() / "aubadine-fileinfo-XXXXXX").string();
    if (::mkdtemp(Pattern.data()) != nullptr)
      FPath = Pattern;
  }
  ~TempDir() {
    std::error_code Ec;
    std::filesystem::remove_all(FPath, Ec);
  }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  const std::filesystem::path &Path() const { return FPath; }
  std::string Write(const std::string &Name, const Bytes &Data) const {
    const auto P = FPath / Name;
    std::ofstream(P, std::ios::binary).write(reinterpret_cast<const char *>(Data.data()), static_cast<std::streamsize>(Data.size()));
    return P.string();
  }

private:
  std::filesystem::path FPath;
};

} // namespace fileinfo_test

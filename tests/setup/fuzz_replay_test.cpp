// Replays the package fuzz target over generated packages (whole, cut short, with hostile
// names) and over any saved inputs in fuzz/setup/corpus, so the fuzz checks run in every build.
#include "PackageFixture.h"

#include <QDir>
#include <QDirIterator>
#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

using namespace setup_test;

namespace {

void Replay(const QByteArray& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size()));
}

TEST(PackageFuzzReplay, GeneratedPackagesAndEveryPrefix) {
  const std::vector<QByteArray> packages = {
      MakePackage({}),
      MakePackage({{"Lirren", Pattern(10001)}, {"Plugins/", ""}, {"Plugins/in_a.so", Pattern(3)}}),
      MakePackage({{"a", ""}, {"../b", "x"}}),
      MakePackage({{"/abs", "x"}}),
      MakePackage({{"dir\\", "data"}}),
      QByteArray("\xff\xff", 2),
      QByteArray("\x01\x00\xff\xff\xff", 5),
  };
  for (const QByteArray& package : packages)
    for (qsizetype cut = 0; cut <= package.size(); ++cut) Replay(package.left(cut));
}

TEST(PackageFuzzReplay, SavedCorpus) {
  QDirIterator it(QStringLiteral(AUBADINE_SOURCE_DIR "/fuzz/setup/corpus"), QDir::Files);
  while (it.hasNext()) Replay(ReadFile(it.next()));
}

}  // namespace

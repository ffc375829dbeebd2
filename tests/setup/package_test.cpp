// Reading packages: chunking of contents, sizes, names, and damaged packages.
#include "Package.h"
#include "PackageFixture.h"

#include <QBuffer>
#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace setup;
using namespace setup_test;

namespace {

// Keeps what the reader hands over, file by file, with the size of every write.
class MemorySink : public TEntrySink {
 public:
  struct File {
    QByteArray data;
    std::vector<qint64> writes;
    bool complete = false;
    bool ended = false;
  };
  std::vector<QString> order;
  std::map<QString, File> files;
  std::vector<QString> folders;

  bool MakeFolder(const QString& name, QString&) override {
    folders.push_back(name);
    return true;
  }
  bool Begin(const QString& name, QString&) override {
    order.push_back(name);
    files[name] = File{};
    current = &files[name];
    return true;
  }
  bool Write(const char* data, qint64 size, QString&) override {
    current->data.append(data, size);
    current->writes.push_back(size);
    return true;
  }
  bool End(bool complete, QString&) override {
    current->complete = complete;
    current->ended = true;
    return complete;
  }

 private:
  File* current = nullptr;
};

TUnpackResult Unpack(const QByteArray& package, MemorySink& sink) {
  QByteArray copy = package;
  QBuffer buffer(&copy);
  buffer.open(QIODevice::ReadOnly);
  return UnpackPackage(buffer, QStringLiteral("/src/data.dat"), sink);
}

struct ChunkCase {
  qsizetype size;
  std::vector<qint64> writes;
};

TEST(Package, ContentsGoThroughTenThousandByteChunksWithOneFinalStep) {
  const std::vector<ChunkCase> cases = {
      {0, {0}},
      {1, {1}},
      {9999, {9999}},
      {10000, {10000}},
      {10001, {10000, 1}},
      {20000, {10000, 10000}},
      {20001, {10000, 10000, 1}},
      {65536, {10000, 10000, 10000, 10000, 10000, 10000, 5536}},
  };
  for (const ChunkCase& c : cases) {
    SCOPED_TRACE(c.size);
    const QByteArray data = Pattern(c.size, int(c.size));
    MemorySink sink;
    const TUnpackResult r = Unpack(MakePackage({{"f", data}}), sink);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.entriesDone, 1);
    EXPECT_EQ(sink.files["f"].writes, c.writes);
    EXPECT_EQ(sink.files["f"].data, data);
    EXPECT_TRUE(sink.files["f"].complete);
  }
}

TEST(Package, SizeIsBigEndianAcrossThreeBytes) {
  // 0x01 0x00 0x00 is 65,536 bytes; written by hand so the encoder cannot hide a byte-order slip.
  QByteArray package("\x01\x01x\x01\x00\x00", 6);
  package.append(Pattern(65536));
  package.append("tail");
  MemorySink sink;
  const TUnpackResult r = Unpack(package, sink);
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_EQ(sink.files["x"].data.size(), 65536);

  // 0x00 0x01 0x02 is 258 bytes.
  QByteArray small("\x01\x01y\x00\x01\x02", 6);
  small.append(Pattern(258));
  MemorySink sink2;
  ASSERT_TRUE(Unpack(small, sink2).ok);
  EXPECT_EQ(sink2.files["y"].data.size(), 258);
}

TEST(Package, CountZeroAndTrailingBytes) {
  MemorySink empty;
  const TUnpackResult r0 = Unpack(QByteArray(1, '\0'), empty);
  EXPECT_TRUE(r0.ok);
  EXPECT_TRUE(empty.order.empty());

  // Bytes after the last declared entry are ignored, even if they look like another entry.
  QByteArray package = MakePackage({{"a", "AAA"}, {"b", ""}});
  package.append(MakePackage({{"c", "CCC"}}).mid(1));
  MemorySink sink;
  const TUnpackResult r = Unpack(package, sink);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(sink.order, (std::vector<QString>{"a", "b"}));
  EXPECT_EQ(sink.files["a"].data, QByteArray("AAA"));
  EXPECT_TRUE(sink.files["b"].data.isEmpty());
}

TEST(Package, EndingEarlyAnywhereIsReportedAndNoUnreadByteIsWritten) {
  const QByteArray first = Pattern(10001, 7);
  const QByteArray second = Pattern(5, 8);
  const QByteArray whole = MakePackage({{"Lirren", first}, {"Plugins/in_a.so", second}});
  for (qsizetype cut = 0; cut < whole.size(); ++cut) {
    SCOPED_TRACE(cut);
    MemorySink sink;
    const TUnpackResult r = Unpack(whole.left(cut), sink);
    ASSERT_FALSE(r.ok);
    EXPECT_TRUE(r.error.contains(QStringLiteral("/src/data.dat"))) << r.error.toStdString();
    for (const auto& [name, file] : sink.files) {
      const QByteArray& expected = name == QStringLiteral("Lirren") ? first : second;
      EXPECT_TRUE(expected.startsWith(file.data)) << name.toStdString();
      EXPECT_TRUE(file.ended) << "every started file is ended";
      // Only a fully read file may be completed.
      EXPECT_EQ(file.complete, file.data.size() == expected.size()) << name.toStdString();
    }
    EXPECT_FALSE(sink.files.count(QStringLiteral("Plugins/in_a.so")) && sink.files["Plugins/in_a.so"].complete);
  }
}

TEST(Package, HostileNamesAreRefusedBeforeAnythingIsWrittenForThem) {
  const std::vector<QByteArray> hostile = {
      "/etc/passwd", "..", "../x", "a/../../x", "a/..", "a\\..\\..\\x", "\\x",
      "", "/", "./", ".", "a/./..", QByteArray("a\0b", 3),
  };
  for (const QByteArray& name : hostile) {
    SCOPED_TRACE(name.toStdString());
    EXPECT_TRUE(CheckEntryName(name).isEmpty());
    MemorySink sink;
    const TUnpackResult r = Unpack(MakePackage({{"ok", "fine"}, {name, "evil"}, {"late", "x"}}), sink);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.entriesDone, 1);
    EXPECT_EQ(sink.order, std::vector<QString>{"ok"});
    EXPECT_TRUE(sink.folders.empty());
    EXPECT_TRUE(r.error.contains(QStringLiteral("/src/data.dat")));
  }
}

TEST(Package, OrdinaryNamesAreKeptWithWindowsSeparatorsUnified) {
  const std::vector<std::pair<QByteArray, QString>> names = {
      {"Lirren", "Lirren"},
      {"Plugins/in_mod.so", "Plugins/in_mod.so"},
      {"Plugins\\in_mod.so", "Plugins/in_mod.so"},
      {"..a", "..a"},
      {"a..b", "a..b"},
      {"./x", "./x"},
      {"Музыка.txt", QStringLiteral("Музыка.txt")},
      {"Plugins/", "Plugins/"},
  };
  for (const auto& [stored, expected] : names) EXPECT_EQ(CheckEntryName(stored), expected) << stored.toStdString();
}

TEST(Package, FolderEntries) {
  MemorySink sink;
  const TUnpackResult r = Unpack(MakePackage({{"Plugins\\", ""}, {"Plugins/in_a.so", "A"}}), sink);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(sink.folders, std::vector<QString>{"Plugins"});
  EXPECT_EQ(r.entriesDone, 2);

  MemorySink withData;
  const TUnpackResult bad = Unpack(MakePackage({{"Plugins/", "data"}}), withData);
  EXPECT_FALSE(bad.ok);
  EXPECT_TRUE(withData.folders.empty());
}

TEST(Package, EmptyPackageFileIsDamaged) {
  MemorySink sink;
  const TUnpackResult r = Unpack(QByteArray(), sink);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.error.contains(QStringLiteral("/src/data.dat")));
}

}  // namespace

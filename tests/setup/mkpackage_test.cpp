// mkpackage: the bytes it writes, and the limits of the format it refuses to pass.
#include "Installer.h"
#include "PackageFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace setup_test;

namespace {

struct PackRun {
  int exitCode;
  QString errors;
};

class MkPackage : public ::testing::Test {
 public:
  QTemporaryDir dir;
  QString out;
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    out = dir.filePath("data.dat");
  }
  PackRun Pack(const QStringList& arguments) {
    QProcess p;
    p.start(QStringLiteral(AUBADINE_BIN_DIR "/mkpackage"), QStringList{"-o", out} + arguments);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
  }
  QString File(const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    WriteFile(path, bytes);
    return path;
  }
};

TEST_F(MkPackage, WritesTheEntriesInOrder) {
  const QString player = File("build/Lirren", Pattern(70000, 1));
  File("build/Plugins/in_b.so", "B");
  File("build/Plugins/in_a.so", Pattern(10000, 2));
  File("build/Plugins/sub/x", "");
  const QString lib = File("build/libbass.so", "bass");
  const PackRun r = Pack({player, "lib/bass.so=" + lib, "Plugins=" + dir.filePath("build/Plugins"),
                      "--optional", "Artwork=" + dir.filePath("nowhere")});
  ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
  EXPECT_EQ(ReadFile(out), MakePackage({{"Lirren", Pattern(70000, 1)},
                                        {"lib/bass.so", "bass"},
                                        {"Plugins/", ""},
                                        {"Plugins/in_a.so", Pattern(10000, 2)},
                                        {"Plugins/in_b.so", "B"},
                                        {"Plugins/sub/", ""},
                                        {"Plugins/sub/x", ""}}));
}

TEST_F(MkPackage, NoFilesMakeAnEmptyPackage) {
  ASSERT_EQ(Pack({}).exitCode, 0);
  EXPECT_EQ(ReadFile(out), QByteArray(1, '\0'));
}

TEST_F(MkPackage, RefusesWhatTheFormatCannotHold) {
  const QString small = File("small", "x");
  QStringList many, justEnough;
  for (int i = 0; i < 256; ++i) many << QStringLiteral("f%1=%2").arg(i).arg(small);
  justEnough = many.mid(0, 255);

  const QString limit = dir.filePath("limit");
  {
    QFile f(limit);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(0xFFFFFF));
  }
  const QString over = dir.filePath("over");
  {
    QFile f(over);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(0x1000000));
  }

  struct Case {
    const char* what;
    QStringList arguments;
    const char* message;  // empty: accepted
  };
  const std::vector<Case> cases = {
      {"256 entries", many, "too many entries: 256"},
      {"255 entries", justEnough, ""},
      {"256-byte name", {QString(256, 'n') + "=" + small}, "name too long (256 bytes"},
      {"255-byte name", {QString(255, 'n') + "=" + small}, ""},
      {"16,777,216 bytes", {over}, "at most 16,777,215 bytes"},
      {"16,777,215 bytes", {limit}, ""},
      {"absolute name", {"/etc/x=" + small}, "outside the target folder"},
      {"climbing name", {"a/../../x=" + small}, "outside the target folder"},
      {"missing file", {dir.filePath("missing")}, "cannot read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QFile::remove(out);
    const PackRun r = Pack(c.arguments);
    if (*c.message == '\0') {
      EXPECT_EQ(r.exitCode, 0) << r.errors.toStdString();
      EXPECT_TRUE(QFileInfo::exists(out));
    } else {
      EXPECT_EQ(r.exitCode, 1);
      EXPECT_TRUE(r.errors.contains(QString::fromUtf8(c.message))) << r.errors.toStdString();
      EXPECT_FALSE(QFileInfo::exists(out)) << "a refused package leaves no file";
      EXPECT_FALSE(QFileInfo::exists(out + ".part"));
    }
  }
  // The largest entry keeps its size in the three size bytes.
  QFile::remove(out);
  ASSERT_EQ(Pack({limit}).exitCode, 0);
  QFile f(out);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.read(9), QByteArray("\x01\x05limit\xff\xff\xff", 10).left(9));
  EXPECT_EQ(f.size(), 1 + 1 + 5 + 3 + 0xFFFFFF);
}

// mkpackage refuses every entry that setup would refuse as damaged or hostile (one rule for
// both), and what it accepts installs.
TEST_F(MkPackage, RefusesWhatSetupRefuses) {
  const QString data = File("data", "contents");
  const QString folder = dir.filePath("folder");
  File("folder/a", "A");
  struct Case {
    QString argument;
    QByteArray storedName;  // as the entry would be stored
    QByteArray storedData;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {"x/=" + data, "x/", "contents", false},
      {"Plugins\\=" + data, "Plugins\\", "contents", false},
      {"a/./=" + data, "a/./", "contents", false},
      {".=" + data, ".", "contents", false},
      {"./=" + folder, "./", "", false},
      {"./.=" + data, "./.", "contents", false},
      {"./name=" + data, "./name", "contents", true},
      {"sub/name=" + data, "sub/name", "contents", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument.toStdString());
    QFile::remove(out);
    const PackRun r = Pack({c.argument});
    EXPECT_EQ(r.exitCode, c.accepted ? 0 : 1) << r.errors.toStdString();
    EXPECT_EQ(QFileInfo::exists(out), c.accepted);

    // What setup makes of the same entry.
    QTemporaryDir target;
    QDir().mkpath(target.filePath("sub"));
    const QString package = dir.filePath("direct.dat");
    ASSERT_TRUE(WriteFile(package, MakePackage({{c.storedName, c.storedData}})));
    EXPECT_EQ(setup::UnpackPackageFile(package, target.path() + "/").ok, c.accepted);
    if (c.accepted) {
      const setup::TUnpackResult unpacked = setup::UnpackPackageFile(out, target.path() + "/");
      EXPECT_TRUE(unpacked.ok) << unpacked.error.toStdString();
    }
  }
  // An empty file under a folder's name would install as a folder: refused as well.
  const QString empty = File("empty", "");
  EXPECT_EQ(Pack({"x/=" + empty}).exitCode, 1);
}

}  // namespace

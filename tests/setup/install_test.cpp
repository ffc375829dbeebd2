// The installation steps on real folders: files, playlist, settings, log-on entry, failures.
#include "Installer.h"
#include "PackageFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

using namespace setup;
using namespace setup_test;

namespace {

class Install : public ::testing::Test {
 public:
  QTemporaryDir root;
  QString source, target, config;

  void SetUp() override {
    ASSERT_TRUE(root.isValid());
    source = root.filePath("src");
    target = root.filePath("Program Files/Aubadine");
    config = root.filePath("config");
    QDir().mkpath(source);
  }
  void Package(const std::vector<TestEntry>& entries) {
    ASSERT_TRUE(WriteFile(source + "/data.dat", MakePackage(entries)));
  }
  TInstallRequest Request(bool autostart = true) const {
    TInstallRequest r;
    r.sourceDir = source;
    r.folderText = target;
    r.createAutostart = autostart;
    r.configHome = config;
    r.runtimeDir = root.filePath("runtime");
    return r;
  }
  QString SettingsPath() const {
    QSettings s(SettingsFile(config), QSettings::IniFormat);
    return s.value("Path").toString();
  }
};

TEST_F(Install, EmptyPackageStillDoesEverythingAfterUnpacking) {
  Package({});
  const TInstallResult r = RunInstall(Request());
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_EQ(r.targetDir, target + "/");
  EXPECT_EQ(QDir(target).entryList(QDir::Files), QStringList{"PlayList.ini"});
  EXPECT_EQ(QFileInfo(target + "/PlayList.ini").size(), 0);
  EXPECT_EQ(SettingsPath(), target);
  EXPECT_TRUE(QFileInfo(AutostartFile(config)).isFile());
}

TEST_F(Install, FilesArriveWhole) {
  const QByteArray player = QByteArray("\x7f" "ELF", 4) + Pattern(10001, 1);
  Package({{"Lirren", player}, {"empty.txt", ""}, {"exact", Pattern(10000, 2)}, {"libbass.so", Pattern(65536, 3)}});
  const TInstallResult r = RunInstall(Request());
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_EQ(ReadFile(target + "/Lirren"), player);
  EXPECT_EQ(ReadFile(target + "/empty.txt"), QByteArray());
  EXPECT_EQ(ReadFile(target + "/exact"), Pattern(10000, 2));
  EXPECT_EQ(ReadFile(target + "/libbass.so"), Pattern(65536, 3));
  // Programs must be runnable once installed; data files are not made executable.
  EXPECT_TRUE(QFileInfo(target + "/Lirren").isExecutable());
  EXPECT_FALSE(QFileInfo(target + "/exact").isExecutable());
  // Nothing is left behind beside the installed files.
  EXPECT_EQ(QDir(target).entryList(QDir::Files | QDir::Hidden).size(), 5);
}

TEST_F(Install, SubfolderEntryNeedsItsFolder) {
  Package({{"Lirren", "p"}, {"Plugins/in_a.so", "A"}});
  TInstallResult r = RunInstall(Request());
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.error.contains(target + "/Plugins/in_a.so")) << r.error.toStdString();
  EXPECT_EQ(ReadFile(target + "/Lirren"), QByteArray("p"));  // steps before stay done
  EXPECT_FALSE(QFileInfo(SettingsFile(config)).exists());    // steps after do not run

  QDir().mkpath(target + "/Plugins");
  r = RunInstall(Request());
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_EQ(ReadFile(target + "/Plugins/in_a.so"), QByteArray("A"));
}

TEST_F(Install, FolderEntryMakesTheSubfolder) {
  Package({{"Plugins/", ""}, {"Plugins/in_a.so", "A"}});
  const TInstallResult r = RunInstall(Request());
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_EQ(ReadFile(target + "/Plugins/in_a.so"), QByteArray("A"));
}

TEST_F(Install, ClearedCheckBoxWritesNoLogOnEntryButPathAnyway) {
  Package({});
  const TInstallResult r = RunInstall(Request(false));
  ASSERT_TRUE(r.ok);
  EXPECT_FALSE(QFileInfo::exists(AutostartFile(config)));
  EXPECT_FALSE(QFileInfo::exists(config + "/autostart"));
  EXPECT_EQ(SettingsPath(), target);
}

TEST_F(Install, PathJoinsOtherSettingsAtTheTopLevel) {
  QDir().mkpath(config + "/Velkor/Aubadine");
  ASSERT_TRUE(WriteFile(SettingsFile(config), "[General]\nShuffle=1\nPanel=0\nPath=/old\n"));
  Package({});
  ASSERT_TRUE(RunInstall(Request()).ok);
  QSettings s(SettingsFile(config), QSettings::IniFormat);
  EXPECT_EQ(s.value("Path").toString(), target);
  EXPECT_EQ(s.value("Shuffle").toString(), "1");
  EXPECT_EQ(s.value("Panel").toString(), "0");
}

TEST_F(Install, ReinstallEmptiesThePlaylistWhateverItsLetterCase) {
  const std::vector<QStringList> spellings = {
      {"PlayList.ini"}, {"Playlist.ini"}, {"playlist.INI"}, {"PlayList.ini", "Playlist.ini"}};
  for (const QStringList& names : spellings) {
    SCOPED_TRACE(names.join(',').toStdString());
    QDir(target).removeRecursively();
    QDir().mkpath(target);
    for (const QString& name : names)
      ASSERT_TRUE(WriteFile(target + "/" + name, "[Main]\nMainPath=/music/\n[Default]\n0=a.mp3\n"));
    Package({});
    ASSERT_TRUE(RunInstall(Request()).ok);
    QStringList present = QDir(target).entryList(QDir::Files);
    present.sort();
    QStringList expected = names;
    expected.sort();
    EXPECT_EQ(present, expected) << "no second spelling appears";
    for (const QString& name : names) EXPECT_EQ(QFileInfo(target + "/" + name).size(), 0) << name.toStdString();
  }
}

TEST_F(Install, DamagedPackageKeepsTheInstalledFiles) {
  QDir().mkpath(target);
  ASSERT_TRUE(WriteFile(target + "/Lirren", "old player"));
  QByteArray package = MakePackage({{"Lirren", Pattern(25000)}});
  package.chop(7);
  ASSERT_TRUE(WriteFile(source + "/data.dat", package));
  const TInstallResult r = RunInstall(Request());
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.error.contains(source + "/data.dat")) << r.error.toStdString();
  EXPECT_EQ(ReadFile(target + "/Lirren"), QByteArray("old player"));
  EXPECT_EQ(QDir(target).entryList(QDir::Files | QDir::Hidden), QStringList{"Lirren"});
  EXPECT_FALSE(QFileInfo::exists(SettingsFile(config)));
}

TEST_F(Install, HostileNameWritesNothingOutsideTheTarget) {
  Package({{"../escaped", "x"}});
  const TInstallResult r = RunInstall(Request());
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.error.contains("../escaped")) << r.error.toStdString();
  EXPECT_FALSE(QFileInfo::exists(root.filePath("Program Files/escaped")));
  EXPECT_TRUE(QDir(QFileInfo(target).path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(Install, EveryFailingStepNamesItsFileOrKey) {
  struct Case {
    const char* what;
    void (*arrange)(Install&, TInstallRequest&);
    QString (*named)(const Install&);
  };
  const std::vector<Case> cases = {
      {"package missing", [](Install&, TInstallRequest&) {},
       [](const Install& t) { return t.source + "/data.dat"; }},
      {"target under a file",
       [](Install& t, TInstallRequest& r) {
         t.Package({{"Lirren", "p"}});
         WriteFile(t.root.filePath("blocker"), "");
         r.folderText = t.root.filePath("blocker/Aubadine");
       },
       [](const Install& t) { return t.root.filePath("blocker/Aubadine/Lirren"); }},
      {"playlist cannot be made",
       [](Install& t, TInstallRequest& r) {
         t.Package({});
         WriteFile(t.root.filePath("blocker"), "");
         r.folderText = t.root.filePath("blocker/Aubadine");
       },
       [](const Install& t) { return t.root.filePath("blocker/Aubadine/PlayList.ini"); }},
      {"runtime file missing",
       [](Install& t, TInstallRequest& r) {
         t.Package({});
         r.runtimeFiles = QStringList{"libruntime.so"};
       },
       [](const Install& t) { return t.source + "/libruntime.so"; }},
      {"settings store unwritable",
       [](Install& t, TInstallRequest&) {
         t.Package({});
         WriteFile(t.config, "");  // the config home is a file
       },
       [](const Install& t) { return SettingsFile(t.config); }},
      {"autostart unwritable",
       [](Install& t, TInstallRequest&) {
         t.Package({});
         QDir().mkpath(t.config);
         WriteFile(t.config + "/autostart", "");
       },
       [](const Install& t) { return AutostartFile(t.config); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QDir(root.path()).removeRecursively();
    QDir().mkpath(source);
    TInstallRequest request = Request();
    c.arrange(*this, request);
    const TInstallResult r = RunInstall(request);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.contains(c.named(*this))) << r.error.toStdString();
  }
}

// A full disk is reported with the system's reason and the file's name, and leaves no
// partial file. The target is a small file system of its own (needs the right to mount one,
// which the build machines have as root).
TEST_F(Install, FullDiskGivesTheReason) {
  const QString small = root.filePath("small");
  QDir().mkpath(small);
  if (::mount("aubadine-test", QFile::encodeName(small).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
              "size=256k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
  struct Unmount {
    QString path;
    ~Unmount() { ::umount2(QFile::encodeName(path).constData(), MNT_DETACH); }
  } unmount{small};
  Package({{"Lirren", "p"}, {"libbass.so", Pattern(600000)}});
  TInstallRequest request = Request();
  request.folderText = small + "/Aubadine";
  const TInstallResult r = RunInstall(request);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.error.contains(small + "/Aubadine/libbass.so")) << r.error.toStdString();
  EXPECT_TRUE(r.error.contains(QString::fromLocal8Bit(std::strerror(ENOSPC)))) << r.error.toStdString();
  EXPECT_FALSE(r.error.contains("Unknown error")) << r.error.toStdString();
  EXPECT_EQ(QDir(small + "/Aubadine").entryList(QDir::Files | QDir::Hidden), QStringList{"Lirren"});
}

TEST_F(Install, SettingsErrorNamesTheValue) {
  Package({});
  WriteFile(config, "");
  const TInstallResult r = RunInstall(Request());
  EXPECT_TRUE(r.error.contains("«Path»")) << r.error.toStdString();
}

TEST_F(Install, RuntimeFilesAreCopiedWhole) {
  Package({});
  ASSERT_TRUE(WriteFile(source + "/librt.so", Pattern(25000)));
  ASSERT_TRUE(WriteFile(source + "/libten.so", Pattern(10000)));
  QDir().mkpath(root.filePath("runtime"));
  TInstallRequest request = Request();
  request.runtimeFiles = QStringList{"librt.so", "libten.so"};
  ASSERT_TRUE(RunInstall(request).ok);
  EXPECT_EQ(ReadFile(root.filePath("runtime/librt.so")), Pattern(25000));
  EXPECT_EQ(ReadFile(root.filePath("runtime/libten.so")), Pattern(10000));
}

// The folder text as people type it: spaces around it are dropped, "~" is the home folder,
// and a relative path (which would land beside the package, or in "<package>/~/...") is
// refused with a message instead of being installed somewhere unexpected.
TEST_F(Install, FolderTextIsTrimmedExpandedOrRefused) {
  Package({});
  const QByteArray oldHome = qgetenv("HOME");
  const QString home = root.filePath("home");
  QDir().mkpath(home);
  qputenv("HOME", QFile::encodeName(home));
  struct Case {
    QString text;
    QString target;  // empty: refused
  };
  const std::vector<Case> cases = {
      {"  " + target + " ", target + "/"},
      {"\t" + target + "/\n", target + "/"},
      {"~/Aubadine", home + "/Aubadine/"},
      {" ~ ", home + "/"},
      {"Aubadine", ""},
      {"~other/Aubadine", ""},
      {"./Aubadine", ""},
      {"  ", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    TInstallRequest request = Request();
    request.folderText = c.text;
    const TInstallResult r = RunInstall(request);
    if (c.target.isEmpty()) {
      EXPECT_FALSE(r.ok);
      EXPECT_FALSE(r.error.isEmpty());
      EXPECT_FALSE(QFileInfo::exists(source + "/Aubadine")) << "nothing beside the package";
      EXPECT_FALSE(QFileInfo::exists(source + "/~other"));
      continue;
    }
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.targetDir, c.target);
    EXPECT_EQ(SettingsPath(), c.target.chopped(1));
    EXPECT_TRUE(QFileInfo(c.target + "PlayList.ini").isFile());
  }
  EXPECT_TRUE(RunInstall([&] {
                TInstallRequest r = Request();
                r.folderText = "Aubadine";
                return r;
              }())
                  .error.contains("«Aubadine»"));
  EXPECT_FALSE(QFileInfo::exists(root.filePath("src/~")));
  qputenv("HOME", oldHome);
}

// A link already standing in the target under an installed name is replaced by a regular
// file; the file it points to is never written, truncated or emptied.
TEST_F(Install, NeverWritesThroughALink) {
  const QString outside = root.filePath("outside");
  QDir().mkpath(outside + "/plugins");
  for (const char* name : {"player", "lib", "playlist", "plugins/in_old.so"})
    ASSERT_TRUE(WriteFile(outside + "/" + name, QByteArray("precious ") + name));
  QDir().mkpath(target);
  ASSERT_TRUE(QFile::link(outside + "/player", target + "/Lirren"));
  ASSERT_TRUE(QFile::link(outside + "/lib", target + "/libbass.so"));
  ASSERT_TRUE(QFile::link(outside + "/playlist", target + "/PlayList.ini"));
  ASSERT_TRUE(QFile::link(outside + "/playlist", target + "/playlist.INI"));
  ASSERT_TRUE(QFile::link(outside + "/plugins", target + "/Plugins"));
  ASSERT_TRUE(QFile::link(outside + "/nothing", target + "/dangling"));
  Package({{"Lirren", "new player"}, {"libbass.so", "new lib"}, {"dangling", "d"}, {"Plugins/", ""},
           {"Plugins/in_old.so", "new plugin"}});
  const TInstallResult r = RunInstall(Request());
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  for (const char* name : {"player", "lib", "playlist", "plugins/in_old.so"})
    EXPECT_EQ(ReadFile(outside + "/" + name), QByteArray("precious ") + name) << name;
  EXPECT_FALSE(QFileInfo::exists(outside + "/nothing"));
  EXPECT_EQ(QDir(outside + "/plugins").entryList(QDir::Files), QStringList{"in_old.so"});
  for (const char* name : {"Lirren", "libbass.so", "PlayList.ini", "playlist.INI", "dangling", "Plugins"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(QFileInfo(target + "/" + name).isSymLink());
  }
  EXPECT_EQ(ReadFile(target + "/Lirren"), QByteArray("new player"));
  EXPECT_EQ(ReadFile(target + "/libbass.so"), QByteArray("new lib"));
  EXPECT_EQ(QFileInfo(target + "/PlayList.ini").size(), 0);
  EXPECT_EQ(QFileInfo(target + "/playlist.INI").size(), 0);
  EXPECT_TRUE(QFileInfo(target + "/Plugins").isDir());
  EXPECT_EQ(ReadFile(target + "/Plugins/in_old.so"), QByteArray("new plugin"));

  // Without a folder entry a linked folder is refused, naming it; nothing reaches its target.
  QDir(target + "/Plugins").removeRecursively();
  ASSERT_TRUE(QFile::link(outside + "/plugins", target + "/Plugins"));
  Package({{"Plugins/in_x.so", "x"}});
  const TInstallResult refused = RunInstall(Request());
  EXPECT_FALSE(refused.ok);
  EXPECT_TRUE(refused.error.contains(target + "/Plugins")) << refused.error.toStdString();
  EXPECT_FALSE(QFileInfo::exists(outside + "/plugins/in_x.so"));
}

// Reads one Exec argument back the way a desktop environment does: the file format's string
// escapes first, then the quoting of the Exec key.
QString UnquoteExec(const QString& value) {
  QString unescaped;
  for (int i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      const QChar n = value[++i];
      unescaped += n == 'n' ? QChar('\n') : n == 't' ? QChar('\t') : n == 'r' ? QChar('\r') : n == 's' ? QChar(' ') : n;
    } else {
      unescaped += value[i];
    }
  }
  if (!unescaped.startsWith('"') || !unescaped.endsWith('"')) return "<not quoted>";
  QString arg;
  for (int i = 1; i + 1 < unescaped.size(); ++i) {
    QChar c = unescaped[i];
    if (c == '\\') c = unescaped[++i];
    else if (c == '"') return "<stray quote>";
    else if (c == '%') {
      if (unescaped[++i] != '%') return "<field code>";
    }
    arg += c;
  }
  return arg;
}

TEST(DesktopExec, AnyFolderNameSurvivesTheRoundTrip) {
  const QStringList paths = {
      "/home/u/.local/opt/Lirren",     "/opt/Program Files/Lirren", "/a\"b/Lirren",
      "/cost$HOME/Lirren",             "/back`tick`/Lirren",        "/back\\slash/Lirren",
      "/100%/Lirren",                  "/tab\there/Lirren",         "/line\nbreak/Lirren",
      QStringLiteral("/Музыка/Lirren"),
  };
  for (const QString& p : paths) {
    const QString line = DesktopExecQuote(p);
    EXPECT_FALSE(line.contains('\n') || line.contains('\t')) << line.toStdString();
    EXPECT_EQ(UnquoteExec(line), p) << line.toStdString();
  }
  EXPECT_EQ(DesktopExecQuote("/a b/\\x"), "\"/a b/\\\\\\\\x\"");
}

TEST_F(Install, LogOnEntryStartsTheInstalledPlayer) {
  Package({});
  ASSERT_TRUE(RunInstall(Request()).ok);
  const QString raw = ReadFile(AutostartFile(config));
  EXPECT_TRUE(raw.startsWith("[Desktop Entry]\n"));
  EXPECT_TRUE(raw.contains("\nType=Application\n"));
  const qsizetype at = raw.indexOf("\nExec=");
  ASSERT_GE(at, 0);
  const QString exec = raw.mid(at + 6, raw.indexOf('\n', at + 1) - at - 6);
  EXPECT_EQ(UnquoteExec(exec), target + "/Lirren");
}

TEST(Defaults, FoldersFromTheEnvironment) {
  const QByteArray oldPf = qgetenv("programfiles"), oldXdg = qgetenv("XDG_CONFIG_HOME");
  qputenv("programfiles", "/opt/progs");
  EXPECT_EQ(DefaultFolder(), "/opt/progs");
  qunsetenv("programfiles");
  EXPECT_EQ(DefaultFolder(), QDir::homePath() + "/.local/opt");
  qputenv("XDG_CONFIG_HOME", "/xdg");
  EXPECT_EQ(SettingsFile(ConfigHome()), "/xdg/Velkor/Aubadine/1.0.ini");
  EXPECT_EQ(AutostartFile(ConfigHome()), "/xdg/autostart/Aubadine.desktop");
  qputenv("XDG_CONFIG_HOME", "relative");  // ignored, as the base directory rules say
  EXPECT_EQ(ConfigHome(), QDir::homePath() + "/.config");
  if (oldPf.isNull()) qunsetenv("programfiles"); else qputenv("programfiles", oldPf);
  if (oldXdg.isNull()) qunsetenv("XDG_CONFIG_HOME"); else qputenv("XDG_CONFIG_HOME", oldXdg);
}

}  // namespace

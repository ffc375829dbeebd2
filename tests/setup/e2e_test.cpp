// The installer as a person uses it, on a virtual X display: choose a folder in "Обзор...",
// press "Установить", see the done state, close with "Готово"; then the installed player
// starts from the log-on entry's Exec line. Leaves screenshots in build/tests/artifacts/.
#include "Installer.h"
#include "Package.h"
#include "PackageFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace setup_test;

namespace {

const QString kArtifacts = QStringLiteral(AUBADINE_TEST_BIN_DIR "/artifacts");

// Runs a helper program to its end and returns its standard output, trimmed.
QString RunTool(const QString& program, const QStringList& arguments, const QProcessEnvironment& env,
            int* exitCode = nullptr) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(program, arguments);
  p.waitForFinished(30000);
  if (exitCode) *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

template <typename Pred>
bool WaitFor(Pred pred, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 50) {
    if (pred()) return true;
    QThread::msleep(50);
  }
  return pred();
}

// Reads the one argument of an Exec= value: the file format's escapes, then the quoting.
QString ExecProgram(const QString& value) {
  QString s;
  for (int i = 0; i < value.size(); ++i) {
    QChar c = value[i];
    if (c == '\\' && i + 1 < value.size()) {
      const QChar n = value[++i];
      c = n == 's' ? QChar(' ') : n == 'n' ? QChar('\n') : n == 't' ? QChar('\t') : n == 'r' ? QChar('\r') : n;
    }
    s += c;
  }
  if (!s.startsWith('"')) return s.section(' ', 0, 0);
  QString arg;
  for (int i = 1; i < s.size() && s[i] != '"'; ++i) {
    if (s[i] == '\\' || (s[i] == '%' && i + 1 < s.size() && s[i + 1] == '%')) ++i;
    arg += s[i];
  }
  return arg;
}

// Lists the entries of a package without writing anything.
class ListingSink : public setup::TEntrySink {
 public:
  QStringList files, folders;
  bool MakeFolder(const QString& name, QString&) override { folders << name; return true; }
  bool Begin(const QString& name, QString&) override { files << name; return true; }
  bool Write(const char*, qint64, QString&) override { return true; }
  bool End(bool complete, QString&) override { return complete; }
};

class Display {
 public:
  QString name;
  bool Start() {
    for (int n = 140 + getpid() % 50; n < 240; ++n) {
      if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))) continue;
      FServer.start(QStringLiteral("Xvfb"), {QStringLiteral(":%1").arg(n), "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
      if (!FServer.waitForStarted(5000)) return false;
      const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
      if (WaitFor([&] { return QFileInfo::exists(socket) || FServer.state() != QProcess::Running; }, 10000) &&
          FServer.state() == QProcess::Running) {
        name = QStringLiteral(":%1").arg(n);
        return true;
      }
      FServer.waitForFinished(1000);
    }
    return false;
  }
  ~Display() {
    if (FServer.state() != QProcess::NotRunning) {
      FServer.terminate();
      if (!FServer.waitForFinished(5000)) FServer.kill();
    }
  }

 private:
  QProcess FServer;
};

TEST(SetupEndToEnd, PersonInstallsThenPlayerStartsFromTheLogOnEntry) {
  const QString builtPackage = QStringLiteral(AUBADINE_BIN_DIR "/data.dat");
  ASSERT_TRUE(QFileInfo::exists(builtPackage)) << "build the data_package target first";
  QDir().mkpath(kArtifacts);

  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString media = root.filePath("media"), programFiles = root.filePath("opt"),
                config = root.filePath("config"), target = programFiles + "/Aubadine";
  QDir().mkpath(media);
  QDir().mkpath(target);  // the folder the person picks in the chooser
  QDir().mkpath(programFiles + "/Other");
  ASSERT_TRUE(QFile::copy(builtPackage, media + "/data.dat"));

  Display display;
  ASSERT_TRUE(display.Start()) << "Xvfb did not start";

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", display.name);
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.insert("XDG_CONFIG_HOME", config);
  env.insert("programfiles", programFiles);
  env.insert("SDL_AUDIODRIVER", "dummy");

  QProcess setupProcess;
  setupProcess.setProcessEnvironment(env);
  setupProcess.setWorkingDirectory(media);
  setupProcess.start(QStringLiteral(AUBADINE_BIN_DIR "/setup"));
  ASSERT_TRUE(setupProcess.waitForStarted(5000));

  const QString window = RunTool("xdotool", {"search", "--sync", "--onlyvisible", "--class", "setup"}, env).section('\n', 0, 0);
  ASSERT_FALSE(window.isEmpty()) << "the installer window did not appear";
  EXPECT_EQ(RunTool("xdotool", {"getwindowname", window}, env), QStringLiteral("Установка программы"));
  QThread::msleep(500);
  auto click = [&](const QString& win, int x, int y) {
    RunTool("xdotool", {"mousemove", "--window", win, QString::number(x), QString::number(y), "click", "1"}, env);
  };
  auto shoot = [&](const QString& file) {
    int code = 0;
    RunTool("import", {"-window", window, kArtifacts + "/" + file}, env, &code);
    return code == 0 ? QImage(kArtifacts + "/" + file) : QImage();
  };
  const QImage before = shoot("setup_ready.png");

  // "Обзор...": the chooser opens at the Program Files folder; the person types the folder's
  // name to select it and presses Enter.
  click(window, 456 + 37, 88 + 12);
  const QString chooser = RunTool("xdotool", {"search", "--sync", "--onlyvisible", "--name", "Обзор папок"}, env).section('\n', 0, 0);
  ASSERT_FALSE(chooser.isEmpty()) << "the folder chooser did not open";
  RunTool("xdotool", {"mousemove", "--window", chooser, "40", "120"}, env);
  RunTool("xdotool", {"windowfocus", "--sync", chooser}, env);
  QThread::msleep(1000);  // the folder tree fills in the background
  RunTool("xdotool", {"type", "--delay", "50", "Aubadine"}, env);
  QThread::msleep(300);
  RunTool("import", {"-window", chooser, kArtifacts + "/setup_chooser.png"}, env);
  RunTool("xdotool", {"key", "Return"}, env);
  ASSERT_TRUE(WaitFor([&] { return RunTool("xdotool", {"search", "--onlyvisible", "--name", "Обзор папок"}, env).isEmpty(); }, 5000))
      << "the chooser did not close";

  // "Установить", then wait for the last file the installation writes.
  RunTool("xdotool", {"mousemove", "--window", window, "300", "200"}, env);
  click(window, 448 + 37, 312 + 12);
  ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(setup::AutostartFile(config)); }, 60000))
      << "the installation did not finish";
  QThread::msleep(700);
  const QImage done = shoot("setup_done.png");

  // The done state shows: the cancel button now reads "Готово" and the install button is
  // greyed, so both button areas change while the rest of the window stays as it was.
  ASSERT_FALSE(before.isNull());
  ASSERT_FALSE(done.isNull());
  auto differs = [&](QRect r) { return before.copy(r) != done.copy(r); };
  EXPECT_TRUE(differs({360, 312, 75, 25})) << "the cancel button did not change to its done caption";
  EXPECT_TRUE(differs({448, 312, 75, 25})) << "the install button did not change";
  EXPECT_FALSE(differs({8, 8, 521, 49})) << "the banner should not change";

  // Every file of the package is in the chosen folder, nothing went to Program Files itself.
  QFile package(builtPackage);
  ASSERT_TRUE(package.open(QIODevice::ReadOnly));
  ListingSink listing;
  ASSERT_TRUE(setup::UnpackPackage(package, builtPackage, listing).ok);
  // The programs are packed from their copies without debugging sections, the rest as built.
  for (const QString& name : listing.files) {
    QString built = QStringLiteral(AUBADINE_BIN_DIR "/../package/") + name;
    if (!QFileInfo::exists(built))
      built = QStringLiteral(AUBADINE_BIN_DIR "/") + name;
    EXPECT_EQ(ReadFile(target + "/" + name), ReadFile(built)) << name.toStdString();
  }
  EXPECT_TRUE(QFileInfo::exists(target + "/PlayList.ini"));
  EXPECT_FALSE(QFileInfo::exists(programFiles + "/PlayList.ini"));

  // "Готово" closes the window and ends the program.
  click(window, 360 + 37, 312 + 12);
  ASSERT_TRUE(setupProcess.waitForFinished(10000)) << "the installer did not end on Готово";
  EXPECT_EQ(setupProcess.exitCode(), 0);

  // The log-on entry starts the installed player.
  const QString entry = ReadFile(setup::AutostartFile(config));
  const qsizetype at = entry.indexOf("\nExec=");
  ASSERT_GE(at, 0);
  const QString program = ExecProgram(entry.mid(at + 6, entry.indexOf('\n', at + 1) - at - 6));
  EXPECT_EQ(program, target + "/Lirren");
  if (!listing.files.contains("Lirren")) GTEST_SKIP() << "the package holds no player; the player part was skipped";
  ASSERT_TRUE(QFileInfo(program).isExecutable());

  QProcess player;
  player.setProcessEnvironment(env);
  player.setWorkingDirectory(QDir::homePath());  // not the install folder, as at log-on
  player.start(program, {});
  ASSERT_TRUE(player.waitForStarted(5000)) << player.errorString().toStdString();
  const bool ended = player.waitForFinished(5000);
  RunTool("import", {"-window", "root", kArtifacts + "/setup_player_started.png"}, env);
  if (!ended) {
    player.terminate();
    if (!player.waitForFinished(5000)) player.kill();
  }
  const QString errors = QString::fromUtf8(player.readAllStandardError());
  EXPECT_FALSE(errors.contains("error while loading shared libraries")) << errors.toStdString();
  if (ended) {
    EXPECT_NE(player.exitCode(), 127) << errors.toStdString();
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

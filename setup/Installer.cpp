// Installer.cpp: the installation steps (see Installer.h).
#include "Installer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <array>
#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace setup {
namespace {

// Size of the reads from the package and of the writes to installed files, under the
// 10000-byte pieces the unpacker works in: fewer system calls, same bytes.
constexpr qint64 kIoBlockSize = 1 << 20;

// Reads a sequential device ahead in large blocks.
class TReadAhead : public QIODevice {
 public:
  explicit TReadAhead(QIODevice& source) : FSource(source) { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
  bool isSequential() const override { return true; }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    qint64 done = 0;
    while (done < maxSize) {
      if (FPos == FEnd) {
        const qint64 n = FSource.read(FBlock.data(), qint64(FBlock.size()));
        FPos = FEnd = 0;
        if (n < 0) {
          setErrorString(FSource.errorString());
          return done > 0 ? done : -1;
        }
        if (n == 0) break;
        FEnd = n;
      }
      const qint64 take = qMin(maxSize - done, FEnd - FPos);
      memcpy(data + done, FBlock.data() + FPos, size_t(take));
      FPos += take;
      done += take;
    }
    return done;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  QIODevice& FSource;
  std::vector<char> FBlock = std::vector<char>(kIoBlockSize);
  qint64 FPos = 0, FEnd = 0;
};

QString CannotCreate(const QString& path, const QString& why) {
  return QStringLiteral("Не удалось создать файл %1: %2").arg(QDir::toNativeSeparators(path), why);
}

QString CannotWrite(const QString& path, const QString& why) {
  return QStringLiteral("Не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(path), why);
}

// The system's own words for an error number ("No space left on device", ...).
QString Reason(int error) { return qt_error_string(error); }

QByteArray Local(const QString& path) { return QFile::encodeName(path); }

int OpenFolder(const QByteArray& path) { return ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }

QString LinkedFolder(const QString& path) {
  return QStringLiteral("Папка %1 — символическая ссылка; установка через ссылки не выполняется.")
      .arg(QDir::toNativeSeparators(path));
}

bool LooksLikeProgram(const QByteArray& head) {
  return head.startsWith("\x7f" "ELF") || head.startsWith("#!");
}

// Step 5: an empty playlist. The player takes a file that differs from its name only in
// letter case for the same file, so every such spelling already there is emptied too.
bool EmptyPlaylist(const QString& targetDir, QString& error) {
  QStringList names;
  const QStringList present =
      QDir(targetDir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  for (const QString& name : present)
    if (name.compare(QLatin1String(kPlaylistFileName), Qt::CaseInsensitive) == 0) names << name;
  if (names.isEmpty()) names << QLatin1String(kPlaylistFileName);
  for (const QString& name : names) {
    // Emptied in place when it is a regular file; never through a link: a link (or anything
    // else that cannot be opened so) is replaced by an empty file.
    const QString path = targetDir + name;
    const int fd = ::open(Local(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                          0666);
    if (fd >= 0) {
      struct stat st {};
      const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
      ::close(fd);
      if (regular) continue;
    } else if (errno != ELOOP && errno != ENXIO) {
      error = CannotCreate(path, Reason(errno));
      return false;
    }
    TReplacingFile empty;
    if (!empty.Open(targetDir, name, error) || !empty.Commit(error)) return false;
  }
  return true;
}

bool WriteSettingsPath(const QString& configHome, const QString& value, QString& error) {
  const QString file = SettingsFile(configHome);
  QDir().mkpath(QFileInfo(file).absolutePath());
  QSettings settings(file, QSettings::IniFormat);
  settings.setValue(QLatin1String(kSettingsKey), value);
  settings.sync();
  if (settings.status() != QSettings::NoError || !QFileInfo(file).isFile()) {
    error = QStringLiteral("Не удалось записать значение «%1» в файл настроек %2.")
                .arg(QLatin1String(kSettingsKey), QDir::toNativeSeparators(file));
    return false;
  }
  return true;
}

bool WriteAutostart(const QString& configHome, const QString& player, QString& error) {
  const QString path = AutostartFile(configHome);
  QDir().mkpath(QFileInfo(path).absolutePath());
  const QString text = QStringLiteral(
                           "[Desktop Entry]\n"
                           "Type=Application\n"
                           "Name=Aubadine\n"
                           "Comment=Velkor Aubadine\n"
                           "Exec=%1\n"
                           "Terminal=false\n")
                           .arg(DesktopExecQuote(player));
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    error = CannotCreate(path, file.errorString());
    return false;
  }
  const QByteArray bytes = text.toUtf8();
  if (file.write(bytes) != bytes.size() || !file.commit()) {
    error = CannotWrite(path, file.errorString());
    return false;
  }
  return true;
}

}  // namespace

QString DefaultFolder() {
  const QString programFiles = qEnvironmentVariable("programfiles");
  if (!programFiles.isEmpty()) return programFiles;
  return QDir::homePath() + QStringLiteral("/.local/opt");
}

QString ConfigHome() {
  const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return xdg;
  return QDir::homePath() + QStringLiteral("/.config");
}

QString SettingsFile(const QString& configHome) {
  return configHome + QStringLiteral("/Velkor/Aubadine/1.0.ini");
}

QString AutostartFile(const QString& configHome) {
  return configHome + QStringLiteral("/autostart/Aubadine.desktop");
}

QString RuntimeDir() { return QDir::homePath() + QStringLiteral("/.local/lib"); }

QStringList RuntimeFiles() { return {}; }

QString DesktopExecQuote(const QString& argument) {
  QString quoted = QStringLiteral("\"");
  for (const QChar c : argument) {
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
      quoted += QLatin1Char('\\');
    if (c == QLatin1Char('%')) quoted += QLatin1Char('%');
    quoted += c;
  }
  quoted += QLatin1Char('"');
  // The string escapes of the file format apply on top of the quoting.
  QString escaped;
  for (const QChar c : quoted) {
    switch (c.unicode()) {
      case '\\': escaped += QStringLiteral("\\\\"); break;
      case '\n': escaped += QStringLiteral("\\n"); break;
      case '\t': escaped += QStringLiteral("\\t"); break;
      case '\r': escaped += QStringLiteral("\\r"); break;
      default: escaped += c;
    }
  }
  return escaped;
}

int OpenFolderBelow(const QString& dir, const QString& name, QByteArray& leaf, QString& error) {
  int fd = OpenFolder(Local(dir));
  if (fd < 0) {
    error = CannotCreate(dir + name, Reason(errno));
    return -1;
  }
  const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  QString walked = dir;
  for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
    walked += parts[i] + QLatin1Char('/');
    if (parts[i] == QLatin1String(".")) continue;
    const int next = ::openat(fd, Local(parts[i]).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int why = errno;
    ::close(fd);
    if (next < 0) {
      struct stat st {};
      error = why == ELOOP || (::lstat(Local(walked.chopped(1)).constData(), &st) == 0 && S_ISLNK(st.st_mode))
                  ? LinkedFolder(walked.chopped(1))
                  : CannotCreate(dir + name, Reason(why));
      return -1;
    }
    fd = next;
  }
  leaf = parts.isEmpty() ? QByteArray() : Local(parts.last());
  return fd;
}

QString TargetFolderFromText(const QString& text, const QString& home, QString& error) {
  QString folder = text.trimmed();
  if (folder.isEmpty()) {
    error = QStringLiteral("Не указана папка для установки.");
    return {};
  }
  if (folder == QLatin1String("~") || folder.startsWith(QLatin1String("~/"))) folder = home + folder.mid(1);
  if (!QDir::isAbsolutePath(folder)) {
    error = QStringLiteral("Укажите полный путь к папке установки, начиная с «/» или «~/»: «%1».").arg(folder);
    return {};
  }
  return QDir::cleanPath(folder);
}

TReplacingFile::~TReplacingFile() { Cancel(); }

bool TReplacingFile::Open(const QString& dir, const QString& name, QString& error) {
  Cancel();
  FPath = dir + name;
  FFolder = OpenFolderBelow(dir, name, FName, error);
  if (FFolder < 0) return false;
  if (FName.isEmpty()) {
    error = CannotCreate(FPath, Reason(EISDIR));
    Cancel();
    return false;
  }
  // Permissions as a newly created file gets them (0666 less the umask).
  const mode_t mask = ::umask(0);
  ::umask(mask);
  FMode = 0666 & ~mask;
  // A hidden name beside the final one; O_EXCL makes sure it is a new file of our own.
  thread_local std::minstd_rand random(std::random_device{}());
  for (int attempt = 0; attempt < 100 && FHandle < 0; ++attempt) {
    FTemporary = "." + FName + "." + QByteArray::number(quint32(random()), 36) + ".part";
    FHandle = ::openat(FFolder, FTemporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (FHandle < 0 && errno != EEXIST) break;
  }
  if (FHandle < 0) {
    error = CannotCreate(FPath, Reason(errno));
    FTemporary.clear();
    Cancel();
    return false;
  }
  return true;
}

bool TReplacingFile::Write(const char* data, qint64 size, QString& error) {
  while (size > 0) {
    const ssize_t n = ::write(FHandle, data, size_t(size));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = CannotWrite(FPath, Reason(n < 0 ? errno : ENOSPC));
      return false;
    }
    data += n;
    size -= n;
  }
  return true;
}

void TReplacingFile::MakeExecutable() {
  if (FMode & 0400) FMode |= 0100;
  if (FMode & 0040) FMode |= 0010;
  if (FMode & 0004) FMode |= 0001;
}

bool TReplacingFile::Commit(QString& error) {
  // The contents reach the disk before the name does, so a crash never leaves a torn file.
  int failed = 0;
  if (::fchmod(FHandle, FMode) != 0 || ::fdatasync(FHandle) != 0) failed = errno;
  if (::close(FHandle) != 0 && failed == 0 && errno != EINTR) failed = errno;
  FHandle = -1;
  if (failed == 0 && ::renameat(FFolder, FTemporary.constData(), FFolder, FName.constData()) != 0) failed = errno;
  if (failed != 0) {
    error = CannotWrite(FPath, Reason(failed));
    Cancel();
    return false;
  }
  FTemporary.clear();
  Cancel();
  return true;
}

void TReplacingFile::Cancel() {
  if (FHandle >= 0) ::close(FHandle);
  FHandle = -1;
  if (FFolder >= 0) {
    if (!FTemporary.isEmpty()) ::unlinkat(FFolder, FTemporary.constData(), 0);
    ::close(FFolder);
  }
  FFolder = -1;
  FTemporary.clear();
}

TFolderSink::TFolderSink(QString targetDir) : FTargetDir(std::move(targetDir)), FPending(kIoBlockSize) {}

TFolderSink::~TFolderSink() = default;  // an uncommitted file removes its temporary file

bool TFolderSink::MakeFolder(const QString& name, QString& error) {
  // Made one component at a time without following links: a link where a folder belongs is
  // replaced by a real folder (the link's own target is left alone).
  const QString path = FTargetDir + name;
  int fd = OpenFolder(Local(FTargetDir));
  if (fd < 0) {
    error = QStringLiteral("Не удалось создать папку %1: %2").arg(QDir::toNativeSeparators(path), Reason(errno));
    return false;
  }
  for (const QString& part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    if (part == QLatin1String(".")) continue;
    const QByteArray local = Local(part);
    if (::mkdirat(fd, local.constData(), 0777) != 0 && errno == EEXIST) {
      struct stat st {};
      if (::fstatat(fd, local.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode) &&
          ::unlinkat(fd, local.constData(), 0) == 0)
        ::mkdirat(fd, local.constData(), 0777);
    }
    const int next = ::openat(fd, local.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int why = errno;
    ::close(fd);
    if (next < 0) {
      error = QStringLiteral("Не удалось создать папку %1: %2").arg(QDir::toNativeSeparators(path), Reason(why));
      return false;
    }
    fd = next;
  }
  ::close(fd);
  return true;
}

bool TFolderSink::Begin(const QString& name, QString& error) {
  FFile = std::make_unique<TReplacingFile>();
  FHead.clear();
  if (!FFile->Open(FTargetDir, name, error)) {
    FFile.reset();
    return false;
  }
  return true;
}

bool TFolderSink::Write(const char* data, qint64 size, QString& error) {
  if (FHead.size() < 4) FHead.append(data, qMin<qint64>(size, 4 - FHead.size()));
  if (FPendingSize + size > kIoBlockSize && !Flush(error)) return false;
  if (size > kIoBlockSize) return FFile->Write(data, size, error);
  memcpy(FPending.data() + FPendingSize, data, size_t(size));
  FPendingSize += size;
  return true;
}

bool TFolderSink::Flush(QString& error) {
  const qint64 size = FPendingSize;
  FPendingSize = 0;
  return size == 0 || FFile->Write(FPending.data(), size, error);
}

bool TFolderSink::End(bool complete, QString& error) {
  if (!FFile) return complete;
  if (!complete) {
    FPendingSize = 0;
    FFile.reset();  // removes the unfinished file
    return false;
  }
  const bool flushed = Flush(error);
  const std::unique_ptr<TReplacingFile> file = std::move(FFile);
  if (!flushed) return false;
  if (LooksLikeProgram(FHead)) file->MakeExecutable();
  return file->Commit(error);
}

bool CopyFileChunked(const QString& from, const QString& to, QString& error) {
  QFile source(from);
  if (!source.open(QIODevice::ReadOnly)) {
    error = QStringLiteral("Не удалось открыть файл %1: %2").arg(QDir::toNativeSeparators(from), source.errorString());
    return false;
  }
  const QFileInfo place(to);
  TReplacingFile target;
  if (!target.Open(place.absolutePath() + QLatin1Char('/'), place.fileName(), error)) return false;
  std::array<char, kCopyBufferSize> buffer;
  for (;;) {
    const qint64 n = source.read(buffer.data(), kCopyBufferSize);
    if (n < 0) {
      error = QStringLiteral("Не удалось прочитать файл %1: %2").arg(QDir::toNativeSeparators(from), source.errorString());
      return false;
    }
    if (n == 0) break;
    if (!target.Write(buffer.data(), n, error)) return false;
  }
  return target.Commit(error);
}

TUnpackResult UnpackPackageFile(const QString& packagePath, const QString& targetDir) {
  QFile package(packagePath);
  if (!package.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
    TUnpackResult result;
    result.error = QStringLiteral("Не удалось открыть файл пакета %1: %2")
                       .arg(QDir::toNativeSeparators(packagePath), package.errorString());
    return result;
  }
  TReadAhead reader(package);
  TFolderSink sink(targetDir);
  return UnpackPackage(reader, QDir::toNativeSeparators(packagePath), sink);
}

TInstallResult RunInstall(const TInstallRequest& request) {
  TInstallResult result;
  // 1. The target folder: an absolute path (or one under "~"), so that "Path" and the log-on
  //    entry stay valid wherever the player is started from; creation is checked by the steps
  //    that use it.
  QString target = TargetFolderFromText(request.folderText, QDir::homePath(), result.error);
  if (target.isEmpty()) return result;
  if (!target.endsWith(QLatin1Char('/'))) target += QLatin1Char('/');
  result.targetDir = target;
  QDir().mkpath(target);

  // 2. to 4. The package.
  const TUnpackResult unpacked =
      UnpackPackageFile(request.sourceDir + QLatin1Char('/') + QLatin1String(kPackageFileName), target);
  if (!unpacked.ok) {
    result.error = unpacked.error;
    return result;
  }

  // 5. The empty playlist.
  if (!EmptyPlaylist(target, result.error)) return result;

  // 6. and 7. Runtime files.
  for (const QString& name : request.runtimeFiles) {
    if (!CopyFileChunked(request.sourceDir + QLatin1Char('/') + name,
                         request.runtimeDir + QLatin1Char('/') + name, result.error))
      return result;
  }

  // 8. "Path" in the settings store, without the trailing separator.
  QString pathValue = target;
  pathValue.chop(1);
  if (!WriteSettingsPath(request.configHome, pathValue, result.error)) return result;

  // 9. Start at log-on.
  if (request.createAutostart &&
      !WriteAutostart(request.configHome, target + QLatin1String(kPlayerFileName), result.error))
    return result;

  result.ok = true;
  return result;
}

}  // namespace setup

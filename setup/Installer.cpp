// Installer.cpp: the installation steps (see Installer.h).
#include "Installer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <array>
#include <cstring>
#include <vector>

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

bool LooksLikeProgram(const QByteArray& head) {
  return head.startsWith("\x7f" "ELF") || head.startsWith("#!");
}

// Gives execute permission to whoever may read the file.
void MakeExecutable(const QString& path) {
  QFile::Permissions p = QFile::permissions(path);
  if (p & QFile::ReadOwner) p |= QFile::ExeOwner;
  if (p & QFile::ReadGroup) p |= QFile::ExeGroup;
  if (p & QFile::ReadOther) p |= QFile::ExeOther;
  QFile::setPermissions(path, p);
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
    QFile file(targetDir + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      error = CannotCreate(file.fileName(), file.errorString());
      return false;
    }
    file.close();
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

TFolderSink::TFolderSink(QString targetDir) : FTargetDir(std::move(targetDir)), FPending(kIoBlockSize) {}

TFolderSink::~TFolderSink() = default;  // an uncommitted QSaveFile removes its temporary file

bool TFolderSink::MakeFolder(const QString& name, QString& error) {
  const QString path = FTargetDir + name;
  if (!QDir().mkpath(path)) {
    error = QStringLiteral("Не удалось создать папку %1.").arg(QDir::toNativeSeparators(path));
    return false;
  }
  return true;
}

bool TFolderSink::Begin(const QString& name, QString& error) {
  FFile = std::make_unique<QSaveFile>(FTargetDir + name);
  FHead.clear();
  if (!FFile->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    error = CannotCreate(FFile->fileName(), FFile->errorString());
    FFile.reset();
    return false;
  }
  return true;
}

bool TFolderSink::Write(const char* data, qint64 size, QString& error) {
  if (FHead.size() < 4) FHead.append(data, qMin<qint64>(size, 4 - FHead.size()));
  if (FPendingSize + size > kIoBlockSize && !Flush(error)) return false;
  if (size > kIoBlockSize) {
    if (FFile->write(data, size) != size) {
      error = CannotWrite(FFile->fileName(), FFile->errorString());
      return false;
    }
    return true;
  }
  memcpy(FPending.data() + FPendingSize, data, size_t(size));
  FPendingSize += size;
  return true;
}

bool TFolderSink::Flush(QString& error) {
  const qint64 size = FPendingSize;
  FPendingSize = 0;
  if (size > 0 && FFile->write(FPending.data(), size) != size) {
    error = CannotWrite(FFile->fileName(), FFile->errorString());
    return false;
  }
  return true;
}

bool TFolderSink::End(bool complete, QString& error) {
  if (!FFile) return complete;
  if (!complete) {
    FPendingSize = 0;
    FFile->cancelWriting();
    FFile.reset();
    return false;
  }
  const bool flushed = Flush(error);
  std::unique_ptr<QSaveFile> file = std::move(FFile);
  if (!flushed) {
    file->cancelWriting();
    return false;
  }
  if (!file->commit()) {
    error = CannotWrite(file->fileName(), file->errorString());
    return false;
  }
  if (LooksLikeProgram(FHead)) MakeExecutable(file->fileName());
  return true;
}

bool CopyFileChunked(const QString& from, const QString& to, QString& error) {
  QFile source(from);
  if (!source.open(QIODevice::ReadOnly)) {
    error = QStringLiteral("Не удалось открыть файл %1: %2").arg(QDir::toNativeSeparators(from), source.errorString());
    return false;
  }
  QSaveFile target(to);
  if (!target.open(QIODevice::WriteOnly)) {
    error = CannotCreate(to, target.errorString());
    return false;
  }
  std::array<char, kCopyBufferSize> buffer;
  for (;;) {
    const qint64 n = source.read(buffer.data(), kCopyBufferSize);
    if (n < 0) {
      error = QStringLiteral("Не удалось прочитать файл %1: %2").arg(QDir::toNativeSeparators(from), source.errorString());
      return false;
    }
    if (n == 0) break;
    if (target.write(buffer.data(), n) != n) {
      error = CannotWrite(to, target.errorString());
      return false;
    }
  }
  if (!target.commit()) {
    error = CannotWrite(to, target.errorString());
    return false;
  }
  return true;
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
  if (request.folderText.trimmed().isEmpty()) {
    result.error = QStringLiteral("Не указана папка для установки.");
    return result;
  }
  // 1. The target folder, made absolute so that "Path" and the log-on entry stay valid
  //    wherever the player is started from; creation is checked by the steps that use it.
  QString target = QDir(request.sourceDir).absoluteFilePath(request.folderText);
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

// Installer.h: the installation steps behind the "Установить" button, free of any window so
// that tests and benchmarks run them directly.
//
// Linux counterparts of the places the installer writes:
//   settings store   $XDG_CONFIG_HOME/Velkor/Aubadine/1.0.ini, value "Path" (QSettings, INI)
//   log-on start     $XDG_CONFIG_HOME/autostart/Aubadine.desktop, Exec= the installed player
//   runtime files    none: the player finds everything it loads in its own folder or among
//                    the system's packages (see docs/setup.md); the copy step stays in place
//                    for a build that needs some.
#ifndef AUBADINE_SETUP_INSTALLER_H
#define AUBADINE_SETUP_INSTALLER_H

#include "Package.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace setup {

inline constexpr char kPackageFileName[] = "data.dat";
inline constexpr char kPlaylistFileName[] = "PlayList.ini";
inline constexpr char kPlayerFileName[] = "Lirren";
inline constexpr char kSettingsKey[] = "Path";

struct TInstallRequest {
  QString sourceDir;        // where "data.dat" and the runtime files lie (FSourceDir)
  QString folderText;       // the target folder as the user typed or chose it
  bool createAutostart = true;
  QString configHome;       // $XDG_CONFIG_HOME, already resolved
  QString runtimeDir;       // where runtime files go
  QStringList runtimeFiles; // names of runtime files to copy from sourceDir
};

struct TInstallResult {
  bool ok = false;
  QString error;      // for the user: names the file or value that failed
  QString targetDir;  // FTargetDir: absolute, with a trailing '/'
};

// The default target folder: $programfiles when set, else $HOME/.local/opt.
QString DefaultFolder();
// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config.
QString ConfigHome();
// The settings file and the autostart entry under a config home.
QString SettingsFile(const QString& configHome);
QString AutostartFile(const QString& configHome);
// Where runtime files would go for a user-level install, and which ones (none).
QString RuntimeDir();
QStringList RuntimeFiles();

// Quotes one argument for an Exec= line (Desktop Entry rules: quoting, then the string
// escapes of the file format).
QString DesktopExecQuote(const QString& argument);

// A file written beside its final name and put in place only when complete: on Commit it is
// flushed to the disk and renamed over the name. Whatever stands under the name is replaced,
// never written into: a symbolic link there is replaced by the new regular file and the file
// it pointed to is left untouched. The folders on the way below `dir` are walked without
// following links (a link where a folder should be is refused with a message); `dir` itself
// is taken as given. Errors name the file and give the system's reason.
class TReplacingFile {
 public:
  TReplacingFile() = default;
  ~TReplacingFile();  // an uncommitted file is removed
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;

  // `name` is relative to `dir` ('/'-separated, already checked).
  bool Open(const QString& dir, const QString& name, QString& error);
  bool Write(const char* data, qint64 size, QString& error);
  // Adds execute permission for whoever may read the file (before Commit).
  void MakeExecutable();
  bool Commit(QString& error);
  void Cancel();
  QString FileName() const { return FPath; }

 private:
  QString FPath;          // the final name, for messages
  QByteArray FTemporary;  // the temporary file's name inside the folder
  QByteArray FName;       // the final name inside the folder
  int FFolder = -1;       // the folder that holds both
  int FHandle = -1;
  unsigned FMode = 0;
};

// Opens `dir` + `name`'s folder without following links on the way below `dir`; returns the
// descriptor (-1 with a message on failure) and leaves the last component in `leaf`.
int OpenFolderBelow(const QString& dir, const QString& name, QByteArray& leaf, QString& error);

// The target folder from the text the user typed or chose: trimmed of spaces, a leading "~"
// expanded to `home`. Empty with a message for a text that is empty or not an absolute path.
QString TargetFolderFromText(const QString& text, const QString& home, QString& error);

// Writes unpacked entries below a target folder. Each file is written beside its final name,
// flushed to the disk and put in place only when complete, so a damaged package never leaves
// a partial file and never spoils a file installed before; an installed name never writes
// through a symbolic link (see TReplacingFile). Files whose contents start like a program
// (ELF or "#!") are made executable. The 10000-byte pieces it receives are gathered into
// larger writes.
class TFolderSink : public TEntrySink {
 public:
  explicit TFolderSink(QString targetDir);
  ~TFolderSink() override;
  bool MakeFolder(const QString& name, QString& error) override;
  bool Begin(const QString& name, QString& error) override;
  bool Write(const char* data, qint64 size, QString& error) override;
  bool End(bool complete, QString& error) override;

 private:
  bool Flush(QString& error);

  QString FTargetDir;
  std::unique_ptr<TReplacingFile> FFile;
  QByteArray FHead;     // the first bytes of the current file
  std::vector<char> FPending;  // received, not yet written: the first FPendingSize bytes
  qint64 FPendingSize = 0;
};

// Steps 2 to 4: opens the package file and unpacks it into `targetDir` (with a trailing '/').
TUnpackResult UnpackPackageFile(const QString& packagePath, const QString& targetDir);

// Copies `from` to `to` through the 10000-byte buffer, replacing `to`.
bool CopyFileChunked(const QString& from, const QString& to, QString& error);

// Steps 1 to 9 of the installation, in order; stops at the first failing step and reports it.
TInstallResult RunInstall(const TInstallRequest& request);

}  // namespace setup

#endif

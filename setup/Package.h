// Package.h: reading the package file "data.dat".
//
// The file has no header, magic or checksum:
//   Count (1 byte, 0..255), then Count entries, each
//   NameLength (1 byte), Name (NameLength bytes), DataSize (3 bytes, big-endian), Data.
// Bytes after the last entry are ignored.
//
// A name ending in a separator with DataSize 0 is a folder entry: the folder is made in the
// target. Such an entry never named a creatable file, so older packages are unaffected; our
// own packages use it so that Plugins/... entries find their folder on a fresh install.
//
// The package is outside data: names are checked before anything is written for them, and a
// package that ends early is reported as damaged after writing only the bytes actually read.
#ifndef AUBADINE_SETUP_PACKAGE_H
#define AUBADINE_SETUP_PACKAGE_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QIODevice;

namespace setup {

// Contents are copied through a buffer of this many bytes: full chunks while more than this
// remains, then one final read and write of the rest (which may be exactly this, or 0).
inline constexpr qint64 kCopyBufferSize = 10000;
inline constexpr int kMaxEntries = 255;
inline constexpr int kMaxNameLength = 255;
inline constexpr qint64 kMaxDataSize = 0xFFFFFF;  // 16,777,215

// Receives the entries of a package. Every call may refuse with a message that names the
// file it concerns; the reader then stops.
class TEntrySink {
 public:
  virtual ~TEntrySink() = default;
  // A folder entry: `name` is relative, '/'-separated, without the trailing separator.
  virtual bool MakeFolder(const QString& name, QString& error) = 0;
  // Starts the file `name` (relative, '/'-separated, already checked).
  virtual bool Begin(const QString& name, QString& error) = 0;
  // Appends bytes read from the package; called once per buffer, also with size 0.
  virtual bool Write(const char* data, qint64 size, QString& error) = 0;
  // Ends the file started last. `complete` is false when the package ended early or a
  // later step failed: the sink must then leave no partial file in place of the old one.
  virtual bool End(bool complete, QString& error) = 0;
};

struct TUnpackResult {
  bool ok = false;
  QString error;       // for the user: names the package or the file concerned
  int entriesDone = 0;  // entries fully written
};

// The checked relative path for a stored name, or an empty string when the name is refused
// (empty, absolute, a ".." component, a NUL byte). '\' counts as a separator, as in packages
// made on Windows. A trailing separator is kept: it marks a folder entry.
QString CheckEntryName(const QByteArray& stored);

// Reads the whole package from `package` (opened for reading) into `sink`.
// `packageName` is the package's path, used in messages.
TUnpackResult UnpackPackage(QIODevice& package, const QString& packageName, TEntrySink& sink);

}  // namespace setup

#endif

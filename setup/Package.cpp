// Package.cpp: the package reader (see Package.h).
#include "Package.h"

#include "EntryName.h"

#include <QIODevice>
#include <QStringList>

#include <array>
#include <string_view>

namespace setup {
namespace {

// Reads up to `size` bytes, looping over short reads. Returns the count read (less than
// `size` only at the end of the package) or -1 on a read error.
qint64 ReadFully(QIODevice& in, char* data, qint64 size) {
  qint64 done = 0;
  while (done < size) {
    const qint64 n = in.read(data + done, size - done);
    if (n < 0) return -1;
    if (n == 0) break;
    done += n;
  }
  return done;
}

// A stored name as the user sees it in a message.
QString Printable(const QByteArray& stored) {
  QString s = QString::fromUtf8(stored);
  for (QChar& c : s)
    if (c.unicode() < 0x20) c = QChar(0xFFFD);
  return s;
}

QString Damaged(const QString& packageName, int entry, int count, const QString& what) {
  return QStringLiteral("Файл пакета %1 повреждён: он обрывается в записи %2 из %3%4.")
      .arg(packageName)
      .arg(entry)
      .arg(count)
      .arg(what.isEmpty() ? QString() : QStringLiteral(" («%1»)").arg(what));
}

QString ReadError(const QString& packageName, const QIODevice& in) {
  return QStringLiteral("Не удалось прочитать файл пакета %1: %2").arg(packageName, in.errorString());
}

}  // namespace

QString CheckEntryName(const QByteArray& stored) {
  if (setup_format::NameFault(std::string_view(stored.constData(), size_t(stored.size()))) !=
      setup_format::TEntryFault::None)
    return {};
  QByteArray unified = stored;
  unified.replace('\\', '/');
  return QString::fromUtf8(unified);
}

TUnpackResult UnpackPackage(QIODevice& package, const QString& packageName, TEntrySink& sink) {
  TUnpackResult result;
  unsigned char countByte = 0;
  qint64 got = ReadFully(package, reinterpret_cast<char*>(&countByte), 1);
  if (got < 0) {
    result.error = ReadError(packageName, package);
    return result;
  }
  if (got == 0) {
    result.error = QStringLiteral("Файл пакета %1 повреждён: он пуст.").arg(packageName);
    return result;
  }
  const int count = countByte;
  std::array<char, kCopyBufferSize> buffer;

  for (int index = 1; index <= count; ++index) {
    unsigned char nameLength = 0;
    got = ReadFully(package, reinterpret_cast<char*>(&nameLength), 1);
    if (got != 1) {
      result.error = got < 0 ? ReadError(packageName, package) : Damaged(packageName, index, count, {});
      return result;
    }
    QByteArray stored(nameLength, Qt::Uninitialized);
    got = ReadFully(package, stored.data(), nameLength);
    if (got != nameLength) {
      result.error = got < 0 ? ReadError(packageName, package)
                             : Damaged(packageName, index, count, Printable(stored.left(qMax<qint64>(got, 0))));
      return result;
    }
    const QString name = CheckEntryName(stored);
    if (name.isEmpty()) {
      result.error = QStringLiteral("Файл пакета %1 содержит недопустимое имя файла «%2»: "
                                    "файл был бы записан вне папки установки. Установка остановлена.")
                         .arg(packageName, Printable(stored));
      return result;
    }
    const bool isFolder = name.endsWith(QLatin1Char('/'));
    if (!isFolder && !sink.Begin(name, result.error)) return result;

    unsigned char sizeBytes[3] = {0, 0, 0};
    got = ReadFully(package, reinterpret_cast<char*>(sizeBytes), 3);
    if (got != 3) {
      QString ignored;
      if (!isFolder) sink.End(false, ignored);
      result.error = got < 0 ? ReadError(packageName, package) : Damaged(packageName, index, count, name);
      return result;
    }
    const qint64 size = (qint64(sizeBytes[0]) << 16) | (qint64(sizeBytes[1]) << 8) | qint64(sizeBytes[2]);

    if (isFolder) {
      if (setup_format::EntryFault(std::string_view(stored.constData(), size_t(stored.size())), quint32(size)) !=
          setup_format::TEntryFault::None) {
        result.error = QStringLiteral("Файл пакета %1 повреждён: запись папки «%2» содержит данные.")
                           .arg(packageName, name);
        return result;
      }
      QString folder = name;
      while (folder.endsWith(QLatin1Char('/'))) folder.chop(1);
      if (!sink.MakeFolder(folder, result.error)) return result;
      ++result.entriesDone;
      continue;
    }

    // Full chunks while more than one buffer remains, then the rest in one final step.
    qint64 remaining = size;
    bool complete = true;
    while (complete) {
      const qint64 want = remaining > kCopyBufferSize ? kCopyBufferSize : remaining;
      got = ReadFully(package, buffer.data(), want);
      if (got < 0) {
        QString ignored;
        sink.End(false, ignored);
        result.error = ReadError(packageName, package);
        return result;
      }
      // Only bytes actually read reach the sink; a short read ends this entry as damaged.
      if (!sink.Write(buffer.data(), got, result.error)) {
        QString ignored;
        sink.End(false, ignored);
        return result;
      }
      remaining -= got;
      if (got < want) complete = false;
      if (want < kCopyBufferSize || remaining == 0) break;
    }
    if (!complete) {
      QString ignored;
      sink.End(false, ignored);
      result.error = Damaged(packageName, index, count, name);
      return result;
    }
    if (!sink.End(true, result.error)) return result;
    ++result.entriesDone;
  }
  result.ok = true;
  return result;
}

}  // namespace setup

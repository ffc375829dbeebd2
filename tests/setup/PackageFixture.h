// PackageFixture.h: packages made in memory for the installer's tests.
#ifndef AUBADINE_TESTS_SETUP_PACKAGEFIXTURE_H
#define AUBADINE_TESTS_SETUP_PACKAGEFIXTURE_H

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <ostream>
#include <vector>

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace setup_test {

struct TestEntry {
  QByteArray name;
  QByteArray data;
};

// Count, then per entry NameLength, Name, DataSize (3 bytes, big-endian), Data.
inline QByteArray MakePackage(const std::vector<TestEntry>& entries) {
  QByteArray bytes;
  bytes.append(char(entries.size()));
  for (const TestEntry& e : entries) {
    bytes.append(char(e.name.size()));
    bytes.append(e.name);
    const qsizetype n = e.data.size();
    bytes.append(char((n >> 16) & 0xFF));
    bytes.append(char((n >> 8) & 0xFF));
    bytes.append(char(n & 0xFF));
    bytes.append(e.data);
  }
  return bytes;
}

// Deterministic contents whose every byte depends on its position, so a shifted or
// repeated chunk shows up.
inline QByteArray Pattern(qsizetype size, int seed = 1) {
  QByteArray data(size, Qt::Uninitialized);
  quint32 x = 2463534242u + quint32(seed);
  for (qsizetype i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    data[i] = char(x & 0xFF);
  }
  return data;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return f.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
  return f.readAll();
}

}  // namespace setup_test

#endif

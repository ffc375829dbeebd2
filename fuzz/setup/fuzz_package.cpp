// Fuzz target for the package reader: any bytes as "data.dat". Checks that nothing the reader
// hands on could leave the target folder and that no file receives more bytes than declared
// or a byte it did not read.
#include "Package.h"

#include <QBuffer>
#include <QByteArray>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

void RequireInside(const QString& name) {
  Require(!name.isEmpty() && !name.startsWith(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
          !name.contains(QChar(0)));
  for (const QString& part : name.split(QLatin1Char('/'))) Require(part != QLatin1String(".."));
}

class CheckingSink : public setup::TEntrySink {
 public:
  explicit CheckingSink(const QByteArray& input) : FInput(input) {}
  bool MakeFolder(const QString& name, QString&) override {
    RequireInside(name);
    return true;
  }
  bool Begin(const QString& name, QString&) override {
    RequireInside(name);
    Require(!FOpen);
    FOpen = true;
    FWritten = 0;
    return true;
  }
  bool Write(const char* data, qint64 size, QString&) override {
    Require(FOpen && size >= 0 && size <= setup::kCopyBufferSize);
    Require(FWritten + size <= setup::kMaxDataSize);
    // Every byte handed over was read from the input.
    Require(size == 0 || FInput.contains(QByteArrayView(data, size)));
    FWritten += size;
    return true;
  }
  bool End(bool complete, QString&) override {
    Require(FOpen);
    FOpen = false;
    return complete;
  }
  bool Open() const { return FOpen; }

 private:
  const QByteArray& FInput;
  bool FOpen = false;
  qint64 FWritten = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QBuffer buffer(&input);
  buffer.open(QIODevice::ReadOnly);
  CheckingSink sink(input);
  const setup::TUnpackResult result = setup::UnpackPackage(buffer, QStringLiteral("data.dat"), sink);
  Require(!sink.Open());                       // every started file was ended
  Require(result.ok || !result.error.isEmpty());  // a failure always says why
  Require(result.entriesDone <= (size > 0 ? data[0] : 0));
  return 0;
}

// Unpacking a 100 MB package into a folder, beside `cp` of the same package file, both on the
// same disk in the same run. Prints both rates in MB/s and their ratio at the end.
// The package is in the page cache for all of them. The installer flushes every file it puts in
// place, so it is also compared with `cp` followed by `sync` of the copy.
#include "Installer.h"
#include "Package.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr qint64 kPackageBytes = 100'000'000;  // contents; a few header bytes come on top

QString ScratchTemplate() {
  QDir().mkpath(QStringLiteral(AUBADINE_BENCH_SCRATCH));
  return QStringLiteral(AUBADINE_BENCH_SCRATCH "/setup-unpack-XXXXXX");
}

struct Scratch {
  QTemporaryDir dir{ScratchTemplate()};
  QString package;
  qint64 packageSize = 0;

  Scratch() {
    package = dir.filePath(QStringLiteral("data.dat"));
    QFile out(package);
    if (!out.open(QIODevice::WriteOnly)) std::abort();
    // Seven entries: six of 15,000,000 bytes and one of 10,000,000, just under the entry limit.
    const qint64 sizes[] = {15'000'000, 15'000'000, 15'000'000, 15'000'000, 15'000'000, 15'000'000, 10'000'000};
    out.putChar(char(std::size(sizes)));
    quint32 x = 12345;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
      const QByteArray name = "lib" + QByteArray::number(qulonglong(i)) + ".so";
      out.putChar(char(name.size()));
      out.write(name);
      const qint64 n = sizes[i];
      out.putChar(char((n >> 16) & 0xFF));
      out.putChar(char((n >> 8) & 0xFF));
      out.putChar(char(n & 0xFF));
      for (qint64 left = n; left > 0;) {
        for (char& c : block) {
          x = x * 1664525u + 1013904223u;
          c = char(x >> 24);
        }
        const qint64 chunk = qMin<qint64>(left, block.size());
        out.write(block.constData(), chunk);
        left -= chunk;
      }
    }
    out.close();
    packageSize = QFile(package).size();
  }
};

Scratch& TheScratch() {
  static Scratch scratch;
  return scratch;
}

void BM_UnpackPackage(benchmark::State& state) {
  Scratch& s = TheScratch();
  const QString target = s.dir.filePath(QStringLiteral("installed/"));
  QDir().mkpath(target);
  for (auto _ : state) {
    const setup::TUnpackResult r = setup::UnpackPackageFile(s.package, target);
    if (!r.ok) state.SkipWithError(r.error.toStdString().c_str());
  }
  state.SetBytesProcessed(state.iterations() * kPackageBytes);
}
BENCHMARK(BM_UnpackPackage)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_CpSameBytes(benchmark::State& state) {
  Scratch& s = TheScratch();
  const std::string command = "cp '" + s.package.toStdString() + "' '" + s.dir.filePath("copy.dat").toStdString() + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
  }
  state.SetBytesProcessed(state.iterations() * s.packageSize);
}
BENCHMARK(BM_CpSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The installer puts every file in place durably (written, flushed to the disk, renamed), so
// `cp` followed by flushing the copy to the disk is the like-for-like peer.
void BM_CpThenSync(benchmark::State& state) {
  Scratch& s = TheScratch();
  const std::string copy = s.dir.filePath("copy.dat").toStdString();
  const std::string command = "cp '" + s.package.toStdString() + "' '" + copy + "' && sync '" + copy + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
  }
  state.SetBytesProcessed(state.iterations() * s.packageSize);
}
BENCHMARK(BM_CpThenSync)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Keeps each benchmark's rate so the ratio can be printed after the table.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> rates;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end()) rates[run.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double unpack = reporter.rates["BM_UnpackPackage/min_time:2.000/real_time"];
  const double cp = reporter.rates["BM_CpSameBytes/min_time:2.000/real_time"];
  const double cpSync = reporter.rates["BM_CpThenSync/min_time:2.000/real_time"];
  if (unpack > 0 && cp > 0 && cpSync > 0)
    std::printf("unpack %.0f MB/s; cp %.0f MB/s (unpack/cp = %.2f); cp+sync %.0f MB/s (unpack/(cp+sync) = %.2f)\n",
                unpack / 1e6, cp / 1e6, unpack / cp, cpSync / 1e6, unpack / cpSync);
  benchmark::Shutdown();
  return 0;
}

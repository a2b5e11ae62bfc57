// Cost of one logging call as the program makes it: through GetLogger, with
// logging off, with a level that filters the record, and with a file target.

#include "logging/LogEngine.h"
#include "logging/MorvelDebug.h"
#include "platform/fake/FakePlatform.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>

// Counts heap allocations of the whole process (Qt's included) by standing in
// front of the C library's allocator, so each benchmark can report them.
namespace {
std::atomic<std::uint64_t> Allocations{0};
}
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* malloc(std::size_t ASize) {
  Allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(ASize);
}
void* calloc(std::size_t ACount, std::size_t ASize) {
  Allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(ACount, ASize);
}
void* realloc(void* APointer, std::size_t ASize) {
  Allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(APointer, ASize);
}
}

namespace {

// Runs ABody once per iteration and reports heap allocations per call.
template <class TBody> void measure(benchmark::State& AState, TBody ABody) {
  const std::uint64_t Before = Allocations.load();
  for (auto _ : AState)
    ABody();
  AState.counters["allocs/call"] =
      benchmark::Counter(double(Allocations.load() - Before), benchmark::Counter::kAvgIterations);
}

QTemporaryDir* LogDir = nullptr;

void configure(const QString& AValues) {
  FakePlatform Platform(QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                                       "[HKEY_LOCAL_MACHINE\\Software\\Morvel\\Tesk]\n") +
                        AValues);
  ScopedPlatform Scope(Platform);
  InitializeMorvelDebug(QStringLiteral("kelvane"));
}

QString fileTarget() {
  return QStringLiteral("\"DebugEnabled\"=dword:00000001\n\"DirectDebugDirectory\"=\"%1\"\n"
                        "\"DirectDebugFileSize\"=dword:00019000\n")
      .arg(LogDir->path());
}

void BM_LoggingOff(benchmark::State& AState) {
  configure(QString());
  measure(AState, [] { GetLogger()->LogMessage(QStringLiteral("Kelvane 4.0.0.1 started")); });
}
BENCHMARK(BM_LoggingOff);

void BM_LoggingOffValue(benchmark::State& AState) {
  configure(QString());
  int I = 0;
  measure(AState, [&] { GetLogger()->LogInteger(QStringLiteral("Adapters"), ++I); });
}
BENCHMARK(BM_LoggingOffValue);

void BM_FilteredByLevel(benchmark::State& AState) {
  configure(fileTarget());
  measure(AState, [] { GetLogger()->EnterMethod(lvDebug, QStringLiteral("TfrmKelvane.Init")); });
}
BENCHMARK(BM_FilteredByLevel);

void BM_FileTarget(benchmark::State& AState) {
  configure(fileTarget());
  measure(AState, [] { GetLogger()->LogMessage(QStringLiteral("Kelvane 4.0.0.1 started")); });
  FinalizeMorvelDebug();
}
BENCHMARK(BM_FileTarget);

void BM_FileTargetFormatted(benchmark::State& AState) {
  configure(fileTarget());
  int I = 0;
  measure(AState, [&] {
    GetLogger()->LogError(QStringLiteral("Error on getting network adapters (%d): %s"),
                          {++I, QStringLiteral("The parameter is incorrect.")});
  });
  FinalizeMorvelDebug();
}
BENCHMARK(BM_FileTargetFormatted);

} // namespace

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  QTemporaryDir Dir;
  LogDir = &Dir;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  FinalizeMorvelDebug();
  return 0;
}

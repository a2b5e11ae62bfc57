// Untrusted files at the sizes the program accepts: each must load in time
// proportional to its size. A translator INI file of the largest size read,
// made of as many sections as fit, once cost minutes (every section was
// looked up among all the sections before it).

#include "common/IniFiles.h"

#include <benchmark/benchmark.h>

namespace {

// ASections sections "[0]".."[N-1]", the first of them with a key, in at most
// MaxIniBytes * ASections / 115000 bytes: 115,000 sections fill 1 MiB.
QByteArray translatorText(qsizetype ASections) {
  const qint64 Budget = MaxIniBytes * ASections / 115000;
  QByteArray Text;
  Text.reserve(Budget);
  qint64 Headers = 0;
  for (qsizetype I = 0; I < ASections; ++I)
    Headers += QByteArray::number(I).size() + 3;
  qint64 Keys = (Budget - Headers) / 4;
  for (qsizetype I = 0; I < ASections; ++I) {
    Text += '[' + QByteArray::number(I) + "]\n";
    if (Keys-- > 0)
      Text += "T=1\n";
  }
  return Text;
}

void BM_IniLoad(benchmark::State& AState) {
  const QByteArray Text = translatorText(AState.range(0));
  const QString Last = QString::number(AState.range(0) - 1);
  for (auto _ : AState) {
    TMemIniFile Ini;
    Ini.LoadFromBytes(Text);
    if (Ini.Sections().size() != AState.range(0) || !Ini.SectionExists(Last))
      AState.SkipWithError("sections lost");
  }
  AState.SetComplexityN(AState.range(0));
  AState.counters["bytes"] = double(Text.size());
}
BENCHMARK(BM_IniLoad)
    ->Arg(57500)
    ->Arg(115000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

} // namespace

BENCHMARK_MAIN();

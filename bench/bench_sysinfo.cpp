// The system view and the device table on the machine the benchmark runs
// on: what every network refresh pays before it reads a single adapter.

#include "platform/linux/SystemView.h"
#include "sysinfo/SysInfoDevices.h"

#include <benchmark/benchmark.h>

namespace {
void BM_BuildSystemView(benchmark::State& AState) {
  for (auto _ : AState) {
    TRegHive Hive;
    BuildSystemView(Hive);
    benchmark::DoNotOptimize(Hive.Root(HKEY_LOCAL_MACHINE));
  }
}
BENCHMARK(BM_BuildSystemView)->Unit(benchmark::kMicrosecond);

void BM_RefreshDevices(benchmark::State& AState) {
  int Devices = 0;
  for (auto _ : AState) {
    TSysInfoDevices Component;
    Component.RefreshData(0x3FFFFF);
    Devices = Component.DeviceCount();
  }
  AState.counters["devices"] = Devices;
}
BENCHMARK(BM_RefreshDevices)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();

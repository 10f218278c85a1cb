// The pure work of a sampling cycle and its parts: the status formatting, one
// step of the gauge and history geometry, and a whole cycle at 32 processes.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_report.h"
#include "bench/pure_cycle.h"

namespace {

constexpr uint32_t kProcessors = 2;      // the device's
constexpr uint32_t kTypicalProcesses = 32;
constexpr double kCycleCeilingMicroseconds = 50.0;

void Run(benchmark::State& state, void (*step)(PureCycle*), uint32_t processes) {
  std::unique_ptr<PureCycle> cycle(new PureCycle);
  StartPureCycle(cycle.get(), kProcessors, processes);
  RunPureCycle(cycle.get());  // the first pass inserts every process
  for (auto _ : state) step(cycle.get());
  benchmark::DoNotOptimize(cycle->checksum);
  benchmark::DoNotOptimize(cycle->listOperations);
}

void StatusFormat(benchmark::State& state) { Run(state, PureStatusStep, kTypicalProcesses); }
void GeometryStep(benchmark::State& state) { Run(state, PureGeometryStep, kTypicalProcesses); }
void WholeCycle(benchmark::State& state) { Run(state, RunPureCycle, static_cast<uint32_t>(state.range(0))); }

BENCHMARK(StatusFormat)->Unit(benchmark::kMicrosecond);
BENCHMARK(GeometryStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(WholeCycle)->Arg(kTypicalProcesses)->Unit(benchmark::kMicrosecond);

const BenchCeiling kCeilings[] = {{"WholeCycle/32", kCycleCeilingMicroseconds}};

}  // namespace

int main(int argc, char** argv) {
  return RunBenchmarksAndReport(argc, argv, kCeilings, sizeof kCeilings / sizeof kCeilings[0]);
}

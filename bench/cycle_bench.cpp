// The pure work of a sampling cycle: the status formatting alone, a cycle
// with the Performance page only, and a whole cycle with both pages at 32
// processes.
#include <benchmark/benchmark.h>

#include <cwchar>
#include <memory>

#include "bench/bench_report.h"
#include "bench/pure_cycle.h"

namespace {

constexpr uint32_t kProcessors = 2;      // the device's
constexpr uint32_t kTypicalProcesses = 32;
constexpr double kCycleCeilingMicroseconds = 50.0;

std::unique_ptr<PureCycle> Started(uint32_t processes, bool processesShown) {
  std::unique_ptr<PureCycle> cycle(new PureCycle);
  StartPureCycle(cycle.get(), kProcessors, processes);
  cycle->processesShown = processesShown ? 1 : 0;
  RunPureCycle(cycle.get());  // the first pass inserts every process
  return cycle;
}

void StatusFormat(benchmark::State& state) {
  std::unique_ptr<PureCycle> cycle = Started(kTypicalProcesses, true);
  for (auto _ : state) FormatHardwareStatus(cycle->hardware, cycle->text, kReportBufferChars);
  benchmark::DoNotOptimize(cycle->text[0]);
}

void PerformanceCycle(benchmark::State& state) {
  std::unique_ptr<PureCycle> cycle = Started(kTypicalProcesses, false);
  for (auto _ : state) RunPureCycle(cycle.get());
  benchmark::DoNotOptimize(cycle->pictures.generation);
}

// The same with two triggers: the record's line is made and read every cycle.
void PerformanceCycleWithTriggers(benchmark::State& state) {
  std::unique_ptr<PureCycle> cycle = Started(kTypicalProcesses, false);
  char header[kRecordLineChars];
  FormatRecordHeader(header, sizeof header, kProcessors);
  const wchar_t* const rules[] = {L"tcpu_c>85", L"cpu_mhz<300"};
  for (const wchar_t* rule : rules) {
    ParseTriggerRule(rule, static_cast<uint32_t>(wcslen(rule)), header, &cycle->events.rules[cycle->events.ruleCount++]);
  }
  cycle->recordOn = 1;
  for (auto _ : state) RunPureCycle(cycle.get());
  benchmark::DoNotOptimize(cycle->results.lineLength);
}

void WholeCycle(benchmark::State& state) {
  std::unique_ptr<PureCycle> cycle = Started(static_cast<uint32_t>(state.range(0)), true);
  for (auto _ : state) RunPureCycle(cycle.get());
  benchmark::DoNotOptimize(cycle->listOperations);
}

BENCHMARK(StatusFormat)->Unit(benchmark::kMicrosecond);
BENCHMARK(PerformanceCycle)->Unit(benchmark::kMicrosecond);
BENCHMARK(PerformanceCycleWithTriggers)->Unit(benchmark::kMicrosecond);
BENCHMARK(WholeCycle)->Arg(kTypicalProcesses)->Unit(benchmark::kMicrosecond);

const BenchCeiling kCeilings[] = {{"WholeCycle/32", kCycleCeilingMicroseconds}};

}  // namespace

int main(int argc, char** argv) {
  return RunBenchmarksAndReport(argc, argv, kCeilings, sizeof kCeilings / sizeof kCeilings[0]);
}

// The cost of one process pass over the tables (reconcile, figures, close up,
// list steps sent to lists that only count them), by number of processes; with
// churn, one process in ten is replaced every pass.
// The reading is ready before each pass, so this is the monitor's own share
// of a pass; the reads themselves are measured under Wine by process_pass_probe.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench/bench_report.h"
#include "tests/pass_reading.h"
#include "ui/processes/process_table.h"
#include "ui/processes/process_view.h"

namespace {

constexpr uint32_t kThreadsPerProcess = 4;
constexpr uint32_t kChurnEvery = 10;  // one process in ten replaced each pass

struct Counter {
  uint64_t operations;
};
void CountInsert(void* context, uint32_t, const wchar_t*, uint32_t, uint32_t) {
  ++static_cast<Counter*>(context)->operations;
}
void CountSet(void* context, uint32_t, uint32_t, const wchar_t*) { ++static_cast<Counter*>(context)->operations; }
uint32_t CountDelete(void* context, uint32_t, bool) {
  ++static_cast<Counter*>(context)->operations;
  return 0;
}
void CountRedraw(void* context, uint32_t, bool) { ++static_cast<Counter*>(context)->operations; }

SnapshotEntry Entry(uint32_t id, uint32_t threads) {
  SnapshotEntry entry = {};
  entry.processId = id;
  entry.threadCount = threads;
  std::wcscpy(entry.name, L"process.exe");
  return entry;
}

// A reading of `entries`, with kThreadsPerProcess threads for each process
// (ids following the process's) when `threads`.
void Fill(PassReading* reading, const std::vector<SnapshotEntry>& entries, bool threads) {
  std::vector<SnapshotThread> walked;
  for (const SnapshotEntry& entry : entries) {
    for (uint32_t t = 0; threads && t < kThreadsPerProcess; ++t) {
      walked.push_back(SnapshotThread{entry.processId + 1 + t, entry.processId, {}});
    }
  }
  FillReading(reading, entries, walked);
}

// Each pass the platform reports a second more of CPU time (and some bytes)
// for every process and thread; a step of 0 reports no figures.
void Advance(PassReading* reading, uint64_t step) {
  if (step == 0) return;
  for (uint32_t i = 0; i < reading->processCount; ++i) {
    ProcessReading& entry = reading->processes[i];
    entry.figures = FIGURE_CPU_TIME | FIGURE_MEMORY;
    entry.cpuTime = entry.processId * step;
    entry.workingSet = entry.processId * step;
  }
  for (uint32_t i = 0; i < reading->threadCount; ++i) {
    SnapshotThread& thread = reading->threads[i];
    thread.read = ThreadFigures{FIGURE_CPU_TIME | FIGURE_PRIORITY | FIGURE_AFFINITY, 8, 0, thread.threadId * step};
  }
}

enum PassKind {
  kSteady,   // every process seen unchanged, no figures
  kChurn,    // one process in ten exits and as many start each pass, no figures
  kFigures,  // every process's CPU time and working set change each pass: its three figure texts rewritten
  kThreads,  // as kFigures, times summed from four threads a process, and one process's threads listed
};

void ProcessPass(benchmark::State& state, PassKind kind) {
  const uint32_t count = static_cast<uint32_t>(state.range(0));
  std::vector<SnapshotEntry> first, second;
  for (uint32_t i = 0; i < count; ++i) first.push_back(Entry(8 * (i + 1), 1 + i % 7));
  second = first;
  // The walks alternate between the two snapshots. With the table full (1024)
  // a new process finds no row in the pass that frees rows, so there only the
  // exits and the returns are listed, every other pass.
  if (kind == kChurn) {
    uint32_t nextId = 8 * (count + 1);
    for (uint32_t i = kChurnEvery / 2; i < count; i += kChurnEvery) {
      second[i] = Entry(nextId, 3);
      nextId += 8;
    }
  }
  std::unique_ptr<ProcessTable> table(new ProcessTable());
  std::unique_ptr<ThreadTable> threads(new ThreadTable());
  std::unique_ptr<PassReading> firstReading(new PassReading()), secondReading(new PassReading());
  Fill(firstReading.get(), first, kind == kThreads);
  Fill(secondReading.get(), second, kind == kThreads);
  if (kind == kThreads) SelectThreadOwner(threads.get(), 1, first[count / 2].processId);
  Counter counter = {0};
  std::unique_ptr<ProcessView> view(new ProcessView());
  const ListOps ops = {&counter, CountInsert, CountSet, CountDelete, CountRedraw};
  wchar_t text[kReportBufferChars];
  uint32_t nowMs = 0;
  uint64_t step = 0;
  const bool figures = kind == kFigures || kind == kThreads;
  auto pass = [&](PassReading* reading) {
    if (figures) step += kTicksPerSecond;
    Advance(reading, step);
    nowMs += 1000;
    // Sorted by CPU time, as an engineer would look at it.
    const PassSettings settings = {2, 2, nowMs, kind == kThreads ? 1u : 0u, 0, ListOrderWord(kColumnCpuTime, true)};
    UpdateProcessTable(table.get(), threads.get(), reading, &settings);
    UpdateProcessView(view.get(), table.get(), &settings);
    SyncProcessView(view.get(), &ops, text, kReportBufferChars);
    SyncThreadList(threads.get(), &ops, text, kReportBufferChars);
  };
  pass(firstReading.get());
  bool odd = false;
  for (auto _ : state) {
    odd = kind == kChurn && !odd;
    pass(odd ? secondReading.get() : firstReading.get());
  }
  benchmark::DoNotOptimize(counter.operations);
  state.counters["rows"] = table->processCount;
  state.counters["listOps"] = benchmark::Counter(static_cast<double>(counter.operations) / state.iterations());
}

void SteadyPass(benchmark::State& state) { ProcessPass(state, kSteady); }
void ChurnPass(benchmark::State& state) { ProcessPass(state, kChurn); }
void FiguresPass(benchmark::State& state) { ProcessPass(state, kFigures); }
void ThreadsPass(benchmark::State& state) { ProcessPass(state, kThreads); }

BENCHMARK(SteadyPass)->Arg(32)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(ChurnPass)->Arg(32)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(FiguresPass)->Arg(32)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(ThreadsPass)->Arg(32)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return RunBenchmarksAndReport(argc, argv, nullptr, 0); }

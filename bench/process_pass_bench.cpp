// The cost of one process pass over the tables (reconcile, figures, close up,
// list steps sent to lists that only count them), by number of processes; with
// churn, one process in ten is replaced every pass.
// The platform's reads answer at once, so this is the monitor's own share of
// a pass; the reads themselves are measured under Wine by process_pass_probe.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench/bench_report.h"
#include "ui/processes/process_table.h"

namespace {

constexpr uint32_t kThreadsPerProcess = 4;
constexpr uint32_t kChurnEvery = 10;  // one process in ten replaced each pass

struct Snapshot {
  const std::vector<SnapshotEntry>* entries;
  size_t next;
  size_t nextThread;
  uint64_t figureStep;  // added to every CPU time and working set read
};

bool NextEntry(void* context, SnapshotEntry* entry) {
  Snapshot* snapshot = static_cast<Snapshot*>(context);
  if (snapshot->next >= snapshot->entries->size()) return false;
  *entry = (*snapshot->entries)[snapshot->next++];
  return true;
}

// kThreadsPerProcess threads for each process, ids following the process's.
bool NextThread(void* context, SnapshotThread* thread) {
  Snapshot* snapshot = static_cast<Snapshot*>(context);
  const size_t process = snapshot->nextThread / kThreadsPerProcess;
  if (process >= snapshot->entries->size()) return false;
  const uint32_t owner = (*snapshot->entries)[process].processId;
  *thread = SnapshotThread{owner + 1 + static_cast<uint32_t>(snapshot->nextThread++ % kThreadsPerProcess), owner};
  return true;
}

// A figure step of 0: no figures (the steady and churn passes, as before figures).
void ReadProcess(void* context, uint32_t processId, uint32_t wanted, ProcessFigures* figures) {
  const uint64_t step = static_cast<Snapshot*>(context)->figureStep;
  const uint32_t known = step != 0 ? wanted & (FIGURE_CPU_TIME | FIGURE_MEMORY) : 0;
  *figures = ProcessFigures{known, 0, processId * step, processId * step};
}

void ReadThread(void* context, uint32_t threadId, uint32_t wanted, ThreadFigures* figures) {
  const uint64_t step = static_cast<Snapshot*>(context)->figureStep;
  *figures = ThreadFigures{wanted, 8, 0, threadId * step};
}

struct Counter {
  uint64_t operations;
};
void CountInsert(void* context, uint32_t, const wchar_t*, uint32_t) { ++static_cast<Counter*>(context)->operations; }
void CountSet(void* context, uint32_t, uint32_t, const wchar_t*) { ++static_cast<Counter*>(context)->operations; }
void CountDelete(void* context, uint32_t) { ++static_cast<Counter*>(context)->operations; }

SnapshotEntry Entry(uint32_t id, uint32_t threads) {
  SnapshotEntry entry = {};
  entry.processId = id;
  entry.threadCount = threads;
  std::wcscpy(entry.name, L"process.exe");
  return entry;
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
  if (kind == kThreads) SelectThreadOwner(threads.get(), 1, first[count / 2].processId);
  Counter counter = {0};
  const ListOps ops = {&counter, CountInsert, CountSet, CountDelete};
  wchar_t text[kReportBufferChars];
  uint32_t nowMs = 0;
  uint64_t step = 0;
  const bool figures = kind == kFigures || kind == kThreads;
  auto pass = [&](const std::vector<SnapshotEntry>& entries) {
    // Each pass adds a second of CPU time (and some bytes) to every figure.
    if (figures) step += kTicksPerSecond;
    Snapshot snapshot = {&entries, 0, 0, step};
    const ProcessSource source = {&snapshot, NextEntry, NextThread, ReadProcess, ReadThread};
    nowMs += 1000;
    const PassSettings settings = {2, nowMs, kind == kThreads ? 1u : 0u};
    UpdateProcessTable(table.get(), threads.get(), &source, &settings);
    SyncProcessList(table.get(), &ops, text, kReportBufferChars);
    SyncThreadList(threads.get(), &ops, text, kReportBufferChars);
  };
  pass(first);
  bool odd = false;
  for (auto _ : state) {
    odd = kind == kChurn && !odd;
    pass(odd ? second : first);
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

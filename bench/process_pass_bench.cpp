// The cost of one process pass over the table (reconcile, close up, list
// steps sent to a list that only counts them), by number of processes, with
// no churn and with 10 % of the processes replaced every pass.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench/bench_report.h"
#include "ui/processes/process_table.h"

namespace {

struct Walk {
  const std::vector<SnapshotEntry>* entries;
  size_t next;
};

bool NextEntry(void* context, SnapshotEntry* entry) {
  Walk* walk = static_cast<Walk*>(context);
  if (walk->next >= walk->entries->size()) return false;
  *entry = (*walk->entries)[walk->next++];
  return true;
}

uint32_t NoBinding(void*, uint32_t) { return 0; }

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

constexpr uint32_t kChurnEvery = 10;  // one process in ten replaced each pass

// `churn`: the walks alternate between two snapshots, so that each pass one
// process in ten, spread over the table, exits and as many new ones start;
// otherwise every process is seen unchanged. With the table full (1024) a new
// process finds no row in the pass that frees rows, so there the exits and the
// returns are listed, every other pass.
void ProcessPass(benchmark::State& state, bool churn) {
  const uint32_t count = static_cast<uint32_t>(state.range(0));
  std::vector<SnapshotEntry> first, second;
  for (uint32_t i = 0; i < count; ++i) first.push_back(Entry(4 * (i + 1), 1 + i % 7));
  uint32_t nextId = 4 * (count + 1);
  for (uint32_t i = 0; i < count; ++i) {
    if (i % kChurnEvery == kChurnEvery / 2) {
      second.push_back(Entry(nextId, 3));
      nextId += 4;
    } else {
      second.push_back(first[i]);
    }
  }
  std::unique_ptr<ProcessTable> table(new ProcessTable());
  const AffinityReader reader = {nullptr, NoBinding};
  Counter counter = {0};
  const ProcessListOps ops = {&counter, CountInsert, CountSet, CountDelete};
  wchar_t text[kReportBufferChars];
  auto pass = [&](const std::vector<SnapshotEntry>& entries) {
    Walk walk = {&entries, 0};
    const SnapshotWalk source = {&walk, NextEntry};
    UpdateProcessTable(table.get(), &source, 2, &reader);
    SyncProcessList(table.get(), &ops, text, kReportBufferChars);
  };
  pass(first);
  bool odd = false;
  for (auto _ : state) {
    odd = churn && !odd;
    pass(odd ? second : first);
  }
  benchmark::DoNotOptimize(counter.operations);
  state.counters["rows"] = table->processCount;
  state.counters["listOps"] = benchmark::Counter(static_cast<double>(counter.operations) / state.iterations());
}

void SteadyPass(benchmark::State& state) { ProcessPass(state, false); }
void ChurnPass(benchmark::State& state) { ProcessPass(state, true); }

BENCHMARK(SteadyPass)->Arg(32)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(ChurnPass)->Arg(32)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return RunBenchmarksAndReport(argc, argv, nullptr, 0); }

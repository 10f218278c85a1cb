// Two threads over the state the monitor shares, under ThreadSanitizer,
// through the program's own code: the sampling thread runs AdvanceCycle (which
// takes the state lock around its writes) over random readings, then sends
// the list steps outside the lock; the main thread copies a process's row
// with CopyProcessRow, as the context menu does, and a graphic control's kept
// picture with CopyKeptPicture, as a repaint does. The lock here is a
// std::mutex. Any race TSan sees fails the run (exit code 66); so does a torn
// or wrong copy, or a list out of step with the table after a pass.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "sampler/sample_cycle.h"
#include "tests/pass_reading.h"
#include "tests/recorded_list.h"

namespace {

constexpr int kPasses = 4000;
constexpr uint32_t kIdPool = 96;  // the table holds them all
constexpr uint32_t kMaxThreads = 40;
constexpr uint32_t kProcessors = 2;
constexpr ClientSize kGraphSizes[kGraphCount] = {{80, 50}, {260, 50}, {46, 56}, {300, 56}};

std::mutex mutex;
const StateLock lock = {&mutex, [](void* m) { static_cast<std::mutex*>(m)->lock(); },
                        [](void* m) { static_cast<std::mutex*>(m)->unlock(); }};

// The state a cycle advances (static: the tables are large).
IdleCounters idleCounters;
std::atomic<float> frequencyScale{1.0f};
LoadSample sample;
wchar_t reportBuffer[kReportBufferChars];
HistorySeries cpuHistory[kMaxProcessors], memHistory;
uint32_t cpuHistoryReset = 1, memHistoryReset = 1;
ProcessTable table;
ThreadTable threads;  // no process chosen: stays empty
PagePictures pictures = {0, 0, {}, {}, cpuHistory, 0, &memHistory};
PassReading reading;
std::atomic<bool> done{false};
std::atomic<int> failures{0};

void Fail(const char* what) {
  if (failures.fetch_add(1) < 10) std::fprintf(stderr, "table_stress: %s\n", what);
}

// Every process is named after its id and its affinity follows from it, so a
// copy mixing two rows shows.
void NameOf(uint32_t processId, wchar_t* name) { swprintf(name, kSnapshotNameChars, L"p%u.exe", processId); }
uint32_t AffinityOf(uint32_t processId) { return processId % 3; }

void Sampler() {
  std::mt19937 random(7);
  std::vector<SnapshotEntry> entries;
  RecordedList list(8, 0);
  const ListOps ops = list.Ops();
  wchar_t text[kReportBufferChars];
  uint32_t idle[kMaxProcessors] = {};
  const CycleState state = {
      &lock,      kProcessors,      0,           &idleCounters,    &frequencyScale, &sample,  reportBuffer,
      cpuHistory, &cpuHistoryReset, &memHistory, &memHistoryReset, &table,          &threads, &pictures};
  CycleResults results;
  for (int pass = 0; pass < kPasses; ++pass) {
    entries.clear();
    for (uint32_t id = 4; id <= 4 * kIdPool; id += 4) {
      if (random() % 4 == 0) continue;  // not running this pass
      entries.push_back({id, static_cast<uint32_t>(1 + random() % kMaxThreads), 0, AffinityOf(id), 0, 0, {}});
      NameOf(id, entries.back().name);
    }
    FillReading(&reading, entries);
    CycleReadings readings = {};
    readings.nowMs = static_cast<uint32_t>(pass + 1) * kSamplePeriodMs;
    for (uint32_t i = 0; i < kProcessors; ++i) readings.idle[i] = idle[i] += random() % kSamplePeriodMs;
    readings.memory.loadPercent = random() % 101;
    readings.graphs = (1u << kGraphCount) - 1;
    std::copy(kGraphSizes, kGraphSizes + kGraphCount, readings.sizes);
    readings.pass = &reading;
    AdvanceCycle(&state, &readings, &results);
    SyncProcessList(&table, &ops, text, kReportBufferChars);  // outside the lock, as the messages are sent
    list.log.clear();
    if (!ListOutOfStep(list, table).empty()) Fail("the list is out of step with the table");
  }
  done.store(true);
}

// A repaint's copy (of a history too, for TSan to watch): a gauge's figures
// are its fractions' texts, or the copy is torn.
void CheckKeptPicture(uint32_t graph) {
  KeptPicture kept;
  CopyKeptPicture(&lock, &pictures, graph, &kept);
  if (!kept.drawn || (graph != kGraphCpuGauge && graph != kGraphMemGauge)) return;
  for (uint32_t k = 0; k < kept.gauge.barCount; ++k) {
    wchar_t figure[kGaugeFigureChars];
    (graph == kGraphCpuGauge ? FormatWholeFigure : FormatPercentFigure)(figure, kGaugeFigureChars,
                                                                        kept.gauge.fractions[k]);
    if (std::wcscmp(figure, kept.gauge.figures[k]) != 0) Fail("a copied gauge picture is torn");
  }
}

void Menu() {
  std::mt19937 random(11);
  long copies = 0;
  while (!done.load()) {
    CheckKeptPicture(random() % kGraphCount);
    const uint32_t processId = 4 * (1 + random() % kIdPool);
    ProcessEntry row;
    if (!CopyProcessRow(&lock, &table, processId, &row)) continue;
    ++copies;
    wchar_t expected[kSnapshotNameChars];
    NameOf(processId, expected);
    if (row.processId != processId || std::wcscmp(row.name, expected) != 0 || row.threadCount < 1 ||
        row.threadCount > kMaxThreads || row.affinity != AffinityOf(processId)) {
      Fail("a copied row is torn or another process's");
    }
  }
  if (copies == 0) Fail("the menu copied no row");
  std::printf("table_stress: %d passes, %ld row copies\n", kPasses, copies);
}

}  // namespace

int main() {
  std::thread menu(Menu);
  Sampler();
  menu.join();
  return failures.load() == 0 ? 0 : 1;
}

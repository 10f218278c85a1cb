// Two threads over the state the monitor shares, under ThreadSanitizer,
// through the program's own code: the sampling thread runs AdvanceCycle
// (which takes the state lock around its writes) over random readings and
// then, outside the lock, sends the recorded list steps, reading rows only it
// writes; the main thread copies the row of a process id with CopyProcessRow,
// as the context menu does, and a graphic control's kept picture with
// CopyKeptPicture, as a repaint does. The program's lock is a critical
// section; here the same StateLock holds a std::mutex. Any race TSan sees
// fails the run (exit code 66); so does a torn or wrong copy, or a list that
// ends out of step with the table.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "sampler/sample_cycle.h"
#include "tests/pass_reading.h"

namespace {

constexpr int kPasses = 4000;
constexpr uint32_t kIdPool = 96;  // the table holds them all
constexpr uint32_t kMaxThreads = 40;
constexpr uint32_t kProcessors = 2;

std::mutex mutex;
void Enter(void* lock) { static_cast<std::mutex*>(lock)->lock(); }
void Leave(void* lock) { static_cast<std::mutex*>(lock)->unlock(); }
const StateLock lock = {&mutex, Enter, Leave};

// The state a cycle advances, on the heap: the tables are large.
struct Shared {
  IdleCounters idle;
  std::atomic<float> frequencyScale{1.0f};
  LoadSample sample;
  wchar_t reportBuffer[kReportBufferChars];
  HistorySeries cpuHistory[kMaxProcessors];
  uint32_t cpuHistoryReset = 1;
  HistorySeries memHistory;
  uint32_t memHistoryReset = 1;
  ProcessTable table;
  ThreadTable threads;  // no process chosen: stays empty
  PagePictures pictures;
  CycleResults results;
  PassReading reading;
};
std::unique_ptr<Shared> shared(new Shared());
constexpr ClientSize kGraphSizes[kGraphCount] = {{80, 50}, {260, 50}, {46, 56}, {300, 56}};
std::atomic<bool> done{false};
std::atomic<int> failures{0};

void Fail(const char* what) {
  if (failures.fetch_add(1) < 10) std::fprintf(stderr, "table_stress: %s\n", what);
}

// Every process is named after its id, and its affinity follows from it, so
// a copy mixing two rows shows.
void NameOf(uint32_t processId, wchar_t* name, size_t chars) { swprintf(name, chars, L"p%u.exe", processId); }
uint32_t AffinityOf(uint32_t processId) { return processId % 3; }

// The list view: the process id each item shows.
struct List {
  std::vector<uint32_t> ids;
};

void Insert(void* context, uint32_t item, const wchar_t*, uint32_t processId) {
  List* list = static_cast<List*>(context);
  list->ids.insert(list->ids.begin() + item, processId);
}

void SetText(void*, uint32_t, uint32_t, const wchar_t*) {}

void Delete(void* context, uint32_t item) {
  List* list = static_cast<List*>(context);
  list->ids.erase(list->ids.begin() + item);
}

void Sampler() {
  std::mt19937 random(7);
  std::vector<SnapshotEntry> entries;
  List list;
  wchar_t text[kReportBufferChars];
  const ListOps ops = {&list, Insert, SetText, Delete};
  Shared& s = *shared;
  uint32_t idle[kMaxProcessors] = {};
  const CycleState state = {&lock,         kProcessors,      0, &s.idle,           &s.frequencyScale, &s.sample,
                            s.reportBuffer, s.cpuHistory,     &s.cpuHistoryReset, &s.memHistory,     &s.memHistoryReset,
                            &s.table,      &s.threads,       &s.pictures};
  for (int pass = 0; pass < kPasses; ++pass) {
    entries.clear();
    for (uint32_t id = 1; id <= kIdPool; ++id) {
      if (random() % 4 == 0) continue;  // not running this pass
      SnapshotEntry entry = {};
      entry.processId = id * 4;
      entry.threadCount = 1 + random() % kMaxThreads;
      entry.affinity = AffinityOf(entry.processId);
      NameOf(entry.processId, entry.name, kSnapshotNameChars);
      entries.push_back(entry);
    }
    FillReading(&s.reading, entries);
    CycleReadings readings = {};
    readings.nowMs = static_cast<uint32_t>(pass + 1) * kSamplePeriodMs;
    for (uint32_t i = 0; i < kProcessors; ++i) idle[i] += random() % kSamplePeriodMs;
    std::copy(idle, idle + kMaxProcessors, readings.idle);
    readings.memory.loadPercent = random() % 101;
    readings.graphs = (1u << kGraphCount) - 1;
    std::copy(kGraphSizes, kGraphSizes + kGraphCount, readings.sizes);
    readings.pass = &s.reading;
    AdvanceCycle(&state, &readings, &s.results);
    // Outside the lock, as the list messages are sent.
    SyncProcessList(&s.table, &ops, text, kReportBufferChars);
  }
  if (list.ids.size() != s.table.processCount) Fail("the list has another number of items than the table");
  for (uint32_t i = 0; i < list.ids.size() && i < s.table.processCount; ++i) {
    if (list.ids[i] != s.table.rows[i].processId) Fail("an item shows another row");
  }
  done.store(true);
}

// A repaint's copy of a picture: a gauge's figures are its fractions' texts
// and a history's points stand left to right, or the copy is torn.
void CheckKeptPicture(uint32_t graph) {
  KeptPicture kept;
  CopyKeptPicture(&lock, &shared->pictures, graph, &kept);
  if (!kept.drawn) return;
  if (graph == kGraphCpuGauge || graph == kGraphMemGauge) {
    for (uint32_t k = 0; k < kept.gauge.barCount; ++k) {
      wchar_t figure[kGaugeFigureChars];
      if (graph == kGraphCpuGauge) {
        FormatWholeFigure(figure, kGaugeFigureChars, kept.gauge.fractions[k]);
      } else {
        FormatPercentFigure(figure, kGaugeFigureChars, kept.gauge.fractions[k]);
      }
      if (std::wcscmp(figure, kept.gauge.figures[k]) != 0) Fail("a copied gauge picture is torn");
    }
    return;
  }
  for (uint32_t k = 0; k < kept.seriesCount; ++k) {
    for (int j = 1; j < kHistoryPoints; ++j) {
      if (kept.series[k].points[j].x < kept.series[k].points[j - 1].x) Fail("a copied history is torn");
    }
  }
}

void Menu() {
  std::mt19937 random(11);
  long copies = 0;
  while (!done.load()) {
    CheckKeptPicture(random() % kGraphCount);
    const uint32_t processId = 4 * (1 + random() % kIdPool);
    ProcessEntry row;
    if (!CopyProcessRow(&lock, &shared->table, processId, &row)) continue;
    ++copies;
    wchar_t expected[kSnapshotNameChars];
    NameOf(processId, expected, kSnapshotNameChars);
    if (row.processId != processId || std::wcscmp(row.name, expected) != 0) Fail("a copied row is another process's");
    if (row.threadCount < 1 || row.threadCount > kMaxThreads || row.affinity != AffinityOf(processId)) {
      Fail("a copied row is torn");
    }
  }
  if (copies == 0) Fail("the menu copied no row");
  std::printf("table_stress: %d passes, %ld row copies\n", kPasses, copies);
}

}  // namespace

int main() {
  shared->pictures.cpuHistory = shared->cpuHistory;
  shared->pictures.memHistory = &shared->memHistory;
  std::thread menu(Menu);
  Sampler();
  menu.join();
  return failures.load() == 0 ? 0 : 1;
}

// Two threads over the process table the way the monitor shares it, under
// ThreadSanitizer. The sampling thread updates the table under the lock and
// then, outside it, sends the recorded list steps, reading rows only it
// writes; the main thread, when the context menu opens, copies the row of a
// process id under the same lock. On the device the lock is a critical
// section; here a std::mutex stands in with the same discipline. Any race
// TSan sees fails the run (exit code 66); so does a torn or wrong copy, or a
// list that ends out of step with the table.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "tests/vector_walk.h"
#include "ui/processes/process_table.h"

namespace {

constexpr int kPasses = 4000;
constexpr uint32_t kIdPool = 96;  // the table holds them all
constexpr uint32_t kMaxThreads = 40;

std::mutex processLock;
std::unique_ptr<ProcessTable> table(new ProcessTable());
std::atomic<bool> done{false};
std::atomic<int> failures{0};

void Fail(const char* what) {
  if (failures.fetch_add(1) < 10) std::fprintf(stderr, "table_stress: %s\n", what);
}

// Every process is named after its id, so a copy mixing two rows shows.
void NameOf(uint32_t processId, wchar_t* name, size_t chars) { swprintf(name, chars, L"p%u.exe", processId); }

void ReadProcess(void*, uint32_t processId, uint32_t wanted, ProcessFigures* figures) {
  *figures = ProcessFigures{};
  figures->figures = wanted & FIGURE_AFFINITY;
  figures->affinity = processId % 3;
}

void ReadThread(void*, uint32_t, uint32_t, ThreadFigures* figures) { *figures = ThreadFigures{}; }

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
  wchar_t text[512];
  const ListOps ops = {&list, Insert, SetText, Delete};
  std::unique_ptr<ThreadTable> threads(new ThreadTable());  // no process chosen: stays empty
  for (int pass = 0; pass < kPasses; ++pass) {
    entries.clear();
    for (uint32_t id = 1; id <= kIdPool; ++id) {
      if (random() % 4 == 0) continue;  // not running this pass
      SnapshotEntry entry = {};
      entry.processId = id * 4;
      entry.threadCount = 1 + random() % kMaxThreads;
      NameOf(entry.processId, entry.name, kSnapshotNameChars);
      entries.push_back(entry);
    }
    Walk walk = {&entries, 0};
    const ProcessSource source = {&walk, Next, NoThread, ReadProcess, ReadThread};
    const PassSettings settings = {2, static_cast<uint32_t>(pass + 1) * 1000u, 0};
    {
      std::lock_guard<std::mutex> hold(processLock);
      UpdateProcessTable(table.get(), threads.get(), &source, &settings);
    }
    // Outside the lock, as the list messages are sent.
    SyncProcessList(table.get(), &ops, text, sizeof text / sizeof text[0]);
  }
  if (list.ids.size() != table->processCount) Fail("the list has another number of items than the table");
  for (uint32_t i = 0; i < list.ids.size() && i < table->processCount; ++i) {
    if (list.ids[i] != table->rows[i].processId) Fail("an item shows another row");
  }
  done.store(true);
}

void Menu() {
  std::mt19937 random(11);
  long copies = 0;
  while (!done.load()) {
    const uint32_t processId = 4 * (1 + random() % kIdPool);
    ProcessEntry row;
    uint32_t found;
    {
      std::lock_guard<std::mutex> hold(processLock);
      found = FindProcessRow(table.get(), processId);
      if (found != kNoProcessRow) row = table->rows[found];
    }
    if (found == kNoProcessRow) continue;
    ++copies;
    wchar_t expected[kSnapshotNameChars];
    NameOf(processId, expected, kSnapshotNameChars);
    if (row.processId != processId || std::wcscmp(row.name, expected) != 0) Fail("a copied row is another process's");
    if (row.threadCount < 1 || row.threadCount > kMaxThreads || row.affinity != processId % 3) Fail("a copied row is torn");
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

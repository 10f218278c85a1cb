#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ui/processes/process_table.h"

namespace {

struct Process {
  uint32_t id;
  uint32_t threads;
  std::wstring name;
};

// A list view as the operations leave it: one row of eight texts per item.
struct RecordedList {
  std::vector<std::vector<std::wstring>> items;
  std::vector<std::wstring> log;  // every operation, in order
};

void Insert(void* context, uint32_t item, const wchar_t* name, uint32_t processId) {
  RecordedList* list = static_cast<RecordedList*>(context);
  list->log.push_back(L"insert " + std::to_wstring(item) + L" " + name + L" " + std::to_wstring(processId));
  ASSERT_LE(item, list->items.size());
  list->items.insert(list->items.begin() + item, std::vector<std::wstring>(8));
  list->items[item][0] = name;
}

void SetText(void* context, uint32_t item, uint32_t subItem, const wchar_t* text) {
  RecordedList* list = static_cast<RecordedList*>(context);
  list->log.push_back(L"set " + std::to_wstring(item) + L" " + std::to_wstring(subItem) + L" " + text);
  ASSERT_TRUE(item < list->items.size() && subItem < 8);
  list->items[item][subItem] = text;
}

void Delete(void* context, uint32_t item) {
  RecordedList* list = static_cast<RecordedList*>(context);
  list->log.push_back(L"delete " + std::to_wstring(item));
  ASSERT_LT(item, list->items.size());
  list->items.erase(list->items.begin() + item);
}

struct Walk {
  const std::vector<Process>* processes;
  size_t next;
};

bool NextEntry(void* context, SnapshotEntry* entry) {
  Walk* walk = static_cast<Walk*>(context);
  if (walk->next >= walk->processes->size()) return false;
  const Process& process = (*walk->processes)[walk->next++];
  entry->processId = process.id;
  entry->threadCount = process.threads;
  std::memset(entry->name, 0, sizeof entry->name);
  process.name.copy(entry->name, kSnapshotNameChars - 1);
  return true;
}

struct Affinities {
  std::map<uint32_t, uint32_t> byId;
  int reads = 0;
};

uint32_t ReadAffinity(void* context, uint32_t processId) {
  Affinities* affinities = static_cast<Affinities*>(context);
  ++affinities->reads;
  auto found = affinities->byId.find(processId);
  return found == affinities->byId.end() ? 0 : found->second;
}

std::wstring Hex8(uint32_t value) {
  wchar_t text[16];
  swprintf(text, 16, L"%08X", value);
  return text;
}

// A table, its recorded list, and one pass at a time.
struct Monitor {
  std::unique_ptr<ProcessTable> table{new ProcessTable()};
  RecordedList list;
  Affinities affinities;
  uint32_t processors = 1;
  wchar_t text[kReportBufferChars];

  // Runs a pass; returns the operations it sent.
  std::vector<std::wstring> Pass(const std::vector<Process>& processes) {
    Walk walk = {&processes, 0};
    SnapshotWalk source = {&walk, NextEntry};
    AffinityReader reader = {&affinities, ReadAffinity};
    ProcessListOps ops = {&list, Insert, SetText, Delete};
    const size_t before = list.log.size();
    UpdateProcessTable(table.get(), &source, processors, &reader);
    SyncProcessList(table.get(), &ops, text, kReportBufferChars);
    return std::vector<std::wstring>(list.log.begin() + before, list.log.end());
  }

  const std::vector<std::wstring>& Item(size_t i) const { return list.items.at(i); }

  // Item i shows row i, and the totals are those of the rows.
  void ExpectInStep() const {
    ASSERT_EQ(table->processCount, list.items.size());
    uint32_t threads = 0;
    for (uint32_t i = 0; i < table->processCount; ++i) {
      const ProcessEntry& row = table->rows[i];
      EXPECT_EQ(row.name, Item(i)[kColumnName]) << i;
      EXPECT_EQ(Hex8(row.processId), Item(i)[kColumnPid]) << i;
      EXPECT_EQ(std::to_wstring(row.threadCount), Item(i)[kColumnThreads]) << i;
      EXPECT_EQ(std::to_wstring(row.affinity), Item(i)[kColumnAffinity]) << i;
      EXPECT_EQ(i, FindProcessRow(table.get(), row.processId));
      threads += row.threadCount;
    }
    EXPECT_EQ(threads, table->threadTotal);
  }
};

TEST(ProcessTable, ExitedRowsCloseUpAndIdTextsKeepTheirFirstIndex) {
  Monitor monitor;
  const Process a = {0x10, 3, L"a.exe"}, b = {0x14, 4, L"b.exe"}, c = {0x18, 5, L"c.exe"};
  const std::vector<std::wstring> first = monitor.Pass({a, b, c});
  ASSERT_EQ(15u, first.size());
  EXPECT_EQ((std::vector<std::wstring>{L"insert 1 b.exe 20", L"set 1 1 1", L"set 1 2 00000014", L"set 1 6 4",
                                       L"set 1 7 0"}),
            std::vector<std::wstring>(first.begin() + 5, first.begin() + 10));
  EXPECT_TRUE(monitor.Pass({c, a, b}).empty());  // walk order does not reorder rows

  EXPECT_EQ((std::vector<std::wstring>{L"delete 1"}), monitor.Pass({a, c}));
  EXPECT_EQ(L"c.exe", monitor.Item(1)[kColumnName]);
  EXPECT_EQ(L"2", monitor.Item(1)[kColumnId]);
  monitor.Pass({a, c, {0x1C, 1, L"d.exe"}});
  EXPECT_EQ(L"2", monitor.Item(2)[kColumnId]);  // the same ID text as c.exe

  // Two neighbours exit in one pass.
  EXPECT_EQ((std::vector<std::wstring>{L"delete 0", L"delete 0"}), monitor.Pass({{0x1C, 1, L"d.exe"}}));
  monitor.ExpectInStep();
}

TEST(ProcessTable, ChangesRewriteTheirTextsAndAffinityIsReadOnlyWithTwoProcessors) {
  Monitor monitor;
  monitor.affinities.byId[0x24] = 2;
  monitor.Pass({{0x20, 3, L"x.exe"}, {0x24, 2, L"y.exe"}});
  monitor.Pass({{0x20, 3, L"x.exe"}, {0x24, 2, L"y.exe"}});
  EXPECT_EQ(0, monitor.affinities.reads);
  EXPECT_EQ(5u, monitor.table->threadTotal);

  EXPECT_EQ((std::vector<std::wstring>{L"set 0 6 5", L"set 0 7 0"}),
            monitor.Pass({{0x20, 5, L"renamed.exe"}, {0x24, 2, L"y.exe"}}));
  EXPECT_EQ(7u, monitor.table->threadTotal);  // the current sum, not a running one
  EXPECT_EQ(L"x.exe", monitor.Item(0)[kColumnName]);  // a name is kept as first seen

  monitor.processors = 2;
  EXPECT_EQ((std::vector<std::wstring>{L"set 1 6 2", L"set 1 7 2"}),
            monitor.Pass({{0x20, 5, L"x.exe"}, {0x24, 2, L"y.exe"}}));
  EXPECT_EQ(2, monitor.affinities.reads);
  monitor.Pass({{0x24, 2, L"y.exe"}});
  EXPECT_EQ(2u, monitor.table->threadTotal);  // an exit lowers it
  monitor.ExpectInStep();
}

TEST(ProcessTable, PidTextAndNameLength) {
  Monitor monitor;
  const std::wstring longName = std::wstring(136, L'n') + L".exe";  // 140 characters
  monitor.Pass({{300, 1, longName}, {0xDEADBEEFu, 1, L"high.exe"}});
  EXPECT_EQ(L"0000012C", monitor.Item(0)[kColumnPid]);
  EXPECT_EQ(L"DEADBEEF", monitor.Item(1)[kColumnPid]);
  EXPECT_EQ(longName.substr(0, kProcessNameChars), monitor.Item(0)[kColumnName]);
}

TEST(ProcessTable, WalkWithNoEntryChangesNothing) {
  Monitor monitor;
  monitor.Pass({{4, 2, L"a.exe"}, {8, 3, L"b.exe"}});
  const std::unique_ptr<ProcessTable> before(new ProcessTable(*monitor.table));
  EXPECT_TRUE(monitor.Pass({}).empty());
  EXPECT_EQ(0, std::memcmp(before->rows, monitor.table->rows, sizeof before->rows));  // flags too
  EXPECT_EQ(0, std::memcmp(before->index, monitor.table->index, sizeof before->index));
  EXPECT_TRUE(monitor.Pass({{4, 2, L"a.exe"}, {8, 3, L"b.exe"}}).empty());  // nothing relisted
  monitor.ExpectInStep();
}

TEST(ProcessTable, CapacityHoldsAndLeftOutProcessesComeInAsRowsFree) {
  Monitor monitor;
  std::vector<Process> processes;
  for (uint32_t i = 0; i < 1500; ++i) processes.push_back({4 * (i + 1), 1, L"p" + std::to_wstring(i)});
  monitor.Pass(processes);
  ASSERT_EQ(kProcessCapacity, monitor.table->processCount);
  EXPECT_EQ(kNoProcessRow, FindProcessRow(monitor.table.get(), processes[kProcessCapacity].id));

  // Ten listed processes exit: their rows free in this pass, and the next
  // pass takes the first ten left out, in walk order.
  processes.erase(processes.begin() + 100, processes.begin() + 110);
  monitor.Pass(processes);
  EXPECT_EQ(kProcessCapacity - 10, monitor.table->processCount);
  monitor.Pass(processes);
  ASSERT_EQ(kProcessCapacity, monitor.table->processCount);
  EXPECT_EQ(L"p1033", monitor.Item(kProcessCapacity - 1)[kColumnName]);
  monitor.ExpectInStep();
}

// The row-by-row algorithm the table's passes must agree with: lookup by
// scanning, removal by shifting every later row down, one row at a time.
struct ReferenceTable {
  std::vector<ProcessEntry> rows;
  std::vector<std::wstring> log;

  void Pass(const std::vector<Process>& processes, uint32_t processors, Affinities* affinities) {
    if (processes.empty()) return;
    for (ProcessEntry& row : rows) row.flags = ENTRY_UNSEEN;
    for (const Process& process : processes) {
      ProcessEntry* match = nullptr;
      for (ProcessEntry& row : rows) {
        if (row.processId == process.id) {
          match = &row;
          break;
        }
      }
      const uint32_t affinity = processors >= 2 ? ReadAffinity(affinities, process.id) : 0;
      if (match != nullptr) {
        if (match->flags == ENTRY_UNSEEN) match->flags = 0;
        if (process.threads != match->threadCount || affinity != match->affinity) {
          match->threadCount = process.threads;
          match->affinity = affinity;
          if (match->flags != ENTRY_NEW) match->flags = ENTRY_CHANGED;
        }
      } else if (rows.size() < kProcessCapacity) {
        ProcessEntry row = {};
        row.flags = ENTRY_NEW;
        row.processId = process.id;
        row.threadCount = process.threads;
        row.affinity = affinity;
        process.name.substr(0, kProcessNameChars).copy(row.name, kProcessNameChars);
        rows.push_back(row);
      }
    }
    for (size_t i = 0; i < rows.size();) {
      const ProcessEntry& row = rows[i];
      const std::wstring at = std::to_wstring(i);
      if (row.flags & ENTRY_NEW) {
        log.push_back(L"insert " + at + L" " + row.name + L" " + std::to_wstring(row.processId));
        log.push_back(L"set " + at + L" 1 " + at);
        log.push_back(L"set " + at + L" 2 " + Hex8(row.processId));
      }
      if (row.flags & (ENTRY_NEW | ENTRY_CHANGED)) {
        log.push_back(L"set " + at + L" 6 " + std::to_wstring(row.threadCount));
        log.push_back(L"set " + at + L" 7 " + std::to_wstring(row.affinity));
      }
      if (row.flags == ENTRY_UNSEEN) {
        for (size_t j = i + 1; j < rows.size(); ++j) rows[j - 1] = rows[j];
        rows.pop_back();
        log.push_back(L"delete " + at);
        continue;
      }
      ++i;
    }
  }
};

TEST(ProcessTable, RandomPassesMatchTheRowByRowAlgorithm) {
  std::mt19937 random(20240611);
  Monitor monitor;
  monitor.processors = 2;
  ReferenceTable reference;
  std::vector<Process> running;
  uint32_t nextId = 4;
  for (int pass = 0; pass < 400; ++pass) {
    SCOPED_TRACE(pass);
    // Exits, starts (sometimes more than the table holds), thread and
    // affinity changes, a shuffled walk, now and then an empty or a repeated entry.
    for (size_t i = 0; i < running.size();) {
      if (random() % 8 == 0) {
        running.erase(running.begin() + i);
      } else {
        if (random() % 6 == 0) running[i].threads = 1 + random() % 40;
        if (random() % 10 == 0) monitor.affinities.byId[running[i].id] = random() % 3;
        ++i;
      }
    }
    const uint32_t starts = pass % 50 == 7 ? 1100 : random() % 12;
    for (uint32_t i = 0; i < starts; ++i) {
      running.push_back({nextId, 1 + static_cast<uint32_t>(random() % 20), L"proc" + std::to_wstring(nextId)});
      nextId += 4;
    }
    std::vector<Process> walk = running;
    std::shuffle(walk.begin(), walk.end(), random);
    if (!walk.empty() && random() % 15 == 0) walk.push_back(walk[random() % walk.size()]);
    if (random() % 25 == 0) walk.clear();

    const size_t before = reference.log.size();
    reference.Pass(walk, monitor.processors, &monitor.affinities);
    const std::vector<std::wstring> expected(reference.log.begin() + before, reference.log.end());
    ASSERT_EQ(expected, monitor.Pass(walk));
    ASSERT_EQ(reference.rows.size(), monitor.table->processCount);
    monitor.ExpectInStep();
    if (HasFatalFailure() || HasNonfatalFailure()) return;
  }
}

}  // namespace

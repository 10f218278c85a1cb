#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/pass_reading.h"
#include "ui/processes/process_figures.h"
#include "ui/processes/process_table.h"

namespace {

struct Process {
  uint32_t id;
  uint32_t threads;
  std::wstring name;
};

struct Thread {
  uint32_t id;
  uint32_t owner;
};

// A list view as the operations leave it: one row of texts per item.
struct RecordedList {
  RecordedList(size_t columnCount, uint32_t figures) : columns(columnCount), figureColumns(figures) {}
  size_t columns;
  uint32_t figureColumns;  // bit k: a text written to sub-item k must differ from the one shown
  std::vector<std::vector<std::wstring>> items;
  std::vector<std::wstring> log;  // every operation, in order
  int redundant = 0;              // figure texts rewritten unchanged
};

void Insert(void* context, uint32_t item, const wchar_t* text, uint32_t id) {
  RecordedList* list = static_cast<RecordedList*>(context);
  list->log.push_back(L"insert " + std::to_wstring(item) + L" " + text + L" " + std::to_wstring(id));
  ASSERT_LE(item, list->items.size());
  list->items.insert(list->items.begin() + item, std::vector<std::wstring>(list->columns));
  list->items[item][0] = text;
}

void SetText(void* context, uint32_t item, uint32_t subItem, const wchar_t* text) {
  RecordedList* list = static_cast<RecordedList*>(context);
  list->log.push_back(L"set " + std::to_wstring(item) + L" " + std::to_wstring(subItem) + L" " + text);
  ASSERT_TRUE(item < list->items.size() && subItem < list->columns);
  if ((list->figureColumns >> subItem & 1) && list->items[item][subItem] == text) ++list->redundant;
  list->items[item][subItem] = text;
}

void Delete(void* context, uint32_t item) {
  RecordedList* list = static_cast<RecordedList*>(context);
  list->log.push_back(L"delete " + std::to_wstring(item));
  ASSERT_LT(item, list->items.size());
  list->items.erase(list->items.begin() + item);
}

// What the platform gives of each process and thread (absent: nothing).
struct Figures {
  uint32_t figures = 0;  // FIGURE_CPU_TIME, FIGURE_MEMORY
  uint32_t affinity = 0;
  uint64_t cpuTime = 0;
  uint64_t workingSet = 0;
};
struct Platform {
  std::map<uint32_t, Figures> processFigures;
  std::map<uint32_t, ThreadFigures> threadFigures;
};

std::wstring Hex8(uint32_t value) {
  wchar_t text[16];
  swprintf(text, 16, L"%08X", value);
  return text;
}

constexpr uint64_t kSecond = kTicksPerSecond;
constexpr uint32_t kFigureColumns = 1u << kColumnCpu | 1u << kColumnCpuTime | 1u << kColumnMemUsage;

// The tables, their recorded lists, the platform, and one pass at a time.
struct Monitor {
  std::unique_ptr<ProcessTable> table{new ProcessTable()};
  std::unique_ptr<ThreadTable> threads{new ThreadTable()};
  std::unique_ptr<PassReading> reading{new PassReading()};
  RecordedList list{8, kFigureColumns};
  RecordedList threadList{4, 0xE};
  Platform platform;
  uint32_t processors = 1;
  uint32_t timesFromThreads = 0;
  uint32_t nowMs = 0;
  wchar_t text[kReportBufferChars];
  std::vector<std::wstring> threadOps;  // the thread list's operations of the last pass

  // Runs a pass `ms` after the last over a reading of `processes` and the
  // `walked` threads, each with what the platform gives of it (the reading
  // holds as many as its arrays do); returns the process list's operations.
  std::vector<std::wstring> Pass(const std::vector<Process>& processes, const std::vector<Thread>& walked = {},
                                 uint32_t ms = 1000) {
    std::vector<SnapshotEntry> entries;
    for (const Process& process : processes) {
      SnapshotEntry entry = {};
      entry.processId = process.id;
      entry.threadCount = process.threads;
      process.name.copy(entry.name, kSnapshotNameChars - 1);
      const Figures& figures = platform.processFigures[process.id];
      entry.figures = figures.figures;
      entry.affinity = figures.affinity;
      entry.cpuTime = figures.cpuTime;
      entry.workingSet = figures.workingSet;
      entries.push_back(entry);
    }
    std::vector<SnapshotThread> threadEntries;
    for (const Thread& thread : walked) {
      threadEntries.push_back(SnapshotThread{thread.id, thread.owner, platform.threadFigures[thread.id]});
    }
    FillReading(reading.get(), entries, threadEntries);
    nowMs += ms;
    const PassSettings settings = {processors, nowMs, timesFromThreads};
    const ListOps ops = {&list, Insert, SetText, Delete};
    const ListOps threadListOps = {&threadList, Insert, SetText, Delete};
    const size_t before = list.log.size(), threadsBefore = threadList.log.size();
    UpdateProcessTable(table.get(), threads.get(), reading.get(), &settings);
    SyncProcessList(table.get(), &ops, text, kReportBufferChars);
    SyncThreadList(threads.get(), &threadListOps, text, kReportBufferChars);
    threadOps.assign(threadList.log.begin() + threadsBefore, threadList.log.end());
    return std::vector<std::wstring>(list.log.begin() + before, list.log.end());
  }

  void Affinity(uint32_t id, uint32_t value) { platform.processFigures[id].affinity = value; }

  const std::vector<std::wstring>& Item(size_t i) const { return list.items.at(i); }

  // Item i shows row i, and the totals are those of the rows.
  void ExpectInStep() const {
    ASSERT_EQ(table->processCount, list.items.size());
    uint32_t threadSum = 0;
    for (uint32_t i = 0; i < table->processCount; ++i) {
      const ProcessEntry& row = table->rows[i];
      EXPECT_EQ(row.name, Item(i)[kColumnName]) << i;
      EXPECT_EQ(Hex8(row.processId), Item(i)[kColumnPid]) << i;
      EXPECT_EQ(std::to_wstring(row.threadCount), Item(i)[kColumnThreads]) << i;
      EXPECT_EQ(std::to_wstring(row.affinity), Item(i)[kColumnAffinity]) << i;
      EXPECT_EQ(i, FindProcessRow(table.get(), row.processId));
      threadSum += row.threadCount;
    }
    EXPECT_EQ(threadSum, table->threadTotal);
    EXPECT_EQ(0, list.redundant);
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

TEST(ProcessTable, ChangesRewriteTheirTextsAndAffinityCountsOnlyWithTwoProcessors) {
  Monitor monitor;
  monitor.Affinity(0x24, 2);
  monitor.Pass({{0x20, 3, L"x.exe"}, {0x24, 2, L"y.exe"}});
  monitor.Pass({{0x20, 3, L"x.exe"}, {0x24, 2, L"y.exe"}});
  EXPECT_EQ(L"0", monitor.Item(1)[kColumnAffinity]);
  EXPECT_EQ(5u, monitor.table->threadTotal);

  EXPECT_EQ((std::vector<std::wstring>{L"set 0 6 5", L"set 0 7 0"}),
            monitor.Pass({{0x20, 5, L"renamed.exe"}, {0x24, 2, L"y.exe"}}));
  EXPECT_EQ(7u, monitor.table->threadTotal);  // the current sum, not a running one
  EXPECT_EQ(L"x.exe", monitor.Item(0)[kColumnName]);  // a name is kept as first seen

  monitor.processors = 2;
  EXPECT_EQ((std::vector<std::wstring>{L"set 1 6 2", L"set 1 7 2"}),
            monitor.Pass({{0x20, 5, L"x.exe"}, {0x24, 2, L"y.exe"}}));
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


std::vector<std::wstring> Texts(const Monitor& monitor, size_t item) {
  const std::vector<std::wstring>& row = monitor.Item(item);
  return {row[kColumnCpu], row[kColumnCpuTime], row[kColumnMemUsage]};
}

TEST(ProcessFigures, TextsFollowTheFiguresAndOnlyChangedTextsAreSent) {
  Monitor monitor;
  monitor.processors = 2;
  Figures& a = monitor.platform.processFigures[0x10];
  a = Figures{FIGURE_CPU_TIME | FIGURE_MEMORY, 0, 2 * kSecond, 1234567};
  const std::vector<Process> both = {{0x10, 1, L"a.exe"}, {0x14, 1, L"b.exe"}};  // b cannot be opened
  const std::vector<std::wstring> inserted = monitor.Pass(both);
  EXPECT_EQ((std::vector<std::wstring>{L"0", L"0:00:02", L"1,205 K"}), Texts(monitor, 0));  // first seen: 0
  EXPECT_EQ((std::vector<std::wstring>{L"", L"", L""}), Texts(monitor, 1));
  EXPECT_EQ(2 * 5 + 3u, inserted.size());  // two insertions of five steps, a's figures; b's empty texts unsent

  a.cpuTime += kSecond / 2;  // half a second over one second on two processors
  EXPECT_EQ((std::vector<std::wstring>{L"set 0 3 25"}), monitor.Pass(both));
  EXPECT_EQ((std::vector<std::wstring>{L"set 0 3 0"}), monitor.Pass(both));
  EXPECT_TRUE(monitor.Pass(both).empty());  // nothing changed: no list message

  a.cpuTime = 3 * kSecond;  // crosses a second; the memory grows by less than a kilobyte
  a.workingSet += 100;
  EXPECT_EQ((std::vector<std::wstring>{L"set 0 3 25", L"set 0 4 0:00:03"}), monitor.Pass(both));
  a.cpuTime = kSecond;  // backwards (a thread summed on the device exited): 0, not a wrapped share
  EXPECT_EQ((std::vector<std::wstring>{L"set 0 3 0", L"set 0 4 0:00:01"}), monitor.Pass(both));

  a.figures = 0;  // no longer readable: empty texts, never stale ones
  EXPECT_EQ((std::vector<std::wstring>{L"set 0 3 ", L"set 0 4 ", L"set 0 5 "}), monitor.Pass(both));
  a.figures = FIGURE_CPU_TIME | FIGURE_MEMORY;
  a.cpuTime = 5 * kSecond;  // readable again: the share starts from 0 again
  monitor.Pass(both);
  EXPECT_EQ((std::vector<std::wstring>{L"0", L"0:00:05", L"1,205 K"}), Texts(monitor, 0));
  a.cpuTime += kSecond;
  EXPECT_EQ((std::vector<std::wstring>{L"set 0 4 0:00:06"}), monitor.Pass(both, {}, 0));  // no time elapsed: 0
  monitor.ExpectInStep();
}

TEST(ProcessFigures, WhereTimesAreKeptPerThreadAProcessShowsItsSnapshotThreadsSummed) {
  Monitor monitor;
  monitor.processors = 2;
  monitor.timesFromThreads = 1;
  monitor.platform.threadFigures[0x11] = ThreadFigures{FIGURE_CPU_TIME, 0, 0, kSecond};
  monitor.platform.threadFigures[0x12] = ThreadFigures{FIGURE_CPU_TIME, 0, 0, 2 * kSecond};
  const std::vector<Process> processes = {{0x10, 2, L"a.exe"}, {0x14, 1, L"b.exe"}};
  // b's one thread cannot be read; 0x99 belongs to no listed process.
  const std::vector<Thread> threads = {{0x11, 0x10}, {0x15, 0x14}, {0x99, 0x77}, {0x12, 0x10}};
  monitor.Pass(processes, threads);
  EXPECT_EQ(L"0:00:03", monitor.Item(0)[kColumnCpuTime]);
  EXPECT_EQ(L"", monitor.Item(1)[kColumnCpuTime]);

  // Listing a's threads too: the same reading serves both.
  SelectThreadOwner(monitor.threads.get(), 1, 0x10);
  monitor.platform.threadFigures[0x12].cpuTime += kSecond;
  EXPECT_EQ((std::vector<std::wstring>{L"set 0 3 50", L"set 0 4 0:00:04"}), monitor.Pass(processes, threads));
  EXPECT_EQ(2u, monitor.threadList.items.size());
  monitor.ExpectInStep();
}

TEST(ThreadList, FollowsTheChosenProcessWithTheFewestSteps) {
  Monitor monitor;
  monitor.processors = 2;
  const uint32_t kAll = FIGURE_CPU_TIME | FIGURE_PRIORITY | FIGURE_AFFINITY;
  monitor.platform.threadFigures[0x104] = ThreadFigures{kAll, 8, 1, 0};
  monitor.platform.threadFigures[0x108] = ThreadFigures{kAll, -2, 0, kSecond};
  monitor.platform.threadFigures[0x204] = ThreadFigures{kAll, 3, 0, 0};
  const std::vector<Process> processes = {{0x10, 3, L"a.exe"}, {0x20, 1, L"b.exe"}};
  std::vector<Thread> threads = {{0x104, 0x10}, {0x204, 0x20}, {0x108, 0x10}, {0x10C, 0x10}};
  monitor.Pass(processes, threads);
  EXPECT_TRUE(monitor.threadOps.empty());  // no process chosen: no thread listed

  SelectThreadOwner(monitor.threads.get(), 1, 0x10);
  monitor.Pass(processes, threads);
  EXPECT_EQ((std::vector<std::wstring>{L"insert 0 00000104 260", L"set 0 1 8", L"set 0 2 0", L"set 0 3 1",
                                       L"insert 1 00000108 264", L"set 1 1 -2", L"set 1 2 0", L"set 1 3 0",
                                       L"insert 2 0000010C 268"}),  // 0x10C cannot be read: empty texts
            monitor.threadOps);

  // 0x108 exits, 0x110 starts, 0x104 changes its priority and runs half a second.
  threads = {{0x110, 0x10}, {0x104, 0x10}, {0x10C, 0x10}, {0x204, 0x20}};
  monitor.platform.threadFigures[0x104].priority = 10;
  monitor.platform.threadFigures[0x104].cpuTime = kSecond / 2;
  monitor.Pass(processes, threads);
  EXPECT_EQ((std::vector<std::wstring>{L"set 0 1 10", L"set 0 2 25", L"delete 1", L"insert 2 00000110 272"}),
            monitor.threadOps);
  monitor.Pass(processes, threads);
  EXPECT_EQ((std::vector<std::wstring>{L"set 0 2 0"}), monitor.threadOps);
  monitor.Pass(processes, threads);
  EXPECT_TRUE(monitor.threadOps.empty());

  // Another process: its threads replace the rows, the old items go last first.
  SelectThreadOwner(monitor.threads.get(), 1, 0x20);
  monitor.Pass(processes, threads);
  EXPECT_EQ((std::vector<std::wstring>{L"delete 2", L"delete 1", L"delete 0", L"insert 0 00000204 516",
                                       L"set 0 1 3", L"set 0 2 0", L"set 0 3 0"}),
            monitor.threadOps);

  // It exits: the list empties and follows no process any more.
  monitor.Pass({processes[0]}, {threads[0], threads[1], threads[2]});
  EXPECT_EQ((std::vector<std::wstring>{L"delete 0"}), monitor.threadOps);
  EXPECT_EQ(0u, monitor.threads->ownerChosen);
  EXPECT_TRUE(monitor.threadList.items.empty());
  EXPECT_EQ(0, monitor.threadList.redundant);
}

}  // namespace

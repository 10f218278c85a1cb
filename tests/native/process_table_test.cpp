#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/native/process_monitor.h"

namespace {

TEST(ProcessTable, ExitsCloseUpWithTheFewestStepsAndIdTextsStay) {
  Monitor m;
  const Process a = {0xA0, 3, L"a.exe"}, b = {0xB4, 4, L"b.exe"}, c = {0xC8, 5, L"c.exe"};
  const Process d = {0xDEADBEEFu, 1, std::wstring(136, L'n') + L".exe"};  // 140 characters
  // An item carries its row's serial.
  EXPECT_EQ((Ops{L"insert 0 a.exe 1", L"set 0 1 0", L"set 0 2 000000A0", L"set 0 6 3", L"set 0 7 0",
                 L"insert 1 b.exe 2", L"set 1 1 1", L"set 1 2 000000B4", L"set 1 6 4", L"set 1 7 0"}),
            m.Pass({a, b}));
  // New processes are appended whatever the walk order; a reading with no
  // process says nothing of exits.
  EXPECT_EQ((Ops{L"insert 2 c.exe 3", L"set 2 1 2", L"set 2 2 000000C8", L"set 2 6 5", L"set 2 7 0"}),
            m.Pass({c, b, a}));
  EXPECT_TRUE(m.Pass({}).empty());
  EXPECT_TRUE(m.Pass({b, a, c}).empty());
  // b ends: its item stays, marked, for a while (and c's new mark ends).
  EXPECT_EQ((Ops{L"end 1", L"redraw 2"}), m.Pass({a, c}));
  // d starts meanwhile and takes the table row b left: its ID is the next
  // never given, not b's row index, which b's item still shows.
  m.Pass({a, c, d});
  EXPECT_EQ(d.name.substr(0, kProcessNameChars), m.Item(3)[kColumnName]);
  for (int item = 0; item < 4; ++item) EXPECT_EQ(std::to_wstring(item), m.Item(item)[kColumnId]);
  EXPECT_EQ((Ops{L"delete 1", L"redraw 2"}), m.Pass({a, c, d}, {}, kEndedRowMs));  // and d's new mark ends
  EXPECT_EQ(L"2", m.Item(1)[kColumnId]);  // c keeps its ID
  // Two neighbours end in one pass, and leave together.
  EXPECT_EQ((Ops{L"end 0", L"end 1"}), m.Pass({d}));
  EXPECT_EQ((Ops{L"delete 0", L"delete 0"}), m.Pass({d}, {}, kEndedRowMs));
}

TEST(ProcessTable, ChangedCountsAreRewrittenAndAffinityCountsOnlyWithTwoProcessors) {
  Monitor m;
  m.processFigures[0x24].affinity = 2;
  m.Pass({{0x20, 3, L"x.exe"}, {0x24, 2, L"y.exe"}});  // one processor: affinity 0
  EXPECT_EQ(Ops{L"set 0 6 5"}, m.Pass({{0x20, 5, L"renamed.exe"}, {0x24, 2, L"y.exe"}}));
  EXPECT_EQ(L"x.exe", m.Item(0)[kColumnName]);  // a name is kept as first seen
  m.processors = 2;
  EXPECT_EQ(Ops{L"set 1 7 2"}, m.Pass({{0x20, 5, L"x.exe"}, {0x24, 2, L"y.exe"}}));
}

TEST(ProcessTable, AFullTableAdmitsLeftOutProcessesAsRowsFree) {
  Monitor m;
  std::vector<Process> processes;
  for (uint32_t i = 0; i < 1500; ++i) processes.push_back({4 * (i + 1), 1, L"p" + std::to_wstring(i)});
  m.Pass(processes);
  ASSERT_EQ(kProcessCapacity, m.table->processCount);
  // Ten listed processes exit: their rows free in this pass, and the next
  // takes the first ten left out, in walk order.
  processes.erase(processes.begin() + 100, processes.begin() + 110);
  m.Pass(processes);
  EXPECT_EQ(kProcessCapacity - 10, m.table->processCount);
  m.Pass(processes);
  ASSERT_EQ(kProcessCapacity, m.table->processCount);
  EXPECT_EQ(L"p1033", m.Item(kProcessCapacity + 9)[kColumnName]);  // after the ten ended items
  m.Pass(processes, {}, kEndedRowMs);
  EXPECT_EQ(L"p1033", m.Item(kProcessCapacity - 1)[kColumnName]);
}

TEST(ProcessFigures, TextsFollowTheFiguresAndOnlyChangedTextsAreSent) {
  Monitor m;
  m.processors = 2;
  SnapshotEntry& a = m.processFigures[0x10] = {0, 0, FIGURE_CPU_TIME | FIGURE_MEMORY, 0, 2 * kSecond, 1234567, {}};
  const std::vector<Process> both = {{0x10, 1, L"a.exe"}, {0x14, 1, L"b.exe"}};  // b cannot be opened
  EXPECT_EQ(2 * 5 + 3u, m.Pass(both).size());  // b's empty texts are not sent
  EXPECT_EQ((Ops{L"0", L"0:00:02", L"1,205 K"}), m.Figures(0));  // first seen: a share of 0

  a.cpuTime += kSecond / 2;  // half a second over one second on two processors
  EXPECT_EQ(Ops{L"set 0 3 25"}, m.Pass(both));
  EXPECT_EQ(Ops{L"set 0 3 0"}, m.Pass(both));
  EXPECT_TRUE(m.Pass(both).empty());
  a.cpuTime = 3 * kSecond;  // crosses a second; the memory grows by less than a kilobyte
  a.workingSet += 100;
  EXPECT_EQ((Ops{L"set 0 3 25", L"set 0 4 0:00:03"}), m.Pass(both));
  a.cpuTime = kSecond;  // backwards (a summed thread exited): 0, not a wrapped share
  EXPECT_EQ((Ops{L"set 0 3 0", L"set 0 4 0:00:01"}), m.Pass(both));

  a.figures = 0;  // no longer readable: empty texts, never stale ones
  EXPECT_EQ((Ops{L"set 0 3 ", L"set 0 4 ", L"set 0 5 "}), m.Pass(both));
  a.figures = FIGURE_CPU_TIME | FIGURE_MEMORY;
  a.cpuTime = 5 * kSecond;  // readable again: the share starts from 0 again
  EXPECT_EQ((Ops{L"set 0 3 0", L"set 0 4 0:00:05", L"set 0 5 1,205 K"}), m.Pass(both));
  a.cpuTime += kSecond;
  EXPECT_EQ(Ops{L"set 0 4 0:00:06"}, m.Pass(both, {}, 0));  // no time elapsed: a share of 0
  m.processors = 1;  // without the kernel's set the share is still of every processor the machine has
  m.machine = 8;
  a.cpuTime += 2 * kSecond;
  EXPECT_EQ((Ops{L"set 0 3 25", L"set 0 4 0:00:08"}), m.Pass(both));
}

// Where times are kept per thread (the device), a process shows its read
// threads' times summed, from the reading the thread list takes its rows from.
TEST(ThreadList, FollowsTheChosenProcessWithTheFewestSteps) {
  Monitor m;
  m.processors = 2;
  m.timesFromThreads = 1;
  const uint32_t kAll = FIGURE_CPU_TIME | FIGURE_PRIORITY | FIGURE_AFFINITY;
  m.threadFigures[0x104] = ThreadFigures{kAll, 8, 1, 2 * kSecond};
  m.threadFigures[0x108] = ThreadFigures{kAll, -2, 0, kSecond};
  m.threadFigures[0x204] = ThreadFigures{kAll, 3, 0, 0};
  const std::vector<Process> processes = {{0x10, 3, L"a.exe"}, {0x20, 1, L"b.exe"}, {0x30, 1, L"c.exe"}};
  // 0x10C and c's one thread cannot be read; 0x99 belongs to no listed process.
  std::vector<Thread> threads = {{0x104, 0x10}, {0x204, 0x20}, {0x108, 0x10},
                                 {0x10C, 0x10}, {0x304, 0x30}, {0x99, 0x77}};
  m.Pass(processes, threads);
  EXPECT_TRUE(m.threadOps.empty());  // no process chosen: no thread listed
  EXPECT_EQ(L"0:00:03", m.Item(0)[kColumnCpuTime]);
  EXPECT_EQ(L"", m.Item(2)[kColumnCpuTime]);

  SelectThreadOwner(m.threads.get(), 1, 0x10);
  m.threadFigures[0x108].cpuTime += kSecond;
  EXPECT_EQ((Ops{L"set 0 3 50", L"set 0 4 0:00:04"}), m.Pass(processes, threads));
  EXPECT_EQ((Ops{L"insert 0 00000104 260", L"set 0 1 8", L"set 0 2 0", L"set 0 3 1", L"insert 1 00000108 264",
                 L"set 1 1 -2", L"set 1 2 0", L"set 1 3 0", L"insert 2 0000010C 268"}),  // 0x10C unread: empty
            m.threadOps);
  // 0x108 exits, 0x110 starts, 0x104 changes its priority and runs half a second.
  threads = {{0x110, 0x10}, {0x104, 0x10}, {0x10C, 0x10}, {0x204, 0x20}};
  m.threadFigures[0x104].priority = 10;
  m.threadFigures[0x104].cpuTime += kSecond / 2;
  m.Pass(processes, threads);
  EXPECT_EQ((Ops{L"set 0 1 10", L"set 0 2 25", L"delete 1", L"insert 2 00000110 272"}), m.threadOps);
  // The process keeps what 0x108 used: 4.5 s, half a second more than before.
  EXPECT_EQ((Ops{L"25", L"0:00:04"}), (Ops{m.Item(0)[kColumnCpu], m.Item(0)[kColumnCpuTime]}));
  m.threadFigures[0x104].figures = 0;  // unreadable for a pass: its last time still counts
  m.Pass(processes, threads);
  EXPECT_EQ((Ops{L"0", L"0:00:04"}), (Ops{m.Item(0)[kColumnCpu], m.Item(0)[kColumnCpuTime]}));

  // Another process: its threads replace the rows, the old items go last first.
  SelectThreadOwner(m.threads.get(), 1, 0x20);
  m.Pass(processes, threads);
  EXPECT_EQ((Ops{L"delete 2", L"delete 1", L"delete 0", L"insert 0 00000204 516", L"set 0 1 3", L"set 0 2 0",
                 L"set 0 3 0"}),
            m.threadOps);
  // It exits: the list empties and follows no process any more.
  m.Pass({processes[0]}, {threads[0], threads[1], threads[2]});
  EXPECT_EQ(Ops{L"delete 0"}, m.threadOps);
  EXPECT_EQ(0u, m.threads->ownerChosen);
  EXPECT_EQ(0, m.threadList.redundant + m.threadList.invalid);
}

}  // namespace

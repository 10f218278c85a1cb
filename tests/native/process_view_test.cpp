#include <gtest/gtest.h>

#include <algorithm>

#include "tests/native/process_monitor.h"

namespace {

int Count(const Ops& ops, const std::wstring& kind) {
  return static_cast<int>(std::count_if(ops.begin(), ops.end(), [&](const std::wstring& op) {
    return op.compare(0, kind.size(), kind) == 0;
  }));
}

// A process of `kilobytes` Mem Usage (and nothing else the platform gives).
Process Using(Monitor& m, uint32_t id, uint64_t kilobytes, const std::wstring& name) {
  SnapshotEntry& figures = m.processFigures[id];
  figures.figures = FIGURE_MEMORY;
  figures.workingSet = kilobytes * kBytesPerKilobyte;
  return {id, 1, name};
}

TEST(ProcessView, SortsByNumbersStablyEitherWayWithTheFewestMoves) {
  Monitor m;
  m.order = ListOrderWord(kColumnMemUsage, false);
  // As text, "9 K" > "50 K" and "1,000 K" < "100 K".
  std::vector<Process> ps = {Using(m, 0x10, 100, L"a"), Using(m, 0x14, 50, L"b"), Using(m, 0x18, 50, L"c"),
                             Using(m, 0x1C, 9, L"d"), Using(m, 0x200, 1000, L"e")};
  m.Pass(ps);
  EXPECT_EQ(L"d b c a e", m.Names());  // b and c tie: first seen first
  EXPECT_TRUE(m.Pass(ps).empty());
  ps[1] = Using(m, 0x14, 60, L"b");  // passes c, not a: one row moves
  Ops ops = m.Pass(ps);
  EXPECT_EQ(L"d c b a e", m.Names());
  EXPECT_EQ(1, Count(ops, L"delete"));
  EXPECT_EQ(1, Count(ops, L"insert"));
  ps[2] = Using(m, 0x18, 60, L"c");  // now equal to b again: nothing moves
  EXPECT_EQ(Ops{L"set 1 5 60 K"}, m.Pass(ps));
  EXPECT_EQ(L"d c b a e", m.Names());

  // A second click reverses; ties keep their order the other way too.
  m.order = ClickedListOrder(m.order, kColumnMemUsage);
  EXPECT_EQ(ListOrderWord(kColumnMemUsage, true), m.order);
  m.Pass(ps);
  EXPECT_EQ(L"e a c b d", m.Names());
  // Another column sorts ascending: PIDs as numbers, names without case.
  m.order = ClickedListOrder(m.order, kColumnPid);
  m.Pass(ps);
  EXPECT_EQ(L"a b c d e", m.Names());
  ps.push_back(Using(m, 0x8, 1, L"B"));
  m.Pass(ps);
  EXPECT_EQ(L"B a b c d e", m.Names());
  m.order = ClickedListOrder(m.order, kColumnName);
  m.Pass(ps);
  EXPECT_EQ(L"a B b c d e", m.Names());
  // Back to first-seen order: the serials', the new process last.
  m.order = 0;
  m.Pass(ps);
  EXPECT_EQ(L"a b c d e B", m.Names());
}

// Operations per pass, sorted by Mem Usage, largest first: each number is the
// least that brings the list into step.
TEST(ProcessView, OperationsPerPassAt32And1024Processes) {
  for (uint32_t n : {32u, 1024u}) {
    SCOPED_TRACE(n);
    Monitor m;
    m.order = ListOrderWord(kColumnMemUsage, true);
    std::vector<Process> ps;
    for (uint32_t i = 0; i < n; ++i) ps.push_back(Using(m, 4 * (i + 1), 10 + i, L"p" + std::to_wstring(i)));
    // The first pass: an insertion and its ID, PID, Mem Usage, Threads and Affinity texts per process.
    EXPECT_EQ(6 * n, m.Pass(ps).size());
    EXPECT_EQ(0u, m.Pass(ps).size());
    // The smallest jumps to the top: one move, a deletion and an insertion.
    ps[0] = Using(m, 4, 100000, L"p0");
    EXPECT_EQ(7u, m.Pass(ps).size());
    EXPECT_EQ(L"p0", m.Item(0)[0]);
    for (uint32_t i = 0; i < n; ++i) m.processFigures[4 * (i + 1)].workingSet *= 2;  // all change, none passes
    EXPECT_EQ(n, m.Pass(ps).size());
    m.order = ClickedListOrder(m.order, kColumnMemUsage);  // reversed: all but one move
    const Ops reversed = m.Pass(ps);
    EXPECT_EQ(7 * (n - 1), reversed.size());
    EXPECT_EQ(static_cast<int>(n - 1), Count(reversed, L"delete"));
    // A tenth end: marked now (beyond the room for ended rows, gone at
    // once), the rest gone after their time.
    std::vector<Process> kept;
    for (uint32_t i = 0; i < n; ++i) {
      if (i % 10 != 5) kept.push_back(ps[i]);
    }
    const uint32_t ended = n - static_cast<uint32_t>(kept.size());
    const uint32_t marked = std::min(ended, kEndedRowCapacity);
    const Ops ending = m.Pass(kept);
    EXPECT_EQ(static_cast<int>(marked), Count(ending, L"end"));
    EXPECT_EQ(static_cast<int>(ended - marked), Count(ending, L"delete"));
    EXPECT_EQ(ended, ending.size());
    EXPECT_EQ(static_cast<int>(marked), Count(m.Pass(kept, {}, kEndedRowMs), L"delete"));
    // New processes (the smallest) go straight to their places.
    for (uint32_t i = 0; i < ended; ++i) kept.push_back(Using(m, 0x100000 + 4 * i, 5 + i, L"new"));
    const Ops added = m.Pass(kept);
    EXPECT_EQ(6 * ended, added.size());
    EXPECT_EQ(static_cast<int>(ended), Count(added, L"insert"));
    EXPECT_EQ(L"new", m.Item(0)[0]);
  }
}

TEST(ProcessView, NewAndEndedRowsAreMarkedForTheirTimeAndSelectionFollowsTheProcess) {
  Monitor m;
  auto mark = [&](uint32_t item) { return m.view->items[item].mark; };
  std::vector<Process> ps = {Using(m, 0x10, 20, L"a"), Using(m, 0x14, 10, L"b")};
  m.Pass(ps);
  EXPECT_EQ(kMarkNone, mark(0));  // what the first pass lists is not new
  // A process that lives one second is seen: new, then ended, then gone.
  ps.push_back(Using(m, 0x18, 30, L"brief"));
  m.Pass(ps);
  EXPECT_EQ(kMarkNew, mark(2));
  ps.pop_back();
  EXPECT_EQ(Ops{L"end 2"}, m.Pass(ps));
  EXPECT_EQ(kMarkEnded, mark(2));
  EXPECT_EQ(0u, m.Pass(ps, {}, kEndedRowMs - 1000).size());
  EXPECT_EQ(Ops{L"delete 2"}, m.Pass(ps));
  ps.push_back(Using(m, 0x1C, 30, L"c"));
  m.Pass(ps);
  EXPECT_EQ(Ops{L"redraw 2"}, m.Pass(ps, {}, kNewRowMs));  // plain again
  EXPECT_EQ(kMarkNone, mark(2));

  // Sorted by Mem Usage, the selected and focused b moves and stays so.
  m.order = ListOrderWord(kColumnMemUsage, false);
  m.list.states[1] = 3;
  m.Pass(ps);
  EXPECT_EQ(L"b a c", m.Names());
  EXPECT_EQ((std::vector<uint32_t>{3, 0, 0}), m.list.states);
  // Reversed, with a selected: the items around it move too, and none takes
  // its focus along.
  ps.push_back(Using(m, 0x20, 15, L"d"));
  m.Pass(ps);
  m.list.states = {0, 0, 3, 0};
  m.order = ListOrderWord(kColumnMemUsage, true);
  m.Pass(ps);
  EXPECT_EQ(L"c a d b", m.Names());
  EXPECT_EQ((std::vector<uint32_t>{0, 3, 0, 0}), m.list.states);

  // More ended at once than there is room for: the rest leave at once.
  std::vector<Process> many = ps;
  for (uint32_t i = 0; i < kEndedRowCapacity + 6; ++i) many.push_back(Using(m, 0x1000 + 4 * i, 1, L"x"));
  m.Pass(many);
  m.Pass(ps);
  EXPECT_EQ(ps.size() + kEndedRowCapacity, m.view->count);
}

TEST(ProcessView, PausedListsStayAndOnePassBringsThemIntoStep) {
  Monitor m;
  m.order = ListOrderWord(kColumnMemUsage, false);
  std::vector<Process> ps = {Using(m, 0x10, 10, L"a"), Using(m, 0x14, 20, L"b"), Using(m, 0x18, 30, L"c")};
  SelectThreadOwner(m.threads.get(), 1, 0x10);
  m.Pass(ps, {{0x104, 0x10}});
  const uint32_t aSerial = m.view->items[0].serial, bSerial = m.view->items[1].serial;
  m.paused = 1;
  // b ends and its id comes back as another process; a passes c; d starts;
  // a's thread ends and another starts: nothing of it reaches the lists.
  ps = {Using(m, 0x10, 40, L"a"), Using(m, 0x18, 30, L"c"), Using(m, 0x1C, 5, L"d")};
  EXPECT_TRUE(m.Pass(ps, {{0x108, 0x10}}).empty());
  EXPECT_TRUE(m.threadOps.empty());
  ps.push_back(Using(m, 0x14, 1, L"b2"));
  EXPECT_TRUE(m.Pass(ps, {{0x108, 0x10}}).empty());
  EXPECT_EQ(L"a b c", m.Names());
  EXPECT_EQ(4u, m.table->processCount);  // the totals run on
  // A new order sorts the rows as they stand: a by the figure it shows, b
  // still listed, d not.
  m.order = ListOrderWord(kColumnMemUsage, true);
  m.Pass(ps, {{0x108, 0x10}});
  EXPECT_EQ(L"c b a", m.Names());
  EXPECT_EQ(L"10 K", m.list.items[2][kColumnMemUsage]);
  EXPECT_TRUE(m.Pass(ps, {{0x108, 0x10}}).empty());
  m.order = ListOrderWord(kColumnMemUsage, false);
  m.Pass(ps, {{0x108, 0x10}});
  // Show Threads on c: its thread comes in at once, then stays as it is.
  SelectThreadOwner(m.threads.get(), 1, 0x18);
  m.Pass(ps, {{0x108, 0x10}, {0x10C, 0x18}});
  EXPECT_EQ((Ops{L"delete 0", L"insert 0 0000010C 268"}), m.threadOps);
  m.Pass(ps, {{0x108, 0x10}, {0x110, 0x18}});
  EXPECT_TRUE(m.threadOps.empty());

  // A command on the paused row of b finds that its process has ended.
  ProcessEntry row;
  wchar_t name[kProcessNameChars + 1];
  EXPECT_EQ(kListedEnded, CopyListedProcess(nullptr, m.view.get(), m.table.get(), bSerial, &row, name));
  EXPECT_EQ(std::wstring(L"b"), name);
  ASSERT_EQ(kListedLive, CopyListedProcess(nullptr, m.view.get(), m.table.get(), aSerial, &row, name));
  EXPECT_EQ(0x10u, row.processId);
  EXPECT_EQ(kListedUnknown, CopyListedProcess(nullptr, m.view.get(), m.table.get(), 999, &row, name));

  m.paused = 0;
  m.Pass(ps, {{0x108, 0x10}, {0x110, 0x18}});
  EXPECT_EQ(L"b2 d b c a", m.Names());  // b stays a while, marked ended, where it was
  EXPECT_EQ(kMarkEnded, m.view->items[2].mark);
  EXPECT_EQ((Ops{L"delete 0", L"insert 0 00000110 272"}), m.threadOps);
}

}  // namespace

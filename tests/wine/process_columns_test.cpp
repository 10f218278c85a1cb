// The Processes page's CPU, CPU Time and Mem Usage columns, "Show Threads"
// and "Set Priority", with helper processes whose CPU time, memory and
// threads are known (tests/helpers/worker.cpp). The test thread runs the passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/monitor_state.h"
#include "platform/process_snapshot.h"
#include "platform/ce_compat.h"
#include "tests/wine/process_support.h"
#include "ui/processes/process_pass.h"

#include <psapi.h>  // after windows.h

namespace {

std::wstring Text(HWND list, DWORD processId, int column) {
  const int item = FindItem(list, processId);
  return item < 0 ? L"(not listed)" : ItemText(list, item, column);
}

// "h:mm:ss" as seconds; -1 for any other text.
long long Seconds(const std::wstring& text) {
  unsigned hours = 0, minutes = 0, seconds = 0;
  if (swscanf(text.c_str(), L"%u:%2u:%2u", &hours, &minutes, &seconds) != 3) return -1;
  return hours * 3600ll + minutes * 60 + seconds;
}

// "12,345 K" as 12345; -1 for any other text (the format itself is tested natively).
long long Kilobytes(std::wstring text) {
  if (text.size() < 3 || text.compare(text.size() - 2, 2, L" K") != 0) return -1;
  text.erase(std::remove(text.begin(), text.end(), L','), text.end());
  return std::stoll(text);
}

std::vector<std::wstring> ThreadIds(HWND threads) {
  std::vector<std::wstring> ids;
  for (int i = 0; i < ItemCount(threads); ++i) ids.push_back(ItemText(threads, i, kThreadColumnTid));
  std::sort(ids.begin(), ids.end());
  return ids;
}

TEST(ProcessColumns, ABurnerShowsItsShareOfTheMachineAndItsTimeAnIdleHelperNone) {
  BindProcessors(L"coredll_count2.dll");
  ASSERT_EQ(2u, g_state.processorCount);
  PageThread page;
  ASSERT_TRUE(page.Start());
  HWND list = page.List();
  HelperProcess idle, burner;
  ASSERT_TRUE(idle.Start(BinPath(L"sleeper.exe"), L"1"));
  ASSERT_TRUE(burner.Start(BinPath(L"worker.exe"), L"burn"));

  // Two passes a second apart, within the burner's 3 s on one of two processors.
  RunProcessPass();
  EXPECT_EQ(L"0", Text(list, burner.Id(), kColumnCpu));  // first seen
  const long long before = Seconds(Text(list, burner.Id(), kColumnCpuTime));
  ASSERT_GE(before, 0);
  Sleep(kSamplePeriodMs);
  RunProcessPass();
  const int share = std::stoi(Text(list, burner.Id(), kColumnCpu));
  EXPECT_GE(share, 35);
  EXPECT_LE(share, 55);
  EXPECT_EQ(L"0", Text(list, idle.Id(), kColumnCpu));

  // Once it has stopped, its CPU Time is the time it counted itself.
  const unsigned long long own = std::stoull(burner.ReadLine());
  RunProcessPass();
  const long long after = Seconds(Text(list, burner.Id(), kColumnCpuTime));
  EXPECT_GT(after, before);
  EXPECT_NEAR(static_cast<double>(own / kTicksPerSecond), static_cast<double>(after), 1.0);
}

TEST(ProcessColumns, MemUsageCountsTheMemoryAHelperTouched) {
  BindProcessors(L"coredll_count1.dll");
  PageThread page;
  ASSERT_TRUE(page.Start());
  HelperProcess toucher;
  ASSERT_TRUE(toucher.Start(BinPath(L"worker.exe"), L"touch 64"));
  RunProcessPass();
  EXPECT_GE(Kilobytes(Text(page.List(), toucher.Id(), kColumnMemUsage)), 64000);
}

// What a snapshot lists of one process: its name, thread count and threads
// (and, from the pass's walk, its figures).
struct Listed {
  std::wstring name;
  uint32_t threadCount = 0;
  std::set<DWORD> threads;
  uint32_t figures = 0;
  uint64_t cpuTime = 0;
  uint64_t workingSet = 0;
  bool operator==(const Listed& other) const {
    return name == other.name && threadCount == other.threadCount && threads == other.threads;
  }
};

std::map<DWORD, Listed> ToolhelpListing() {
  std::map<DWORD, Listed> listing;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
  PROCESSENTRY32W process = {};
  process.dwSize = sizeof process;
  for (BOOL more = Process32FirstW(snapshot, &process); more; more = Process32NextW(snapshot, &process)) {
    listing[process.th32ProcessID].name = process.szExeFile;
    listing[process.th32ProcessID].threadCount = process.cntThreads;
  }
  THREADENTRY32 thread = {};
  thread.dwSize = sizeof thread;
  for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread)) {
    listing[thread.th32OwnerProcessID].threads.insert(thread.th32ThreadID);
  }
  CloseHandle(snapshot);
  return listing;
}

std::map<DWORD, Listed> PassListing() {
  std::map<DWORD, Listed> listing;
  ProcessSnapshot snapshot;
  if (!TakeProcessSnapshot(&snapshot)) return listing;
  SnapshotEntry process;
  while (NextSnapshotProcess(&snapshot, &process)) {
    Listed& listed = listing[process.processId];
    listed.name = process.name;
    listed.threadCount = process.threadCount;
    listed.figures = process.figures;
    listed.cpuTime = process.cpuTime;
    listed.workingSet = process.workingSet;
  }
  SnapshotThread thread;
  while (NextSnapshotThread(&snapshot, &thread)) listing[thread.ownerId].threads.insert(thread.threadId);
  CloseProcessSnapshot(&snapshot);
  return listing;
}

// The pass's snapshot lists what the platform's toolhelp lists, each process
// with its own figures; a process that has gone is not listed.
TEST(ProcessSnapshot, ListsWhatToolhelpListsAndGivesEachProcessItsFigures) {
  HelperProcess idle, toucher, threads;
  ASSERT_TRUE(idle.Start(BinPath(L"sleeper.exe"), L"1"));
  ASSERT_TRUE(toucher.Start(BinPath(L"worker.exe"), L"touch 16"));
  ASSERT_TRUE(threads.Start(BinPath(L"worker.exe"), L"threads 3"));
  // Other processes of the prefix may start a thread between two snapshots: retried.
  std::map<DWORD, Listed> expected, listed;
  for (int attempt = 0; attempt < 3 && (expected.empty() || expected != listed); ++attempt) {
    expected = ToolhelpListing();
    listed = PassListing();
  }
  EXPECT_EQ(expected.size(), listed.size());
  for (const auto& process : expected) {
    EXPECT_TRUE(listed.count(process.first) && listed[process.first] == process.second) << process.first;
  }
  EXPECT_EQ(L"worker.exe", listed[threads.Id()].name);
  EXPECT_EQ(3u, listed[threads.Id()].threadCount);

  PROCESS_MEMORY_COUNTERS counters = {};
  ASSERT_TRUE(GetProcessMemoryInfo(toucher.Process(), &counters, sizeof counters));
  const Listed& touched = listed[toucher.Id()];
  EXPECT_EQ(uint32_t{FIGURE_CPU_TIME | FIGURE_MEMORY}, touched.figures);
  EXPECT_EQ(counters.WorkingSetSize, touched.workingSet);  // the toucher sits still after touching
  EXPECT_GT(listed[GetCurrentProcessId()].cpuTime, 0u);
  EXPECT_LT(listed[idle.Id()].workingSet, touched.workingSet);

  ASSERT_EQ(kHelperExitCode, toucher.Exit());
  listed = PassListing();
  EXPECT_EQ(0u, listed.count(toucher.Id()));
  EXPECT_EQ(1u, listed.count(idle.Id()));
}

TEST(ShowThreads, ListsExactlyTheHelpersThreadsAndFollowsThem) {
  BindProcessors(L"coredll_count2.dll");
  PageThread page;
  ASSERT_TRUE(page.Start());
  HWND list = page.List(), threads = page.ThreadList();
  HelperProcess worker;
  ASSERT_TRUE(worker.Start(BinPath(L"worker.exe"), L"threads 3"));
  std::istringstream line(worker.ReadLine());
  std::vector<std::wstring> expected;
  for (DWORD id = 0; line >> id;) expected.push_back(Hex8(id));
  ASSERT_EQ(3u, expected.size());
  RunProcessPass();

  HWND menu = OpenMenuOn(list, FindItem(list, worker.Id()));
  ASSERT_NE(nullptr, menu);
  Keys(menu, {VK_DOWN, VK_DOWN, VK_RETURN});  // Show Threads
  ASSERT_TRUE(WaitForMenuClosed());
  ASSERT_TRUE(WaitUntil([] {  // the page hands the process over once the menu has returned
    EnterCriticalSection(&g_state.processLock);
    const bool handed = g_state.threadRequest.process != nullptr;
    LeaveCriticalSection(&g_state.processLock);
    return handed;
  }));
  RunProcessPass();
  const std::vector<std::wstring> last = {expected.back()};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, ThreadIds(threads));
  for (int i = 0; i < ItemCount(threads); ++i) {
    EXPECT_EQ(L"0", ItemText(threads, i, kThreadColumnPriority));  // normal
    EXPECT_EQ(L"0", ItemText(threads, i, kThreadColumnCpu));       // first seen
    EXPECT_EQ(L"0", ItemText(threads, i, kThreadColumnAffinity));  // any processor
  }

  ASSERT_TRUE(worker.More());  // its last thread exits
  RunProcessPass();
  expected.erase(std::find(expected.begin(), expected.end(), last[0]));
  EXPECT_EQ(expected, ThreadIds(threads));

  ASSERT_EQ(kHelperExitCode, worker.Exit());
  RunProcessPass();
  EXPECT_EQ(0, ItemCount(threads));
}

TEST(SetPriority, HighAndLowSetTheClassTheMenuMarksItAndCancelChangesNothing) {
  BindProcessors(L"coredll_count1.dll");
  PageThread page;
  ASSERT_TRUE(page.Start());
  HWND list = page.List();
  HelperProcess sleeper;
  ASSERT_TRUE(sleeper.Start(BinPath(L"sleeper.exe"), L"1"));
  RunProcessPass();
  const int item = FindItem(list, sleeper.Id());
  ASSERT_GE(item, 0);
  HMENU priority = GetSubMenu(g_state.contextMenu, kMenuPositionPriority);

  HWND menu = OpenMenuOn(list, item);
  ASSERT_NE(nullptr, menu);
  EXPECT_TRUE(Checked(priority, kPriorityNormal));
  EXPECT_FALSE(Checked(priority, kPriorityHigh) || Checked(priority, kPriorityLow));
  Keys(menu, {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN});  // Set Priority, High
  ASSERT_TRUE(WaitForMenuClosed());
  // The page runs the command once the menu has returned it.
  EXPECT_TRUE(WaitUntil([&] { return GetPriorityClass(sleeper.Process()) == HIGH_PRIORITY_CLASS; }));

  menu = OpenMenuOn(list, item);
  ASSERT_NE(nullptr, menu);
  EXPECT_TRUE(Checked(priority, kPriorityHigh));
  EXPECT_FALSE(Checked(priority, kPriorityNormal));
  Keys(menu, {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_RETURN});  // Set Priority, Low
  ASSERT_TRUE(WaitForMenuClosed());
  EXPECT_TRUE(WaitUntil([&] { return GetPriorityClass(sleeper.Process()) == IDLE_PRIORITY_CLASS; }));

  // Into Set Priority, onto High, and out again with Escape; then a menu dismissed from outside.
  menu = OpenMenuOn(list, item);
  ASSERT_NE(nullptr, menu);
  EXPECT_TRUE(Checked(priority, kPriorityLow));
  Keys(menu, {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_ESCAPE, VK_ESCAPE});
  ASSERT_TRUE(WaitForMenuClosed());
  ASSERT_NE(nullptr, OpenMenuOn(list, item));
  EXPECT_TRUE(EndMenu());
  ASSERT_TRUE(WaitForMenuClosed());
  SendMessageW(page.Page(), WM_NULL, 0, 0);  // the page is past the menus
  EXPECT_EQ(static_cast<DWORD>(IDLE_PRIORITY_CLASS), GetPriorityClass(sleeper.Process()));
}

}  // namespace

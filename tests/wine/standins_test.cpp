// The device's stand-ins keep to the device's documented behaviour where a
// fault in them would mislead the device run: the records' size and layout,
// the walk's end, heaps counted unless TH32CS_SNAPNOHEAPS, the processors'
// states and idle counts, the 256 thread levels, the
// rights a handle holds and the debug print's formatter.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "standins/ce_levels.h"
#include "standins/standin_counts.h"
#include "standins/toolhelp/ce_toolhelp.h"
#include "tests/wine/support.h"

namespace {

struct Toolhelp {
  CeCreateSnapshotFunction create = Export<CeCreateSnapshotFunction>(L"toolhelp.dll", "CreateToolhelp32Snapshot");
  CeCloseSnapshotFunction close = Export<CeCloseSnapshotFunction>(L"toolhelp.dll", "CloseToolhelp32Snapshot");
  CeProcessStepFunction processFirst = Export<CeProcessStepFunction>(L"toolhelp.dll", "Process32First");
  CeProcessStepFunction processNext = Export<CeProcessStepFunction>(L"toolhelp.dll", "Process32Next");
  CeThreadStepFunction threadFirst = Export<CeThreadStepFunction>(L"toolhelp.dll", "Thread32First");
  CeThreadStepFunction threadNext = Export<CeThreadStepFunction>(L"toolhelp.dll", "Thread32Next");
};

struct Kernel {
  decltype(&OpenThread) openThread = Export<decltype(&OpenThread)>(L"coredll.dll", "OpenThread");
  decltype(&CloseHandle) closeHandle = Export<decltype(&CloseHandle)>(L"coredll.dll", "CloseHandle");
  decltype(&GetThreadTimes) threadTimes = Export<decltype(&GetThreadTimes)>(L"coredll.dll", "GetThreadTimes");
  decltype(&GetThreadPriority) legacyGet = Export<decltype(&GetThreadPriority)>(L"coredll.dll", "GetThreadPriority");
  decltype(&SetThreadPriority) legacySet = Export<decltype(&SetThreadPriority)>(L"coredll.dll", "SetThreadPriority");
  int(WINAPI* ceGet)(HANDLE) = Export<int(WINAPI*)(HANDLE)>(L"coredll.dll", "CeGetThreadPriority");
  BOOL(WINAPI* ceSet)(HANDLE, int) = Export<BOOL(WINAPI*)(HANDLE, int)>(L"coredll.dll", "CeSetThreadPriority");
};

// Walks a snapshot of `flags`: its process records (or, with `threadsOf`, the
// thread records of that process, and their levels) to the documented end.
std::vector<DWORD> Walk(const Toolhelp& toolhelp, DWORD flags, DWORD threadsOf = 0,
                        std::vector<LONG>* levels = nullptr) {
  std::vector<DWORD> ids;
  HANDLE snapshot = toolhelp.create(flags, 0);
  EXPECT_NE(snapshot, INVALID_HANDLE_VALUE);
  CeProcessEntry32 process;
  CeThreadEntry32 thread;
  process.dwSize = sizeof process;
  thread.dwSize = sizeof thread;
  if (threadsOf == 0) {
    for (BOOL more = toolhelp.processFirst(snapshot, &process); more; more = toolhelp.processNext(snapshot, &process)) {
      EXPECT_EQ(process.dwSize, kCeProcessEntryBytes);
      ids.push_back(process.th32ProcessID);
    }
  } else {
    for (BOOL more = toolhelp.threadFirst(snapshot, &thread); more; more = toolhelp.threadNext(snapshot, &thread)) {
      if (thread.th32OwnerProcessID != threadsOf) continue;
      ids.push_back(thread.th32ThreadID);
      if (levels != nullptr) levels->push_back(thread.tpBasePri);
    }
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(toolhelp.close(snapshot));
  return ids;
}

DWORD WINAPI WaitForDone(void* done) { return WaitForSingleObject(static_cast<HANDLE>(done), INFINITE); }

// A thread of this process that waits until the test ends.
struct Sleeper {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, WaitForDone, done, 0, &id);
  ~Sleeper() {
    SetEvent(done);
    WaitForSingleObject(thread, kWaitMs);
    CloseHandle(thread);
    CloseHandle(done);
  }
};

}  // namespace

TEST(ToolhelpStandin, RecordsAreTheDevicesCheckedForSizeAndEndAsDocumented) {
  const Toolhelp toolhelp;
  SetStandinSettings("");
  HANDLE snapshot = toolhelp.create(kCeSnapProcess | kCeSnapNoHeaps, 0);
  ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
  CeProcessEntry32 process = {};
  process.dwSize = kCeProcessEntryBytes - sizeof(DWORD);  // without th32AccessKey
  EXPECT_FALSE(toolhelp.processFirst(snapshot, &process));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  process.dwSize = kCeProcessEntryBytes + sizeof(DWORD);  // larger: the record is written, dwSize says how much
  ASSERT_TRUE(toolhelp.processFirst(snapshot, &process));
  EXPECT_EQ(process.dwSize, kCeProcessEntryBytes);
  EXPECT_EQ(process.cntUsage, 1u);
  CeThreadEntry32 thread = {};
  thread.dwSize = sizeof thread;
  EXPECT_FALSE(toolhelp.threadFirst(snapshot, &thread));  // no thread records asked for
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(toolhelp.close(snapshot));
  EXPECT_FALSE(toolhelp.close(snapshot));
  EXPECT_FALSE(toolhelp.processFirst(snapshot, &process));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  // This process, with its name and a thread count its thread records match.
  const Sleeper sleeper;
  const DWORD self = GetCurrentProcessId();
  HANDLE both = toolhelp.create(kCeSnapProcess | kCeSnapThread | kCeSnapNoHeaps, 0);
  ASSERT_NE(both, INVALID_HANDLE_VALUE);
  bool found = false;
  process.dwSize = sizeof process;
  // Stops on this process's record: the loop's step would read the next one over it.
  for (BOOL more = toolhelp.processFirst(both, &process); more && !found;) {
    found = process.th32ProcessID == self;
    if (!found) more = toolhelp.processNext(both, &process);
  }
  ASSERT_TRUE(found);
  EXPECT_EQ(std::wstring(process.szExeFile), L"wine_tests.exe");
  std::vector<DWORD> threads;
  for (BOOL more = toolhelp.threadFirst(both, &thread); more; more = toolhelp.threadNext(both, &thread)) {
    if (thread.th32OwnerProcessID == self) threads.push_back(thread.th32ThreadID);
  }
  EXPECT_EQ(threads.size(), process.cntThreads);
  EXPECT_NE(std::find(threads.begin(), threads.end(), sleeper.id), threads.end());
  // A snapshot is a kernel object while open, so a leaked one shows in the handle count.
  const ULONG handlesOpen = KernelHandleCount(self);
  EXPECT_TRUE(toolhelp.close(both));
  EXPECT_EQ(KernelHandleCount(self), handlesOpen - 1);
}

TEST(ToolhelpStandin, HeapsAreAskedForAndCostUnlessNoHeapsAndEveryCallIsCounted) {
  const Toolhelp toolhelp;
  const Kernel kernel;
  SetStandinSettings("heaps");
  TakeStandinCounts();
  const DWORD start = GetTickCount();
  const size_t processes = Walk(toolhelp, kCeSnapProcess).size();
  const DWORD heapMs = GetTickCount() - start;
  StandinCounts counts = TakeStandinCounts();
  EXPECT_EQ(counts.snapshots, 1u);
  EXPECT_EQ(counts.heapSnapshots, 1u);
  EXPECT_EQ(counts.heapsAsked, processes);
  EXPECT_EQ(counts.processRecords, processes);
  EXPECT_GE(heapMs, processes * 2);  // a few ms a process while `heaps` is set

  Walk(toolhelp, kCeSnapProcess | kCeSnapThread | kCeSnapNoHeaps);
  Walk(toolhelp, kCeSnapThread, GetCurrentProcessId());
  counts = TakeStandinCounts();
  EXPECT_EQ(counts.snapshots, 2u);
  EXPECT_EQ(counts.heapSnapshots, 0u);
  EXPECT_EQ(counts.heapsAsked, 0u);
  EXPECT_GT(counts.threadRecords, 0u);

  HANDLE thread = kernel.openThread(THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId());
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(kernel.closeHandle(thread));
  counts = TakeStandinCounts();
  EXPECT_EQ(counts.threadHandles, 1u);
  EXPECT_EQ(counts.handlesClosed, 1u);
  SetStandinSettings("");
}

TEST(CoredllStandin, LevelsRoundTripTheLegacyCallsSeeEightAndRightsAreEnforced) {
  const Kernel kernel;
  const Sleeper sleeper;
  SetStandinSettings("");
  HANDLE thread = kernel.openThread(THREAD_QUERY_INFORMATION | THREAD_SET_INFORMATION, FALSE, sleeper.id);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(kernel.ceGet(thread), kCeLegacyNormal);
  for (const int level : {0, 100, 247, 248, 251, 254, 255}) {
    ASSERT_TRUE(kernel.ceSet(thread, level));
    EXPECT_EQ(kernel.ceGet(thread), level);
    EXPECT_EQ(GetThreadPriority(thread), DesktopPriorityForLevel(level)) << level;
  }
  EXPECT_FALSE(kernel.ceSet(thread, kCeLevelCount));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // The legacy calls: a real-time thread reads as TIME_CRITICAL and is demoted by a set.
  ASSERT_TRUE(kernel.ceSet(thread, 100));
  EXPECT_EQ(kernel.legacyGet(thread), THREAD_PRIORITY_TIME_CRITICAL);
  const struct {
    int legacy, level;
  } kLegacy[] = {{THREAD_PRIORITY_TIME_CRITICAL, 248},
                 {THREAD_PRIORITY_HIGHEST, 249},
                 {THREAD_PRIORITY_NORMAL, 251},
                 {THREAD_PRIORITY_BELOW_NORMAL, 252},
                 {THREAD_PRIORITY_IDLE, 255}};
  for (const auto& named : kLegacy) {
    ASSERT_TRUE(kernel.legacySet(thread, named.legacy));
    EXPECT_EQ(kernel.ceGet(thread), named.level);
    EXPECT_EQ(kernel.legacyGet(thread), named.legacy);
  }

  // A thread named by `realtime-thread` reads a driver's level, one the
  // desktop set reads its legacy level; in their snapshot records too.
  const Sleeper realtime, plain;
  ASSERT_TRUE(SetThreadPriority(plain.thread, THREAD_PRIORITY_LOWEST));
  EXPECT_EQ(kernel.ceGet(plain.thread), 253);
  const std::string setting = "realtime-thread=" + std::to_string(realtime.id);
  SetStandinSettings(setting.c_str());
  std::vector<LONG> levels;
  const std::vector<DWORD> ids = Walk(Toolhelp{}, kCeSnapThread, GetCurrentProcessId(), &levels);
  const size_t index = std::find(ids.begin(), ids.end(), realtime.id) - ids.begin();
  const size_t plainIndex = std::find(ids.begin(), ids.end(), plain.id) - ids.begin();
  HANDLE other = kernel.openThread(THREAD_QUERY_INFORMATION, FALSE, realtime.id);
  EXPECT_LT(kernel.ceGet(other), kCeLegacyFirst);
  ASSERT_LT(std::max(index, plainIndex), levels.size());
  EXPECT_EQ(levels[index], kernel.ceGet(other));
  EXPECT_EQ(levels[plainIndex], 253);
  EXPECT_EQ(kernel.ceGet(thread), 255);

  // Rights: refused only with `thread-rights`, and only what the handle lacks.
  HANDLE bare = kernel.openThread(SYNCHRONIZE, FALSE, sleeper.id);
  FILETIME times[4];
  EXPECT_TRUE(kernel.threadTimes(bare, &times[0], &times[1], &times[2], &times[3]));
  SetStandinSettings("thread-rights");
  EXPECT_FALSE(kernel.threadTimes(bare, &times[0], &times[1], &times[2], &times[3]));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(kernel.ceGet(bare), THREAD_PRIORITY_ERROR_RETURN);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(kernel.threadTimes(other, &times[0], &times[1], &times[2], &times[3]));
  SetStandinSettings("");
  for (HANDLE handle : {thread, other, bare}) EXPECT_TRUE(kernel.closeHandle(handle));
}

// The kernel's formatter: d i u x X p c s with l, h, I64, flags and a width; a conversion it lacks
// (floating point, a precision, a 64-bit string) is counted and shows as a marker line.
TEST(CoredllStandin, DebugPrintFormatsAsTheKernelDoesToStandardErrorCutAtTheDevicesLimit) {
  const auto print = Export<void (*)(const wchar_t*, ...)>(L"coredll.dll", "NKDbgPrintfW");
  HANDLE readEnd, writeEnd;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
  HANDLE saved = GetStdHandle(STD_ERROR_HANDLE);
  SetStdHandle(STD_ERROR_HANDLE, writeEnd);
  TakeStandinCounts();
  print(L"T=%d \u00b0C\r\n", 42);
  print(L"%s", std::wstring(200, L'x').c_str());  // the device takes fewer than 128 characters
  print(L"|%i|%-4u|%04x|%X|%I64d|%hd|%c|%hs|%ls|%%|\r\n", -7, 5u, 0xABu, 0xABu, -(1LL << 40), 70000, L'z', "n", L"w");
  const StandinCounts good = TakeStandinCounts();
  print(L"%.1f\r\n", 2.5);
  print(L"%5.2d\r\n", 3);
  print(L"%I64s\r\n", L"w");
  const StandinCounts bad = TakeStandinCounts();
  SetStdHandle(STD_ERROR_HANDLE, saved);
  CloseHandle(writeEnd);
  char bytes[2048];
  DWORD length = 0, read = 0;
  while (length < sizeof bytes && ReadFile(readEnd, bytes + length, sizeof bytes - length, &read, nullptr)) length += read;
  CloseHandle(readEnd);
  const std::string marker(kBadFormatMarker, kBadFormatMarker + wcslen(kBadFormatMarker));
  EXPECT_EQ(std::string(bytes, length), "T=42 \xc2\xb0" "C\r\n" + std::string(127, 'x') +
                                            "|-7|5   |00ab|AB|-1099511627776|4464|z|n|w|%|\r\n" + marker +
                                            "%.1f\r\n\r\n" + marker + "%5.2d\r\n\r\n" + marker + "%I64s\r\n\r\n");
  EXPECT_EQ(0u, good.badFormats);
  EXPECT_EQ(3u, bad.badFormats);
}

// Processor states as kfuncs.h numbers them; a processor switched off keeps its idle count and
// refuses an affinity; with no idle time every count is 0 and GetIdleTime says MAXDWORD; GetIdleTime
// is the first processor's count.
TEST(CoredllStandin, ProcessorsSwitchOffAndIdleCountsAreTheKernels) {
  const auto state = Export<DWORD(WINAPI*)(DWORD)>(L"coredll.dll", "CeGetProcessorState");
  const auto powerOff = Export<BOOL(WINAPI*)(DWORD, DWORD)>(L"coredll.dll", "CePowerOffProcessor");
  const auto powerOn = Export<BOOL(WINAPI*)(DWORD)>(L"coredll.dll", "CePowerOnProcessor");
  const auto idle = Export<BOOL(WINAPI*)(DWORD, DWORD*)>(L"coredll.dll", "CeGetIdleTimeEx");
  const auto setAffinity = Export<BOOL(WINAPI*)(HANDLE, DWORD)>(L"coredll.dll", "CeSetProcessAffinity");
  const auto idleTime = Export<DWORD(WINAPI*)()>(L"coredll.dll", "GetIdleTime");
  SetStandinSettings("processors=2");
  EXPECT_EQ(2u, state(2));
  EXPECT_EQ(0u, state(3));  // no such processor: a failed query
  DWORD count = 0;
  ASSERT_TRUE(powerOff(2, 0));
  EXPECT_EQ(1u, state(2));
  DWORD before = 0, after = 0;
  ASSERT_TRUE(idle(2, &before));
  for (const DWORD start = GetTickCount(); GetTickCount() - start < 300;) Sleep(20);  // the host's count moves
  ASSERT_TRUE(idle(2, &after));
  EXPECT_EQ(before, after);
  EXPECT_FALSE(setAffinity(GetCurrentProcess(), 2));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY), GetLastError());
  ASSERT_TRUE(powerOn(2));
  EXPECT_EQ(2u, state(2));
  SetStandinSettings("processors=2 processor-off=1");  // off from the start, until switched on
  EXPECT_EQ(1u, state(1));
  ASSERT_TRUE(powerOn(1));
  EXPECT_EQ(2u, state(1));

  // GetIdleTime: the first processor's count, taken between two reads of it (the host's, not a mean).
  SetStandinSettings("");
  DWORD first = 0, last = 0;
  ASSERT_TRUE(idle(1, &first));
  const DWORD whole = idleTime();
  ASSERT_TRUE(idle(1, &last));
  EXPECT_LE(first, whole);
  EXPECT_LE(whole, last);
  SetStandinSettings("no-idle-time");
  EXPECT_TRUE(idle(1, &count));
  EXPECT_EQ(0u, count);
  EXPECT_EQ(MAXDWORD, idleTime());
  SetStandinSettings("");
}


// What the sampling cycle costs the platform on each page: snapshots taken,
// records walked, heaps asked for, handles opened. On the device the
// stand-ins count their own calls; on the desktop the program's imports are
// counted. SELVANE_COST_PROCESSES=N first starts helpers until N processes
// are listed (bench/platform_cost.sh); the counts go to standard error as a
// table row for the README.
#include <gtest/gtest.h>
#include <winternl.h>  // after windows.h

#include <cstdlib>
#include <memory>
#include <vector>

#include "app/constants.h"
#include "platform/file_time.h"
#include "platform/process_snapshot.h"
#include "sampler/sampling_loop.h"
#include "standins/standin_counts.h"
#include "tests/wine/support.h"
#include "ui/processes/process_pass.h"

namespace {

#ifndef SELVANE_DEVICE
// The desktop's calls, counted at the program's imports.
struct Counted {
  ImportPatch* patch;
  LONG calls;
} g_openProcess, g_openThread, g_records;

HANDLE WINAPI CountOpenProcess(DWORD access, BOOL inherit, DWORD id) {
  ++g_openProcess.calls;
  return reinterpret_cast<decltype(&OpenProcess)>(g_openProcess.patch->Original())(access, inherit, id);
}
HANDLE WINAPI CountOpenThread(DWORD access, BOOL inherit, DWORD id) {
  ++g_openThread.calls;
  return reinterpret_cast<decltype(&OpenThread)>(g_openThread.patch->Original())(access, inherit, id);
}
NTSTATUS WINAPI CountRecords(SYSTEM_INFORMATION_CLASS kind, void* buffer, ULONG bytes, ULONG* length) {
  if (kind == SystemProcessInformation && buffer != nullptr) ++g_records.calls;
  return reinterpret_cast<decltype(&NtQuerySystemInformation)>(g_records.patch->Original())(kind, buffer, bytes,
                                                                                            length);
}
#endif

struct Cost {
  uint32_t snapshots, records, heaps, handles, closed, threadSnapshots;
};

// Runs `cycles` cycles and counts what they asked of the platform.
Cost Measure(SamplerContext* context, int cycles) {
#ifdef SELVANE_DEVICE
  TakeStandinCounts();
  for (int i = 0; i < cycles; ++i) RunSamplingCycle(context);
  const StandinCounts c = TakeStandinCounts();
  return {c.snapshots,     c.processRecords + c.threadRecords,
          c.heapsAsked,    c.processHandles + c.threadHandles,
          c.handlesClosed, c.threadSnapshots};
#else
  g_openProcess.calls = g_openThread.calls = g_records.calls = 0;
  const ULONG handles = KernelHandleCount(GetCurrentProcessId());
  for (int i = 0; i < cycles; ++i) RunSamplingCycle(context);
  const uint32_t opened = static_cast<uint32_t>(g_openProcess.calls + g_openThread.calls);
  const ULONG left = KernelHandleCount(GetCurrentProcessId()) - handles;
  // The records a read walks: every process and thread in them.
  const uint32_t walked = g_records.calls * (g_state.processTable.processCount + g_state.processTable.threadTotal);
  return {static_cast<uint32_t>(g_records.calls), walked, 0, opened, opened - static_cast<uint32_t>(left), 0};
#endif
}

TEST(PlatformCost, APerformanceCycleOpensNoHandleAndNoCycleAsksForAHeapOrLeavesAHandle) {
  BindPlatform();
#ifndef SELVANE_DEVICE
  ImportPatch openProcess("OpenProcess", reinterpret_cast<void*>(CountOpenProcess));
  ImportPatch openThread("OpenThread", reinterpret_cast<void*>(CountOpenThread));
  ImportPatch records("NtQuerySystemInformation", reinterpret_cast<void*>(CountRecords));
  g_openProcess.patch = &openProcess;
  g_openThread.patch = &openThread;
  g_records.patch = &records;
#endif
  const char* asked = std::getenv("SELVANE_COST_PROCESSES");
  const uint32_t wanted = asked != nullptr ? static_cast<uint32_t>(std::atoi(asked)) : 0;
  std::vector<std::unique_ptr<Helper>> helpers;
  uint32_t listed = 0, threads = 0;
  while (CountProcesses(&listed, &threads) && listed < wanted && helpers.size() < 2 * wanted) {
    helpers.emplace_back(new Helper());
    ASSERT_TRUE(helpers.back()->Start(L"threads 1"));
  }

  HWND performance = ShowPerformancePage();
  StoreShared(&g_state.performancePage, performance);
  SamplerContext context = {};
  StartSampling(&context);
  Measure(&context, kCountPeriodCycles);  // the first count
  // Two cycles: one counts the totals, one does not (the device counts every other cycle).
  const Cost perf = Measure(&context, kCountPeriodCycles);
  StoreShared(&g_state.performancePage, nullptr);
  DestroyWindow(performance);

  ProcessesPage page;
  StoreShared(&g_state.processesPage, page.Page());
  Measure(&context, 1);  // the first pass inserts every row
  const Cost pass = Measure(&context, 1);
  StoreShared(&g_state.processesPage, nullptr);

  fprintf(stderr, "| %s | %u processes, %u threads | %u, %u, %u, %u (%u closed) | %u, %u, %u, %u (%u closed) |\n",
#ifdef SELVANE_DEVICE
          "device (stand-ins)",
#else
          "desktop",
#endif
          g_state.processTable.processCount, g_state.processTable.threadTotal, perf.snapshots, perf.records, perf.heaps,
          perf.handles, perf.closed, pass.snapshots, pass.records, pass.heaps, pass.handles, pass.closed);
  EXPECT_GE(g_state.processTable.processCount, wanted);
#ifdef SELVANE_DEVICE
  EXPECT_EQ(0u, perf.handles);
  EXPECT_EQ(1u, perf.snapshots);        // the totals, counted once in two cycles,
  EXPECT_EQ(0u, perf.threadSnapshots);  // of the processes alone, whose records count their threads
  EXPECT_EQ(0u, perf.heaps + pass.heaps);
#endif
  EXPECT_EQ(perf.handles, perf.closed);
  EXPECT_EQ(pass.handles, pass.closed);
  for (const auto& helper : helpers) helper->Exit();
}

#ifdef SELVANE_DEVICE
// The spinner's own CPU time when it ended, in 100 ns units.
uint64_t g_spun;

// Spins until it has had 200 ms of a processor, or 5 s have passed on a host
// too busy to give it that, and keeps what it had.
DWORD WINAPI Spin(void*) {
  const DWORD start = GetTickCount();
  for (g_spun = 0; g_spun < 200 * kTicksPerMs && GetTickCount() - start < 5000;) {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    g_spun = FileTimeTicks(kernel) + FileTimeTicks(user);
  }
  return 0;
}

// Where the kernel keeps a process's time (Compact 2013's GetProcessTimes) a
// pass opens one handle a process, none for a thread, walks no thread record,
// and CPU Time keeps a thread that lived and ended between two passes; where
// it does not (Compact 7, `no-process-times`) the threads' sum loses it.
TEST(PlatformCost, ProcessTimesFromTheKernelTakeOneHandleAProcessAndLoseNoThread) {
  for (const char* settings : {"", "no-process-times"}) {
    PlatformFaults faults;
    faults.settings = settings;
    BindPlatform(faults);
    const bool kernelTimes = settings[0] == '\0';
    ASSERT_EQ(kernelTimes, ProcessTimesFromHandles()) << settings;
    ProcessesPage page;
    SamplerContext context = {};
    StartSampling(&context);
    StoreShared(&g_state.processesPage, page.Page());
    Measure(&context, 1);
    uint32_t self = FindProcessRow(&g_state.processTable, GetCurrentProcessId());
    ASSERT_NE(kNoProcessRow, self);
    const uint64_t before = g_state.processTable.rows[self].cpuTime;
    HANDLE spinner = CreateThread(nullptr, 0, Spin, nullptr, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(spinner, kWaitMs));
    CloseHandle(spinner);
    const Cost pass = Measure(&context, 1);
    StoreShared(&g_state.processesPage, nullptr);
    self = FindProcessRow(&g_state.processTable, GetCurrentProcessId());
    ASSERT_NE(kNoProcessRow, self);
    const uint64_t grown = g_state.processTable.rows[self].cpuTime - before;
    const uint32_t processes = g_state.processTable.processCount;
    // What the host gave the spinner, against the process's growth; both
    // are counted in the kernel's 10 ms ticks.
    const uint64_t spun = g_spun, tick = 10 * kTicksPerMs;
    ASSERT_GE(spun, 5 * tick) << "the host gave the spinner too little to tell";
    if (kernelTimes) {
      EXPECT_EQ(processes, pass.handles);
      EXPECT_EQ(processes, pass.records);
      EXPECT_EQ(0u, pass.threadSnapshots);
      EXPECT_GE(grown + 2 * tick, spun);
    } else {
      EXPECT_GT(pass.handles, processes);
      EXPECT_EQ(1u, pass.threadSnapshots);
      EXPECT_LT(grown + 2 * tick, spun);
    }
    EXPECT_EQ(pass.handles, pass.closed);
  }
}
#endif

}  // namespace

// Times the parts of the sampling cycle under Wine, on the thread that runs
// them, with both stand-ins bound and both pages up. Each part runs SAMPLES
// times in a row; the probe prints, per part, the median wall time of one run
// and the thread's CPU time per run (its user + system time over the block,
// divided by the runs), in microseconds:
//   walk          a process snapshot taken, its processes walked, closed;
//                 nothing else (the threads are walked only for "Show Threads")
//   count         the Performance page's count of processes and threads
//   records-size  the size of the process records, asked without a buffer:
//                 what tells the Performance page when to count
//   process-reads the per-process reads of one pass beyond the walk: an open
//                 each for the affinity (two or more processors)
//   pass          a whole process pass in step: walk, process reads, tables,
//                 lists
//   own           pass - walk: the pass's own work beyond the walk
//   idle-cycle    a cycle with neither page active (hardware status, loads)
//   performance-cycle, processes-cycle  a cycle with that page active, and its repaints
//   cpu-gauge, cpu-history, mem-gauge, mem-history  one drawing call
//   status-text   the status block written into its field and repainted
//   total         one total written into its field and repainted
// and "processes N", the processes each walk listed.
// Usage: cycle_probe [samples] [extra processes to start]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/monitor_state.h"
#include "platform/file_time.h"
#include "platform/kernel_extensions.h"
#include "platform/process_snapshot.h"
#include "platform/resource_manager.h"
#include "sampler/sampling_loop.h"
#include "ui/performance/history_graphs.h"
#include "ui/performance/load_gauges.h"
#include "ui/performance/performance_page.h"
#include "ui/processes/process_pass.h"
#include "ui/processes/processes_page.h"

namespace {

constexpr int kDefaultSamples = 200;
constexpr int kWarmUpCycles = 3;
constexpr DWORD kHelperWaitMs = 10000;
constexpr double kHundredNsPerMicrosecond = 10.0;
constexpr float kSomeLoad = 0.3f;
constexpr float kOtherLoad = 0.6f;

LARGE_INTEGER g_frequency;

double NowMicroseconds() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(g_frequency.QuadPart);
}

struct Timing {
  double wall;  // median of the runs
  double cpu;   // the thread's CPU time per run
};

double ThreadCpuMicroseconds() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  return static_cast<double>(FileTimeTicks(kernel) + FileTimeTicks(user)) / kHundredNsPerMicrosecond;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n == 0 ? 0.0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

template <typename Part>
Timing Measure(int runs, Part part) {
  std::vector<double> walls;
  const double cpuStart = ThreadCpuMicroseconds();
  for (int i = 0; i < runs; ++i) {
    const double start = NowMicroseconds();
    part();
    walls.push_back(NowMicroseconds() - start);
  }
  return {Median(walls), (ThreadCpuMicroseconds() - cpuStart) / runs};
}

void Print(const char* name, const Timing& timing) { std::printf("%s %.1f %.1f\n", name, timing.wall, timing.cpu); }

void Drain() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// The walk a pass makes while no thread list is shown: every process.
uint32_t WalkOnce() {
  ProcessSnapshot snapshot;
  if (!TakeProcessSnapshot(&snapshot, true)) return 0;
  SnapshotEntry entry;
  uint32_t count = 0;
  while (NextSnapshotProcess(&snapshot, &entry)) ++count;
  CloseProcessSnapshot(&snapshot);
  return count;
}

// After a walk: the times and working sets come with its records; only the
// affinity opens a process.
void ReadProcesses() {
  if (g_state.processorCount < 2) return;
  for (uint32_t i = 0; i < g_state.processTable.processCount; ++i) {
    ReadProcessAffinity(g_state.processTable.rows[i].processId);
  }
}

// A cycle with the given pages active, and the repaints it causes.
void Cycle(SamplerContext* context, HWND performance, HWND processes) {
  StoreShared(&g_state.performancePage, performance);
  StoreShared(&g_state.processesPage, processes);
  RunSamplingCycle(context);
  Drain();
}

// Helper processes (the tests' worker, sleeping), so that the walk lists more.
std::vector<PROCESS_INFORMATION> StartHelpers(int count) {
  std::vector<PROCESS_INFORMATION> helpers;
  wchar_t folder[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, folder, MAX_PATH);
  std::wstring exe(folder, length);
  exe = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"worker.exe";
  for (int i = 0; i < count; ++i) {
    const std::wstring tag = L"probe-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(i);
    HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, (L"Local\\selvane-helper-" + tag + L"-ready").c_str());
    std::wstring command = L"\"" + exe + L"\" " + tag + L" threads 1";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      WaitForSingleObject(ready, kHelperWaitMs);
      CloseHandle(process.hThread);
      helpers.push_back(process);
    }
    CloseHandle(ready);
  }
  return helpers;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int samples = argc > 1 ? std::max(1, _wtoi(argv[1])) : kDefaultSamples;
  const int extra = argc > 2 ? std::max(0, _wtoi(argv[2])) : 0;
  QueryPerformanceFrequency(&g_frequency);
  InitPlatform();
  std::vector<PROCESS_INFORMATION> helpers = StartHelpers(extra);

  ResetMonitorState();
  g_state.instance = GetModuleHandleW(nullptr);
  BindKernelExtensions();
  BindResourceManager();
  InitCommonControls();
  HWND performance = CreateDialogParamW(g_state.instance, MAKEINTRESOURCEW(IDD_PERFORMANCE), nullptr,
                                        PerformancePageProc, 0);
  HWND processes = CreateDialogParamW(g_state.instance, MAKEINTRESOURCEW(IDD_PROCESSES), nullptr,
                                      ProcessesPageProc, 0);
  if (performance == nullptr || processes == nullptr) return 1;
  ShowWindow(performance, SW_SHOWNOACTIVATE);
  ShowWindow(processes, SW_SHOWNOACTIVATE);

  SamplerContext context = {};
  StartSampling(&context);
  for (int i = 0; i < kWarmUpCycles; ++i) Cycle(&context, performance, processes);

  uint32_t listed = WalkOnce();
  const Timing walk = Measure(samples, [] { WalkOnce(); });
  const Timing count = Measure(samples, [] {
    uint32_t processes = 0, threads = 0;
    CountProcesses(&processes, &threads);
  });
  const Timing recordsSize = Measure(samples, [] {
    uint32_t bytes = 0;
    ProcessRecordsSize(&bytes);
  });
  const Timing reads = Measure(samples, [] { ReadProcesses(); });
  const Timing pass = Measure(samples, [] {
    RunProcessPass();
    Drain();
  });
  const Timing idle = Measure(samples, [&] { Cycle(&context, nullptr, nullptr); });
  const Timing perf = Measure(samples, [&] { Cycle(&context, performance, nullptr); });
  const Timing proc = Measure(samples, [&] { Cycle(&context, nullptr, processes); });

  const float loads[kMaxProcessors] = {kSomeLoad, kOtherLoad, kSomeLoad, kOtherLoad};
  const Timing cpuGauge = Measure(samples, [&] { DrawCpuGauge(performance, loads); });
  const Timing cpuHistory = Measure(samples, [&] { DrawCpuHistory(performance, loads); });
  const Timing memGauge = Measure(samples, [&] { DrawMemoryGauge(performance, kSomeLoad); });
  const Timing memHistory = Measure(samples, [&] { DrawMemoryHistory(performance, kSomeLoad); });
  wchar_t status[kReportBufferChars];
  GetDlgItemTextW(performance, IDC_STATUS_TEXT, status, kReportBufferChars);
  const Timing statusText = Measure(samples, [&] {
    SetDlgItemTextW(performance, IDC_STATUS_TEXT, status);
    Drain();
  });
  UINT figure = 0;
  const Timing total = Measure(samples, [&] {
    SetDlgItemInt(performance, IDC_PROCESS_TOTAL, ++figure, FALSE);
    Drain();
  });

  std::printf("processes %u\n", static_cast<unsigned>(listed));
  Print("walk", walk);
  Print("count", count);
  Print("records-size", recordsSize);
  Print("process-reads", reads);
  Print("pass", pass);
  Print("own", {pass.wall - walk.wall, pass.cpu - walk.cpu});
  Print("idle-cycle", idle);
  Print("performance-cycle", perf);
  Print("processes-cycle", proc);
  Print("cpu-gauge", cpuGauge);
  Print("cpu-history", cpuHistory);
  Print("mem-gauge", memGauge);
  Print("mem-history", memHistory);
  Print("status-text", statusText);
  Print("total", total);
  std::fflush(stdout);

  for (PROCESS_INFORMATION& helper : helpers) {
    TerminateProcess(helper.hProcess, 0);
    CloseHandle(helper.hProcess);
  }
  DestroyWindow(processes);
  DestroyWindow(performance);
  return 0;
}

// The cost of the monitor's real process pass under Wine, platform reads and
// list messages included: the Processes page runs on a thread of its own (as
// in the sheet), this thread runs passes, and idle copies of this program are
// added to the system between measurements. Prints, for each number of
// processes listed, the median pass time (other work on the machine only
// lengthens some passes), and at the end the cost per process (the
// least-squares slope over the counts).
//   process_pass_probe [extra-processes] [passes]     (defaults 32 and 20)
//   process_pass_probe idle                           (a process to be listed)
#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "platform/process_snapshot.h"
#include "ui/processes/process_pass.h"
#include "ui/processes/processes_page.h"

static constexpr int kMaxExtra = 256;
static constexpr int kMaxPasses = 1000;
static constexpr int kSteps = 4;
static constexpr DWORD kSettleMs = 3000;  // a Wine process takes a while to start up

static HWND g_page;
static HANDLE g_pageReady;

static DWORD WINAPI PageThread(LPVOID) {
  g_page = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROCESSES), nullptr,
                              ProcessesPageProc, 0);
  SetEvent(g_pageReady);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}

static double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Median microseconds of `passes` passes, after one that lists what is new.
static double MedianPassUs(int passes) {
  static double us[kMaxPasses];
  RunProcessPass();
  for (int i = 0; i < passes; ++i) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    RunProcessPass();
    QueryPerformanceCounter(&end);
    us[i] = Seconds(start, end) * 1e6;
  }
  std::sort(us, us + passes);
  return us[passes / 2];
}

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && wcscmp(argv[1], L"idle") == 0) {
    Sleep(INFINITE);
    return 0;
  }
  const int extra = argc > 1 ? _wtoi(argv[1]) : 32;
  const int passes = argc > 2 ? _wtoi(argv[2]) : 20;
  if (extra < kSteps || extra > kMaxExtra || passes < 1 || passes > kMaxPasses) return 1;

  g_state.instance = GetModuleHandleW(nullptr);
  BindKernelExtensions();
  g_pageReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CreateThread(nullptr, 0, PageThread, nullptr, 0, nullptr);
  WaitForSingleObject(g_pageReady, INFINITE);
  if (g_page == nullptr) return 1;

  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  wchar_t command[MAX_PATH + 16];
  swprintf(command, sizeof command / sizeof command[0], L"\"%ls\" idle", self);
  HANDLE children[kMaxExtra];
  int started = 0;
  double counts[kSteps + 1], times[kSteps + 1];
  printf("processors %u, times from threads %d\n", g_state.processorCount, ProcessTimesFromThreads() ? 1 : 0);
  for (int step = 0; step <= kSteps; ++step) {
    for (; started < extra * step / kSteps; ++started) {
      STARTUPINFOW startup = {};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION info;
      if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) break;
      CloseHandle(info.hThread);
      children[started] = info.hProcess;
    }
    Sleep(kSettleMs);
    times[step] = MedianPassUs(passes);
    counts[step] = g_state.processTable.processCount;
    printf("%u processes (%u threads): %.0f us a pass\n", g_state.processTable.processCount,
           g_state.processTable.threadTotal, times[step]);
  }
  double meanCount = 0, meanTime = 0, covariance = 0, variance = 0;
  for (int step = 0; step <= kSteps; ++step) {
    meanCount += counts[step] / (kSteps + 1);
    meanTime += times[step] / (kSteps + 1);
  }
  for (int step = 0; step <= kSteps; ++step) {
    covariance += (counts[step] - meanCount) * (times[step] - meanTime);
    variance += (counts[step] - meanCount) * (counts[step] - meanCount);
  }
  if (variance > 0) printf("%.0f us a process\n", covariance / variance);
  for (int i = 0; i < started; ++i) {
    TerminateProcess(children[i], 0);
    CloseHandle(children[i]);
  }
  return 0;
}

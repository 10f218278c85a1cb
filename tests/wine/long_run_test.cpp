// The long run: the real sampling cycle driven back to back (no 1 s sleep)
// with both stand-ins, under the real property sheet, switching pages every
// 100 cycles while helper processes start and exit on the Processes page.
// Afterwards the drawing is exact with only a few GDI handles free, the
// process list equals the table, and neither the kernel handles nor the
// private bytes of the process have grown.
//
// SELVANE_LONG_RUN_CYCLES sets the number of cycles (default 20,000, some
// five minutes on two busy cores). The test command runs a shorter one;
// scripts/long-run.sh runs the whole and prints the figures.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <vector>

#include "app/monitor.h"
#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "platform/resource_manager.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/fault_support.h"
#include "tests/wine/pixel_support.h"
#include "ui/performance/history_graphs.h"
#include "ui/performance/load_gauges.h"
#include "ui/performance/performance_page.h"
#include "ui/processes/processes_page.h"

namespace {

constexpr int kDefaultCycles = 20000;
constexpr int kWarmUpCycles = 400;
constexpr int kCyclesPerPage = 100;
constexpr size_t kLiveHelpers = 3;        // helpers alive at once
constexpr DWORD kChurnPauseMs = 30;
constexpr SIZE_T kPrivateGrowthBound = 1 << 20;  // heaps settle in steps; a leak per cycle would pass it
constexpr int kPageProcesses = 0;         // sheet page indices
constexpr int kPagePerformance = 1;

// The property sheet as the program shows it, on a thread of its own; this
// test's thread plays the sampling thread.
DWORD WINAPI RunSheet(LPVOID) {
  PROPSHEETPAGEW pages[2] = {};
  const int templates[2] = {IDD_PROCESSES, IDD_PERFORMANCE};
  const DLGPROC procedures[2] = {ProcessesPageProc, PerformancePageProc};
  for (int i = 0; i < 2; ++i) {
    pages[i].dwSize = sizeof pages[i];
    pages[i].hInstance = GetModuleHandleW(nullptr);
    pages[i].pszTemplate = MAKEINTRESOURCEW(templates[i]);
    pages[i].pfnDlgProc = procedures[i];
  }
  PROPSHEETHEADERW header = {};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_USECALLBACK | PSH_PROPSHEETPAGE;
  header.hInstance = GetModuleHandleW(nullptr);
  header.pszCaption = SELVANE_CAPTION;
  header.nPages = 2;
  header.nStartPage = kPagePerformance;
  header.ppsp = pages;
  header.pfnCallback = SheetCallback;
  InitCommonControls();
  PropertySheetW(&header);
  return 0;
}

// Starts and ends idle helpers while the Processes page is active.
struct Churn {
  std::atomic<bool> stop{false};
  std::atomic<int> started{0};
  HANDLE thread = nullptr;

  static DWORD WINAPI Run(LPVOID parameter) {
    Churn* churn = static_cast<Churn*>(parameter);
    std::deque<std::unique_ptr<IdleHelper>> alive;
    while (!churn->stop.load()) {
      if (g_state.processesPage.load() == nullptr) {
        Sleep(kChurnPauseMs);
        continue;
      }
      std::unique_ptr<IdleHelper> helper(new IdleHelper());
      if (helper->Start(BinPath(L"sleeper.exe"))) {
        alive.push_back(std::move(helper));
        churn->started.fetch_add(1);
      }
      if (alive.size() > kLiveHelpers) alive.pop_front();  // ends the oldest
      Sleep(kChurnPauseMs);
    }
    return 0;  // the rest end with `alive`
  }
  void Start() {
    stop.store(false);
    thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  }
  void Finish() {
    stop.store(true);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    thread = nullptr;
  }
};

int CyclesToRun() {
  const char* text = std::getenv("SELVANE_LONG_RUN_CYCLES");
  const int cycles = text != nullptr ? std::atoi(text) : kDefaultCycles;
  return cycles > 0 ? cycles : kDefaultCycles;
}

HWND CurrentPage(HWND sheet) { return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }

// Waits until the sheet's thread has painted the page and its controls, so
// that nothing paints over what the sampler draws next.
bool Painted(HWND page) {
  static const int kControls[] = {IDC_CPU_GAUGE, IDC_MEM_GAUGE, IDC_CPU_HISTORY, IDC_MEM_HISTORY};
  return PollUntil(
      [page] {
        bool pending = GetUpdateRect(page, nullptr, FALSE) != 0;
        for (int id : kControls) pending = pending || GetUpdateRect(GetDlgItem(page, id), nullptr, FALSE) != 0;
        return !pending;
      },
      5000);
}

TEST(LongRun, CyclesEndWithExactPicturesAndNoGrowth) {
  const int cycles = CyclesToRun();
  ResetMonitorState();
  g_state.instance = GetModuleHandleW(nullptr);
  BindKernelExtensionsFrom(BinPath(L"coredll_count2.dll").c_str());
  BindResourceManagerFrom(BinPath(L"libnvrm.dll").c_str());
  ASSERT_EQ(2u, g_state.processorCount);
  ASSERT_EQ(1u, g_state.rmAvailable);

  HANDLE ui = CreateThread(nullptr, 0, RunSheet, nullptr, 0, nullptr);
  HWND sheet = WaitForWindow(GetCurrentProcessId(), SELVANE_CAPTION, 10000);
  ASSERT_NE(nullptr, sheet);
  HWND performance = CurrentPage(sheet);
  // The pictures checked at the end are those of these sizes; the histories
  // lay themselves out at their first drawing.
  SetClientSize(GetDlgItem(performance, IDC_CPU_GAUGE), 87, 58);
  SetClientSize(GetDlgItem(performance, IDC_MEM_GAUGE), 53, 65);
  SetClientSize(GetDlgItem(performance, IDC_CPU_HISTORY), 273, 58);
  SetClientSize(GetDlgItem(performance, IDC_MEM_HISTORY), 100, 45);

  SamplerContext context = {};
  StartSampling(&context);
  int passes = 0;
  // Cycles from `first` up to `last`, the page switching every 100.
  const auto run = [&](int first, int last) {
    for (int i = first; i < last; ++i) {
      if (i % kCyclesPerPage == 0) {
        const bool processes = (i / kCyclesPerPage) % 2 == 1;
        SendMessageW(sheet, PSM_SETCURSEL, processes ? kPageProcesses : kPagePerformance, 0);
      }
      passes += g_state.processesPage.load() != nullptr;
      RunSamplingCycle(&context);
    }
  };

  // Warm up: both pages made and shown, helpers started and ended once.
  Churn churn;
  churn.Start();
  run(0, kWarmUpCycles);
  churn.Finish();
  run(kWarmUpCycles, kWarmUpCycles + 2 * kCyclesPerPage);  // the list loses the helpers
  const ULONG handlesBefore = KernelHandleCount(GetCurrentProcessId());

  // All GDI handles taken but a quarter as many as there are cycles: half of
  // them draw four pictures each, so a drawing that leaked one object would
  // run out before the end and spoil the last pictures.
  const int gdiHeadroom = cycles / 4;
  std::vector<HBRUSH> ballast;
  for (HBRUSH brush; (brush = CreateSolidBrush(RGB(1, 2, 3))) != nullptr;) ballast.push_back(brush);
  const int gdiCapacity = static_cast<int>(ballast.size());
  for (int i = 0; i < gdiHeadroom && !ballast.empty(); ++i, ballast.pop_back()) DeleteObject(ballast.back());
  const SIZE_T privateBefore = PrivateBytes();  // with the ballast, as at the end

  const int begin = kWarmUpCycles + 2 * kCyclesPerPage;
  const int passesBefore = passes;
  const DWORD start = GetTickCount();
  churn.Start();
  run(begin, begin + cycles);
  churn.Finish();
  const DWORD elapsed = GetTickCount() - start;

  // The last helpers are gone: one pass takes them off the list.
  SendMessageW(sheet, PSM_SETCURSEL, kPageProcesses, 0);
  RunSamplingCycle(&context);
  const std::wstring listDifference = ListDiffersFromTable(GetDlgItem(CurrentPage(sheet), IDC_PROCESS_LIST));

  SendMessageW(sheet, PSM_SETCURSEL, kPagePerformance, 0);
  const bool painted = Painted(performance);
  const float loads[kMaxProcessors] = {0.5f, 1.0f, 0.0f, 0.0f};
  for (int step = 0; step < kHistoryPoints; ++step) {
    DrawCpuHistory(performance, loads);
    DrawMemoryHistory(performance, 1.0f);
  }
  DrawCpuGauge(performance, loads);
  DrawMemoryGauge(performance, 0.37f);
  // Counted before any check: the test framework opens handles of its own.
  const ULONG handlesAfter = KernelHandleCount(GetCurrentProcessId());
  const SIZE_T privateAfter = PrivateBytes();
  for (HBRUSH brush : ballast) DeleteObject(brush);  // reading the pictures back takes GDI handles

  printf("%d cycles (%d process passes) in %lu ms, %.2f ms a cycle; %d helpers started\n", cycles,
         passes - passesBefore, static_cast<unsigned long>(elapsed), static_cast<double>(elapsed) / cycles,
         churn.started.load());
  printf("kernel handles %lu before, %lu after; private bytes %lu before, %lu after; %d of %d GDI handles free\n",
         static_cast<unsigned long>(handlesBefore), static_cast<unsigned long>(handlesAfter),
         static_cast<unsigned long>(privateBefore), static_cast<unsigned long>(privateAfter), gdiHeadroom,
         gdiCapacity);
  EXPECT_EQ(L"", listDifference);
  EXPECT_TRUE(painted);
  const GaugeBar bars[] = {{{4, 4, 42, 43}, 24}, {{44, 4, 83, 43}, 4}};
  const GaugeFigure figures[] = {{{0, 43, 43, 58}, L"50"}, {{43, 43, 87, 58}, L"100"}};
  ExpectGauge(GetDlgItem(performance, IDC_CPU_GAUGE), bars, figures, 2);
  const GaugeBar memoryBar = {{15, 5, 38, 40}, 28};
  const GaugeFigure memoryFigure = {{0, 45, 53, 65}, L"37.0%"};
  ExpectGauge(GetDlgItem(performance, IDC_MEM_GAUGE), &memoryBar, &memoryFigure, 1);
  const GraphLine lines[] = {{5, 126, 128, 29, 29}, {141, 263, 265, 5, 5}};
  ExpectLines(GetDlgItem(performance, IDC_CPU_HISTORY), lines, 2);
  const GraphLine memoryLine = {5, 92, 93, 5, 5};
  ExpectLines(GetDlgItem(performance, IDC_MEM_HISTORY), &memoryLine, 1);
  EXPECT_LE(handlesAfter, handlesBefore);
  EXPECT_LE(privateAfter, privateBefore + kPrivateGrowthBound);
  EXPECT_GT(churn.started.load(), 0);

  PostMessageW(sheet, WM_CLOSE, 0, 0);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ui, 10000));
  CloseHandle(ui);
}

}  // namespace

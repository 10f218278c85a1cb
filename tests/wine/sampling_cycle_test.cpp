// The sampling cycle against the real Performance dialog.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/process_support.h"
#include "tests/wine/wine_support.h"
#include "ui/performance/performance_page.h"
#include "ui/performance/totals.h"

namespace {

std::wstring ControlText(HWND page, int id) { return WindowText(GetDlgItem(page, id)); }

TEST(SamplingCycle, TotalsShowTrueByteCounts) {
  ResetMonitorState();
  BindKernelExtensions();
  HWND page = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PERFORMANCE), nullptr,
                                 PerformancePageProc, 0);
  ASSERT_NE(nullptr, page);
  g_state.performancePage.store(page);

  SamplerContext context = {};
  StartSampling(&context);
  Sleep(50);
  RunSamplingCycle(&context);

  MEMORYSTATUSEX status = {};
  status.dwLength = sizeof status;
  ASSERT_TRUE(GlobalMemoryStatusEx(&status));
  EXPECT_EQ(std::to_wstring(status.ullTotalPhys), ControlText(page, IDC_PHYS_TOTAL));
  const unsigned long long available = std::stoull(ControlText(page, IDC_PHYS_AVAILABLE));
  EXPECT_GT(available, 0u);
  EXPECT_LE(available, status.ullTotalPhys);
  const float memLoad = g_state.loadSample.memLoad.load();
  EXPECT_NEAR(status.dwMemoryLoad * 0.01f, memLoad, 0.011f);
  DestroyWindow(page);
}

TEST(SamplingCycle, InactivePagesAreNotTouched) {
  ResetMonitorState();
  BindKernelExtensions();
  HWND page = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PERFORMANCE), nullptr,
                                 PerformancePageProc, 0);
  ASSERT_NE(nullptr, page);
  SamplerContext context = {};
  StartSampling(&context);
  g_state.loadSample.cpuLoad[0].store(-1.0f);
  Sleep(50);
  RunSamplingCycle(&context);
  EXPECT_EQ(L"0", ControlText(page, IDC_PHYS_TOTAL));  // the template's own text
  const float load = g_state.loadSample.cpuLoad[0].load();
  EXPECT_GE(load, 0.0f);  // still measured
  EXPECT_LE(load, 1.0f);
  DestroyWindow(page);
}

// Counts the WM_SETTEXT messages a field receives.
LRESULT CALLBACK CountSetText(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR counter) {
  if (message == WM_SETTEXT) ++*reinterpret_cast<int*>(counter);
  return DefSubclassProc(field, message, wParam, lParam);
}

// Each write of a total repaints its field at once, so only the totals whose
// figure changed are written, and every total into a page that has not had
// them; a page left (null) gets nothing.
TEST(Totals, AreWrittenWhenTheirFigureChanges) {
  ResetMonitorState();
  HWND first = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PERFORMANCE), nullptr,
                                  PerformancePageProc, 0);
  HWND second = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PERFORMANCE), nullptr,
                                   PerformancePageProc, 0);
  ASSERT_TRUE(first != nullptr && second != nullptr);
  const int kFields[kTotalFieldCount] = {IDC_PROCESS_TOTAL, IDC_THREAD_TOTAL, IDC_PHYS_TOTAL, IDC_PHYS_AVAILABLE};
  int writes[2][kTotalFieldCount] = {};
  for (uint32_t f = 0; f < kTotalFieldCount; ++f) {
    SetWindowSubclass(GetDlgItem(first, kFields[f]), CountSetText, 1, reinterpret_cast<DWORD_PTR>(&writes[0][f]));
    SetWindowSubclass(GetDlgItem(second, kFields[f]), CountSetText, 1, reinterpret_cast<DWORD_PTR>(&writes[1][f]));
  }
  ShownTotals shown = {};
  uint64_t values[kTotalFieldCount] = {5, 4000000000u, 25769803776ull, 123};
  ShowTotals(&shown, first, values);
  ShowTotals(&shown, first, values);
  for (uint32_t f = 0; f < kTotalFieldCount; ++f) EXPECT_EQ(1, writes[0][f]) << f;
  EXPECT_EQ(L"4000000000", ControlText(first, IDC_THREAD_TOTAL));
  EXPECT_EQ(L"25769803776", ControlText(first, IDC_PHYS_TOTAL));

  values[kTotalFieldProcesses] = 6;
  ShowTotals(&shown, nullptr, values);
  EXPECT_EQ(L"5", ControlText(first, IDC_PROCESS_TOTAL));
  ShowTotals(&shown, first, values);
  EXPECT_EQ(2, writes[0][kTotalFieldProcesses]);
  EXPECT_EQ(1, writes[0][kTotalFieldThreads]);
  EXPECT_EQ(L"6", ControlText(first, IDC_PROCESS_TOTAL));

  ShowTotals(&shown, second, values);  // another page gets every total
  for (uint32_t f = 0; f < kTotalFieldCount; ++f) EXPECT_EQ(1, writes[1][f]) << f;
  EXPECT_EQ(L"6", ControlText(second, IDC_PROCESS_TOTAL));
  EXPECT_EQ(L"123", ControlText(second, IDC_PHYS_AVAILABLE));
  DestroyWindow(first);
  DestroyWindow(second);
}

// The processes and threads a toolhelp snapshot lists now.
std::pair<uint32_t, uint32_t> ToolhelpCounts() {
  uint32_t processes = 0, threads = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    ++processes;
    threads += entry.cntThreads;
  }
  CloseHandle(snapshot);
  return {processes, threads};
}

std::pair<uint32_t, uint32_t> ShownCounts(HWND page) {
  return {static_cast<uint32_t>(std::stoul(ControlText(page, IDC_PROCESS_TOTAL))),
          static_cast<uint32_t>(std::stoul(ControlText(page, IDC_THREAD_TOTAL)))};
}

// Within two cycles of a change, the Performance page's totals are the
// processes and threads running, without the Processes page ever opened.
bool ShowsTheRunningCounts(HWND page) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 2 * kSamplePeriodMs + 500) {
    if (ShownCounts(page) == ToolhelpCounts()) return true;
    Sleep(50);
  }
  return false;
}

TEST(Totals, ShowTheRunningProcessesAndThreadsFromTheStart) {
  InProcessMonitor monitor;
  ASSERT_TRUE(StartInProcess(&monitor, L""));
  HWND page = reinterpret_cast<HWND>(SendMessageW(monitor.sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  EXPECT_TRUE(ShowsTheRunningCounts(page));
  const std::pair<uint32_t, uint32_t> before = ShownCounts(page);

  HelperProcess helper;  // three threads
  ASSERT_TRUE(helper.Start(BinPath(L"worker.exe"), L"threads 3"));
  EXPECT_TRUE(ShowsTheRunningCounts(page));
  EXPECT_EQ(before.first + 1, ShownCounts(page).first);
  ASSERT_EQ(kHelperExitCode, helper.Exit());
  EXPECT_TRUE(ShowsTheRunningCounts(page));
  EXPECT_EQ(before.first, ShownCounts(page).first);
  EXPECT_EQ(0u, CloseInProcess(&monitor));
}

}  // namespace

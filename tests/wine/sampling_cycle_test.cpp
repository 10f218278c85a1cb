// The sampling cycle against the real Performance dialog.
#include <gtest/gtest.h>

#include <string>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/wine_support.h"
#include "ui/performance/performance_page.h"

namespace {

std::wstring ControlText(HWND page, int id) { return WindowText(GetDlgItem(page, id)); }

TEST(SamplingCycle, TotalsShowTrueByteCounts) {
  ResetMonitorState();
  BindKernelExtensions();
  HWND page = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PERFORMANCE), nullptr,
                                 PerformancePageProc, 0);
  ASSERT_NE(nullptr, page);
  g_state.performancePage.store(page);
  g_state.processTable.processCount = 7;
  g_state.processTable.threadTotal = 4000000000u;

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
  EXPECT_EQ(L"7", ControlText(page, IDC_PROCESS_TOTAL));
  EXPECT_EQ(L"4000000000", ControlText(page, IDC_THREAD_TOTAL));
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

// Each write of a total repaints its field at once, so a cycle writes only the
// totals whose figure changed, and every total into a page that has not had it.
TEST(SamplingCycle, TotalsAreWrittenWhenTheirFigureChanges) {
  ResetMonitorState();
  BindKernelExtensions();
  HWND first = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PERFORMANCE), nullptr,
                                  PerformancePageProc, 0);
  HWND second = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PERFORMANCE), nullptr,
                                   PerformancePageProc, 0);
  ASSERT_TRUE(first != nullptr && second != nullptr);
  const int kCounts[] = {IDC_PROCESS_TOTAL, IDC_THREAD_TOTAL, IDC_PHYS_TOTAL};
  int writes[2][3] = {};
  for (int f = 0; f < 3; ++f) {
    SetWindowSubclass(GetDlgItem(first, kCounts[f]), CountSetText, 1, reinterpret_cast<DWORD_PTR>(&writes[0][f]));
    SetWindowSubclass(GetDlgItem(second, kCounts[f]), CountSetText, 1, reinterpret_cast<DWORD_PTR>(&writes[1][f]));
  }
  SamplerContext context = {};
  StartSampling(&context);
  g_state.processTable.processCount = 5;
  g_state.processTable.threadTotal = 40;
  g_state.performancePage.store(first);
  RunSamplingCycle(&context);
  RunSamplingCycle(&context);
  EXPECT_EQ(1, writes[0][0]);
  EXPECT_EQ(1, writes[0][1]);
  EXPECT_EQ(1, writes[0][2]);

  // Left and shown again, the page still shows its totals; a new count is written.
  g_state.performancePage.store(nullptr);
  g_state.processTable.processCount = 6;
  RunSamplingCycle(&context);
  g_state.performancePage.store(first);
  RunSamplingCycle(&context);
  EXPECT_EQ(2, writes[0][0]);
  EXPECT_EQ(L"6", ControlText(first, IDC_PROCESS_TOTAL));
  EXPECT_EQ(1, writes[0][1]);
  EXPECT_EQ(L"40", ControlText(first, IDC_THREAD_TOTAL));

  // Another page gets every total.
  g_state.performancePage.store(second);
  RunSamplingCycle(&context);
  EXPECT_EQ(L"6", ControlText(second, IDC_PROCESS_TOTAL));
  EXPECT_EQ(L"40", ControlText(second, IDC_THREAD_TOTAL));
  EXPECT_NE(L"0", ControlText(second, IDC_PHYS_TOTAL));
  EXPECT_NE(L"0", ControlText(second, IDC_PHYS_AVAILABLE));
  EXPECT_EQ(1, writes[1][2]);
  DestroyWindow(first);
  DestroyWindow(second);
}

}  // namespace

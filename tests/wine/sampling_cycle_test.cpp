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

}  // namespace

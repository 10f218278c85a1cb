// Frequency scaling against real load, while the Linux side keeps processor 2
// busy (see with_busy_cpu.sh).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/resource_manager_support.h"

namespace {

void ExpectProcessorTwoBusy() {
  const char* busy = std::getenv("SELVANE_BUSY_CPU");
  ASSERT_NE(nullptr, busy) << "run through with_busy_cpu.sh";
  ASSERT_STREQ("2", busy);
}

// The user stops scaling and sets the CPU to 500 MHz, half its high corner:
// a fully busy processor then reads half loaded.
TEST(BusyCpu2Dfs, FrequencyScaleFollowsTheStoppedCpuClock) {
  ExpectProcessorTwoBusy();
  BindStandIn(L"libnvrm.dll");
  BindKernelExtensions();
  ASSERT_GE(g_state.processorCount, 2u);
  HWND page = CreatePerformancePage();
  ASSERT_NE(nullptr, page);
  g_state.performancePage.store(page);
  if (!IsChecked(page, IDC_DISABLE_DFS)) SendDlgItemMessageW(page, IDC_DISABLE_DFS, BM_CLICK, 0, 0);
  SendDlgItemMessageW(page, IDC_DOMAIN_LIST, CB_SETCURSEL, 0, 0);  // "CPU"
  SetDlgItemTextW(page, IDC_TARGET_MHZ, L"500");
  SendDlgItemMessageW(page, IDC_SET_TARGET, BM_CLICK, 0, 0);

  SamplerContext context = {};
  StartSampling(&context);
  for (int cycle = 0; cycle < 2; ++cycle) {
    Sleep(kSamplePeriodMs);
    RunSamplingCycle(&context);
  }
  const float scale = g_state.frequencyScale.load();
  const float cpu1 = g_state.loadSample.cpuLoad[0].load();
  const float cpu2 = g_state.loadSample.cpuLoad[1].load();
  printf("frequencyScale %.4f, cpuLoad[0] %.4f, cpuLoad[1] %.4f\n", scale, cpu1, cpu2);
  EXPECT_EQ(0.5f, scale);
  EXPECT_GE(cpu2, 0.45f);
  EXPECT_LE(cpu2, 0.5f);
  EXPECT_EQ(0u, ControlText(page, IDC_STATUS_TEXT).find(L"CPU[500Mhz]\r\n"));
  DestroyWindow(page);
}

uint64_t Ticks(const FILETIME& time) { return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

// Busy share of all processors since `idle` and `total` were taken; updates both.
double HostLoadSince(uint64_t* idle, uint64_t* total) {
  FILETIME idleTime, kernelTime, userTime;
  GetSystemTimes(&idleTime, &kernelTime, &userTime);
  const uint64_t idleNow = Ticks(idleTime), totalNow = Ticks(kernelTime) + Ticks(userTime);
  const double load = 1.0 - static_cast<double>(idleNow - *idle) / static_cast<double>(totalNow - *total);
  *idle = idleNow;
  *total = totalNow;
  return load;
}

// While scaling runs, the CPU clock sits between its corners as far up as the
// host is busy, and its activity follows the same load.
TEST(BusyCpu2Dfs, RunningCpuClockFollowsTheHostLoad) {
  ExpectProcessorTwoBusy();
  BindStandIn(L"libnvrm.dll");
  g_resourceManager.NvRmDfsSetState(g_state.rmHandle, kDfsStateRunning);
  uint64_t idle = 0, total = 0;
  HostLoadSince(&idle, &total);
  ReadClock(kDomainCpu);
  Sleep(kSamplePeriodMs);
  const ClockUsage cpu = ReadClock(kDomainCpu);
  const double hostLoad = HostLoadSince(&idle, &total);
  const double share = (cpu.currentKhz - 216000.0) / (1000000.0 - 216000.0);
  printf("host load %.2f; CPU %u kHz (%.2f of its range), activity %u kHz\n", hostLoad, cpu.currentKhz, share,
         cpu.averageKhz);
  EXPECT_NEAR(hostLoad, share, 0.1);
  EXPECT_NEAR(share, static_cast<double>(cpu.averageKhz) / cpu.currentKhz, 0.02);
}

}  // namespace

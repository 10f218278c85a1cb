// The kernel extension set, bound from the stand-in and its variants.
#include <gtest/gtest.h>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/wine_support.h"

namespace {

uint32_t MachineProcessors() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > kMaxProcessors ? kMaxProcessors : info.dwNumberOfProcessors;
}

uint32_t CountFrom(const wchar_t* library) {
  ResetMonitorState();
  BindKernelExtensionsFrom(BinPath(library).c_str());
  return g_state.processorCount;
}

TEST(KernelBinding, WholeSetGivesTheMachinesCount) {
  ASSERT_GE(MachineProcessors(), 2u) << "these tests expect a multi-processor machine";
  EXPECT_EQ(MachineProcessors(), CountFrom(L"coredll.dll"));
  EXPECT_NE(nullptr, g_kernel.CeGetIdleTimeEx);
  EXPECT_NE(nullptr, g_kernel.GetUserKData);
}

TEST(KernelBinding, PartialSetCountsAsNone) {
  EXPECT_EQ(1u, CountFrom(L"coredll_missing8.dll"));  // CeGetIdleTimeEx missing
  // Binding stopped at the missing name: it and every later one stay null.
  EXPECT_NE(nullptr, g_kernel.CePowerOnProcessor);
  EXPECT_EQ(nullptr, g_kernel.CeGetIdleTimeEx);
  EXPECT_EQ(nullptr, g_kernel.GetUserKData);
}

TEST(KernelBinding, KernelReportingOneAndNoLibrary) {
  EXPECT_EQ(1u, CountFrom(L"coredll_count1.dll"));
  EXPECT_EQ(1u, CountFrom(L"no-such-library.dll"));
  EXPECT_EQ(nullptr, g_kernel.CeGetThreadAffinity);
}

TEST(KernelBinding, CountsAboveTheDataModelAreClamped) {
  EXPECT_EQ(3u, CountFrom(L"coredll_count3.dll"));
  EXPECT_EQ(4u, CountFrom(L"coredll_count8.dll"));
}

TEST(KernelBinding, ProgramFindsTheStandInByItsOwnName) {
  ResetMonitorState();
  BindKernelExtensions();  // "coredll.dll", found beside the program
  EXPECT_EQ(MachineProcessors(), g_state.processorCount);
}

TEST(KernelBinding, FailedIdleQueryIsReportedOncePerCycle) {
  ASSERT_EQ(MachineProcessors(), CountFrom(L"coredll_idle_fails_cpu2.dll"));
  SamplerContext context = {};
  StdoutCapture capture;
  StartSampling(&context);  // not reported before the loop
  Sleep(20);
  RunSamplingCycle(&context);
  Sleep(20);
  RunSamplingCycle(&context);
  EXPECT_EQ("failed to get idletime for cpu 2\r\nfailed to get idletime for cpu 2\r\n", capture.Text());
}

TEST(KernelBinding, AffinityRoundTripsThroughTheStandIn) {
  ASSERT_EQ(MachineProcessors(), CountFrom(L"coredll.dll"));
  HANDLE self = GetCurrentProcess();
  DWORD affinity = 99;
  ASSERT_TRUE(g_kernel.CeGetProcessAffinity(self, &affinity));
  EXPECT_EQ(0u, affinity);
  ASSERT_TRUE(g_kernel.CeSetProcessAffinity(self, 2));
  ASSERT_TRUE(g_kernel.CeGetProcessAffinity(self, &affinity));
  EXPECT_EQ(2u, affinity);
  DWORD_PTR processMask = 0, systemMask = 0;
  GetProcessAffinityMask(self, &processMask, &systemMask);
  EXPECT_EQ(2u, processMask);
  EXPECT_FALSE(g_kernel.CeSetProcessAffinity(self, 40));  // no such processor
  ASSERT_TRUE(g_kernel.CeSetProcessAffinity(self, 0));
  ASSERT_TRUE(g_kernel.CeGetProcessAffinity(self, &affinity));
  EXPECT_EQ(0u, affinity);
}

}  // namespace

// The kernel extension set found by its own name, and the stand-in's
// affinity. (Binding every variant is part of the fault matrix.)
#include <gtest/gtest.h>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
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

TEST(KernelBinding, ProgramFindsTheStandInByItsOwnName) {
  ResetMonitorState();
  BindKernelExtensions();  // "coredll.dll", found beside the program
  EXPECT_EQ(MachineProcessors(), g_state.processorCount);
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

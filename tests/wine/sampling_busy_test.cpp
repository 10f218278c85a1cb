// Real load, measured while the Linux side keeps processor 2 busy (see with_busy_cpu.sh).
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "sampler/sampling_loop.h"

namespace {

TEST(BusyCpu2, SecondProcessorReadsBusy) {
  const char* busy = std::getenv("SELVANE_BUSY_CPU");
  ASSERT_NE(nullptr, busy) << "run through with_busy_cpu.sh";
  ASSERT_STREQ("2", busy);
  ResetMonitorState();
  BindKernelExtensions();
  ASSERT_GE(g_state.processorCount, 2u);

  SamplerContext context = {};
  StartSampling(&context);
  Sleep(kSamplePeriodMs);
  RunSamplingCycle(&context);
  Sleep(kSamplePeriodMs);
  RunSamplingCycle(&context);

  const float cpu1 = g_state.loadSample.cpuLoad[0].load();
  const float cpu2 = g_state.loadSample.cpuLoad[1].load();
  EXPECT_GE(cpu2, 0.9f);
  EXPECT_LT(cpu1, cpu2);
}

}  // namespace

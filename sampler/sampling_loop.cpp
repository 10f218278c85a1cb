#include "sampler/sampling_loop.h"

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "sampler/hardware_status.h"
#include "sampler/text_format.h"
#include "ui/performance/history_graphs.h"
#include "ui/performance/load_gauges.h"
#include "ui/processes/process_pass.h"

// Idle milliseconds of every processor into `idle`: the platform's total with
// one processor, else one query per processor (numbered from 1). Returns a
// bit for each processor whose query failed.
static uint32_t ReadIdleCounters(uint32_t idle[kMaxProcessors], bool reportFailures) {
  const uint32_t count = g_state.processorCount;
  if (count < 2) {
    idle[0] = GetIdleTime();
    return 0;
  }
  uint32_t failed = 0;
  for (uint32_t p = 1; p <= count; ++p) {
    DWORD value = idle[p - 1];
    // A failed query leaves the slot as the call left it; its load reads 0.
    if (!g_kernel.CeGetIdleTimeEx(p, &value)) {
      failed |= 1u << (p - 1);
      if (reportFailures) WriteDiagnostic("failed to get idletime for cpu %d\r\n", static_cast<int>(p));
    }
    idle[p - 1] = value;
  }
  return failed;
}

// Writes total `field` into its control unless the page already shows that
// figure. Counts are unsigned numbers; byte counts are decimal text, since
// memory here can exceed 32 bits.
static void ShowTotal(ShownTotals* shown, uint32_t field, int controlId, uint64_t value) {
  HWND page = g_state.performancePage.load(std::memory_order_relaxed);
  if (page == nullptr) return;  // the page was left: nothing to write into
  if (page != shown->page) {
    shown->page = page;
    shown->written = 0;
  }
  const uint32_t bit = 1u << field;
  if ((shown->written & bit) != 0 && shown->values[field] == value) return;
  if (field == kTotalFieldProcesses || field == kTotalFieldThreads) {
    SetDlgItemInt(page, controlId, static_cast<UINT>(value), FALSE);
  } else {
    FormatUnsigned64(g_state.reportBuffer, kReportBufferChars, value);
    SetDlgItemTextW(page, controlId, g_state.reportBuffer);
  }
  shown->written |= bit;
  shown->values[field] = value;
}

static void RefreshPerformancePage(SamplerContext* context) {
  // Each call reads the page handle afresh: a page left mid-step gives null.
  float cpuLoads[kMaxProcessors];
  for (uint32_t i = 0; i < kMaxProcessors; ++i) {
    cpuLoads[i] = g_state.loadSample.cpuLoad[i].load(std::memory_order_relaxed);
  }
  const float memLoad = g_state.loadSample.memLoad.load(std::memory_order_relaxed);
  DrawCpuGauge(g_state.performancePage.load(std::memory_order_relaxed), cpuLoads);
  DrawCpuHistory(g_state.performancePage.load(std::memory_order_relaxed), cpuLoads);
  DrawMemoryGauge(g_state.performancePage.load(std::memory_order_relaxed), memLoad);
  DrawMemoryHistory(g_state.performancePage.load(std::memory_order_relaxed), memLoad);
  ShownTotals* shown = &context->totals;
  ShowTotal(shown, kTotalFieldProcesses, IDC_PROCESS_TOTAL, g_state.processTable.processCount);
  ShowTotal(shown, kTotalFieldThreads, IDC_THREAD_TOTAL, g_state.processTable.threadTotal);
  ShowTotal(shown, kTotalFieldPhysical, IDC_PHYS_TOTAL, context->memory.totalPhysical);
  ShowTotal(shown, kTotalFieldAvailable, IDC_PHYS_AVAILABLE, context->memory.availPhysical);
}

void StartSampling(SamplerContext* context) {
  context->idle.prevTick = GetTickCount();
  context->idle.prevUnread = ReadIdleCounters(context->idle.prevIdle, false);
}

void RunSamplingCycle(SamplerContext* context) {
  // Hardware status and the frequency scale come from the resource manager.
  if (g_state.rmAvailable) {
    ReportHardwareStatus(&context->hardware);
    const float previous = g_state.frequencyScale.load(std::memory_order_relaxed);
    g_state.frequencyScale.store(ComputeFrequencyScale(context->hardware.usage[kDomainCpu - 1], previous),
                                 std::memory_order_relaxed);
  }

  const uint32_t now = GetTickCount();
  context->idle.curUnread = ReadIdleCounters(context->idle.curIdle, true);

  ReadMemoryStatus(&context->memory);
  g_state.loadSample.memLoad.store(ComputeMemLoad(context->memory.loadPercent),
                                   std::memory_order_relaxed);

  AdvanceCpuLoads(&context->idle, now, g_state.processorCount,
                  g_state.frequencyScale.load(std::memory_order_relaxed), &g_state.loadSample);

  if (g_state.performancePage.load(std::memory_order_relaxed) != nullptr) {
    RefreshPerformancePage(context);
  }

  if (g_state.processesPage.load(std::memory_order_relaxed) != nullptr) {
    RunProcessPass();
  }

  context->idle.prevTick = now;
}

DWORD WINAPI SamplingThreadProc(LPVOID) {
  static SamplerContext context;
  StartSampling(&context);
  for (;;) {
    Sleep(kSamplePeriodMs);
    RunSamplingCycle(&context);
  }
}

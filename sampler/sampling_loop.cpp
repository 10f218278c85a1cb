#include "sampler/sampling_loop.h"

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "platform/memory_status.h"
#include "platform/process_snapshot.h"
#include "sampler/hardware_status.h"
#include "ui/performance/history_graphs.h"
#include "ui/performance/load_gauges.h"
#include "ui/processes/process_pass.h"

static const int kGraphControls[kGraphCount] = {IDC_CPU_GAUGE, IDC_CPU_HISTORY, IDC_MEM_GAUGE, IDC_MEM_HISTORY};

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

static CycleState MonitorCycleState(SamplerContext* context) {
  return CycleState{&g_stateLock, g_state.processorCount,  ProcessTimesFromThreads() ? 1u : 0u,
                    &context->idle,          &g_state.frequencyScale,
                    &g_state.loadSample,     g_state.reportBuffer,
                    g_state.cpuHistory,      &g_state.cpuHistoryReset,
                    &g_state.memHistory,     &g_state.memHistoryReset,
                    &g_state.processTable,   &g_state.threadTable};
}

// Everything the cycle needs from the platform, in the cycle's order: the
// chip, the tick count and idle counters, the memory status, the graphic
// controls of the Performance page, the snapshot of the Processes page.
static void ReadCycle(SamplerContext* context, CycleReadings* readings, HWND controls[kGraphCount]) {
  readings->hardware = nullptr;
  if (g_state.rmAvailable) {
    ReadHardware(&context->hardware);
    readings->hardware = &context->hardware;
  }
  readings->nowMs = GetTickCount();
  for (uint32_t i = 0; i < kMaxProcessors; ++i) readings->idle[i] = context->idle.curIdle[i];
  readings->unread = ReadIdleCounters(readings->idle, true);
  ReadMemoryStatus(&context->memory);
  readings->memory = context->memory;

  readings->graphs = 0;
  HWND page = g_state.performancePage.load(std::memory_order_relaxed);
  for (uint32_t g = 0; g < kGraphCount; ++g) {
    controls[g] = page != nullptr ? GetDlgItem(page, kGraphControls[g]) : nullptr;
    if (controls[g] == nullptr) continue;  // a missing control neither draws nor advances
    RECT client;
    GetClientRect(controls[g], &client);
    readings->sizes[g] = ClientSize{client.right, client.bottom};
    readings->graphs |= 1u << g;
  }

  PassReading* pass = nullptr;
  readings->pass = nullptr;
  if (g_state.processesPage.load(std::memory_order_relaxed) != nullptr && ReadProcessPass(&pass)) {
    readings->pass = pass;
  }
}

// Paints through `control`'s own DC while the page is still the active one:
// a page left since the read gets nothing more.
template <typename Paint>
static void PaintControl(HWND control, const ClientSize& size, Paint paint) {
  if (g_state.performancePage.load(std::memory_order_relaxed) == nullptr) return;
  const RECT client = {0, 0, size.width, size.height};
  HDC dc = GetDC(control);
  paint(dc, client);
  ReleaseDC(control, dc);
}

static void ShowCycle(SamplerContext* context, const CycleReadings* readings, HWND controls[kGraphCount]) {
  const CycleResults& results = context->results;
  if (results.statusReady) ReportHardwareStatus();
  if (readings->graphs != 0) {
    const ClientSize* sizes = readings->sizes;
    if (controls[kGraphCpuGauge] != nullptr) {
      PaintControl(controls[kGraphCpuGauge], sizes[kGraphCpuGauge],
                   [&](HDC dc, const RECT& client) { PaintGauge(dc, client, results.cpuGauge); });
    }
    if (controls[kGraphCpuHistory] != nullptr) {
      PaintControl(controls[kGraphCpuHistory], sizes[kGraphCpuHistory], [&](HDC dc, const RECT& client) {
        PaintHistory(dc, client, g_state.cpuHistory, results.cpuSeries);
      });
    }
    if (controls[kGraphMemGauge] != nullptr) {
      PaintControl(controls[kGraphMemGauge], sizes[kGraphMemGauge],
                   [&](HDC dc, const RECT& client) { PaintGauge(dc, client, results.memGauge); });
    }
    if (controls[kGraphMemHistory] != nullptr) {
      PaintControl(controls[kGraphMemHistory], sizes[kGraphMemHistory],
                   [&](HDC dc, const RECT& client) { PaintHistory(dc, client, &g_state.memHistory, 1); });
    }
  }
  if (g_state.performancePage.load(std::memory_order_relaxed) != nullptr) {
    const uint64_t totals[kTotalFieldCount] = {g_state.processTable.processCount, g_state.processTable.threadTotal,
                                               readings->memory.totalPhysical, readings->memory.availPhysical};
    ShowTotals(&context->totals, g_state.performancePage.load(std::memory_order_relaxed), totals);
  }
  if (readings->pass != nullptr) PresentProcessPass();
}

void StartSampling(SamplerContext* context) {
  context->idle.prevTick = GetTickCount();
  context->idle.prevUnread = ReadIdleCounters(context->idle.prevIdle, false);
}

void RunSamplingCycle(SamplerContext* context) {
  CycleReadings readings;
  HWND controls[kGraphCount];
  ReadCycle(context, &readings, controls);
  const CycleState state = MonitorCycleState(context);
  AdvanceCycle(&state, &readings, &context->results);
  ShowCycle(context, &readings, controls);
}

DWORD WINAPI SamplingThreadProc(LPVOID) {
  static SamplerContext context;
  StartSampling(&context);
  for (;;) {
    Sleep(kSamplePeriodMs);
    RunSamplingCycle(&context);
  }
}

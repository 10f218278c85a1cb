// The sampling thread: once a second it measures, then feeds the active page.
#ifndef SELVANE_SAMPLER_SAMPLING_LOOP_H
#define SELVANE_SAMPLER_SAMPLING_LOOP_H

#include "platform/memory_figures.h"
#include "platform/win32.h"
#include "sampler/load_math.h"
#include "sampler/status_format.h"

// The Performance page's four totals as last written, and the page they went
// to: a field is written only when its figure changes, since each write is a
// message to the main thread and an immediate repaint of the field.
struct ShownTotals {
  HWND page;                          // another page gets all four written
  uint32_t written;                   // bit f: values[f] was written into page
  uint64_t values[kTotalFieldCount];  // process count, thread total, physical total and available
};

// What the sampling thread keeps from one cycle to the next.
struct SamplerContext {
  IdleCounters idle;
  MemoryFigures memory;  // this cycle's memory status
  HardwareReadings hardware;  // the clock records persist; zero until the library writes them
  ShownTotals totals;
};

// Before the first cycle: the starting tick count and idle counters.
void StartSampling(SamplerContext* context);

// One cycle without its sleep: hardware status, loads, then the active page.
void RunSamplingCycle(SamplerContext* context);

// The thread procedure: StartSampling, then sleep and a cycle, forever.
DWORD WINAPI SamplingThreadProc(LPVOID unused);

#endif

// The sampling thread: once a second it reads the platform, advances the
// monitor's state (AdvanceCycle, pure), then writes into the active page.
#ifndef SELVANE_SAMPLER_SAMPLING_LOOP_H
#define SELVANE_SAMPLER_SAMPLING_LOOP_H

#include "platform/memory_figures.h"
#include "platform/win32.h"
#include "sampler/hardware_status.h"
#include "sampler/load_math.h"
#include "sampler/sample_cycle.h"
#include "sampler/status_format.h"
#include "ui/performance/totals.h"

// What the sampling thread keeps from one cycle to the next.
struct SamplerContext {
  IdleCounters idle;
  MemoryFigures memory;       // the last memory status read
  HardwareReadings hardware;  // the clock records persist; zero until the library writes them
  // What the Performance page shows; written by the page's work, on the
  // page's thread when the show is posted.
  ShownTotals totals;
  ShownStatus status;
  HWND graphPage;                  // the page whose graphic controls ...
  HWND graphControls[kGraphCount];  // ... these are, looked up once a page
  CycleResults results;
  // The totals counted without a pass, kept between counts.
  uint32_t cyclesToCount;  // 0: count at this cycle
  uint32_t recordsSize;    // the platform's process records at the last cycle, in bytes
  uint32_t counted;        // the last count succeeded, as follows
  uint32_t processCount;
  uint32_t threadTotal;
  // The sampling thread's: the Performance page is handed its show and
  // draws it while the cycle goes on. Otherwise the cycle waits for it.
  uint32_t postsShow;
};

// Idle milliseconds of every processor into `idle`: the platform's total with
// one processor, else one query per processor (numbered from 1). Returns a
// bit for each processor whose count measures nothing: its query failed,
// or it is in transition; `*off` takes a bit for each processor the power
// manager has switched off.
uint32_t ReadIdleCounters(uint32_t idle[kMaxProcessors], uint32_t* off, bool reportFailures);

// Before the first cycle: the starting tick count and idle counters.
void StartSampling(SamplerContext* context);

// One cycle without its sleep: read, advance, show.
void RunSamplingCycle(SamplerContext* context);

// Waits out one sample period; while the Processes page is shown, each wake
// the page sets (listsWake) brings its process list into step meanwhile.
void WaitForNextCycle();

// The thread procedure: StartSampling, then the wait and a cycle, forever.
DWORD WINAPI SamplingThreadProc(LPVOID unused);

#endif

#include "sampler/sampling_loop.h"

#include <cstring>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "platform/memory_status.h"
#include "platform/process_snapshot.h"
#include "remote/http_server.h"
#include "sampler/hardware_status.h"
#include "sampler/record_line.h"
#include "sampler/record_output.h"
#include "platform/resource_manager.h"
#include "ui/performance/history_graphs.h"
#include "ui/performance/load_gauges.h"
#include "ui/performance/picture_controls.h"
#include "ui/page_work.h"
#include "ui/processes/process_pass.h"

static const int kGraphControls[kGraphCount] = {IDC_CPU_GAUGE, IDC_CPU_HISTORY, IDC_MEM_GAUGE, IDC_MEM_HISTORY};

// The platform said once that it keeps no idle count.
static bool g_idleUnsupportedSaid;

// Says once that the platform keeps no idle count, so no load can be measured.
static void SayNoIdleTime() {
  if (g_idleUnsupportedSaid) return;
  WriteDiagnostic("the platform keeps no idle time: no processor load\r\n");
  g_idleUnsupportedSaid = true;
}

uint32_t ReadIdleCounters(uint32_t idle[kMaxProcessors], uint32_t* off, bool reportFailures) {
  const uint32_t count = g_state.processorCount;
  *off = 0;
  if (count < 2) {
    const DWORD idleMs = GetIdleTime();
    // MAXDWORD: the platform's adaptation layer keeps no idle count, so no
    // load can be measured (ee488013). Said once; the load reads 0.
    if (idleMs == MAXDWORD) {
      if (reportFailures) SayNoIdleTime();
      return 1;
    }
    idle[0] = idleMs;
    return 0;
  }
  uint32_t failed = 0;
  for (uint32_t p = 1; p <= count; ++p) {
    // A processor that is off keeps its last count, which would read as a
    // full load (gg156683); one in transition has no steady count either.
    // 0 is a failed query: the count is read as ever.
    const DWORD state = g_kernel.CeGetProcessorState(p);
    if (state == kProcessorPoweredOff) *off |= 1u << (p - 1);
    if (state == kProcessorInTransition) failed |= 1u << (p - 1);
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

// The record's line is made when something takes it: /l, the endpoint, a trigger.
static bool RecordWanted() {
  return g_state.recordFigures || RemoteEndpointOn() || g_state.events.ruleCount > 0;
}

static CycleState MonitorCycleState(SamplerContext* context) {
  const CycleState state = {
      &g_stateLock,          g_state.processorCount,   g_state.machineProcessors, ProcessTimesFromThreads() ? 1u : 0u,
      &context->idle,        &g_state.frequencyScale,  &g_state.loadSample,       g_state.reportBuffer,
      g_state.cpuHistory,    &g_state.cpuHistoryReset, &g_state.memHistory,       &g_state.memHistoryReset,
      &g_state.processTable, &g_state.processView,     &g_state.threadTable,      &g_state.pictures,
      &g_state.cpuMarks,     &g_state.memMarks,        &g_state.events,           RecordWanted() ? 1u : 0u};
  return state;
}

// Everything the cycle needs from the platform, in the cycle's order: the
// chip, the tick count and idle counters, the memory status, the graphic
// controls of the Performance page, the snapshot of the Processes page.
static void ReadCycle(SamplerContext* context, CycleReadings* readings, HWND controls[kGraphCount]) {
  readings->hardware = NULL;
  readings->dfsState = 0;
  if (g_state.rmAvailable) {
    ReadHardware(&context->hardware);
    readings->hardware = &context->hardware;
    // Scaling stopped or started by anyone, for the events.
    if (g_resourceManager.NvRmDfsGetState != NULL) {
      readings->dfsState = g_resourceManager.NvRmDfsGetState(g_state.rmHandle);
    }
  }
  readings->nowMs = GetTickCount();
  for (uint32_t i = 0; i < kMaxProcessors; ++i) readings->idle[i] = context->idle.curIdle[i];
  uint32_t off = 0;
  readings->unread = ReadIdleCounters(readings->idle, &off, true);
  // Counts that read 0 on every processor and never move: the kernel answers
  // CeGetIdleTimeEx where the platform keeps no idle time, but with nothing.
  const uint32_t count = g_state.processorCount;
  if (count >= 2 && IdleCountsAbsent(context->idle.prevIdle, readings->idle, count)) {
    SayNoIdleTime();
    readings->unread = (1u << count) - 1;
  }
  readings->off = off;
  ReadMemoryStatus(&context->memory);
  readings->memory = context->memory;

  readings->graphs = 0;
  HWND page = LoadShared(g_state.performancePage);
  if (page != NULL && page != context->graphPage) {
    // A lookup is a round trip to the window server under Wine: once a page.
    for (uint32_t g = 0; g < kGraphCount; ++g) context->graphControls[g] = GetDlgItem(page, kGraphControls[g]);
    context->graphPage = page;
  }
  for (uint32_t g = 0; g < kGraphCount; ++g) {
    controls[g] = page != NULL ? context->graphControls[g] : NULL;
    if (controls[g] == NULL) continue;  // a missing control neither draws nor advances
    RECT client;
    GetClientRect(controls[g], &client);
    readings->sizes[g].width = client.right;
    readings->sizes[g].height = client.bottom;
    readings->graphs |= 1u << g;
  }

  PassReading* pass = NULL;
  readings->pass = NULL;
  readings->counted = 0;
  if (LoadShared(g_state.processesPage) != NULL) {
    if (ReadProcessPass(&pass)) readings->pass = pass;
    readings->listOrder = LoadShared(g_state.listOrder);
    readings->listsPaused = LoadShared(g_state.listsPaused);
    context->cyclesToCount = 0;
  } else if (page != NULL || g_state.recordFigures || RemoteEndpointOn()) {
    // The Performance page's process and thread totals, and the record's,
    // are counted afresh (the count is most of a cycle's cost) when the
    // platform's process records change size, at least every
    // kCountRefreshCycles cycles where it gives their size and every
    // kCountPeriodCycles where it does not or the last count failed, and at
    // once when the page comes back.
    uint32_t size = 0;
    const bool sized = ProcessRecordsSize(&size);
    const bool changed = sized && size != context->recordsSize;
    context->recordsSize = size;
    if (context->cyclesToCount == 0 || changed) {
      context->counted = CountProcesses(&context->processCount, &context->threadTotal) ? 1 : 0;
      context->cyclesToCount = sized && context->counted ? kCountRefreshCycles : kCountPeriodCycles;
    }
    --context->cyclesToCount;
    readings->counted = context->counted;
    readings->processCount = context->processCount;
    readings->threadTotal = context->threadTotal;
  } else {
    context->cyclesToCount = 0;
  }
}

// The process and thread totals: counted this cycle, or as the last pass of
// the Processes page left them.
static void CurrentCounts(const CycleReadings* readings, uint32_t* processes, uint32_t* threads) {
  *processes = readings->counted ? readings->processCount : g_state.processTable.processCount;
  *threads = readings->counted ? readings->threadTotal : g_state.processTable.threadTotal;
}

// The sampling thread's header line.
static char g_recordLine[kRecordLineChars];

// The cycle's record: one line on standard output or into the record file
// (/l), the remote endpoint's copy (/r), and the captures' (/t).
static void RecordCycle(const SamplerContext* context) {
  const CycleResults& results = context->results;
  if (results.lineLength == 0) return;
  if (g_state.recordFigures) WriteRecordLine(results.line);
  PublishRemoteRecord(results.figures);
  KeepForCaptures(results.cycle, results.line, results.fired);
}

namespace {

// What the Performance page's part of a cycle shows, copied whole: the page
// may show it after the sampling thread has gone on.
struct PerformanceShow {
  SamplerContext* context;  // whose shown texts the page keeps
  HWND page;
  HWND controls[kGraphCount];
  ClientSize sizes[kGraphCount];
  uint32_t statusReady;
  wchar_t status[kReportBufferChars];
  uint64_t totals[kTotalFieldCount];
};

}  // namespace

// The newest show handed to the page's thread, under the state lock.
static PerformanceShow g_handedShow;

// The Performance page's part of a cycle, on the page's own thread: the
// status block and the totals where they changed, and the four pictures.
static void ShowOnPerformancePage(const PerformanceShow* show) {
  // A page left since the read gets nothing more.
  if (LoadShared(g_state.performancePage) != show->page) return;
  SamplerContext* context = show->context;
  if (show->statusReady) ReportHardwareStatus(&context->status, show->status);
  for (uint32_t g = 0; g < kGraphCount; ++g) {
    if (show->controls[g] == NULL) continue;
    const RECT client = {0, 0, show->sizes[g].width, show->sizes[g].height};
    PaintGraphControl(show->controls[g], client, g);
  }
  ShowTotals(&context->totals, show->page, show->totals);
}

// The posted work: the newest show, copied out under the lock.
static void ShowHandedOver(void*) {
  PerformanceShow show;
  EnterStateLock(&g_stateLock);
  show = g_handedShow;
  LeaveStateLock(&g_stateLock);
  ShowOnPerformancePage(&show);
}

static const PageWork kShowHandedOver = {ShowHandedOver, NULL};

// The work run while the caller waits: the show it was given.
static void ShowGiven(void* argument) { ShowOnPerformancePage(static_cast<const PerformanceShow*>(argument)); }

// The Performance page's part: the sampling thread hands it over and posts
// it, and does not wait for the page; another caller waits for it.
static void ShowPerformance(SamplerContext* context, const CycleReadings* readings, const HWND controls[kGraphCount],
                            HWND page) {
  PerformanceShow show;
  show.context = context;
  show.page = page;
  for (uint32_t g = 0; g < kGraphCount; ++g) {
    show.controls[g] = controls[g];
    show.sizes[g] = readings->sizes[g];
  }
  show.statusReady = context->results.statusReady ? 1u : 0u;
  show.status[0] = L'\0';
  if (show.statusReady) memcpy(show.status, g_state.reportBuffer, sizeof show.status);
  uint32_t processes, threads;
  CurrentCounts(readings, &processes, &threads);
  show.totals[0] = processes;
  show.totals[1] = threads;
  show.totals[2] = readings->memory.totalPhysical;
  show.totals[3] = readings->memory.availPhysical;
  if (!context->postsShow) {
    const PageWork work = {ShowGiven, &show};
    RunOnPage(page, &work);
    return;
  }
  EnterStateLock(&g_stateLock);
  g_handedShow = show;
  LeaveStateLock(&g_stateLock);
  PostToPage(page, &kShowHandedOver);
}

static void ShowCycle(SamplerContext* context, const CycleReadings* readings, HWND controls[kGraphCount]) {
  HWND page = LoadShared(g_state.performancePage);
  if (page != NULL) ShowPerformance(context, readings, controls, page);
  if (readings->pass != NULL) PresentProcessPass();
  RecordCycle(context);
}

void StartSampling(SamplerContext* context) {
  context->idle.prevTick = GetTickCount();
  g_state.events.lastMs = context->idle.prevTick;
  if (g_state.recordFigures && FormatRecordHeader(g_recordLine, kRecordLineChars, g_state.processorCount) > 0) {
    WriteRecordLine(g_recordLine);
  }
  uint32_t off = 0;
  context->idle.prevUnread = ReadIdleCounters(context->idle.prevIdle, &off, false) | off;
  StoreShared(&g_state.loadSample.poweredOff, off);
}

void RunSamplingCycle(SamplerContext* context) {
  CycleReadings readings;
  HWND controls[kGraphCount];
  ReadCycle(context, &readings, controls);
  const CycleState state = MonitorCycleState(context);
  AdvanceCycle(&state, &readings, &context->results);
  ShowCycle(context, &readings, controls);
}

// Without the Processes page, a plain sleep: under Wine it asks nothing of
// the server, where a wait on the wake does.
void WaitForNextCycle() {
  const HANDLE wake = LoadShared(g_state.listsWake);
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD waited = GetTickCount() - start;
    if (waited >= kSamplePeriodMs) return;
    const DWORD rest = kSamplePeriodMs - waited;
    if (wake == NULL || LoadShared(g_state.processesPage) == NULL) {
      Sleep(rest);
      return;
    }
    const DWORD result = WaitForSingleObject(wake, rest);
    if (result == WAIT_TIMEOUT) return;
    if (result != WAIT_OBJECT_0) {
      Sleep(rest);  // a wait that fails must not run the cycles back to back
      return;
    }
    RefreshProcessView();
  }
}

DWORD WINAPI SamplingThreadProc(LPVOID) {
  static SamplerContext context;
  context.postsShow = 1;
  StoreShared(&g_state.listsWake, CreateEventW(NULL, FALSE, FALSE, NULL));
  StartSampling(&context);
  for (;;) {
    WaitForNextCycle();
    RunSamplingCycle(&context);
  }
}

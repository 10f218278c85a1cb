#include "ui/processes/process_pass.h"

#include "app/monitor_state.h"
#include "platform/file_time.h"
#include "platform/kernel_extensions.h"
#include "platform/process_control.h"
#include "platform/process_snapshot.h"
#include "ui/page_work.h"
#include "ui/processes/list_view_ops.h"

// The sampling thread's reading, reused by every pass.
static PassReading g_passReading;
// The last pass could take no snapshot.
static bool g_snapshotFailed;
// Passes read, for the turns of the affinity reads.
static uint32_t g_passNumber;

// Whether the pass reads the affinity of the walked process `processId`:
// when it has no row yet, when the menu has just set it, and in its turn
// every kAffinityReadPasses passes. Otherwise `*kept` takes the row's, which
// this thread alone writes.
static bool AffinityDue(uint32_t processId, uint32_t affinitySet, uint32_t* kept) {
  const ProcessTable* table = &g_state.processTable;
  const uint32_t row = FindProcessRow(table, processId);
  if (row == kNoProcessRow || processId == affinitySet ||
      (processId / kProcessIdStep + g_passNumber) % kAffinityReadPasses == 0) {
    return true;
  }
  *kept = table->rows[row].affinity;
  return false;
}
// One open per thread: its CPU time, its priority and its affinity, as `wanted` asks.
static void ReadThreadFigures(uint32_t threadId, uint32_t wanted, ThreadFigures* figures) {
  *figures = ThreadFigures();
  HANDLE thread = OpenThread(kThreadQueryAccess, FALSE, threadId);
  if (thread == NULL) return;
  FILETIME created, exited, kernel, user;
  if ((wanted & FIGURE_CPU_TIME) && GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
    figures->cpuTime = FileTimeTicks(kernel) + FileTimeTicks(user);
    figures->figures |= FIGURE_CPU_TIME;
  }
  if ((wanted & FIGURE_PRIORITY) && ReadThreadPriority(thread, &figures->priority)) {
    figures->figures |= FIGURE_PRIORITY;
  }
  if (wanted & FIGURE_AFFINITY) {
    // Zero "indicates that no affinity is set" (gg154427): any processor.
    DWORD affinity = 0;
    figures->affinity = g_kernel.CeGetThreadAffinity(thread, &affinity) ? affinity : 0;
    figures->figures |= FIGURE_AFFINITY;
  }
  CloseHandle(thread);
}

// Takes up a "Show Threads" request, and lets the thread list's process go
// once it has exited: its id may name another process by now, but the
// handle held since the menu opened still names this one.
static void FollowThreadOwner() {
  EnterStateLock(&g_stateLock);
  const ThreadRequest request = g_state.threadRequest;
  g_state.threadRequest.process = NULL;
  g_state.threadRequest.processId = 0;
  LeaveStateLock(&g_stateLock);
  if (request.process != NULL) {
    if (g_state.threadOwner != NULL) CloseHandle(g_state.threadOwner);
    g_state.threadOwner = request.process;
    SelectThreadOwner(&g_state.threadTable, 1, request.processId);
  }
  if (g_state.threadOwner != NULL && WaitForSingleObject(g_state.threadOwner, 0) != WAIT_TIMEOUT) {
    CloseHandle(g_state.threadOwner);
    g_state.threadOwner = NULL;
    SelectThreadOwner(&g_state.threadTable, 0, 0);
  }
}

// The affinity through an open handle; 0 (any processor) when it cannot be read.
static uint32_t AffinityOf(HANDLE process) {
  DWORD value = 0;
  return g_kernel.CeGetProcessAffinity(process, &value) ? value : 0;
}

uint32_t ReadProcessAffinity(uint32_t processId) {
  HANDLE process = OpenProcess(kProcessQueryAccess, FALSE, processId);
  if (process == NULL) return 0;
  const uint32_t value = AffinityOf(process);
  CloseHandle(process);
  return value;
}

// One open per process for what the pass reads through a handle: the
// affinity (with two or more processors) and, where the kernel keeps it,
// the CPU time.
static void ReadProcessFigures(SnapshotEntry* entry, bool affinity, bool times) {
  if (!affinity && !times) return;
  HANDLE process = OpenProcess(kProcessQueryAccess, FALSE, entry->processId);
  if (process == NULL) return;
  if (affinity) entry->affinity = AffinityOf(process);
  if (times && ReadProcessTimes(process, &entry->cpuTime)) entry->figures |= FIGURE_CPU_TIME;
  CloseHandle(process);
}

// Reads a fresh snapshot into `reading`: every process with its figures
// (the affinity too, with two or more processors), and the threads the
// tables need (the listed process's; every thread's CPU time where process
// times come from threads). False, `reading` untouched, when no snapshot
// could be taken.
static bool ReadPass(PassReading* reading, uint32_t processorCount, const ThreadTable* threads) {
  const bool listing = threads->ownerChosen != 0;
  const uint32_t timeWanted = ProcessTimesFromThreads() ? FIGURE_CPU_TIME : 0;
  ProcessSnapshot snapshot;
  if (!TakeProcessSnapshot(&snapshot, listing || timeWanted != 0)) return false;
  reading->processCount = 0;
  ++g_passNumber;
  const uint32_t affinitySet = LoadShared(g_state.affinitySet);
  StoreShared(&g_state.affinitySet, 0u);
  SnapshotEntry entry;
  const bool timesFromHandles = ProcessTimesFromHandles();
  while (reading->processCount < kProcessCapacity && NextSnapshotProcess(&snapshot, &entry)) {
    const bool affinity = processorCount >= 2 && AffinityDue(entry.processId, affinitySet, &entry.affinity);
    ReadProcessFigures(&entry, affinity, timesFromHandles);
    AddReadProcess(reading, entry);
  }

  reading->threadCount = 0;
  if (listing || timeWanted != 0) {
    const uint32_t listedWanted = FIGURE_CPU_TIME | FIGURE_PRIORITY | (processorCount >= 2 ? FIGURE_AFFINITY : 0);
    SnapshotThread thread;
    while (reading->threadCount < kPassThreadCapacity && NextSnapshotThread(&snapshot, &thread)) {
      const bool listed = listing && thread.ownerId == threads->ownerId;
      const uint32_t wanted = (listed ? listedWanted : 0) | timeWanted;
      if (wanted == 0) continue;
      ReadThreadFigures(thread.threadId, wanted, &thread.read);
      reading->threads[reading->threadCount++] = thread;
    }
  }
  CloseProcessSnapshot(&snapshot);
  return true;
}

bool ReadProcessPass(PassReading** reading) {
  // The lists are held for the life of the page, so a page left during the
  // pass still gets every change the tables make.
  if (LoadShared(g_state.processList) == NULL) return false;
  FollowThreadOwner();
  // The list keeps its rows while no snapshot can be taken: said once, not
  // every second, and again if it happens again after a good pass.
  if (!ReadPass(&g_passReading, g_state.processorCount, &g_state.threadTable)) {
    if (!g_snapshotFailed) WriteDiagnostic("failed to take a process snapshot\r\n");
    g_snapshotFailed = true;
    return false;
  }
  g_snapshotFailed = false;
  *reading = &g_passReading;
  return true;
}

bool CountProcesses(uint32_t* processes, uint32_t* threads) {
  ProcessSnapshot snapshot;
  if (!TakeProcessSnapshot(&snapshot, false)) return false;  // each process's record counts its threads
  SnapshotEntry entry;
  uint32_t processCount = 0, threadCount = 0;
  while (NextSnapshotProcess(&snapshot, &entry)) {
    ++processCount;
    threadCount += entry.threadCount;
  }
  CloseProcessSnapshot(&snapshot);
  *processes = processCount;
  *threads = threadCount;
  return true;
}

// The page's thread's own text buffer for its lists' texts.
static wchar_t g_listText[kReportBufferChars];

// A pass's steps into both lists, on the page's thread.
static void ShowPassSteps(void*) {
  HWND list = LoadShared(g_state.processList);
  HWND threadList = LoadShared(g_state.threadList);
  if (list == NULL || threadList == NULL) return;
  const ListOps ops = ListViewOps(list);
  SyncProcessView(&g_state.processView, &ops, g_listText, kReportBufferChars);
  const ListOps threadOps = ListViewOps(threadList);
  SyncThreadList(&g_state.threadTable, &threadOps, g_listText, kReportBufferChars);
}

void PresentProcessPass() {
  // One message, and none for a pass that changes nothing shown. Outside the
  // lock, which the main thread may itself be waiting for to copy a row.
  if (g_state.processView.stepCount == 0 && g_state.threadTable.stepCount == 0) return;
  HWND page = LoadShared(g_state.listsPage);
  const PageWork work = {ShowPassSteps, NULL};
  if (page != NULL) RunOnPage(page, &work);
}

static PassSettings CurrentPassSettings() {
  const PassSettings settings = {g_state.processorCount,
                                 g_state.machineProcessors,
                                 GetTickCount(),
                                 ProcessTimesFromThreads() ? 1u : 0u,
                                 LoadShared(g_state.listsPaused),
                                 LoadShared(g_state.listOrder)};
  return settings;
}

void RefreshProcessView() {
  if (LoadShared(g_state.processList) == NULL) return;
  const PassSettings settings = CurrentPassSettings();
  EnterStateLock(&g_stateLock);
  // The thread list's steps are the last pass's, which it has shown.
  g_state.threadTable.stepCount = 0;
  UpdateProcessView(&g_state.processView, &g_state.processTable, &settings);
  LeaveStateLock(&g_stateLock);
  PresentProcessPass();
}

void RunProcessPass() {
  PassReading* reading;
  if (!ReadProcessPass(&reading)) return;
  const PassSettings settings = CurrentPassSettings();
  EnterStateLock(&g_stateLock);
  UpdateProcessTable(&g_state.processTable, &g_state.threadTable, reading, &settings);
  UpdateProcessView(&g_state.processView, &g_state.processTable, &settings);
  LeaveStateLock(&g_stateLock);
  PresentProcessPass();
}

#include "ui/processes/process_pass.h"

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"

namespace {

bool NextProcess(void* context, SnapshotEntry* entry) {
  return NextSnapshotProcess(static_cast<ProcessSnapshot*>(context), entry);
}

bool NextThread(void* context, SnapshotThread* thread) {
  return NextSnapshotThread(static_cast<ProcessSnapshot*>(context), thread);
}

uint64_t Ticks(const FILETIME& time) { return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

void ReadProcess(void*, uint32_t processId, uint32_t wanted, ProcessFigures* figures) {
  ReadProcessFigures(processId, wanted, figures);
}

// One open per thread: its CPU time, its priority and its affinity.
void ReadThread(void*, uint32_t threadId, uint32_t wanted, ThreadFigures* figures) {
  *figures = ThreadFigures{};
  HANDLE thread = OpenThread(kThreadQueryAccess, FALSE, threadId);
  if (thread == nullptr) return;
  FILETIME created, exited, kernel, user;
  if ((wanted & FIGURE_CPU_TIME) && GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
    figures->cpuTime = Ticks(kernel) + Ticks(user);
    figures->figures |= FIGURE_CPU_TIME;
  }
  if (wanted & FIGURE_PRIORITY) {
    const int priority = GetThreadPriority(thread);
    if (priority != THREAD_PRIORITY_ERROR_RETURN) {
      figures->priority = priority;
      figures->figures |= FIGURE_PRIORITY;
    }
  }
  DWORD affinity = 0;
  if ((wanted & FIGURE_AFFINITY) && g_kernel.CeGetThreadAffinity(thread, &affinity)) {
    figures->affinity = affinity;
    figures->figures |= FIGURE_AFFINITY;
  }
  CloseHandle(thread);
}

void InsertItem(void* context, uint32_t item, const wchar_t* text, uint32_t id) {
  LVITEMW record = {};
  // The item carries its process (or thread) id, so the page's menu finds the row it shows.
  record.mask = LVIF_TEXT | LVIF_PARAM;
  record.iItem = static_cast<int>(item);
  record.pszText = const_cast<wchar_t*>(text);
  record.lParam = static_cast<LPARAM>(id);
  SendMessageW(static_cast<HWND>(context), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&record));
}

void SetItemText(void* context, uint32_t item, uint32_t subItem, const wchar_t* text) {
  LVITEMW record = {};
  record.mask = LVIF_TEXT;
  record.iItem = static_cast<int>(item);
  record.iSubItem = static_cast<int>(subItem);
  record.pszText = const_cast<wchar_t*>(text);
  SendMessageW(static_cast<HWND>(context), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&record));
}

void DeleteItem(void* context, uint32_t item) {
  SendMessageW(static_cast<HWND>(context), LVM_DELETEITEM, item, 0);
}

// Takes up a "Show Threads" request, and lets the thread list's process go
// once it has exited: its id may name another process by now, but the
// handle held since the menu opened still names this one.
void FollowThreadOwner() {
  EnterCriticalSection(&g_state.processLock);
  const ThreadRequest request = g_state.threadRequest;
  g_state.threadRequest = ThreadRequest{nullptr, 0};
  LeaveCriticalSection(&g_state.processLock);
  if (request.process != nullptr) {
    if (g_state.threadOwner != nullptr) CloseHandle(g_state.threadOwner);
    g_state.threadOwner = request.process;
    SelectThreadOwner(&g_state.threadTable, 1, request.processId);
  }
  if (g_state.threadOwner != nullptr && WaitForSingleObject(g_state.threadOwner, 0) != WAIT_TIMEOUT) {
    CloseHandle(g_state.threadOwner);
    g_state.threadOwner = nullptr;
    SelectThreadOwner(&g_state.threadTable, 0, 0);
  }
}

}  // namespace

void ReadProcessFigures(uint32_t processId, uint32_t wanted, ProcessFigures* figures) {
  *figures = ProcessFigures{};
  if ((wanted & FIGURE_CPU_TIME) && FindProcessCpuTime(processId, &figures->cpuTime)) {
    figures->figures |= FIGURE_CPU_TIME;
  }
  if ((wanted & FIGURE_MEMORY) && FindProcessWorkingSet(processId, &figures->workingSet)) {
    figures->figures |= FIGURE_MEMORY;
  }
  // Only the affinity (two processors or more) needs the process opened.
  if ((wanted & FIGURE_AFFINITY) == 0) return;
  HANDLE process = OpenProcess(kProcessQueryAccess, FALSE, processId);
  if (process == nullptr) return;
  DWORD affinity = 0;
  if (g_kernel.CeGetProcessAffinity(process, &affinity)) {
    figures->affinity = affinity;
    figures->figures |= FIGURE_AFFINITY;
  }
  CloseHandle(process);
}

void RunProcessPass() {
  // The lists are held for the life of the page, so a page left during the
  // pass still gets every change the tables make.
  HWND list = g_state.processList.load(std::memory_order_relaxed);
  if (list == nullptr) return;
  HWND threadList = g_state.threadList.load(std::memory_order_relaxed);
  FollowThreadOwner();
  ProcessSnapshot snapshot;
  if (!TakeProcessSnapshot(&snapshot)) return;

  const ProcessSource source = {&snapshot, NextProcess, NextThread, ReadProcess, ReadThread};
  const PassSettings settings = {g_state.processorCount, GetTickCount(), ProcessTimesFromThreads() ? 1u : 0u};
  EnterCriticalSection(&g_state.processLock);
  UpdateProcessTable(&g_state.processTable, &g_state.threadTable, &source, &settings);
  LeaveCriticalSection(&g_state.processLock);

  // Outside the lock: the main thread handles these messages while this
  // thread waits, and may itself be waiting for the lock to copy a row.
  const ListOps ops = {list, InsertItem, SetItemText, DeleteItem};
  SyncProcessList(&g_state.processTable, &ops, g_state.reportBuffer, kReportBufferChars);
  if (threadList != nullptr) {
    const ListOps threadOps = {threadList, InsertItem, SetItemText, DeleteItem};
    SyncThreadList(&g_state.threadTable, &threadOps, g_state.reportBuffer, kReportBufferChars);
  }
  CloseProcessSnapshot(&snapshot);
}

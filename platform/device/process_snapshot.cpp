#include "platform/process_snapshot.h"

#include <cwchar>

#include "platform/file_time.h"
#include "platform/kernel_extensions.h"
#include "platform/static_check.h"

SELVANE_STATIC_CHECK(sizeof(PROCESSENTRY32().szExeFile) == kSnapshotNameChars * sizeof(WCHAR), snapshot_name_field);

// The first record of a walk, then the next ones. False when none is left.
template <typename Record, typename Step>
static bool NextRecord(HANDLE snapshot, bool* started, Record* record, Step first, Step next) {
  const BOOL delivered = *started ? next(snapshot, record) : first(snapshot, record);
  *started = true;
  return delivered != FALSE;
}

bool ProcessTimesFromThreads() { return g_getProcessTimes == NULL; }

bool ProcessTimesFromHandles() { return g_getProcessTimes != NULL; }

bool ReadProcessTimes(HANDLE process, uint64_t* cpuTime) {
  FILETIME created, exited, kernel, user;
  if (g_getProcessTimes == NULL || !g_getProcessTimes(process, &created, &exited, &kernel, &user)) return false;
  *cpuTime = FileTimeTicks(kernel) + FileTimeTicks(user);
  return true;
}

bool TakeProcessSnapshot(ProcessSnapshot* snapshot, bool withThreads) {
  // Never the heaps: a process snapshot gathers every process's heap list
  // unless told not to (ee487995), and the monitor reads none of it.
  const DWORD flags = TH32CS_SNAPPROCESS | TH32CS_SNAPNOHEAPS | (withThreads ? TH32CS_SNAPTHREAD : 0);
  HANDLE handle = CreateToolhelp32Snapshot(flags, 0);
  if (handle == INVALID_HANDLE_VALUE) return false;
  *snapshot = ProcessSnapshot();
  snapshot->handle = handle;
  snapshot->process.dwSize = sizeof snapshot->process;  // 564 on the device
  snapshot->thread.dwSize = sizeof snapshot->thread;
  return true;
}

bool NextSnapshotProcess(ProcessSnapshot* snapshot, SnapshotEntry* entry) {
  PROCESSENTRY32* record = &snapshot->process;
  if (!NextRecord(snapshot->handle, &snapshot->processesStarted, record, Process32First, Process32Next)) return false;
  *entry = SnapshotEntry();  // the device's toolhelp record carries no times and no memory figure
  entry->processId = record->th32ProcessID;
  entry->threadCount = record->cntThreads;
  wcsncpy(entry->name, record->szExeFile, kSnapshotNameChars);
  entry->name[kSnapshotNameChars - 1] = L'\0';
  return true;
}

bool NextSnapshotThread(ProcessSnapshot* snapshot, SnapshotThread* thread) {
  THREADENTRY32* record = &snapshot->thread;
  if (!NextRecord(snapshot->handle, &snapshot->threadsStarted, record, Thread32First, Thread32Next)) return false;
  const SnapshotThread walked = {record->th32ThreadID, record->th32OwnerProcessID, ThreadFigures()};  // no figures
  *thread = walked;
  return true;
}

void CloseProcessSnapshot(ProcessSnapshot* snapshot) { CloseToolhelp32Snapshot(snapshot->handle); }

bool ProcessRecordsSize(uint32_t*) { return false; }

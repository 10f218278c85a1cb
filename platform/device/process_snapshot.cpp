#include "platform/process_snapshot.h"

#include <cwchar>

bool ProcessTimesFromThreads() { return true; }

bool TakeProcessSnapshot(ProcessSnapshot* snapshot) {
  HANDLE handle = CreateToolhelp32Snapshot(kSnapshotFlags, 0);
  if (handle == INVALID_HANDLE_VALUE) return false;
  *snapshot = ProcessSnapshot{};
  snapshot->handle = handle;
  snapshot->process.dwSize = sizeof snapshot->process;  // 564 on the device
  snapshot->thread.dwSize = sizeof snapshot->thread;
  return true;
}

bool NextSnapshotProcess(ProcessSnapshot* snapshot, SnapshotEntry* entry) {
  PROCESSENTRY32* record = &snapshot->process;
  const BOOL delivered = snapshot->processesStarted ? Process32Next(snapshot->handle, record)
                                                    : Process32First(snapshot->handle, record);
  snapshot->processesStarted = true;
  if (!delivered) return false;
  entry->processId = record->th32ProcessID;
  entry->threadCount = record->cntThreads;
  entry->figures = 0;  // the device's toolhelp record carries no times and no memory figure
  entry->affinity = 0;
  entry->cpuTime = 0;
  entry->workingSet = 0;
  constexpr size_t kChars = sizeof record->szExeFile / sizeof record->szExeFile[0];
  static_assert(kChars == kSnapshotNameChars, "the snapshot's name field");
  wcsncpy(entry->name, record->szExeFile, kChars);
  entry->name[kChars - 1] = L'\0';
  return true;
}

bool NextSnapshotThread(ProcessSnapshot* snapshot, SnapshotThread* thread) {
  THREADENTRY32* record = &snapshot->thread;
  const BOOL delivered = snapshot->threadsStarted ? Thread32Next(snapshot->handle, record)
                                                  : Thread32First(snapshot->handle, record);
  snapshot->threadsStarted = true;
  if (!delivered) return false;
  *thread = SnapshotThread{};
  thread->threadId = record->th32ThreadID;
  thread->ownerId = record->th32OwnerProcessID;
  return true;
}

void CloseProcessSnapshot(ProcessSnapshot* snapshot) { CloseToolhelp32Snapshot(snapshot->handle); }

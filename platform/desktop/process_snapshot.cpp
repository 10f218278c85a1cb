#include "platform/process_snapshot.h"

#include <winternl.h>

#include <cwchar>

const NTSTATUS kStatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

// The system's records of the last snapshot, as NtQuerySystemInformation
// lays them out. The first buffer holds about 20,000 threads besides the
// table's processes; a system with more records gets a larger one, made at
// the pass that needs it and kept. Only the part the system writes is read.
// Held as 64-bit words, so that the records' 64-bit fields are aligned.
static uint64_t g_firstRecords[kProcessRecordBytesFirst / sizeof(uint64_t)];
static unsigned char* g_records = reinterpret_cast<unsigned char*>(g_firstRecords);
static ULONG g_recordCapacity = kProcessRecordBytesFirst;

// Room for `needed` bytes (and as much again), up to the bound; false when the
// bound is reached or no memory is left.
static bool GrowRecords(ULONG needed) {
  if (g_recordCapacity >= kProcessRecordBytesLimit) return false;
  ULONG capacity = g_recordCapacity * 2;
  while (capacity < needed && capacity < kProcessRecordBytesLimit) capacity *= 2;
  if (capacity > kProcessRecordBytesLimit) capacity = kProcessRecordBytesLimit;
  void* grown = VirtualAlloc(NULL, capacity, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (grown == NULL) return false;
  if (g_records != reinterpret_cast<unsigned char*>(g_firstRecords)) VirtualFree(g_records, 0, MEM_RELEASE);
  g_records = static_cast<unsigned char*>(grown);
  g_recordCapacity = capacity;
  return true;
}

// Toolhelp's name for the record of id 0, which the system leaves unnamed.
static const wchar_t kIdleProcessName[] = L"[System Process]";

static uint32_t IdOf(HANDLE id) { return static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(id)); }

static const SYSTEM_THREAD_INFORMATION* ThreadsOf(const SYSTEM_PROCESS_INFORMATION* record) {
  return reinterpret_cast<const SYSTEM_THREAD_INFORMATION*>(record + 1);
}

// The record at `offset`, or NULL where no whole record (with its
// threads) stands there.
static const SYSTEM_PROCESS_INFORMATION* RecordAt(const ProcessSnapshot* snapshot, uint32_t offset) {
  const uint32_t length = snapshot->length;
  if (offset > length || length - offset < sizeof(SYSTEM_PROCESS_INFORMATION)) return NULL;
  const SYSTEM_PROCESS_INFORMATION* record =
      reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(snapshot->records + offset);
  const uint64_t threadBytes = static_cast<uint64_t>(record->NumberOfThreads) * sizeof(SYSTEM_THREAD_INFORMATION);
  if (threadBytes > length - offset - sizeof(SYSTEM_PROCESS_INFORMATION)) return NULL;
  return record;
}

// The offset of the record after the one at `offset` (a whole record), or 0
// after the last.
static uint32_t NextRecord(const ProcessSnapshot* snapshot, uint32_t offset) {
  const ULONG step = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(snapshot->records + offset)->NextEntryOffset;
  return step == 0 || step > snapshot->length - offset ? 0 : offset + step;
}

bool ProcessTimesFromThreads() { return false; }

bool ProcessTimesFromHandles() { return false; }

bool ReadProcessTimes(HANDLE, uint64_t*) { return false; }

bool TakeProcessSnapshot(ProcessSnapshot* snapshot, bool) {
  ULONG length = 0;
  NTSTATUS status = NtQuerySystemInformation(SystemProcessInformation, g_records, g_recordCapacity, &length);
  while (status == kStatusInfoLengthMismatch && GrowRecords(length)) {
    status = NtQuerySystemInformation(SystemProcessInformation, g_records, g_recordCapacity, &length);
  }
  if (status != 0) return false;
  *snapshot = ProcessSnapshot();
  snapshot->records = g_records;
  snapshot->length = length < g_recordCapacity ? length : g_recordCapacity;
  return true;
}

bool ProcessRecordsSize(uint32_t* bytes) {
  ULONG length = 0;
  if (NtQuerySystemInformation(SystemProcessInformation, NULL, 0, &length) != kStatusInfoLengthMismatch ||
      length == 0) {
    return false;
  }
  *bytes = length;
  return true;
}

bool NextSnapshotProcess(ProcessSnapshot* snapshot, SnapshotEntry* entry) {
  const SYSTEM_PROCESS_INFORMATION* record = snapshot->processesDone ? NULL : RecordAt(snapshot, snapshot->process);
  if (record == NULL) return false;
  entry->processId = IdOf(record->UniqueProcessId);
  entry->threadCount = record->NumberOfThreads;
  entry->figures = FIGURE_CPU_TIME | FIGURE_MEMORY;
  entry->affinity = 0;
  entry->cpuTime =
      static_cast<uint64_t>(record->KernelTime.QuadPart) + static_cast<uint64_t>(record->UserTime.QuadPart);
  entry->workingSet = record->VirtualMemoryCounters.WorkingSetSize;
  const wchar_t* name = record->ImageName.Buffer;
  size_t chars = name != NULL ? record->ImageName.Length / sizeof(wchar_t) : 0;
  if (chars == 0 && entry->processId == 0) {
    name = kIdleProcessName;
    chars = sizeof kIdleProcessName / sizeof kIdleProcessName[0] - 1;
  }
  if (chars > kSnapshotNameChars - 1) chars = kSnapshotNameChars - 1;
  if (chars > 0) wmemcpy(entry->name, name, chars);
  entry->name[chars] = L'\0';
  snapshot->process = NextRecord(snapshot, snapshot->process);
  snapshot->processesDone = snapshot->process == 0;
  return true;
}

bool NextSnapshotThread(ProcessSnapshot* snapshot, SnapshotThread* thread) {
  while (!snapshot->threadsDone) {
    const SYSTEM_PROCESS_INFORMATION* record = RecordAt(snapshot, snapshot->threadRecord);
    if (record == NULL) break;
    if (snapshot->threadIndex < record->NumberOfThreads) {
      *thread = SnapshotThread();
      thread->threadId = IdOf(ThreadsOf(record)[snapshot->threadIndex++].ClientId.UniqueThread);
      thread->ownerId = IdOf(record->UniqueProcessId);
      return true;
    }
    snapshot->threadRecord = NextRecord(snapshot, snapshot->threadRecord);
    snapshot->threadIndex = 0;
    snapshot->threadsDone = snapshot->threadRecord == 0;
  }
  snapshot->threadsDone = true;
  return false;
}

// The records stay in the module's buffer until the next snapshot.
void CloseProcessSnapshot(ProcessSnapshot*) {}

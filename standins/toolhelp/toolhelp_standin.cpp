// Desktop stand-in for the device's toolhelp.dll: the device's snapshot
// calls and records over the desktop's own process list.
//
// A snapshot is a copy taken at once, as on the device: one
// NtQuerySystemInformation call (which Wine answers in one server call, where
// its kernel32 toolhelp maps the snapshot again at every step of a walk),
// turned into the device's records. Its handle is a real kernel object, so a
// snapshot left open shows in the process's handle count. The records' room
// is kept from one snapshot to the next: no allocation once warmed up.
//
// Counts (standin_counts.h) are always kept; with the `heaps` setting each
// process heap list gathered costs kHeapListMs, as a heap walk costs the device.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "standins/ce_levels.h"
#include "standins/standin_counts.h"
#include "standins/standin_settings.h"
#include "standins/toolhelp/ce_toolhelp.h"

#define STANDIN_EXPORT extern "C" __declspec(dllexport)

STANDIN_SETTINGS_EXPORT

static constexpr DWORD kMaxOpenSnapshots = 16;
static constexpr DWORD kHeapListMs = 3;
static constexpr NTSTATUS kStatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
static constexpr ULONG kFirstQueryBytes = 256u << 10;
static constexpr ULONG kQueryBytesLimit = 64u << 20;
static constexpr uint32_t kMaxRecords = 1u << 20;  // processes or threads in one snapshot

namespace {

template <typename Record>
struct RecordList {
  Record* records;
  uint32_t count;
  uint32_t capacity;
  uint32_t next;  // the record the next step delivers
};

struct Snapshot {
  HANDLE handle;  // null while the slot is free
  RecordList<CeProcessEntry32> processes;
  RecordList<CeThreadEntry32> threads;
};

}  // namespace

static CRITICAL_SECTION g_lock;
static Snapshot g_snapshots[kMaxOpenSnapshots];
static unsigned char* g_query;
static ULONG g_queryCapacity;
static StandinCounts g_counts;

// Room for `count` records, grown by doubling and kept; false when no memory is left.
template <typename Record>
static bool Reserve(RecordList<Record>* list, uint32_t count) {
  if (count <= list->capacity) return true;
  if (count > kMaxRecords) return false;
  uint32_t capacity = list->capacity > 0 ? list->capacity : 64;
  while (capacity < count) capacity *= 2;
  void* grown = VirtualAlloc(nullptr, capacity * sizeof(Record), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (grown == nullptr) return false;
  if (list->records != nullptr) VirtualFree(list->records, 0, MEM_RELEASE);
  list->records = static_cast<Record*>(grown);
  list->capacity = capacity;
  return true;
}

// The system's process records into g_query; their length, or 0.
static ULONG QueryProcessRecords() {
  for (;;) {
    ULONG length = 0;
    const NTSTATUS status = NtQuerySystemInformation(SystemProcessInformation, g_query, g_queryCapacity, &length);
    if (status == 0) return length < g_queryCapacity ? length : g_queryCapacity;
    if (status != kStatusInfoLengthMismatch || g_queryCapacity >= kQueryBytesLimit) return 0;
    ULONG capacity = g_queryCapacity > 0 ? g_queryCapacity * 2 : kFirstQueryBytes;
    while (capacity < length && capacity < kQueryBytesLimit) capacity *= 2;
    void* grown = VirtualAlloc(nullptr, capacity, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (grown == nullptr) return 0;
    if (g_query != nullptr) VirtualFree(g_query, 0, MEM_RELEASE);
    g_query = static_cast<unsigned char*>(grown);
    g_queryCapacity = capacity;
  }
}

static uint32_t IdOf(HANDLE id) { return static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(id)); }

// Calls `visit` with each whole process record of the query's `length` bytes.
template <typename Visit>
static void ForEachRecord(ULONG length, Visit visit) {
  ULONG offset = 0;
  while (length - offset >= sizeof(SYSTEM_PROCESS_INFORMATION)) {
    const auto* record = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(g_query + offset);
    const uint64_t threadBytes = uint64_t{record->NumberOfThreads} * sizeof(SYSTEM_THREAD_INFORMATION);
    if (threadBytes > length - offset - sizeof(SYSTEM_PROCESS_INFORMATION)) return;
    visit(record, reinterpret_cast<const SYSTEM_THREAD_INFORMATION*>(record + 1));
    if (record->NextEntryOffset == 0 || record->NextEntryOffset > length - offset) return;
    offset += record->NextEntryOffset;
  }
}

typedef int(WINAPI* ThreadLevelFunction)(DWORD threadId);

// A thread's level: the one coredll's stand-in keeps for it (set through it,
// or a real-time test setting), else its desktop priority's.
static int LevelOf(ThreadLevelFunction kept, DWORD threadId, LONG threadBase, LONG processBase) {
  const int level = kept != nullptr ? kept(threadId) : -1;
  return level >= 0 ? level : LevelForDesktopPriority(threadBase - processBase);
}

// Fills `snapshot` from the query: processes and threads as `flags` ask.
static bool FillSnapshot(Snapshot* snapshot, DWORD flags, ULONG length) {
  uint32_t processes = 0, threads = 0;
  ForEachRecord(length, [&](const SYSTEM_PROCESS_INFORMATION* record, const SYSTEM_THREAD_INFORMATION*) {
    ++processes;
    threads += record->NumberOfThreads;
  });
  snapshot->processes.count = snapshot->processes.next = 0;
  snapshot->threads.count = snapshot->threads.next = 0;
  const bool withProcesses = (flags & kCeSnapProcess) != 0, withThreads = (flags & kCeSnapThread) != 0;
  if ((withProcesses && !Reserve(&snapshot->processes, processes)) ||
      (withThreads && !Reserve(&snapshot->threads, threads))) {
    return false;
  }
  HMODULE coredll = GetModuleHandleW(L"coredll.dll");
  const auto kept = coredll == nullptr ? nullptr : reinterpret_cast<ThreadLevelFunction>(reinterpret_cast<void*>(
                                                       GetProcAddress(coredll, "StandinThreadLevel")));
  ForEachRecord(length, [&](const SYSTEM_PROCESS_INFORMATION* record, const SYSTEM_THREAD_INFORMATION* first) {
    const DWORD processId = IdOf(record->UniqueProcessId);
    if (withProcesses) {
      CeProcessEntry32* entry = &snapshot->processes.records[snapshot->processes.count++];
      std::memset(entry, 0, sizeof *entry);
      entry->cntUsage = 1;
      entry->th32ProcessID = processId;
      entry->cntThreads = record->NumberOfThreads;
      entry->pcPriClassBase = THREAD_PRIORITY_NORMAL;
      const size_t chars = record->ImageName.Buffer == nullptr ? 0 : record->ImageName.Length / sizeof(WCHAR);
      const size_t copied = chars < MAX_PATH - 1 ? chars : MAX_PATH - 1;
      if (copied > 0) std::memcpy(entry->szExeFile, record->ImageName.Buffer, copied * sizeof(WCHAR));
      entry->szExeFile[copied] = L'\0';
    }
    for (ULONG i = 0; withThreads && i < record->NumberOfThreads; ++i) {
      CeThreadEntry32* entry = &snapshot->threads.records[snapshot->threads.count++];
      std::memset(entry, 0, sizeof *entry);
      entry->cntUsage = 1;
      entry->th32ThreadID = IdOf(first[i].ClientId.UniqueThread);
      entry->th32OwnerProcessID = processId;
      entry->th32CurrentProcessID = processId;
      entry->tpBasePri = LevelOf(kept, entry->th32ThreadID, first[i].BasePriority, record->BasePriority);
    }
  });
  return true;
}

// The slot holding `handle` (with null, a free slot), or null.
static Snapshot* SlotOf(HANDLE handle) {
  Snapshot* found = std::find_if(std::begin(g_snapshots), std::end(g_snapshots),
                                 [&](const Snapshot& snapshot) { return snapshot.handle == handle; });
  return found != std::end(g_snapshots) ? found : nullptr;
}

// The open snapshot of `handle`, or null.
static Snapshot* Find(HANDLE handle) { return handle != nullptr ? SlotOf(handle) : nullptr; }

// CreateToolhelp32Snapshot: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee487995(v=winembedded.60)
STANDIN_EXPORT HANDLE WINAPI CreateToolhelp32Snapshot(DWORD flags, DWORD) {
  EnterCriticalSection(&g_lock);
  Snapshot* snapshot = SlotOf(nullptr);
  const ULONG length = snapshot != nullptr ? QueryProcessRecords() : 0;
  HANDLE handle = length > 0 && FillSnapshot(snapshot, flags, length) ? CreateEventW(nullptr, TRUE, FALSE, nullptr)
                                                                      : nullptr;
  uint32_t heapLists = 0;
  if (handle != nullptr) {
    snapshot->handle = handle;
    ++g_counts.snapshots;
    if ((flags & kCeSnapThread) != 0) ++g_counts.threadSnapshots;
    // "By default, the process heap information is included when creating PROCESS snapshot."
    if ((flags & kCeSnapProcess) != 0 && (flags & kCeSnapNoHeaps) == 0) {
      ++g_counts.heapSnapshots;
      heapLists = snapshot->processes.count;
    }
    if ((flags & kCeSnapHeapList) != 0) ++heapLists;
    g_counts.heapsAsked += heapLists;
  }
  LeaveCriticalSection(&g_lock);
  if (handle == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  if (heapLists > 0 && StandinSetting("heaps")) Sleep(heapLists * kHeapListMs);
  return handle;
}

// CloseToolhelp32Snapshot: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488394(v=winembedded.60)
STANDIN_EXPORT BOOL WINAPI CloseToolhelp32Snapshot(HANDLE handle) {
  EnterCriticalSection(&g_lock);
  Snapshot* snapshot = Find(handle);
  if (snapshot != nullptr) snapshot->handle = nullptr;  // its room stays for the next one
  LeaveCriticalSection(&g_lock);
  if (snapshot == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return CloseHandle(handle);
}

// One step of a walk: the first record (or the next one) into `entry`, whose
// dwSize must hold the whole record; dwSize then says what was written.
template <typename Record>
static BOOL Step(HANDLE handle, Record* entry, bool first, RecordList<Record> Snapshot::*list,
                 uint32_t StandinCounts::*delivered) {
  EnterCriticalSection(&g_lock);
  Snapshot* snapshot = Find(handle);
  DWORD error = ERROR_SUCCESS;
  if (snapshot == nullptr) {
    error = ERROR_INVALID_HANDLE;
  } else if (entry == nullptr || entry->dwSize < sizeof(Record)) {
    error = ERROR_INVALID_PARAMETER;
  } else {
    RecordList<Record>& records = snapshot->*list;
    if (first) records.next = 0;
    if (records.next >= records.count) {
      error = ERROR_NO_MORE_FILES;
    } else {
      *entry = records.records[records.next++];
      entry->dwSize = sizeof(Record);
      ++(g_counts.*delivered);
    }
  }
  LeaveCriticalSection(&g_lock);
  if (error == ERROR_SUCCESS) return TRUE;
  SetLastError(error);
  return FALSE;
}

// Process32First: https://learn.microsoft.com/en-us/previous-versions/aa915359(v=msdn.10)
STANDIN_EXPORT BOOL WINAPI Process32First(HANDLE snapshot, CeProcessEntry32* entry) {
  return Step(snapshot, entry, true, &Snapshot::processes, &StandinCounts::processRecords);
}

// Process32Next: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488794(v=winembedded.60)
STANDIN_EXPORT BOOL WINAPI Process32Next(HANDLE snapshot, CeProcessEntry32* entry) {
  return Step(snapshot, entry, false, &Snapshot::processes, &StandinCounts::processRecords);
}

// Thread32First: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488375(v=winembedded.80)
STANDIN_EXPORT BOOL WINAPI Thread32First(HANDLE snapshot, CeThreadEntry32* entry) {
  return Step(snapshot, entry, true, &Snapshot::threads, &StandinCounts::threadRecords);
}

// Thread32Next: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee487953(v=winembedded.60)
STANDIN_EXPORT BOOL WINAPI Thread32Next(HANDLE snapshot, CeThreadEntry32* entry) {
  return Step(snapshot, entry, false, &Snapshot::threads, &StandinCounts::threadRecords);
}

STANDIN_EXPORT void WINAPI StandinTakeCounts(StandinCounts* counts) {
  EnterCriticalSection(&g_lock);
  counts->snapshots += g_counts.snapshots;
  counts->heapSnapshots += g_counts.heapSnapshots;
  counts->threadSnapshots += g_counts.threadSnapshots;
  counts->heapsAsked += g_counts.heapsAsked;
  counts->processRecords += g_counts.processRecords;
  counts->threadRecords += g_counts.threadRecords;
  g_counts = StandinCounts{};
  LeaveCriticalSection(&g_lock);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) InitializeCriticalSection(&g_lock);
  // At process exit other threads may still hold the lock: leave it be.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) DeleteCriticalSection(&g_lock);
  return TRUE;
}

static_assert(std::is_same<decltype(&CreateToolhelp32Snapshot), CeCreateSnapshotFunction>::value, "call shape");
static_assert(std::is_same<decltype(&CloseToolhelp32Snapshot), CeCloseSnapshotFunction>::value, "call shape");
static_assert(std::is_same<decltype(&Process32Next), CeProcessStepFunction>::value, "call shape");
static_assert(std::is_same<decltype(&Thread32Next), CeThreadStepFunction>::value, "call shape");
static_assert(std::is_same<decltype(&StandinTakeCounts), StandinTakeCountsFunction>::value, "call shape");

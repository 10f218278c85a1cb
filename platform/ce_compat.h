// The compatibility module: the device's own calls, supplied on desktop Windows.
// Everything that differs between the device and the desktop lives here, so the
// rest of the program is written once against the device's API.
#ifndef SELVANE_PLATFORM_CE_COMPAT_H
#define SELVANE_PLATFORM_CE_COMPAT_H

#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>

#include "app/constants.h"
#include "platform/memory_figures.h"
#include "ui/processes/process_table.h"

#ifndef _WIN32_WCE
// Milliseconds one processor has been idle since start. The desktop gives the
// idle time summed over every processor; the single-processor sampling path
// expects one processor's, so the sum is divided by the processor count. That
// makes a multi-core machine read as the average of its processors.
DWORD GetIdleTime();

// The device's wide debug print (its serial port). On desktop: the debugger,
// and standard error for a user without one.
void NKDbgPrintfW(const wchar_t* format, ...);

BOOL CloseToolhelp32Snapshot(HANDLE snapshot);

// Entry-point lookup by wide name, as the device offers it.
FARPROC GetProcAddressW(HMODULE module, const wchar_t* name);
#endif

// Access rights a process or thread handle asks for: the device takes none,
// the desktop grants only what is asked. A command's handle is also waited
// on (the thread list follows its process until it exits).
#ifdef _WIN32_WCE
constexpr DWORD kProcessQueryAccess = 0;
constexpr DWORD kProcessCommandAccess = 0;
constexpr DWORD kThreadQueryAccess = 0;
#else
constexpr DWORD kProcessQueryAccess = PROCESS_QUERY_INFORMATION;
constexpr DWORD kProcessCommandAccess =
    PROCESS_TERMINATE | PROCESS_SET_INFORMATION | PROCESS_QUERY_INFORMATION | SYNCHRONIZE;
constexpr DWORD kThreadQueryAccess = THREAD_QUERY_INFORMATION;
#endif

// The snapshot a process pass walks: every process, then every thread. The
// device walks a toolhelp snapshot. Wine maps and unmaps a toolhelp snapshot
// at every step of a walk (about 2.2 ms of CPU for 8 processes), so the
// desktop walks the system's process records instead: one NtQuerySystemInformation
// call, which also gives every process's CPU time and working set (right
// under Wine too, whose GetProcessTimes answers for another process with the
// caller's own times). The sampler thread alone takes and walks snapshots.
struct ProcessSnapshot {
#ifdef _WIN32_WCE
  HANDLE handle;
  bool processesStarted;
  bool threadsStarted;
  PROCESSENTRY32 process;
  THREADENTRY32 thread;
#else
  uint32_t process;       // byte offset of the next process record
  uint32_t threadRecord;  // byte offset of the record whose threads come next
  uint32_t threadIndex;   // the next of them
  bool processesDone;
  bool threadsDone;
#endif
};
// False when no snapshot could be taken (nothing to close).
bool TakeProcessSnapshot(ProcessSnapshot* snapshot);
// False when there is none left.
bool NextSnapshotProcess(ProcessSnapshot* snapshot, SnapshotEntry* entry);
bool NextSnapshotThread(ProcessSnapshot* snapshot, SnapshotThread* thread);
void CloseProcessSnapshot(ProcessSnapshot* snapshot);

// Per-process figures. The device keeps CPU times per thread only, so a
// process's time is the sum of its threads' in the pass's snapshot, and it
// has no per-process working set.
bool ProcessTimesFromThreads();
// Kernel + user time in 100 ns and working set in bytes of a process in the
// snapshot last taken; false (output untouched) where it has none.
bool FindProcessCpuTime(uint32_t processId, uint64_t* cpuTime);
bool FindProcessWorkingSet(uint32_t processId, uint64_t* bytes);

// "Set Priority" levels (kPriorityHigh, kPriorityNormal, kPriorityLow). On
// desktop, the priority classes high, normal and idle; on the device, which
// has no classes, the level of every thread of the process. `process` is the
// handle the command holds; `processId` finds the device's threads.
BOOL SetProcessPriorityLevel(HANDLE process, uint32_t processId, uint32_t level);
// The level the process runs at, or kPriorityUnknown.
uint32_t ReadProcessPriorityLevel(HANDLE process, uint32_t processId);

// Start-up work the platform needs before anything else: standard output in
// binary mode, so that diagnostics reach it byte for byte.
void InitPlatform();

// Writes one diagnostic line with the 8-bit printf and flushes it at once, so
// that a pipe sees it while the program still runs.
void WriteDiagnostic(const char* format, ...);

// The status field shows a block whose groups the device's static control
// starts on new lines by word wrap; the desktop's does not wrap after a tab,
// so there the field is drawn with those line breaks. The text stays as set.
void AdaptStatusField(HWND field);

// Physical memory and its load. The desktop's counts exceed 32 bits; the
// device's always fit.
void ReadMemoryStatus(MemoryFigures* figures);

#endif

// The snapshot a process pass walks: every process, then every thread. The
// device walks a toolhelp snapshot. Wine maps and unmaps a toolhelp snapshot
// at every step of a walk (about 2.2 ms of CPU for 8 processes), so the
// desktop walks the system's process records instead: one
// NtQuerySystemInformation call, whose records also give every process's CPU
// time and working set (right under Wine too, whose GetProcessTimes answers
// for another process with the caller's own times). Only the sampling thread
// takes and walks snapshots.
#ifndef SELVANE_PLATFORM_PROCESS_SNAPSHOT_H
#define SELVANE_PLATFORM_PROCESS_SNAPSHOT_H

#include <windows.h>
#ifdef SELVANE_DEVICE
#include <tlhelp32.h>  // the device's toolhelp
#endif

#include "platform/fixed_width.h"
#include "platform/snapshot_entry.h"

struct ProcessSnapshot {
#ifdef SELVANE_DEVICE
  HANDLE handle;
  bool processesStarted;
  bool threadsStarted;
  PROCESSENTRY32 process;
  THREADENTRY32 thread;
#else
  const unsigned char* records;  // the system's records, as NtQuerySystemInformation lays them out
  uint32_t length;               // bytes of them
  uint32_t process;              // byte offset of the next process record
  uint32_t threadRecord;         // byte offset of the record whose threads come next
  uint32_t threadIndex;          // the next of them
  bool processesDone;
  bool threadsDone;
#endif
};

// Where a process's CPU time comes from. The desktop's process records carry
// it (and the memory figure). Compact 2013's kernel keeps it per process
// (GetProcessTimes, through a handle to the process); Compact 7 keeps CPU
// times per thread only, so there a process's time is the sum of its
// threads' in the snapshot. The device has no per-process memory figure.
bool ProcessTimesFromThreads();
bool ProcessTimesFromHandles();

// A process's CPU time (kernel + user, 100 ns) through `process`, where the
// kernel keeps it; false (`*cpuTime` untouched) where it does not or the
// read fails.
bool ReadProcessTimes(HANDLE process, uint64_t* cpuTime);

// False when no snapshot could be taken (nothing to close). Without
// `withThreads` the walk has processes only (the desktop's records hold
// threads anyway).
bool TakeProcessSnapshot(ProcessSnapshot* snapshot, bool withThreads);
// The next process with what the walk knows of it; false when none is left.
bool NextSnapshotProcess(ProcessSnapshot* snapshot, SnapshotEntry* entry);
// The next thread (its id and its process; no figures); false when none is left.
bool NextSnapshotThread(ProcessSnapshot* snapshot, SnapshotThread* thread);
void CloseProcessSnapshot(ProcessSnapshot* snapshot);

// The bytes the system's process records would take now, which change when a
// process or thread comes or goes: asked without a buffer, about a fifteenth
// of a snapshot's cost under Wine. False where the platform has no such
// figure (the device, whose toolhelp walk is cheap).
bool ProcessRecordsSize(uint32_t* bytes);

#endif

// The process table: the monitor's picture of the running processes, one row
// per process in first-seen order (the Processes page's list shows them
// through its view, process_view.h). A pass also brings the thread table of
// "Show Threads" up to date from the same reading. Pure: no Windows header.
#ifndef SELVANE_UI_PROCESSES_PROCESS_TABLE_H
#define SELVANE_UI_PROCESSES_PROCESS_TABLE_H

#include <cstddef>

#include "app/constants.h"
#include "app/state_lock.h"
#include "platform/fixed_width.h"
#include "platform/snapshot_entry.h"
#include "ui/processes/list_model.h"
#include "ui/processes/thread_table.h"
#include "ui/processes/thread_times.h"

const uint32_t kProcessFigureColumns = 3;  // CPU, CPU Time, Mem Usage

struct ProcessEntry {
  uint32_t flags;                       // this pass: 0, ENTRY_NEW, ENTRY_UNSEEN or ENTRY_CHANGED, never combined
  uint32_t processId;                   // the key snapshot entries are matched by
  uint32_t serial;                      // names this row's process for the monitor's life: ids are reused
  uint32_t listId;                      // the ID column: the row's place in the order of listing
  wchar_t name[kProcessNameChars + 1];  // as first seen; always terminated
  uint32_t threadCount;                 // as last seen
  uint32_t affinity;                    // 0 = any processor, n = processor n; read only with 2+ processors
  uint32_t figures;                     // FIGURE_CPU_TIME and FIGURE_MEMORY: this pass could read them
  uint64_t cpuTime;                     // this pass's, 100 ns
  uint64_t exitedCpuTime;               // summed from threads: what its exited threads used
  uint64_t workingSet;                  // this pass's, bytes
  uint64_t prevCpuTime;                 // at the last pass, the base of the CPU share; kNoFigure: none
  // What the list is to show in CPU, CPU Time and Mem Usage, in the units
  // they are written in (percent, whole seconds, kilobytes); kNoFigure is an
  // empty text.
  uint64_t shown[kProcessFigureColumns];
};

struct ProcessTable {
  ProcessEntry rows[kProcessCapacity];  // rows 0..processCount-1 in use, in list order
  uint32_t processCount;
  uint32_t threadTotal;  // threadCount summed over the rows in use after the last pass
  // By process id. Valid between passes and throughout one (a pass only
  // appends until it closes up).
  uint16_t index[kProcessIndexSlots];
  uint32_t lastPassMs;  // tick count of the last pass: the CPU shares are over the time since
  uint32_t lastSerial;  // the last row's serial; 0 names no row
  PassThreadTimes threadTimes;  // where times are summed from threads
};

// One process as a pass read it: the walk's entry without its name, which the
// reading keeps apart, since only a new row reads it (a pass over many
// processes then stays in few cache lines).
struct ProcessReading {
  uint32_t processId;
  uint32_t threadCount;
  uint32_t figures;  // FIGURE_CPU_TIME and FIGURE_MEMORY: the walk gave that figure
  uint32_t affinity;
  uint64_t cpuTime;
  uint64_t workingSet;
};

// What a pass read of the platform before it touches the tables: the
// snapshot's processes with their figures (the affinity read with two or more
// processors), and the threads it read: those of the listed process, and
// every thread where process times are summed from them. A process or thread
// beyond the arrays is not read.
struct PassReading {
  uint32_t processCount;
  ProcessReading processes[kProcessCapacity];
  wchar_t names[kProcessCapacity][kSnapshotNameChars];  // names[i] is processes[i]'s
  uint32_t threadCount;
  SnapshotThread threads[kPassThreadCapacity];
};

// Adds one walked process to `reading`; false when the reading is full.
bool AddReadProcess(PassReading* reading, const SnapshotEntry& entry);

struct PassSettings {
  uint32_t processorCount;     // 1..kMaxProcessors: the processors the kernel extension set serves
  uint32_t machineProcessors;  // every processor the machine has: the CPU shares are of all of them
  uint32_t nowMs;              // the tick count at this pass
  // A process's CPU time is the sum of its threads' in the reading (the
  // device keeps no per-process times).
  uint32_t processTimesFromThreads;
  // The lists are paused: the thread table waits, the process list's view
  // (process_view.h) records no step.
  uint32_t listsPaused;
  uint32_t listOrder;  // the process list's order: ListOrderWord (process_view.h)
};

// The row of `processId`, or kNoProcessRow.
uint32_t FindProcessRow(const ProcessTable* table, uint32_t processId);

// Copies the row of `processId` into `row` under `lock`, as the main thread
// reads the table the sampling thread writes. False (`row` untouched) when
// the process has no row.
bool CopyProcessRow(const StateLock* lock, const ProcessTable* table, uint32_t processId, ProcessEntry* row);

// Matches one snapshot entry to its row by id and updates it (flags 0 or
// ENTRY_CHANGED, figures stored), or appends a row flagged ENTRY_NEW. A
// process that finds the table full is left out until a row frees.
void ReconcileProcessEntry(ProcessTable* table, const ProcessReading* entry, const wchar_t* name,
                           const PassSettings* settings);

// The table half of a pass: every row unseen, every read process
// reconciled, the read threads summed into their processes' times and
// reconciled with the thread table (unless the lists are paused), removed
// rows closed up in one sweep, threadTotal summed, and the thread list's
// steps recorded. A reading without a process leaves both tables as they
// were and records no step.
void UpdateProcessTable(ProcessTable* table, ThreadTable* threads, const PassReading* reading,
                        const PassSettings* settings);

#endif

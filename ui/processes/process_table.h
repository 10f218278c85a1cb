// The process table: the monitor's picture of the running processes, one row
// per process in first-seen order, and the list operations that keep the
// Processes page's list in step with it (list item i shows row i). A pass also
// brings the thread table of "Show Threads" up to date from the same snapshot.
// Pure: no Windows header.
#ifndef SELVANE_UI_PROCESSES_PROCESS_TABLE_H
#define SELVANE_UI_PROCESSES_PROCESS_TABLE_H

#include <cstddef>
#include <cstdint>

#include "app/constants.h"
#include "ui/processes/list_steps.h"
#include "ui/processes/thread_table.h"

constexpr uint32_t kProcessFigureColumns = 3;  // CPU, CPU Time, Mem Usage

// What the platform could tell of one process through one open handle;
// `figures` holds a FIGURE_* bit for each field that was read.
struct ProcessFigures {
  uint32_t figures;
  uint32_t affinity;
  uint64_t cpuTime;     // 100 ns, kernel + user
  uint64_t workingSet;  // bytes
};

struct ProcessEntry {
  uint32_t flags;      // this pass: 0, ENTRY_NEW, ENTRY_UNSEEN or ENTRY_CHANGED, never combined
  uint32_t processId;  // the key snapshot entries are matched by
  wchar_t name[kProcessNameChars + 1];  // as first seen; always terminated
  uint32_t threadCount;                 // as last seen
  uint32_t affinity;                    // 0 = any processor, n = processor n; read only with 2+ processors
  uint32_t figures;                     // FIGURE_CPU_TIME and FIGURE_MEMORY: this pass could read them
  uint64_t cpuTime;                     // this pass's, 100 ns
  uint64_t workingSet;                  // this pass's, bytes
  uint64_t prevCpuTime;                 // at the last pass, the base of the CPU share; kNoFigure: none
  // What the list shows in CPU, CPU Time and Mem Usage (percent, whole
  // seconds, kilobytes); kNoFigure is an empty text.
  uint64_t shown[kProcessFigureColumns];
};

// One process as a snapshot walk delivers it.
struct SnapshotEntry {
  uint32_t processId;
  uint32_t threadCount;
  wchar_t name[kSnapshotNameChars];  // terminated within the array
};

// One thread as the snapshot's thread walk delivers it.
struct SnapshotThread {
  uint32_t threadId;
  uint32_t ownerId;  // its process
};

struct ProcessTable {
  ProcessEntry rows[kProcessCapacity];  // rows 0..processCount-1 in use, in list order
  uint32_t processCount;
  uint32_t threadTotal;  // threadCount summed over the rows in use after the last pass
  // By process id (row_index.h). Valid between passes and throughout one (a
  // pass only appends until it closes up).
  uint16_t index[kProcessIndexSlots];
  uint32_t lastPassMs;  // tick count of the last pass: the CPU shares are over the time since
  // The list steps of the last pass, in the order the list must take them.
  uint32_t stepCount;
  ListStep steps[kProcessCapacity];
};

// One snapshot and the platform's reads. `wanted` holds the FIGURE_* bits
// to read; a read sets the bits of what it could read and zeroes the rest.
// A process is read once per pass, and so is a thread.
struct ProcessSource {
  void* context;
  bool (*nextProcess)(void* context, SnapshotEntry* entry);  // false when there is none
  bool (*nextThread)(void* context, SnapshotThread* thread);  // the same, after the processes
  void (*readProcess)(void* context, uint32_t processId, uint32_t wanted, ProcessFigures* figures);
  void (*readThread)(void* context, uint32_t threadId, uint32_t wanted, ThreadFigures* figures);
};

struct PassSettings {
  uint32_t processorCount;
  uint32_t nowMs;  // the tick count at this pass
  // A process's CPU time is the sum of its threads' in the snapshot (the
  // device keeps no per-process times).
  uint32_t processTimesFromThreads;
};

// The row of `processId`, or kNoProcessRow.
uint32_t FindProcessRow(const ProcessTable* table, uint32_t processId);

// Matches one snapshot entry to its row by id and updates it (flags 0 or
// ENTRY_CHANGED, figures read), or appends a row flagged ENTRY_NEW. A process
// that finds the table full is left out until a row frees.
void ReconcileProcessEntry(ProcessTable* table, const SnapshotEntry* entry, const PassSettings* settings,
                           const ProcessSource* source);

// The table half of a pass: every row unseen, every walked process
// reconciled, the threads walked when the thread table or the CPU times need
// them, removed rows closed up in one sweep, threadTotal summed, and the list
// steps of both lists recorded. A walk that yields no process leaves both
// tables as they were and records no step. Returns the number of processes walked.
uint32_t UpdateProcessTable(ProcessTable* table, ThreadTable* threads, const ProcessSource* source,
                            const PassSettings* settings);

// The list half: sends the recorded steps to `ops`, formatting each text into
// `text` (`textChars` characters). The list then shows row i as item i.
void SyncProcessList(const ProcessTable* table, const ListOps* ops, wchar_t* text, size_t textChars);

#endif

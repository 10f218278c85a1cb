// The process table: the monitor's picture of the running processes, one row
// per process in first-seen order, and the list operations that keep the
// Processes page's list in step with it (list item i shows row i).
// Pure: no Windows header.
#ifndef SELVANE_UI_PROCESSES_PROCESS_TABLE_H
#define SELVANE_UI_PROCESSES_PROCESS_TABLE_H

#include <cstddef>
#include <cstdint>

#include "app/constants.h"

struct ProcessEntry {
  uint32_t flags;      // this pass: 0, ENTRY_NEW, ENTRY_UNSEEN or ENTRY_CHANGED, never combined
  uint32_t processId;  // the key snapshot entries are matched by
  wchar_t name[kProcessNameChars + 1];  // as first seen; always terminated
  uint32_t threadCount;                 // as last seen
  uint32_t affinity;                    // 0 = any processor, n = processor n; read only with 2+ processors
};

// One process as a snapshot walk delivers it.
struct SnapshotEntry {
  uint32_t processId;
  uint32_t threadCount;
  wchar_t name[kSnapshotNameChars];  // terminated within the array
};

// One list operation of a pass; `item` is the row's index after the pass.
enum ProcessListStepKind : uint32_t {
  kListInsert = 1,  // insert the item and write all its texts
  kListChange,      // rewrite the Threads and Affinity texts
  kListDelete,      // delete the item
};
struct ProcessListStep {
  uint32_t kind;
  uint32_t item;
};

struct ProcessTable {
  ProcessEntry rows[kProcessCapacity];  // rows 0..processCount-1 in use, in list order
  uint32_t processCount;
  uint32_t threadTotal;  // threadCount summed over the rows in use after the last pass
  // Open addressing by process id: row + 1, 0 = free. Valid between passes
  // and throughout one (a pass only appends until it closes up).
  uint16_t index[kProcessIndexSlots];
  // The list steps of the last pass, in the order the list must take them.
  uint32_t stepCount;
  ProcessListStep steps[kProcessCapacity];
};

// The walk over one snapshot: `next` fills `entry` with the next process and
// returns false when there is none.
struct SnapshotWalk {
  void* context;
  bool (*next)(void* context, SnapshotEntry* entry);
};

// Reads a process's affinity; called only with two or more processors.
struct AffinityReader {
  void* context;
  uint32_t (*read)(void* context, uint32_t processId);
};

// Where the list operations go: the page's list view, or a test's record.
struct ProcessListOps {
  void* context;
  void (*insertItem)(void* context, uint32_t item, const wchar_t* name, uint32_t processId);
  void (*setItemText)(void* context, uint32_t item, uint32_t subItem, const wchar_t* text);
  void (*deleteItem)(void* context, uint32_t item);
};

// The row of `processId`, or kNoProcessRow.
uint32_t FindProcessRow(const ProcessTable* table, uint32_t processId);

// Matches one snapshot entry to its row by id and updates it (flags 0 or
// ENTRY_CHANGED), or appends a row flagged ENTRY_NEW. A process that finds the
// table full is left out until a row frees.
void ReconcileProcessEntry(ProcessTable* table, const SnapshotEntry* entry, uint32_t processorCount,
                           const AffinityReader* reader);

// The table half of a pass: every row unseen, every walked entry reconciled,
// removed rows closed up in one sweep, threadTotal summed, and the list steps
// recorded. A walk that yields no entry leaves the table as it was and records
// no step. Returns the number of entries walked.
uint32_t UpdateProcessTable(ProcessTable* table, const SnapshotWalk* walk, uint32_t processorCount,
                            const AffinityReader* reader);

// The list half: sends the recorded steps to `ops`, formatting each text into
// `text` (`textChars` characters). The list then shows row i as item i.
void SyncProcessList(const ProcessTable* table, const ProcessListOps* ops, wchar_t* text, size_t textChars);

#endif

// The thread table: the threads of the process that "Show Threads" chose, one
// row per thread in first-seen order, kept in step with the page's thread list
// (list item i shows row i) by the list model the process table uses too.
// Written only by the sampling thread. Pure: no Windows header.
#ifndef SELVANE_UI_PROCESSES_THREAD_TABLE_H
#define SELVANE_UI_PROCESSES_THREAD_TABLE_H

#include <cstddef>

#include "app/constants.h"
#include "platform/fixed_width.h"
#include "platform/snapshot_entry.h"
#include "ui/processes/list_model.h"

const uint32_t kThreadFigureColumns = 3;  // Priority, CPU, Affinity

struct ThreadEntry {
  uint32_t flags;  // this pass: 0, ENTRY_NEW or ENTRY_UNSEEN
  uint32_t threadId;
  ThreadFigures read;    // this pass's figures
  uint64_t prevCpuTime;  // at the last pass, the base of the CPU share; kNoFigure: none
  // What the list shows in Priority (the level), CPU (percent) and Affinity;
  // kNoFigure is an empty text.
  uint64_t shown[kThreadFigureColumns];
};

struct ThreadTable {
  ThreadEntry rows[kThreadCapacity];  // rows 0..threadCount-1 in use, in list order
  uint32_t threadCount;
  uint32_t ownerChosen;   // a process is chosen ...
  uint32_t ownerId;       // ... and this is it
  uint32_t listedChosen;  // the process the rows belong to
  uint32_t listedOwnerId;
  uint16_t index[kThreadIndexSlots];  // by thread id
  uint32_t lastPassMs;  // the tick count of its last pass: a paused list skips passes
  uint32_t stepCount;
  ListStep steps[2 * kThreadCapacity];  // a change of process first deletes every item
};

// Chooses the process whose threads the next pass lists (`chosen` 0: none).
// A different process's threads replace the rows at that pass.
void SelectThreadOwner(ThreadTable* table, uint32_t chosen, uint32_t processId);

// The three steps of a pass over the chosen process's threads: begin (the
// rows of another process are deleted, the rest marked unseen), one reconcile
// per thread of the snapshot, close up (exits removed in one sweep, figures
// compared with what the list shows, list steps recorded; the CPU shares
// over the time since its last pass, at `nowMs`).
void BeginThreadPass(ThreadTable* table);
void ReconcileThreadEntry(ThreadTable* table, const SnapshotThread* thread);
void CloseUpThreadTable(ThreadTable* table, uint32_t nowMs, uint32_t processorCount, uint32_t machineProcessors);

// Sends the recorded steps to `ops`: TID "%.08X", Priority "%d", CPU "%d",
// Affinity "%d", each text formatted into `text` (`textChars` characters).
void SyncThreadList(const ThreadTable* table, const ListOps* ops, wchar_t* text, size_t textChars);

#endif

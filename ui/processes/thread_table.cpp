#include "ui/processes/thread_table.h"

#include <cwchar>

#include "ui/processes/process_figures.h"

static_assert(kThreadColumnAffinity - kThreadColumnPriority + 1 == kThreadFigureColumns, "the figure columns");

static RowList<ThreadEntry> Rows(ThreadTable* table) {
  return {table->rows,  &table->threadCount, kThreadCapacity, table->index, kThreadIndexBits,
          table->steps, &table->stepCount};
}

static uint64_t* Shown(ThreadEntry* row, int column) { return &row->shown[column - kThreadColumnPriority]; }

// Brings the row's Priority, CPU and Affinity to this pass; the bits of the
// texts that change.
static uint32_t UpdateShownFigures(ThreadEntry* row, uint64_t elapsed, uint32_t processors) {
  const ThreadFigures& read = row->read;
  uint32_t texts =
      ShowFigure(Shown(row, kThreadColumnPriority),
                 (read.figures & FIGURE_PRIORITY) ? static_cast<uint32_t>(read.priority) : kNoFigure,
                 kThreadColumnPriority);
  texts |= ShowCpuShare(Shown(row, kThreadColumnCpu), &row->prevCpuTime, (read.figures & FIGURE_CPU_TIME) != 0,
                        read.cpuTime, elapsed, processors, kThreadColumnCpu);
  // An affinity means something only where the kernel extension set is bound.
  const bool affinity = (read.figures & FIGURE_AFFINITY) != 0 && processors >= 2;
  texts |= ShowFigure(Shown(row, kThreadColumnAffinity), affinity ? read.affinity : kNoFigure, kThreadColumnAffinity);
  return texts;
}

void SelectThreadOwner(ThreadTable* table, uint32_t chosen, uint32_t processId) {
  table->ownerChosen = chosen != 0 ? 1 : 0;
  table->ownerId = chosen != 0 ? processId : 0;
}

uint32_t FindThreadRow(const ThreadTable* table, uint32_t threadId) {
  return FindRow<ThreadEntry, &ThreadEntry::threadId>(table->rows, table->index, kThreadIndexBits, threadId);
}

void BeginThreadPass(ThreadTable* table) {
  table->stepCount = 0;
  if (table->ownerChosen != table->listedChosen || table->ownerId != table->listedOwnerId) {
    // Another process (or none): every item goes, the last first, and its
    // threads come in as new.
    for (uint32_t item = table->threadCount; item > 0; --item) {
      table->steps[table->stepCount++] = ListStep{kListDelete, item - 1, 0};
    }
    table->threadCount = 0;
    std::memset(table->index, 0, sizeof table->index);
    table->listedChosen = table->ownerChosen;
    table->listedOwnerId = table->ownerId;
  }
  MarkRowsUnseen(Rows(table));
}

void ReconcileThreadEntry(ThreadTable* table, const SnapshotThread* thread) {
  bool appended;
  ThreadEntry* row = MatchRow<ThreadEntry, &ThreadEntry::threadId>(Rows(table), thread->threadId, &appended);
  if (row != nullptr) row->read = thread->read;
}

void CloseUpThreadTable(ThreadTable* table, uint64_t elapsed, uint32_t processorCount) {
  CloseUpRows<ThreadEntry, &ThreadEntry::threadId>(
      Rows(table), [&](ThreadEntry* row, uint32_t) { return UpdateShownFigures(row, elapsed, processorCount); });
}

void SyncThreadList(const ThreadTable* table, const ListOps* ops, wchar_t* text, size_t textChars) {
  SyncRows<ThreadEntry, &ThreadEntry::threadId>(
      table->rows, table->steps, table->stepCount, ops, kThreadColumnAffinity, [&](const ThreadEntry& row, uint32_t, int subItem) -> const wchar_t* {
        if (subItem == kThreadColumnTid) {
          return swprintf(text, textChars, L"%.08X", static_cast<unsigned>(row.threadId)) < 0 ? nullptr : text;
        }
        const uint64_t shown = row.shown[subItem - kThreadColumnPriority];
        if (shown == kNoFigure) return L"";
        return DecimalText(text, textChars, static_cast<int>(static_cast<uint32_t>(shown)));
      });
}

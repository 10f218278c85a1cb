#include "ui/processes/thread_table.h"

#include <cwchar>

#include "app/text_format.h"
#include "platform/static_check.h"
#include "ui/processes/process_figures.h"

SELVANE_STATIC_CHECK(kThreadColumnAffinity - kThreadColumnPriority + 1 == kThreadFigureColumns, figure_columns);

static RowList<ThreadEntry> Rows(ThreadTable* table) {
  const RowList<ThreadEntry> rows = {table->rows,      &table->threadCount, kThreadCapacity,  table->index,
                                     kThreadIndexBits, table->steps,        &table->stepCount};
  return rows;
}

static uint64_t* Shown(ThreadEntry* row, int column) { return &row->shown[column - kThreadColumnPriority]; }

// Brings the row's Priority, CPU and Affinity to this pass; the bits of the
// texts that change.
static uint32_t UpdateShownFigures(ThreadEntry* row, uint64_t elapsed, uint32_t processors, uint32_t machine) {
  const ThreadFigures& read = row->read;
  uint32_t texts = ShowFigure(Shown(row, kThreadColumnPriority),
                              (read.figures & FIGURE_PRIORITY) ? static_cast<uint32_t>(read.priority) : kNoFigure,
                              kThreadColumnPriority);
  texts |= ShowCpuShare(Shown(row, kThreadColumnCpu), &row->prevCpuTime, (read.figures & FIGURE_CPU_TIME) != 0,
                        read.cpuTime, elapsed, machine, kThreadColumnCpu);
  // An affinity means something only where the kernel extension set is bound.
  const bool affinity = (read.figures & FIGURE_AFFINITY) != 0 && processors >= 2;
  texts |= ShowFigure(Shown(row, kThreadColumnAffinity), affinity ? read.affinity : kNoFigure, kThreadColumnAffinity);
  return texts;
}

void SelectThreadOwner(ThreadTable* table, uint32_t chosen, uint32_t processId) {
  table->ownerChosen = chosen != 0 ? 1 : 0;
  table->ownerId = chosen != 0 ? processId : 0;
}

void BeginThreadPass(ThreadTable* table) {
  table->stepCount = 0;
  if (table->ownerChosen != table->listedChosen || table->ownerId != table->listedOwnerId) {
    // Another process (or none): every item goes, the last first, and its
    // threads come in as new.
    for (uint32_t item = table->threadCount; item > 0; --item) {
      AddListStep(table->steps, &table->stepCount, kListDelete, item - 1, 0);
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
  if (row != NULL) row->read = thread->read;
}

namespace {

// What closing up the rows brings their figures to.
struct CloseUp {
  uint64_t elapsed;
  uint32_t processorCount;
  uint32_t machineProcessors;
};

}  // namespace

static uint32_t CloseUpRow(void* context, ThreadEntry* row, uint32_t) {
  const CloseUp* closeUp = static_cast<const CloseUp*>(context);
  return UpdateShownFigures(row, closeUp->elapsed, closeUp->processorCount, closeUp->machineProcessors);
}

void CloseUpThreadTable(ThreadTable* table, uint32_t nowMs, uint32_t processorCount, uint32_t machineProcessors) {
  CloseUp closeUp = {static_cast<uint64_t>(nowMs - table->lastPassMs) * kTicksPerMs, processorCount,
                     machineProcessors};
  table->lastPassMs = nowMs;
  CloseUpRows<ThreadEntry, &ThreadEntry::threadId>(Rows(table), CloseUpRow, &closeUp);
}

static const wchar_t* ThreadText(void* context, const ThreadEntry& row, uint32_t, int subItem) {
  const ListTextBuffer* buffer = static_cast<const ListTextBuffer*>(context);
  if (subItem == kThreadColumnTid) {
    return FormatWide(buffer->text, buffer->chars, L"%.08X", static_cast<unsigned>(row.threadId)) < 0 ? NULL
                                                                                                      : buffer->text;
  }
  const uint64_t shown = row.shown[subItem - kThreadColumnPriority];
  if (shown == kNoFigure) return L"";
  return DecimalText(buffer->text, buffer->chars, static_cast<int>(static_cast<uint32_t>(shown)));
}

void SyncThreadList(const ThreadTable* table, const ListOps* ops, wchar_t* text, size_t textChars) {
  ListTextBuffer buffer = {text, textChars};
  SyncRows<ThreadEntry, &ThreadEntry::threadId>(table->rows, table->steps, table->stepCount, ops, kThreadColumnAffinity,
                                                ThreadText, &buffer);
}

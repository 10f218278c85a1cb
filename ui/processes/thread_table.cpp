#include "ui/processes/thread_table.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "ui/processes/process_figures.h"
#include "ui/processes/row_index.h"

static_assert(kThreadIndexSlots >= 2 * kThreadCapacity, "the index stays at most half full");
static_assert(kThreadColumnAffinity - kThreadColumnPriority + 1 == kThreadFigureColumns, "the figure columns");

void SelectThreadOwner(ThreadTable* table, uint32_t chosen, uint32_t processId) {
  table->ownerChosen = chosen != 0 ? 1 : 0;
  table->ownerId = chosen != 0 ? processId : 0;
}

uint32_t FindThreadRow(const ThreadTable* table, uint32_t threadId) {
  return FindIndexedRow<ThreadEntry, &ThreadEntry::threadId>(table->index, kThreadIndexBits, table->rows, threadId);
}

static void IndexThreadRow(ThreadTable* table, uint32_t row) {
  IndexRow<ThreadEntry, &ThreadEntry::threadId>(table->index, kThreadIndexBits, table->rows, row);
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
  for (uint32_t i = 0; i < table->threadCount; ++i) table->rows[i].flags = ENTRY_UNSEEN;
}

void ReconcileThreadEntry(ThreadTable* table, uint32_t threadId, const ThreadFigures* figures) {
  const uint32_t found = FindThreadRow(table, threadId);
  if (found != kNoProcessRow) {
    ThreadEntry* row = &table->rows[found];
    if (row->flags == ENTRY_UNSEEN) row->flags = 0;
    row->read = *figures;
    return;
  }
  if (table->threadCount >= kThreadCapacity) return;  // left out until a row frees
  ThreadEntry* row = &table->rows[table->threadCount];
  row->flags = ENTRY_NEW;
  row->threadId = threadId;
  row->read = *figures;
  row->prevCpuTime = kNoFigure;
  std::fill(row->shown, row->shown + kThreadFigureColumns, kNoFigure);  // a new item's texts are empty
  IndexThreadRow(table, table->threadCount);
  ++table->threadCount;
}

static uint64_t* Shown(ThreadEntry* row, int column) { return &row->shown[column - kThreadColumnPriority]; }
static uint64_t Shown(const ThreadEntry& row, int column) { return row.shown[column - kThreadColumnPriority]; }

static uint32_t UpdateShownFigures(ThreadEntry* row, uint64_t elapsed, uint32_t processors) {
  const ThreadFigures& read = row->read;
  const bool timeKnown = (read.figures & FIGURE_CPU_TIME) != 0;
  uint32_t texts = ShowFigure(Shown(row, kThreadColumnPriority),
                              (read.figures & FIGURE_PRIORITY) ? static_cast<uint32_t>(read.priority) : kNoFigure,
                              kThreadColumnPriority);
  texts |= ShowFigure(Shown(row, kThreadColumnCpu),
                      ShownCpuShare(timeKnown, row->prevCpuTime, read.cpuTime, elapsed, processors),
                      kThreadColumnCpu);
  texts |= ShowFigure(Shown(row, kThreadColumnAffinity),
                      (read.figures & FIGURE_AFFINITY) ? read.affinity : kNoFigure, kThreadColumnAffinity);
  row->prevCpuTime = timeKnown ? read.cpuTime : kNoFigure;
  return texts;
}

void CloseUpThreadTable(ThreadTable* table, uint64_t elapsed, uint32_t processorCount) {
  uint32_t kept = 0;
  for (uint32_t i = 0; i < table->threadCount; ++i) {
    const uint32_t flags = table->rows[i].flags;
    if (flags == ENTRY_UNSEEN) {
      table->steps[table->stepCount++] = ListStep{kListDelete, kept, 0};
      continue;
    }
    if (kept != i) table->rows[kept] = table->rows[i];
    const uint32_t texts = UpdateShownFigures(&table->rows[kept], elapsed, processorCount);
    if (flags == ENTRY_NEW) {
      table->steps[table->stepCount++] = ListStep{kListInsert, kept, texts};
    } else if (texts != 0) {
      table->steps[table->stepCount++] = ListStep{kListChange, kept, texts};
    }
    ++kept;
  }
  table->threadCount = kept;
  std::memset(table->index, 0, sizeof table->index);
  for (uint32_t row = 0; row < kept; ++row) IndexThreadRow(table, row);
}

static void SetThreadText(const ListOps* ops, const ThreadEntry& row, uint32_t item, int subItem, wchar_t* text,
                          size_t textChars) {
  const uint64_t shown = Shown(row, subItem);
  if (shown == kNoFigure) {
    text[0] = L'\0';
  } else if (swprintf(text, textChars, L"%d", static_cast<int>(static_cast<uint32_t>(shown))) < 0) {
    return;
  }
  ops->setItemText(ops->context, item, subItem, text);
}

void SyncThreadList(const ThreadTable* table, const ListOps* ops, wchar_t* text, size_t textChars) {
  for (uint32_t s = 0; s < table->stepCount; ++s) {
    const ListStep step = table->steps[s];
    if (step.kind == kListDelete) {
      ops->deleteItem(ops->context, step.item);
      continue;
    }
    const ThreadEntry& row = table->rows[step.item];
    if (step.kind == kListInsert) {
      if (swprintf(text, textChars, L"%.08X", static_cast<unsigned>(row.threadId)) < 0) text[0] = L'\0';
      ops->insertItem(ops->context, step.item, text, row.threadId);
    }
    for (int subItem = kThreadColumnPriority; subItem <= kThreadColumnAffinity; ++subItem) {
      if (step.texts & TextBit(subItem)) SetThreadText(ops, row, step.item, subItem, text, textChars);
    }
  }
}

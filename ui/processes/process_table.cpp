#include "ui/processes/process_table.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "ui/processes/process_figures.h"
#include "ui/processes/row_index.h"

static_assert(kProcessIndexSlots >= 2 * kProcessCapacity, "the index stays at most half full");
static_assert(kProcessCapacity < 0xFFFFu, "index slots hold row + 1 in 16 bits");
static_assert(kColumnMemUsage - kColumnCpu + 1 == kProcessFigureColumns, "the figure columns are adjacent");

uint32_t FindProcessRow(const ProcessTable* table, uint32_t processId) {
  return FindIndexedRow<ProcessEntry, &ProcessEntry::processId>(table->index, kProcessIndexBits, table->rows,
                                                                processId);
}

static void IndexProcessRow(ProcessTable* table, uint32_t row) {
  IndexRow<ProcessEntry, &ProcessEntry::processId>(table->index, kProcessIndexBits, table->rows, row);
}

// The first kProcessNameChars characters; the rest of the field stays zero,
// so the stored name always ends within it.
static void CopyName(wchar_t* to, const wchar_t* from) {
  uint32_t i = 0;
  for (; i < kProcessNameChars && from[i] != L'\0'; ++i) to[i] = from[i];
  for (; i <= kProcessNameChars; ++i) to[i] = L'\0';
}

static uint32_t WantedProcessFigures(const PassSettings* settings) {
  uint32_t wanted = FIGURE_MEMORY;
  if (!settings->processTimesFromThreads) wanted |= FIGURE_CPU_TIME;
  if (settings->processorCount >= 2) wanted |= FIGURE_AFFINITY;
  return wanted;
}

// A process whose times come from its threads starts at 0 and unknown; the
// thread walk adds to it.
static void StoreFigures(ProcessEntry* row, const ProcessFigures& read) {
  row->figures = read.figures & (FIGURE_CPU_TIME | FIGURE_MEMORY);
  row->cpuTime = (read.figures & FIGURE_CPU_TIME) ? read.cpuTime : 0;
  row->workingSet = (read.figures & FIGURE_MEMORY) ? read.workingSet : 0;
}

// A process that cannot be opened, or whose affinity cannot be read, has affinity 0.
static uint32_t AffinityOf(const ProcessFigures& read) {
  return (read.figures & FIGURE_AFFINITY) ? read.affinity : 0;
}

void ReconcileProcessEntry(ProcessTable* table, const SnapshotEntry* entry, const PassSettings* settings,
                           const ProcessSource* source) {
  const uint32_t wanted = WantedProcessFigures(settings);
  ProcessFigures read = {};
  const uint32_t found = FindProcessRow(table, entry->processId);
  if (found != kNoProcessRow) {
    ProcessEntry* row = &table->rows[found];
    // Only the first match in a walk clears the mark: an id met twice must
    // not lose the insertion or the change the first match recorded.
    if (row->flags == ENTRY_UNSEEN) row->flags = 0;
    if (entry->threadCount != row->threadCount) {
      row->threadCount = entry->threadCount;
      if (row->flags != ENTRY_NEW) row->flags = ENTRY_CHANGED;
    }
    source->readProcess(source->context, entry->processId, wanted, &read);
    if ((wanted & FIGURE_AFFINITY) && AffinityOf(read) != row->affinity) {
      row->affinity = AffinityOf(read);
      if (row->flags != ENTRY_NEW) row->flags = ENTRY_CHANGED;
    }
    StoreFigures(row, read);
    return;
  }
  if (table->processCount >= kProcessCapacity) return;  // left out until a row frees
  source->readProcess(source->context, entry->processId, wanted, &read);
  const uint32_t appended = table->processCount;
  ProcessEntry* row = &table->rows[appended];
  row->flags = ENTRY_NEW;
  row->processId = entry->processId;
  row->threadCount = entry->threadCount;
  row->affinity = (wanted & FIGURE_AFFINITY) ? AffinityOf(read) : 0;
  CopyName(row->name, entry->name);
  StoreFigures(row, read);
  row->prevCpuTime = kNoFigure;
  std::fill(row->shown, row->shown + kProcessFigureColumns, kNoFigure);  // a new item's texts are empty
  table->processCount = appended + 1;
  IndexProcessRow(table, appended);
}

// The threads of the snapshot, each read once: for the thread list when its
// process is listed, and for its process's CPU time where the platform keeps
// times per thread only.
static void WalkThreads(ProcessTable* table, ThreadTable* threads, const ProcessSource* source,
                        const PassSettings* settings) {
  const bool listing = threads->listedChosen != 0;
  if (!listing && !settings->processTimesFromThreads) return;
  const uint32_t listedWanted =
      FIGURE_CPU_TIME | FIGURE_PRIORITY | (settings->processorCount >= 2 ? FIGURE_AFFINITY : 0);
  SnapshotThread thread;
  while (source->nextThread(source->context, &thread)) {
    const bool listed = listing && thread.ownerId == threads->listedOwnerId;
    const uint32_t owner =
        settings->processTimesFromThreads ? FindProcessRow(table, thread.ownerId) : kNoProcessRow;
    const uint32_t wanted = (listed ? listedWanted : 0) | (owner != kNoProcessRow ? FIGURE_CPU_TIME : 0);
    if (wanted == 0) continue;
    ThreadFigures read = {};
    source->readThread(source->context, thread.threadId, wanted, &read);
    if (owner != kNoProcessRow && (read.figures & FIGURE_CPU_TIME)) {
      table->rows[owner].cpuTime += read.cpuTime;
      table->rows[owner].figures |= FIGURE_CPU_TIME;
    }
    if (listed) ReconcileThreadEntry(threads, thread.threadId, &read);
  }
}

// What the list shows in figure column `column` (kColumnCpu..kColumnMemUsage).
static uint64_t* Shown(ProcessEntry* row, int column) { return &row->shown[column - kColumnCpu]; }
static uint64_t Shown(const ProcessEntry& row, int column) { return row.shown[column - kColumnCpu]; }

// Brings the row's CPU, CPU Time and Mem Usage figures to this pass; returns
// the bits of the texts that change.
static uint32_t UpdateShownFigures(ProcessEntry* row, uint64_t elapsed, uint32_t processors) {
  const bool timeKnown = (row->figures & FIGURE_CPU_TIME) != 0;
  uint32_t texts = ShowFigure(Shown(row, kColumnCpu),
                              ShownCpuShare(timeKnown, row->prevCpuTime, row->cpuTime, elapsed, processors),
                              kColumnCpu);
  texts |= ShowFigure(Shown(row, kColumnCpuTime), timeKnown ? row->cpuTime / kTicksPerSecond : kNoFigure,
                      kColumnCpuTime);
  texts |= ShowFigure(Shown(row, kColumnMemUsage),
                      (row->figures & FIGURE_MEMORY) ? row->workingSet / kBytesPerKilobyte : kNoFigure,
                      kColumnMemUsage);
  row->prevCpuTime = timeKnown ? row->cpuTime : kNoFigure;
  return texts;
}

constexpr uint32_t kInsertTexts =
    TextBit(kColumnId) | TextBit(kColumnPid) | TextBit(kColumnThreads) | TextBit(kColumnAffinity);
constexpr uint32_t kCountTexts = TextBit(kColumnThreads) | TextBit(kColumnAffinity);

// Walks the rows once: records each row's list step at the index it ends up
// at, moves each kept row down over the removed ones, and sums the threads.
// The steps are those of removing rows one at a time without advancing.
static void CloseUpProcessTable(ProcessTable* table, uint64_t elapsed, uint32_t processors) {
  uint32_t kept = 0;
  uint32_t threads = 0;
  table->stepCount = 0;
  for (uint32_t i = 0; i < table->processCount; ++i) {
    const uint32_t flags = table->rows[i].flags;
    uint32_t kind = kListChange;
    uint32_t texts = 0;
    if (flags & ENTRY_NEW) {
      kind = kListInsert;
      texts = kInsertTexts;
    } else if (flags & ENTRY_UNSEEN) {
      table->steps[table->stepCount++] = ListStep{kListDelete, kept, 0};
      continue;
    } else if (flags & ENTRY_CHANGED) {
      texts = kCountTexts;
    }
    if (kept != i) table->rows[kept] = table->rows[i];
    texts |= UpdateShownFigures(&table->rows[kept], elapsed, processors);
    if (kind == kListInsert || texts != 0) table->steps[table->stepCount++] = ListStep{kind, kept, texts};
    threads += table->rows[kept].threadCount;
    ++kept;
  }
  table->processCount = kept;
  table->threadTotal = threads;
  std::memset(table->index, 0, sizeof table->index);
  for (uint32_t row = 0; row < kept; ++row) IndexProcessRow(table, row);
}

uint32_t UpdateProcessTable(ProcessTable* table, ThreadTable* threads, const ProcessSource* source,
                            const PassSettings* settings) {
  SnapshotEntry entry;
  table->stepCount = 0;
  threads->stepCount = 0;
  // A snapshot that could not be walked says nothing about which processes
  // exited: the tables and the lists stay as they are.
  if (!source->nextProcess(source->context, &entry)) return 0;
  for (uint32_t i = 0; i < table->processCount; ++i) table->rows[i].flags = ENTRY_UNSEEN;
  uint32_t walked = 0;
  do {
    ReconcileProcessEntry(table, &entry, settings, source);
    ++walked;
  } while (source->nextProcess(source->context, &entry));

  // The thread list empties when its process has exited.
  if (threads->ownerChosen) {
    const uint32_t owner = FindProcessRow(table, threads->ownerId);
    if (owner == kNoProcessRow || table->rows[owner].flags == ENTRY_UNSEEN) SelectThreadOwner(threads, 0, 0);
  }
  BeginThreadPass(threads);
  WalkThreads(table, threads, source, settings);

  const uint64_t elapsed = static_cast<uint64_t>(settings->nowMs - table->lastPassMs) * kTicksPerMs;
  table->lastPassMs = settings->nowMs;
  CloseUpProcessTable(table, elapsed, settings->processorCount);
  CloseUpThreadTable(threads, elapsed, settings->processorCount);
  return walked;
}

static void SetDecimalText(const ListOps* ops, uint32_t item, uint32_t subItem, int value, wchar_t* text,
                           size_t textChars) {
  if (swprintf(text, textChars, L"%d", value) < 0) return;
  ops->setItemText(ops->context, item, subItem, text);
}

static void SetProcessText(const ListOps* ops, const ProcessEntry& row, uint32_t item, int subItem, wchar_t* text,
                           size_t textChars) {
  if (subItem >= kColumnCpu && subItem <= kColumnMemUsage && Shown(row, subItem) == kNoFigure) {
    ops->setItemText(ops->context, item, subItem, L"");
    return;
  }
  switch (subItem) {
    case kColumnId:  // the item's index at insertion, never rewritten
      SetDecimalText(ops, item, subItem, static_cast<int>(item), text, textChars);
      return;
    case kColumnPid:
      if (swprintf(text, textChars, L"%.08X", static_cast<unsigned>(row.processId)) < 0) return;
      break;
    case kColumnCpu:
      SetDecimalText(ops, item, subItem, static_cast<int>(Shown(row, kColumnCpu)), text, textChars);
      return;
    case kColumnCpuTime:
      FormatCpuTime(text, textChars, Shown(row, kColumnCpuTime) * kTicksPerSecond);
      break;
    case kColumnMemUsage:
      FormatMemUsage(text, textChars, Shown(row, kColumnMemUsage) * kBytesPerKilobyte);
      break;
    case kColumnThreads:
      SetDecimalText(ops, item, subItem, static_cast<int>(row.threadCount), text, textChars);
      return;
    case kColumnAffinity:
      SetDecimalText(ops, item, subItem, static_cast<int>(row.affinity), text, textChars);
      return;
    default:
      return;
  }
  ops->setItemText(ops->context, item, subItem, text);
}

void SyncProcessList(const ProcessTable* table, const ListOps* ops, wchar_t* text, size_t textChars) {
  for (uint32_t s = 0; s < table->stepCount; ++s) {
    const ListStep step = table->steps[s];
    if (step.kind == kListDelete) {
      ops->deleteItem(ops->context, step.item);
      continue;
    }
    const ProcessEntry& row = table->rows[step.item];
    if (step.kind == kListInsert) ops->insertItem(ops->context, step.item, row.name, row.processId);
    for (int subItem = kColumnId; subItem <= kColumnAffinity; ++subItem) {
      if (step.texts & TextBit(subItem)) SetProcessText(ops, row, step.item, subItem, text, textChars);
    }
  }
}

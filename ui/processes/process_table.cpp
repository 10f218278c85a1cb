#include "ui/processes/process_table.h"

#include <cwchar>

#include "app/text_format.h"
#include "platform/static_check.h"
#include "ui/processes/process_figures.h"

SELVANE_STATIC_CHECK(kColumnMemUsage - kColumnCpu + 1 == kProcessFigureColumns, figure_columns_adjacent);

static RowList<ProcessEntry> Rows(ProcessTable* table) {
  // The list's steps come from its view.
  const RowList<ProcessEntry> rows = {table->rows, &table->processCount, kProcessCapacity, table->index,
                                      kProcessIndexBits, NULL, NULL};
  return rows;
}

// The first kProcessNameChars characters; the rest of the field stays zero,
// so the stored name always ends within it.
static void CopyName(wchar_t* to, const wchar_t* from) {
  uint32_t i = 0;
  for (; i < kProcessNameChars && from[i] != L'\0'; ++i) to[i] = from[i];
  for (; i <= kProcessNameChars; ++i) to[i] = L'\0';
}

// A process whose times come from its threads starts at 0 and unknown; the
// threads of the reading add to it.
static void StoreFigures(ProcessEntry* row, const ProcessReading& entry, const PassSettings* settings) {
  uint32_t figures = entry.figures & (FIGURE_CPU_TIME | FIGURE_MEMORY);
  if (settings->processTimesFromThreads) figures &= ~FIGURE_CPU_TIME;
  row->figures = figures;
  row->cpuTime = (figures & FIGURE_CPU_TIME) ? entry.cpuTime : 0;
  row->workingSet = (figures & FIGURE_MEMORY) ? entry.workingSet : 0;
}

static uint64_t* Shown(ProcessEntry* row, int column) { return &row->shown[column - kColumnCpu]; }

// Brings the row's CPU, CPU Time and Mem Usage figures to this pass; returns
// the bits of the texts that change.
static uint32_t UpdateShownFigures(ProcessEntry* row, uint64_t elapsed, uint32_t processors) {
  const bool timeKnown = (row->figures & FIGURE_CPU_TIME) != 0;
  uint32_t texts =
      ShowCpuShare(Shown(row, kColumnCpu), &row->prevCpuTime, timeKnown, row->cpuTime, elapsed, processors, kColumnCpu);
  texts |=
      ShowFigure(Shown(row, kColumnCpuTime), timeKnown ? row->cpuTime / kTicksPerSecond : kNoFigure, kColumnCpuTime);
  texts |=
      ShowFigure(Shown(row, kColumnMemUsage),
                 (row->figures & FIGURE_MEMORY) ? row->workingSet / kBytesPerKilobyte : kNoFigure, kColumnMemUsage);
  return texts;
}

namespace {

// What closing up a pass's rows works with and sums.
struct CloseUp {
  uint64_t elapsed;
  uint32_t machineProcessors;
  uint32_t threadSum;
};

}  // namespace

// A kept row's figures brought to this pass.
static uint32_t CloseUpRow(void* context, ProcessEntry* row, uint32_t) {
  CloseUp* closeUp = static_cast<CloseUp*>(context);
  closeUp->threadSum += row->threadCount;
  return UpdateShownFigures(row, closeUp->elapsed, closeUp->machineProcessors);
}

// Adds `cpuTime` to the row of process `processId`, if it has one.
static void AddProcessTime(ProcessTable* table, uint32_t processId, uint64_t cpuTime, bool exited) {
  const uint32_t owner = FindProcessRow(table, processId);
  if (owner == kNoProcessRow) return;
  ProcessEntry* row = &table->rows[owner];
  if (exited) row->exitedCpuTime += cpuTime;
  row->cpuTime += cpuTime;
  row->figures |= FIGURE_CPU_TIME;
}

static void TakeExitedThread(void* context, const ThreadTime& thread) {
  AddProcessTime(static_cast<ProcessTable*>(context), thread.ownerId, thread.cpuTime, true);
}

// Where the platform keeps times per thread only: each process's time is
// what its exited threads used and its live threads' times summed.
static void SumThreadTimes(ProcessTable* table, const PassReading* reading) {
  // What exited threads used before this pass.
  for (uint32_t row = 0; row < table->processCount; ++row) {
    if (table->rows[row].exitedCpuTime == 0) continue;
    table->rows[row].cpuTime = table->rows[row].exitedCpuTime;
    table->rows[row].figures |= FIGURE_CPU_TIME;
  }
  PassThreadTimes* times = &table->threadTimes;
  AdvanceThreadTimes(times, reading->threads, reading->threadCount, TakeExitedThread, table);
  for (uint32_t i = 0; i < times->nowCount; ++i) {
    if (times->now[i].cpuTime != kNoFigure) AddProcessTime(table, times->now[i].ownerId, times->now[i].cpuTime, false);
  }
}

// The read threads: summed into their processes' times where the platform
// keeps times per thread only, and reconciled with the thread table when
// their process is the listed one.
static void TakeThreads(ProcessTable* table, ThreadTable* threads, const PassReading* reading,
                        const PassSettings* settings, bool listThreads) {
  if (settings->processTimesFromThreads) SumThreadTimes(table, reading);
  for (uint32_t i = 0; listThreads && i < reading->threadCount; ++i) {
    const SnapshotThread& thread = reading->threads[i];
    if (threads->listedChosen && thread.ownerId == threads->listedOwnerId) ReconcileThreadEntry(threads, &thread);
  }
}

uint32_t FindProcessRow(const ProcessTable* table, uint32_t processId) {
  return FindRow<ProcessEntry, &ProcessEntry::processId>(table->rows, table->index, kProcessIndexBits, processId);
}

bool CopyProcessRow(const StateLock* lock, const ProcessTable* table, uint32_t processId, ProcessEntry* row) {
  EnterStateLock(lock);
  const uint32_t found = FindProcessRow(table, processId);
  if (found != kNoProcessRow) *row = table->rows[found];
  LeaveStateLock(lock);
  return found != kNoProcessRow;
}

bool AddReadProcess(PassReading* reading, const SnapshotEntry& entry) {
  if (reading->processCount >= kProcessCapacity) return false;
  const uint32_t at = reading->processCount++;
  ProcessReading* read = &reading->processes[at];
  read->processId = entry.processId;
  read->threadCount = entry.threadCount;
  read->figures = entry.figures;
  read->affinity = entry.affinity;
  read->cpuTime = entry.cpuTime;
  read->workingSet = entry.workingSet;
  // The name up to its terminator, which the walk puts within the field.
  wchar_t* name = reading->names[at];
  uint32_t i = 0;
  for (; i < kSnapshotNameChars - 1 && entry.name[i] != L'\0'; ++i) name[i] = entry.name[i];
  name[i] = L'\0';
  return true;
}

void ReconcileProcessEntry(ProcessTable* table, const ProcessReading* entry, const wchar_t* name,
                           const PassSettings* settings) {
  bool appended;
  ProcessEntry* row = MatchRow<ProcessEntry, &ProcessEntry::processId>(Rows(table), entry->processId, &appended);
  if (row == NULL) return;  // the table is full
  const bool multi = settings->processorCount >= 2;
  if (appended) {
    row->serial = ++table->lastSerial;
    if (row->serial == 0) row->serial = ++table->lastSerial;  // 0 names no row
    // The ID counts listings from 0 and is never given twice: a table row
    // is reused at once, while an ended process stays listed a while.
    row->listId = row->serial - 1;
    row->threadCount = entry->threadCount;
    row->affinity = multi ? entry->affinity : 0;
    row->exitedCpuTime = 0;
    CopyName(row->name, name);
  } else {
    // A row appended earlier in this walk keeps its insertion.
    const bool changed = entry->threadCount != row->threadCount || (multi && entry->affinity != row->affinity);
    row->threadCount = entry->threadCount;
    if (multi) row->affinity = entry->affinity;
    if (changed && row->flags != ENTRY_NEW) row->flags = ENTRY_CHANGED;
  }
  StoreFigures(row, *entry, settings);
}

void UpdateProcessTable(ProcessTable* table, ThreadTable* threads, const PassReading* reading,
                        const PassSettings* settings) {
  threads->stepCount = 0;
  // A snapshot that could not be walked says nothing about which processes
  // exited: the tables and the lists stay as they are.
  if (reading->processCount == 0) return;
  const RowList<ProcessEntry> rows = Rows(table);
  MarkRowsUnseen(rows);
  for (uint32_t i = 0; i < reading->processCount; ++i) {
    ReconcileProcessEntry(table, &reading->processes[i], reading->names[i], settings);
  }

  // The thread list empties when its process has exited.
  if (threads->ownerChosen) {
    const uint32_t owner = FindProcessRow(table, threads->ownerId);
    if (owner == kNoProcessRow || table->rows[owner].flags == ENTRY_UNSEEN) SelectThreadOwner(threads, 0, 0);
  }
  // Paused, the thread list still takes the process the menu has just chosen
  // (one that exits leaves its rows until the list runs again).
  const bool newlyChosen =
      threads->ownerChosen != 0 && (threads->listedChosen == 0 || threads->ownerId != threads->listedOwnerId);
  const bool listThreads = settings->listsPaused == 0 || newlyChosen;
  if (listThreads) BeginThreadPass(threads);
  TakeThreads(table, threads, reading, settings, listThreads);

  CloseUp closeUp;
  closeUp.elapsed = static_cast<uint64_t>(settings->nowMs - table->lastPassMs) * kTicksPerMs;
  closeUp.machineProcessors = settings->machineProcessors;
  closeUp.threadSum = 0;
  table->lastPassMs = settings->nowMs;
  CloseUpRows<ProcessEntry, &ProcessEntry::processId>(rows, CloseUpRow, &closeUp);
  table->threadTotal = closeUp.threadSum;
  if (listThreads) {
    CloseUpThreadTable(threads, settings->nowMs, settings->processorCount, settings->machineProcessors);
  }
}

#include "ui/processes/process_table.h"

#include <cstring>
#include <cwchar>

static_assert(kProcessIndexSlots >= 2 * kProcessCapacity, "the index stays at most half full");
static_assert(kProcessCapacity < 0xFFFFu, "index slots hold row + 1 in 16 bits");

static uint32_t IndexSlot(uint32_t processId) {
  return (processId * kProcessIdHashMultiplier) >> (32 - kProcessIndexBits);
}

static uint32_t NextSlot(uint32_t slot) { return (slot + 1) & (kProcessIndexSlots - 1); }

static void IndexRow(ProcessTable* table, uint32_t row) {
  uint32_t slot = IndexSlot(table->rows[row].processId);
  while (table->index[slot] != 0) slot = NextSlot(slot);
  table->index[slot] = static_cast<uint16_t>(row + 1);
}

uint32_t FindProcessRow(const ProcessTable* table, uint32_t processId) {
  for (uint32_t slot = IndexSlot(processId); table->index[slot] != 0; slot = NextSlot(slot)) {
    const uint32_t row = table->index[slot] - 1u;
    if (table->rows[row].processId == processId) return row;
  }
  return kNoProcessRow;
}

// The first kProcessNameChars characters; the rest of the field stays zero,
// so the stored name always ends within it.
static void CopyName(wchar_t* to, const wchar_t* from) {
  uint32_t i = 0;
  for (; i < kProcessNameChars && from[i] != L'\0'; ++i) to[i] = from[i];
  for (; i <= kProcessNameChars; ++i) to[i] = L'\0';
}

void ReconcileProcessEntry(ProcessTable* table, const SnapshotEntry* entry, uint32_t processorCount,
                           const AffinityReader* reader) {
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
    if (processorCount >= 2) {
      const uint32_t affinity = reader->read(reader->context, entry->processId);
      if (affinity != row->affinity) {
        row->affinity = affinity;
        if (row->flags != ENTRY_NEW) row->flags = ENTRY_CHANGED;
      }
    }
    return;
  }
  if (table->processCount >= kProcessCapacity) return;  // left out until a row frees
  const uint32_t appended = table->processCount;
  ProcessEntry* row = &table->rows[appended];
  row->flags = ENTRY_NEW;
  row->processId = entry->processId;
  row->threadCount = entry->threadCount;
  row->affinity = processorCount >= 2 ? reader->read(reader->context, entry->processId) : 0;
  CopyName(row->name, entry->name);
  table->processCount = appended + 1;
  IndexRow(table, appended);
}

// Walks the rows once: records each row's list step at the index it ends up
// at, moves each kept row down over the removed ones, and sums the threads.
// The steps are those of removing rows one at a time without advancing.
static void CloseUpProcessTable(ProcessTable* table) {
  uint32_t kept = 0;
  uint32_t threads = 0;
  table->stepCount = 0;
  for (uint32_t i = 0; i < table->processCount; ++i) {
    const uint32_t flags = table->rows[i].flags;
    uint32_t kind = 0;
    if (flags & ENTRY_NEW) {
      kind = kListInsert;
    } else if (flags & ENTRY_UNSEEN) {
      table->steps[table->stepCount++] = ProcessListStep{kListDelete, kept};
      continue;
    } else if (flags & ENTRY_CHANGED) {
      kind = kListChange;
    }
    if (kind != 0) table->steps[table->stepCount++] = ProcessListStep{kind, kept};
    if (kept != i) table->rows[kept] = table->rows[i];
    threads += table->rows[kept].threadCount;
    ++kept;
  }
  table->processCount = kept;
  table->threadTotal = threads;
  std::memset(table->index, 0, sizeof table->index);
  for (uint32_t row = 0; row < kept; ++row) IndexRow(table, row);
}

uint32_t UpdateProcessTable(ProcessTable* table, const SnapshotWalk* walk, uint32_t processorCount,
                            const AffinityReader* reader) {
  SnapshotEntry entry;
  table->stepCount = 0;
  // A snapshot that could not be walked says nothing about which processes
  // exited: the table and the list stay as they are.
  if (!walk->next(walk->context, &entry)) return 0;
  for (uint32_t i = 0; i < table->processCount; ++i) table->rows[i].flags = ENTRY_UNSEEN;
  uint32_t walked = 0;
  do {
    ReconcileProcessEntry(table, &entry, processorCount, reader);
    ++walked;
  } while (walk->next(walk->context, &entry));
  CloseUpProcessTable(table);
  return walked;
}

static void SetDecimalText(const ProcessListOps* ops, uint32_t item, uint32_t subItem, uint32_t value,
                           wchar_t* text, size_t textChars) {
  if (swprintf(text, textChars, L"%d", static_cast<int>(value)) < 0) return;
  ops->setItemText(ops->context, item, subItem, text);
}

static void SetCountTexts(const ProcessListOps* ops, uint32_t item, const ProcessEntry& row, wchar_t* text,
                          size_t textChars) {
  SetDecimalText(ops, item, kColumnThreads, row.threadCount, text, textChars);
  SetDecimalText(ops, item, kColumnAffinity, row.affinity, text, textChars);
}

void SyncProcessList(const ProcessTable* table, const ProcessListOps* ops, wchar_t* text, size_t textChars) {
  for (uint32_t s = 0; s < table->stepCount; ++s) {
    const ProcessListStep step = table->steps[s];
    const ProcessEntry& row = table->rows[step.item];
    switch (step.kind) {
      case kListInsert:
        ops->insertItem(ops->context, step.item, row.name, row.processId);
        // The ID is the item's index at insertion and is never rewritten.
        SetDecimalText(ops, step.item, kColumnId, step.item, text, textChars);
        if (swprintf(text, textChars, L"%.08X", static_cast<unsigned>(row.processId)) >= 0) {
          ops->setItemText(ops->context, step.item, kColumnPid, text);
        }
        SetCountTexts(ops, step.item, row, text, textChars);
        break;
      case kListChange:
        SetCountTexts(ops, step.item, row, text, textChars);
        break;
      case kListDelete:
        ops->deleteItem(ops->context, step.item);
        break;
      default:
        break;
    }
  }
}

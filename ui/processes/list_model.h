// The list model the process table and the thread table share. A table keeps
// its rows in first-seen order with the gaps of removed rows closed up, and
// list item i always shows row i. A pass marks every row unseen, matches each
// walked id to its row (or appends one, flagged ENTRY_NEW), then closes up in
// one sweep, recording the list steps that bring the list into step; the
// steps go to the list after the tables' lock is released. Rows are found by
// id through an open-addressing index kept at most half full.
//
// A row type has `uint32_t flags`, an id member (the template's `Id`),
// `uint64_t prevCpuTime` and `uint64_t shown[]` (what its figure columns show;
// kNoFigure is an empty text). Pure: no Windows header.
#ifndef SELVANE_UI_PROCESSES_LIST_MODEL_H
#define SELVANE_UI_PROCESSES_LIST_MODEL_H

#include <cstddef>
#include <cstring>

#include "app/constants.h"
#include "platform/fixed_width.h"
#include "platform/static_check.h"

// One list operation of a pass; `item` is the row's index after the pass.
enum ListStepKind {
  kListInsert = 1,  // insert the item, then write the texts of `texts`
  kListChange,      // rewrite the texts of `texts`
  kListDelete,      // delete the item
  kListRedraw       // draw the item again: its mark changed (`texts` 1: to ended)
};
struct ListStep {
  uint32_t kind;
  uint32_t item;
  uint32_t texts;  // bit k: write sub-item k
};

// Where the steps go: the page's list view, or a test's record.
struct ListOps {
  void* context;
  // Inserts item `item` with `text` as its first column; `id` names what it
  // shows and is kept with the item; `state` is the selection and focus of
  // an item that moves (what deleteItem returned), else 0.
  void (*insertItem)(void* context, uint32_t item, const wchar_t* text, uint32_t id, uint32_t state);
  void (*setItemText)(void* context, uint32_t item, uint32_t subItem, const wchar_t* text);
  // Deletes the item; returns its selection and focus. An item that `moves`
  // (inserted again in the same pass) gives its focus to no other item.
  uint32_t (*deleteItem)(void* context, uint32_t item, bool moves);
  // Draws the item again; `ended`: its process has just ended, and the item
  // keeps no selection (nothing can act on it), so its mark shows.
  void (*redrawItem)(void* context, uint32_t item, bool ended);
};

// Where a list's sub-item texts are formatted.
struct ListTextBuffer {
  wchar_t* text;
  size_t chars;
};

inline uint32_t TextBit(int subItem) { return 1u << subItem; }

// Appends one step to a pass's steps.
inline void AddListStep(ListStep* steps, uint32_t* stepCount, uint32_t kind, uint32_t item, uint32_t texts) {
  ListStep* step = &steps[(*stepCount)++];
  step->kind = kind;
  step->item = item;
  step->texts = texts;
}

// Makes `*shown` (what a list column shows) `value`; the column's bit when
// that changes its text, else 0.
inline uint32_t ShowFigure(uint64_t* shown, uint64_t value, int subItem) {
  if (*shown == value) return 0;
  *shown = value;
  return TextBit(subItem);
}

// One table as the model works on it.
template <typename Row>
struct RowList {
  Row* rows;
  uint32_t* count;  // rows in use
  uint32_t capacity;
  uint16_t* index;  // 1 << indexBits slots, each row + 1 (0: free)
  uint32_t indexBits;
  ListStep* steps;  // the last pass's, in the order the list must take them
  uint32_t* stepCount;
};

// Both tables' indexes stay at most half full, and a slot's row + 1 fits its 16 bits.
SELVANE_STATIC_CHECK(kProcessIndexSlots >= 2 * kProcessCapacity && kProcessCapacity < 0xFFFFu, process_index);
SELVANE_STATIC_CHECK(kThreadIndexSlots >= 2 * kThreadCapacity && kThreadCapacity < 0xFFFFu, thread_index);

inline uint32_t RowIndexSlot(uint32_t id, uint32_t bits) { return (id * kProcessIdHashMultiplier) >> (32 - bits); }

inline uint32_t NextRowIndexSlot(uint32_t slot, uint32_t bits) { return (slot + 1) & ((1u << bits) - 1); }

template <typename Row, uint32_t Row::*Id>
void IndexRow(const RowList<Row>& list, uint32_t row) {
  uint32_t slot = RowIndexSlot(list.rows[row].*Id, list.indexBits);
  while (list.index[slot] != 0) slot = NextRowIndexSlot(slot, list.indexBits);
  list.index[slot] = static_cast<uint16_t>(row + 1);
}

// The row whose id is `id`, or kNoProcessRow.
template <typename Row, uint32_t Row::*Id>
uint32_t FindRow(const Row* rows, const uint16_t* index, uint32_t indexBits, uint32_t id) {
  for (uint32_t slot = RowIndexSlot(id, indexBits); index[slot] != 0; slot = NextRowIndexSlot(slot, indexBits)) {
    const uint32_t row = index[slot] - 1u;
    if (rows[row].*Id == id) return row;
  }
  return kNoProcessRow;
}

template <typename Row>
void MarkRowsUnseen(const RowList<Row>& list) {
  for (uint32_t i = 0; i < *list.count; ++i) list.rows[i].flags = ENTRY_UNSEEN;
}

// The row of `id`, or a row appended for it: flagged ENTRY_NEW, showing no
// figure, with no CPU time before (`*appended` tells which; the caller fills
// the rest of a new row). Only the first match of a walk clears the unseen
// mark, so an id met twice does not lose what the first match recorded.
// Null when the table is full: the id is left out until a row frees.
template <typename Row, uint32_t Row::*Id>
Row* MatchRow(const RowList<Row>& list, uint32_t id, bool* appended) {
  const uint32_t found = FindRow<Row, Id>(list.rows, list.index, list.indexBits, id);
  *appended = found == kNoProcessRow;
  if (found != kNoProcessRow) {
    Row* row = &list.rows[found];
    if (row->flags == ENTRY_UNSEEN) row->flags = 0;
    return row;
  }
  if (*list.count >= list.capacity) return NULL;
  const uint32_t at = *list.count;
  Row* row = &list.rows[at];
  row->flags = ENTRY_NEW;
  row->*Id = id;
  row->prevCpuTime = kNoFigure;
  // A new item's figure texts are empty.
  for (size_t k = 0; k < sizeof row->shown / sizeof row->shown[0]; ++k) row->shown[k] = kNoFigure;
  *list.count = at + 1;
  IndexRow<Row, Id>(list, at);
  return row;
}

// Removes the unseen rows in one sweep: each kept row moves down over the
// removed ones, and its step is recorded at the index it ends up at, with the
// texts `texts(context, row, flags)` returns: an insertion for a new row, a
// change when any text changes. The steps are those of removing rows one at a
// time without advancing. Then the index is rebuilt.
// A list without steps (null `steps`) records none: its own view does.
template <typename Row, uint32_t Row::*Id>
void CloseUpRows(const RowList<Row>& list, uint32_t (*texts)(void* context, Row* row, uint32_t flags), void* context) {
  uint32_t kept = 0;
  for (uint32_t i = 0; i < *list.count; ++i) {
    const uint32_t flags = list.rows[i].flags;
    if (flags == ENTRY_UNSEEN) {
      if (list.steps != NULL) AddListStep(list.steps, list.stepCount, kListDelete, kept, 0);
      continue;
    }
    if (kept != i) list.rows[kept] = list.rows[i];
    const uint32_t changed = texts(context, &list.rows[kept], flags);
    if (list.steps != NULL && flags == ENTRY_NEW) {
      AddListStep(list.steps, list.stepCount, kListInsert, kept, changed);
    } else if (list.steps != NULL && changed != 0) {
      AddListStep(list.steps, list.stepCount, kListChange, kept, changed);
    }
    ++kept;
  }
  *list.count = kept;
  std::memset(list.index, 0, (static_cast<size_t>(1) << list.indexBits) * sizeof list.index[0]);
  for (uint32_t row = 0; row < kept; ++row) IndexRow<Row, Id>(list, row);
}

// Sends the `stepCount` recorded steps to `ops`. `text(context, row, item,
// subItem)` gives a sub-item's text (sub-item 0 on insertion), or null to
// leave it unwritten.
template <typename Row, uint32_t Row::*Id>
void SyncRows(const Row* rows, const ListStep* steps, uint32_t stepCount, const ListOps* ops, int lastSubItem,
              const wchar_t* (*text)(void* context, const Row& row, uint32_t item, int subItem), void* context) {
  for (uint32_t s = 0; s < stepCount; ++s) {
    const ListStep step = steps[s];
    if (step.kind == kListDelete) {
      ops->deleteItem(ops->context, step.item, false);
      continue;
    }
    const Row& row = rows[step.item];
    if (step.kind == kListInsert) {
      const wchar_t* first = text(context, row, step.item, 0);
      ops->insertItem(ops->context, step.item, first != NULL ? first : L"", row.*Id, 0);
    }
    for (int subItem = 1; subItem <= lastSubItem; ++subItem) {
      if ((step.texts & TextBit(subItem)) == 0) continue;
      const wchar_t* shown = text(context, row, step.item, subItem);
      if (shown != NULL) ops->setItemText(ops->context, step.item, static_cast<uint32_t>(subItem), shown);
    }
  }
}

#endif

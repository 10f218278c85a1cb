// The list operations a pass records for a list view (the process list or
// the thread list) and the interface they are sent through: the page's list
// view, or a test's record. Pure: no Windows header.
#ifndef SELVANE_UI_PROCESSES_LIST_STEPS_H
#define SELVANE_UI_PROCESSES_LIST_STEPS_H

#include <cstdint>

#include "app/constants.h"

// One list operation of a pass; `item` is the row's index after the pass.
enum ListStepKind : uint32_t {
  kListInsert = 1,  // insert the item, then write the texts of `texts`
  kListChange,      // rewrite the texts of `texts`
  kListDelete,      // delete the item
};
struct ListStep {
  uint32_t kind;
  uint32_t item;
  uint32_t texts;  // bit k: write sub-item k
};

struct ListOps {
  void* context;
  // Inserts item `item` with `text` as its first column; `id` is the process
  // or thread it shows, kept with the item.
  void (*insertItem)(void* context, uint32_t item, const wchar_t* text, uint32_t id);
  void (*setItemText)(void* context, uint32_t item, uint32_t subItem, const wchar_t* text);
  void (*deleteItem)(void* context, uint32_t item);
};

inline constexpr uint32_t TextBit(int subItem) { return 1u << subItem; }

// Makes `*shown` (what a list column shows) `value`; the column's bit when
// that changes its text, else 0.
inline uint32_t ShowFigure(uint64_t* shown, uint64_t value, int subItem) {
  if (*shown == value) return 0;
  *shown = value;
  return TextBit(subItem);
}

#endif

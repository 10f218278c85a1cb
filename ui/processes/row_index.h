// An open-addressing index from an id to the row that holds it, shared by the
// process and thread tables. A slot holds row + 1 (0 = free); the tables keep
// it at most half full, so a lookup ends after a few slots. Pure: no Windows header.
#ifndef SELVANE_UI_PROCESSES_ROW_INDEX_H
#define SELVANE_UI_PROCESSES_ROW_INDEX_H

#include <cstdint>

#include "app/constants.h"

inline uint32_t RowIndexSlot(uint32_t id, uint32_t bits) { return (id * kProcessIdHashMultiplier) >> (32 - bits); }

inline uint32_t NextRowIndexSlot(uint32_t slot, uint32_t bits) { return (slot + 1) & ((1u << bits) - 1); }

// Enters `rows[row]`, found by its `Id` field, into `slots` (1 << bits of them).
template <typename Row, uint32_t Row::*Id>
void IndexRow(uint16_t* slots, uint32_t bits, const Row* rows, uint32_t row) {
  uint32_t slot = RowIndexSlot(rows[row].*Id, bits);
  while (slots[slot] != 0) slot = NextRowIndexSlot(slot, bits);
  slots[slot] = static_cast<uint16_t>(row + 1);
}

// The row whose `Id` field is `id`, or kNoProcessRow.
template <typename Row, uint32_t Row::*Id>
uint32_t FindIndexedRow(const uint16_t* slots, uint32_t bits, const Row* rows, uint32_t id) {
  for (uint32_t slot = RowIndexSlot(id, bits); slots[slot] != 0; slot = NextRowIndexSlot(slot, bits)) {
    const uint32_t row = slots[slot] - 1u;
    if (rows[row].*Id == id) return row;
  }
  return kNoProcessRow;
}

#endif

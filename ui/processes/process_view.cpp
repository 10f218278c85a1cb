#include "ui/processes/process_view.h"

#include <cstring>
#include <cwchar>

#include "app/text_format.h"
#include "platform/static_check.h"
#include "ui/processes/process_figures.h"

SELVANE_STATIC_CHECK(kViewIndexSlots >= 2 * kViewCapacity && kViewCapacity < 0xFFFFu, view_index);
SELVANE_STATIC_CHECK(kColumnAffinity + 1 == static_cast<int>(kProcessColumnCount), view_columns);

static const uint32_t kOrderColumnMask = 0xFFu;
// Beside an item's text bits during a pass: it is drawn again, or it moves.
static const uint32_t kRedrawBit = 1u << 30;
static const uint32_t kMovingBit = 1u << 31;
static const uint32_t kTextBits = (1u << kProcessColumnCount) - 1u;

uint32_t ListOrderWord(int column, bool descending) {
  if (column < 0 || column >= static_cast<int>(kProcessColumnCount)) return 0;
  return static_cast<uint32_t>(column + 1) | (descending ? kOrderDescending : 0u);
}

int ListOrderColumn(uint32_t word) {
  const uint32_t column = word & kOrderColumnMask;
  return column == 0 || column > kProcessColumnCount ? -1 : static_cast<int>(column) - 1;
}

uint32_t ClickedListOrder(uint32_t word, int column) {
  if (column >= 0 && ListOrderColumn(word) == column) return word ^ kOrderDescending;
  return ListOrderWord(column, false);
}

static RowList<ViewItem> Items(ProcessView* view) {
  const RowList<ViewItem> items = {view->items, &view->count, kViewCapacity, view->index, kViewIndexBits, NULL, NULL};
  return items;
}

uint32_t FindViewItem(const ProcessView* view, uint32_t serial) {
  return FindRow<ViewItem, &ViewItem::serial>(view->items, view->index, kViewIndexBits, serial);
}

static void IndexItems(ProcessView* view) {
  std::memset(view->index, 0, sizeof view->index);
  for (uint32_t i = 0; i < view->count; ++i) IndexRow<ViewItem, &ViewItem::serial>(Items(view), i);
}

// What each column of `row` shows.
static void RowValues(const ProcessEntry& row, uint64_t values[kProcessColumnCount]) {
  values[kColumnName] = 0;  // the name is the item's own
  values[kColumnId] = row.listId;
  values[kColumnPid] = row.processId;
  for (int column = kColumnCpu; column <= kColumnMemUsage; ++column) values[column] = row.shown[column - kColumnCpu];
  values[kColumnThreads] = row.threadCount;
  values[kColumnAffinity] = row.affinity;
}

// The tick counts wrap: a mark is over once `now` has reached its end.
static bool MarkOver(uint32_t nowMs, uint32_t endMs) { return static_cast<int32_t>(nowMs - endMs) >= 0; }

// The texts a new item is given: every column but the name, and no empty figure.
static uint32_t InsertTexts(const ViewItem& item) {
  uint32_t texts = 0;
  for (uint32_t column = kColumnId; column < kProcessColumnCount; ++column) {
    if (item.values[column] != kNoFigure) texts |= TextBit(static_cast<int>(column));
  }
  return texts;
}

// Names compare with ASCII letters' case folded, so "b.exe" sorts beside "B.EXE".
static int CompareNames(const wchar_t* a, const wchar_t* b) {
  for (;; ++a, ++b) {
    wchar_t x = *a, y = *b;
    if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
    if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
    if (x != y) return x < y ? -1 : 1;
    if (x == L'\0') return 0;
  }
}

// An empty figure sorts below every number.
static uint64_t SortValue(uint64_t value) { return value == kNoFigure ? 0 : value + 1; }

// Item `a` sorts strictly before item `b` in `column` (-1: first seen).
static bool SortsBefore(const ProcessView* view, uint32_t a, uint32_t b, int column, bool descending) {
  const ViewItem& x = view->items[descending ? b : a];
  const ViewItem& y = view->items[descending ? a : b];
  if (column < 0) return x.serial < y.serial;
  if (column == kColumnName) return CompareNames(x.name, y.name) < 0;
  return SortValue(x.values[column]) < SortValue(y.values[column]);
}

// order[0..count) sorted, stably: equal keys keep the order they are in.
// A bottom-up merge through `scratch`.
static void SortOrder(ProcessView* view, uint32_t count, int column, bool descending) {
  uint16_t* from = view->order;
  uint16_t* to = view->scratch;
  for (uint32_t width = 1; width < count; width *= 2) {
    for (uint32_t left = 0; left < count; left += 2 * width) {
      const uint32_t middle = left + width < count ? left + width : count;
      const uint32_t right = middle + width < count ? middle + width : count;
      uint32_t i = left, j = middle, k = left;
      while (i < middle && j < right) {
        to[k++] = SortsBefore(view, from[j], from[i], column, descending) ? from[j++] : from[i++];
      }
      while (i < middle) to[k++] = from[i++];
      while (j < right) to[k++] = from[j++];
    }
    uint16_t* swap = from;
    from = to;
    to = swap;
  }
  if (from != view->order) std::memcpy(view->order, from, count * sizeof view->order[0]);
}

// Marks kMovingBit on every old item (below `oldCount`) outside the longest
// run of old items that the new order keeps in their old order: the fewest
// items to move.
static void MarkMovingItems(ProcessView* view, uint32_t count, uint32_t oldCount) {
  uint32_t length = 0, longest = 0;
  for (uint32_t t = 0; t < count; ++t) {
    if (view->order[t] < oldCount) view->sequence[length++] = view->order[t];
  }
  // Patience: tails[k] ends the best run of length k + 1 found so far.
  for (uint32_t i = 0; i < length; ++i) {
    uint32_t low = 0, high = longest;
    while (low < high) {
      const uint32_t middle = (low + high) / 2;
      if (view->sequence[view->tails[middle]] < view->sequence[i]) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    view->previous[i] = static_cast<uint16_t>(low > 0 ? view->tails[low - 1] : i);
    view->tails[low] = static_cast<uint16_t>(i);
    if (low == longest) ++longest;
  }
  for (uint32_t i = 0; i < oldCount; ++i) view->texts[i] |= kMovingBit;
  if (longest == 0) return;
  uint32_t at = view->tails[longest - 1];
  for (uint32_t k = 0; k < longest; ++k) {
    view->texts[view->sequence[at]] &= ~kMovingBit;
    at = view->previous[at];
  }
}

// Closes the items up over those that leave (an ended row past its time, or
// one ended beyond the room for them), bringing each staying item's texts
// and mark to this pass; returns how many stay.
static uint32_t CloseUpItems(ProcessView* view, const ProcessTable* table, uint32_t nowMs) {
  uint32_t ended = 0;
  for (uint32_t i = 0; i < view->count; ++i) ended += view->items[i].mark == kMarkEnded ? 1u : 0u;
  uint32_t kept = 0;
  for (uint32_t i = 0; i < view->count; ++i) {
    ViewItem* item = &view->items[i];
    const uint32_t row = FindProcessRow(table, item->processId);
    uint32_t texts = 0;
    bool leaves = false;
    if (row != kNoProcessRow && table->rows[row].serial == item->serial) {
      uint64_t values[kProcessColumnCount];
      RowValues(table->rows[row], values);
      for (uint32_t column = kColumnId; column < kProcessColumnCount; ++column) {
        if (values[column] == item->values[column]) continue;
        item->values[column] = values[column];
        texts |= TextBit(static_cast<int>(column));
      }
      if (item->mark == kMarkNew && MarkOver(nowMs, item->markEndMs)) {
        item->mark = kMarkNone;
        texts |= kRedrawBit;
      }
    } else if (item->mark != kMarkEnded) {
      leaves = ended >= kEndedRowCapacity;
      if (!leaves) {
        ++ended;
        item->mark = kMarkEnded;
        item->markEndMs = nowMs + kEndedRowMs;
        texts |= kRedrawBit;
      }
    } else {
      leaves = MarkOver(nowMs, item->markEndMs);
    }
    if (leaves) {
      AddListStep(view->steps, &view->stepCount, kListDelete, kept, 0);
      continue;
    }
    if (kept != i) view->items[kept] = *item;
    view->texts[kept] = texts;
    ++kept;
  }
  view->count = kept;
  IndexItems(view);
  return kept;
}

// Appends an item for every row the view lacks, while there is room.
static void AddNewItems(ProcessView* view, const ProcessTable* table, uint32_t nowMs) {
  for (uint32_t row = 0; row < table->processCount && view->count < kViewCapacity; ++row) {
    const ProcessEntry& entry = table->rows[row];
    if (FindViewItem(view, entry.serial) != kNoProcessRow) continue;
    const uint32_t at = view->count++;
    ViewItem* item = &view->items[at];
    item->serial = entry.serial;
    item->processId = entry.processId;
    item->mark = view->filled ? kMarkNew : kMarkNone;
    item->markEndMs = nowMs + kNewRowMs;
    RowValues(entry, item->values);
    std::memcpy(item->name, entry.name, sizeof item->name);
    view->texts[at] = InsertTexts(*item);
    IndexRow<ViewItem, &ViewItem::serial>(Items(view), at);
  }
}

// Puts items[order[t]] at t for every t (each cycle of the order once).
static void PermuteItems(ProcessView* view, uint32_t count) {
  for (uint32_t t = 0; t < count; ++t) {
    if (view->order[t] == t) continue;
    const ViewItem first = view->items[t];
    uint32_t j = t;
    for (;;) {
      const uint32_t k = view->order[j];
      view->order[j] = static_cast<uint16_t>(j);
      if (k == t) {
        view->items[j] = first;
        break;
      }
      view->items[j] = view->items[k];
      j = k;
    }
  }
}

void UpdateProcessView(ProcessView* view, const ProcessTable* table, const PassSettings* settings) {
  view->stepCount = 0;
  uint32_t oldCount = view->count;
  if (settings->listsPaused) {
    // Nothing comes, goes or changes; the shown rows still take a new order.
    std::memset(view->texts, 0, oldCount * sizeof view->texts[0]);
  } else {
    oldCount = CloseUpItems(view, table, settings->nowMs);
    AddNewItems(view, table, settings->nowMs);
    view->filled = 1;
  }
  const uint32_t count = view->count;
  for (uint32_t i = 0; i < count; ++i) view->order[i] = static_cast<uint16_t>(i);
  SortOrder(view, count, ListOrderColumn(settings->listOrder), (settings->listOrder & kOrderDescending) != 0);
  MarkMovingItems(view, count, oldCount);

  // Where each item goes.
  uint16_t* position = view->scratch;
  for (uint32_t t = 0; t < count; ++t) position[view->order[t]] = static_cast<uint16_t>(t);
  // Moving items leave from the last, so the indices before stay valid; each
  // step names where the item comes back.
  for (uint32_t i = oldCount; i > 0; --i) {
    if (view->texts[i - 1] & kMovingBit) {
      AddListStep(view->steps, &view->stepCount, kListDelete, i - 1, position[i - 1] + 1u);
    }
  }
  for (uint32_t t = 0; t < count; ++t) {
    const uint32_t from = view->order[t];
    if (from >= oldCount || (view->texts[from] & kMovingBit)) {
      AddListStep(view->steps, &view->stepCount, kListInsert, t, InsertTexts(view->items[from]));
    }
  }
  for (uint32_t t = 0; t < count; ++t) {
    const uint32_t from = view->order[t];
    if (from >= oldCount || (view->texts[from] & kMovingBit)) continue;
    if (view->texts[from] & kTextBits) {
      AddListStep(view->steps, &view->stepCount, kListChange, t, view->texts[from] & kTextBits);
    }
    if (view->texts[from] & kRedrawBit) {
      AddListStep(view->steps, &view->stepCount, kListRedraw, t, view->items[from].mark == kMarkEnded ? 1u : 0u);
    }
  }
  PermuteItems(view, count);
  IndexItems(view);
}

static const wchar_t* ViewText(const ViewItem& item, int column, wchar_t* text, size_t textChars) {
  const uint64_t value = item.values[column];
  if (column != kColumnName && value == kNoFigure) return L"";
  switch (column) {
    case kColumnName: return item.name;
    case kColumnPid:
      return FormatWide(text, textChars, L"%.08X", static_cast<unsigned>(value)) < 0 ? NULL : text;
    case kColumnCpuTime: FormatCpuTime(text, textChars, value); return text;
    case kColumnMemUsage: FormatMemUsage(text, textChars, value); return text;
    default: return DecimalText(text, textChars, static_cast<int>(static_cast<uint32_t>(value)));
  }
}

static void SetTexts(const ViewItem& item, uint32_t index, uint32_t texts, const ListOps* ops, wchar_t* text,
                     size_t textChars) {
  for (uint32_t column = kColumnId; column < kProcessColumnCount; ++column) {
    if ((texts & TextBit(static_cast<int>(column))) == 0) continue;
    const wchar_t* shown = ViewText(item, static_cast<int>(column), text, textChars);
    if (shown != NULL) ops->setItemText(ops->context, index, column, shown);
  }
}

void SyncProcessView(ProcessView* view, const ListOps* ops, wchar_t* text, size_t textChars) {
  if (view->stepCount == 0) return;
  std::memset(view->movedState, 0, sizeof view->movedState);
  for (uint32_t s = 0; s < view->stepCount; ++s) {
    const ListStep step = view->steps[s];
    const ViewItem& item = view->items[step.item];
    switch (step.kind) {
      case kListDelete: {
        const uint32_t state = ops->deleteItem(ops->context, step.item, step.texts != 0);
        if (step.texts != 0) view->movedState[step.texts - 1] = state;
        break;
      }
      case kListInsert:
        ops->insertItem(ops->context, step.item, item.name, item.serial, view->movedState[step.item]);
        SetTexts(item, step.item, step.texts, ops, text, textChars);
        break;
      case kListChange: SetTexts(item, step.item, step.texts, ops, text, textChars); break;
      default: ops->redrawItem(ops->context, step.item, step.texts != 0); break;
    }
  }
}

uint32_t ListedMark(const StateLock* lock, const ProcessView* view, uint32_t serial) {
  EnterStateLock(lock);
  const uint32_t item = FindViewItem(view, serial);
  const uint32_t mark = item != kNoProcessRow ? view->items[item].mark : static_cast<uint32_t>(kMarkNone);
  LeaveStateLock(lock);
  return mark;
}

ListedProcess CopyListedProcess(const StateLock* lock, const ProcessView* view, const ProcessTable* table,
                                uint32_t serial, ProcessEntry* row, wchar_t* name) {
  EnterStateLock(lock);
  ListedProcess listed = kListedUnknown;
  const uint32_t item = FindViewItem(view, serial);
  if (item != kNoProcessRow) {
    const ViewItem& shown = view->items[item];
    std::memcpy(name, shown.name, sizeof shown.name);
    const uint32_t found = FindProcessRow(table, shown.processId);
    listed = kListedEnded;
    if (shown.mark != kMarkEnded && found != kNoProcessRow && table->rows[found].serial == serial) {
      *row = table->rows[found];
      listed = kListedLive;
    }
  }
  LeaveStateLock(lock);
  return listed;
}

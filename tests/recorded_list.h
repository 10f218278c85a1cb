// A list view as the list steps leave it: a row of texts per item, and every
// operation logged. Shared by the native tests, the stress test and the Wine
// tests (which read a list view into one).
#ifndef SELVANE_TESTS_RECORDED_LIST_H
#define SELVANE_TESTS_RECORDED_LIST_H

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "ui/processes/process_table.h"
#include "ui/processes/process_view.h"

struct RecordedList {
  RecordedList(size_t columnCount, uint32_t figures) : columns(columnCount), figureColumns(figures) {}
  size_t columns;
  uint32_t figureColumns;  // bit k: a text written to sub-item k must differ from the one shown
  std::vector<std::vector<std::wstring>> items;
  std::vector<uint32_t> states;   // each item's selection and focus
  std::vector<std::wstring> log;  // every operation, in order
  int redundant = 0;              // figure texts rewritten unchanged
  int invalid = 0;                // operations on an item or sub-item that does not exist

  ListOps Ops() { return {this, Insert, SetText, Delete, Redraw}; }
  std::vector<std::wstring> LogSince(size_t from) const { return {log.begin() + from, log.end()}; }

  static void Insert(void* context, uint32_t item, const wchar_t* text, uint32_t id, uint32_t state) {
    RecordedList& list = *static_cast<RecordedList*>(context);
    list.log.push_back(L"insert " + std::to_wstring(item) + L" " + text + L" " + std::to_wstring(id));
    if (item > list.items.size()) return void(++list.invalid);
    list.items.insert(list.items.begin() + item, std::vector<std::wstring>(list.columns));
    if (state & kFocused) {
      for (uint32_t& other : list.states) other &= ~kFocused;  // one item has the focus
    }
    list.states.insert(list.states.begin() + item, state);
    list.items[item][0] = text;
  }
  static void SetText(void* context, uint32_t item, uint32_t subItem, const wchar_t* text) {
    RecordedList& list = *static_cast<RecordedList*>(context);
    list.log.push_back(L"set " + std::to_wstring(item) + L" " + std::to_wstring(subItem) + L" " + text);
    if (item >= list.items.size() || subItem >= list.columns) return void(++list.invalid);
    if ((list.figureColumns >> subItem & 1) && list.items[item][subItem] == text) ++list.redundant;
    list.items[item][subItem] = text;
  }
  // As a list view does, a deleted item's focus (state bit 1) passes to the
  // item after it, or to the last, unless the item moves.
  static uint32_t Delete(void* context, uint32_t item, bool moves) {
    RecordedList& list = *static_cast<RecordedList*>(context);
    list.log.push_back(L"delete " + std::to_wstring(item));
    if (item >= list.items.size()) return ++list.invalid, 0;
    list.items.erase(list.items.begin() + item);
    const uint32_t state = list.states[item];
    list.states.erase(list.states.begin() + item);
    if (!moves && (state & kFocused) != 0 && !list.states.empty()) {
      list.states[std::min<size_t>(item, list.states.size() - 1)] |= kFocused;
    }
    return state;
  }
  static constexpr uint32_t kFocused = 1;
  static void Redraw(void* context, uint32_t item, bool ended) {
    RecordedList& list = *static_cast<RecordedList*>(context);
    list.log.push_back((ended ? L"end " : L"redraw ") + std::to_wstring(item));
    if (item >= list.items.size()) ++list.invalid;
  }
};

// An ID as the lists show it.
inline std::wstring Hex8(uint32_t value) {
  wchar_t text[16];
  swprintf(text, 16, L"%08X", static_cast<unsigned>(value));
  return text;
}

// Empty when the process list is in step with its view and the view with
// the table: item i showing view item i's name, PID, thread count and
// affinity, every row listed once by its serial (unless `paused`), the
// table's index finding every row, threadTotal the rows' sum, and no
// operation invalid or redundant.
inline std::string ListOutOfStep(const RecordedList& list, const ProcessView& view, const ProcessTable& table,
                                 bool paused = false) {
  if (list.invalid != 0 || list.redundant != 0) return "an invalid or redundant operation";
  if (table.processCount > kProcessCapacity || list.items.size() != view.count) return "a wrong count";
  for (uint32_t i = 0; i < view.count; ++i) {
    const ViewItem& shown = view.items[i];
    const std::vector<std::wstring>& item = list.items[i];
    // The counts show as the signed numbers the list is given.
    if (item[kColumnName] != shown.name || item[kColumnPid] != Hex8(shown.processId) ||
        item[kColumnThreads] != std::to_wstring(static_cast<int>(shown.values[kColumnThreads])) ||
        item[kColumnAffinity] != std::to_wstring(static_cast<int>(shown.values[kColumnAffinity])) ||
        FindViewItem(&view, shown.serial) != i) {
      return "item " + std::to_string(i) + " does not show its view item";
    }
  }
  uint32_t threads = 0;
  for (uint32_t i = 0; i < table.processCount; ++i) {
    const ProcessEntry& row = table.rows[i];
    if (FindProcessRow(&table, row.processId) != i) return "row " + std::to_string(i) + " is not indexed";
    const uint32_t item = FindViewItem(&view, row.serial);
    if (!paused && (item == kNoProcessRow || view.items[item].processId != row.processId ||
                    view.items[item].values[kColumnThreads] != row.threadCount)) {
      return "row " + std::to_string(i) + " is not listed as it is";
    }
    threads += row.threadCount;  // wraps as the table's total does
  }
  return threads == table.threadTotal ? "" : "threadTotal is not the rows' sum";
}

#endif

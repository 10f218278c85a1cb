// A list view as the list steps leave it: a row of texts per item, and every
// operation logged. Shared by the native tests, the stress test and the Wine
// tests (which read a list view into one).
#ifndef SELVANE_TESTS_RECORDED_LIST_H
#define SELVANE_TESTS_RECORDED_LIST_H

#include <cwchar>
#include <string>
#include <vector>

#include "ui/processes/process_table.h"

struct RecordedList {
  RecordedList(size_t columnCount, uint32_t figures) : columns(columnCount), figureColumns(figures) {}
  size_t columns;
  uint32_t figureColumns;  // bit k: a text written to sub-item k must differ from the one shown
  std::vector<std::vector<std::wstring>> items;
  std::vector<std::wstring> log;  // every operation, in order
  int redundant = 0;              // figure texts rewritten unchanged
  int invalid = 0;                // operations on an item or sub-item that does not exist

  ListOps Ops() { return {this, Insert, SetText, Delete}; }
  std::vector<std::wstring> LogSince(size_t from) const { return {log.begin() + from, log.end()}; }

  static void Insert(void* context, uint32_t item, const wchar_t* text, uint32_t id) {
    RecordedList& list = *static_cast<RecordedList*>(context);
    list.log.push_back(L"insert " + std::to_wstring(item) + L" " + text + L" " + std::to_wstring(id));
    if (item > list.items.size()) return void(++list.invalid);
    list.items.insert(list.items.begin() + item, std::vector<std::wstring>(list.columns));
    list.items[item][0] = text;
  }
  static void SetText(void* context, uint32_t item, uint32_t subItem, const wchar_t* text) {
    RecordedList& list = *static_cast<RecordedList*>(context);
    list.log.push_back(L"set " + std::to_wstring(item) + L" " + std::to_wstring(subItem) + L" " + text);
    if (item >= list.items.size() || subItem >= list.columns) return void(++list.invalid);
    if ((list.figureColumns >> subItem & 1) && list.items[item][subItem] == text) ++list.redundant;
    list.items[item][subItem] = text;
  }
  static void Delete(void* context, uint32_t item) {
    RecordedList& list = *static_cast<RecordedList*>(context);
    list.log.push_back(L"delete " + std::to_wstring(item));
    if (item >= list.items.size()) return void(++list.invalid);
    list.items.erase(list.items.begin() + item);
  }
};

// An ID as the lists show it.
inline std::wstring Hex8(uint32_t value) {
  wchar_t text[16];
  swprintf(text, 16, L"%08X", static_cast<unsigned>(value));
  return text;
}

// Empty when the process list is in step with the table: the count within
// the capacity, item i showing row i's name, id, thread count and affinity,
// the index finding every row, threadTotal the rows' sum, and no operation
// invalid or redundant.
inline std::string ListOutOfStep(const RecordedList& list, const ProcessTable& table) {
  if (list.invalid != 0 || list.redundant != 0) return "an invalid or redundant operation";
  if (table.processCount > kProcessCapacity || list.items.size() != table.processCount) return "a wrong count";
  uint32_t threads = 0;
  for (uint32_t i = 0; i < table.processCount; ++i) {
    const ProcessEntry& row = table.rows[i];
    const std::vector<std::wstring>& item = list.items[i];
    // The counts show as the signed numbers the list is given.
    if (item[kColumnName] != row.name || item[kColumnPid] != Hex8(row.processId) ||
        item[kColumnThreads] != std::to_wstring(static_cast<int>(row.threadCount)) ||
        item[kColumnAffinity] != std::to_wstring(static_cast<int>(row.affinity)) ||
        FindProcessRow(&table, row.processId) != i) {
      return "item " + std::to_string(i) + " does not show its row";
    }
    threads += row.threadCount;  // wraps as the table's total does
  }
  return threads == table.threadTotal ? "" : "threadTotal is not the rows' sum";
}

#endif

// The Performance page's four totals: processes, threads, physical memory
// and the part of it available.
#ifndef SELVANE_UI_PERFORMANCE_TOTALS_H
#define SELVANE_UI_PERFORMANCE_TOTALS_H

#include "app/constants.h"
#include "platform/fixed_width.h"
#include "platform/win32.h"

// The totals as last written, and the page they went to: a field is written
// only when its figure changes, since each write is a message to the main
// thread and an immediate repaint of the field.
struct ShownTotals {
  HWND page;                          // another page gets all four written
  HWND fields[kTotalFieldCount];      // its fields, looked up once per page
  uint32_t written;                   // bit f: values[f] was written into page
  uint64_t values[kTotalFieldCount];  // process count, thread total, physical total and available
};

// Writes each total of `values` (by kTotalField*) that `page` does not show
// yet, as unsigned decimal text (memory here can exceed 32 bits). A null
// page (left) gets nothing.
void ShowTotals(ShownTotals* shown, HWND page, const uint64_t values[kTotalFieldCount]);

#endif

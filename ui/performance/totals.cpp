#include "ui/performance/totals.h"

#include "app/monitor_state.h"
#include "app/text_format.h"

static const int kTotalControls[kTotalFieldCount] = {IDC_PROCESS_TOTAL, IDC_THREAD_TOTAL, IDC_PHYS_TOTAL,
                                                     IDC_PHYS_AVAILABLE};

void ShowTotals(ShownTotals* shown, HWND page, const uint64_t values[kTotalFieldCount]) {
  if (page == NULL) return;
  if (page != shown->page) {
    // Each lookup is a round trip to the window server under Wine: once a page.
    for (uint32_t field = 0; field < kTotalFieldCount; ++field) shown->fields[field] = GetDlgItem(page, kTotalControls[field]);
    shown->page = page;
    shown->written = 0;
  }
  for (uint32_t field = 0; field < kTotalFieldCount; ++field) {
    const uint32_t bit = 1u << field;
    if ((shown->written & bit) != 0 && shown->values[field] == values[field]) continue;
    wchar_t text[kUnsigned64Digits + 1];  // the page's own: reportBuffer is the sampling thread's
    FormatUnsigned64(text, kUnsigned64Digits + 1, values[field]);
    SetWindowTextW(shown->fields[field], text);
    shown->written |= bit;
    shown->values[field] = values[field];
  }
}

#include "ui/performance/performance_page.h"

#include "app/monitor_state.h"

// Byte counts on the desktop run to 11 digits and more, wider than the
// template's fields: the two fields take the free space up to their labels,
// so that no digit is clipped. The template itself stays as designed.
static void WidenByteFields(HWND page) {
  RECT left = {static_cast<LONG>(kByteFieldLeftDlu), 0, 0, 0};
  MapDialogRect(page, &left);
  static const int kFields[] = {IDC_PHYS_TOTAL, IDC_PHYS_AVAILABLE};
  for (int id : kFields) {
    HWND field = GetDlgItem(page, id);
    RECT rect;
    GetWindowRect(field, &rect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    if (rect.left <= left.left) continue;
    SetWindowPos(field, nullptr, left.left, rect.top, rect.right - left.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The sampling thread draws into this page only while it is the active page.
static void OnNotify(HWND page, const NMHDR* header) {
  switch (header->code) {
    case PSN_SETACTIVE: g_state.performancePage.store(page, std::memory_order_relaxed); break;
    case PSN_KILLACTIVE: g_state.performancePage.store(nullptr, std::memory_order_relaxed); break;
    default: break;
  }
}

INT_PTR CALLBACK PerformancePageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      WidenByteFields(page);
      return TRUE;
    case WM_NOTIFY:
      OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
      return 0;
    default:
      return 0;
  }
}

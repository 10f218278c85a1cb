#include "ui/processes/processes_page.h"

#include "app/monitor_state.h"

// Notifications from the sheet (not from the process list) steer the sampling
// thread: a process pass runs each second while this page is active.
static void OnNotify(HWND page, const NMHDR* header) {
  if (header->idFrom == IDC_PROCESS_LIST) return;
  switch (header->code) {
    case PSN_SETACTIVE: g_state.processesPage.store(page, std::memory_order_relaxed); break;
    case PSN_KILLACTIVE: g_state.processesPage.store(nullptr, std::memory_order_relaxed); break;
    default: break;
  }
}

INT_PTR CALLBACK ProcessesPageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_NOTIFY:
      OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
      return 0;
    default:
      return 0;
  }
}

#include "ui/performance/performance_page.h"

#include "app/monitor_state.h"
#include "platform/resource_manager.h"
#include "ui/page_work.h"
#include "ui/performance/desktop_fields.h"
#include "ui/performance/dfs_targets.h"
#include "ui/performance/picture_controls.h"

// The domain list, frequency field and "Set" are shown only while scaling is
// stopped (the box checked).
static void ShowTargetControls(HWND page, int command) {
  ShowWindow(GetDlgItem(page, IDC_DOMAIN_LIST), command);
  ShowWindow(GetDlgItem(page, IDC_TARGET_MHZ), command);
  ShowWindow(GetDlgItem(page, IDC_SET_TARGET), command);
}

// The frequency field's own procedure, which its subclass passes the rest to.
static WNDPROC g_targetFieldProc = NULL;

static bool IsEnter(const MSG* message) {
  return message != NULL && ((message->message == WM_KEYDOWN && message->wParam == VK_RETURN) ||
                             (message->message == WM_CHAR && message->wParam == L'\r'));
}

// Enter in the frequency field sends the target, as "Set" does: the dialog
// manager would otherwise press the sheet's default button, OK, and close
// the monitor. The field asks for that key alone (WM_GETDLGCODE's message,
// learn.microsoft.com/en-us/previous-versions/aa931233(v=msdn.10)).
static LRESULT CALLBACK TargetFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETDLGCODE:
      if (IsEnter(reinterpret_cast<const MSG*>(lParam))) return DLGC_WANTMESSAGE;
      break;
    case WM_KEYDOWN:
      if (wParam != VK_RETURN) break;
      SendMessageW(GetParent(field), WM_COMMAND, MAKEWPARAM(IDC_SET_TARGET, BN_CLICKED), 0);
      return 0;
    case WM_CHAR:
      if (wParam == L'\r') return 0;  // a single-line field would beep at it
      break;
    default: break;
  }
  return CallWindowProcW(g_targetFieldProc, field, message, wParam, lParam);
}

static void OnInitDialog(HWND page) {
  SetWindowUserData(GetDlgItem(page, IDC_CPU_GAUGE), kGraphTagCpu);
  SetWindowUserData(GetDlgItem(page, IDC_MEM_GAUGE), kGraphTagMemory);
  SetWindowUserData(GetDlgItem(page, IDC_CPU_HISTORY), kGraphTagCpu);
  SetWindowUserData(GetDlgItem(page, IDC_MEM_HISTORY), kGraphTagMemory);
  KeepGraphPictures(page);
  AdaptFieldsToDesktop(page);

  // Without the library, or without its state and target calls, no control
  // could do anything.
  if (!DfsControlsAvailable()) {
    ShowWindow(GetDlgItem(page, IDC_DISABLE_DFS), SW_HIDE);
    ShowTargetControls(page, SW_HIDE);
    return;
  }

  const WNDPROC previous = SetWindowProcedure(GetDlgItem(page, IDC_TARGET_MHZ), TargetFieldProc);
  if (previous != TargetFieldProc) g_targetFieldProc = previous;

  HWND domains = GetDlgItem(page, IDC_DOMAIN_LIST);
  for (size_t d = 0; d < sizeof kDomainLabels / sizeof kDomainLabels[0]; ++d) {
    SendMessageW(domains, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kDomainLabels[d]));
  }
  SendMessageW(domains, CB_SETCURSEL, 0, 0);
  SetDlgItemInt(page, IDC_TARGET_MHZ, kDefaultTargetMhz, FALSE);

  const ResourceManager& rm = g_resourceManager;
  const uint32_t state = rm.NvRmDfsGetState(g_state.rmHandle);
  if (state == kDfsStateStopped || g_state.dfsOffAtStart == 1) {
    SendDlgItemMessageW(page, IDC_DISABLE_DFS, BM_SETCHECK, BST_CHECKED, 0);
  } else {
    ShowTargetControls(page, SW_HIDE);
  }

  if (g_state.dfsOffAtStart != 0) {
    rm.NvRmDfsSetState(g_state.rmHandle, kDfsStateStopped);
    uint32_t targets[kTargetListCount];
    BuildStartupTargetList(targets);
    rm.NvRmDfsSetTarget(g_state.rmHandle, kTargetListCount, targets);
  }
}

// The box has toggled itself before the page hears of the click.
static void OnDisableDfsClicked(HWND page) {
  if (!DfsControlsAvailable()) return;
  const bool checked = SendDlgItemMessageW(page, IDC_DISABLE_DFS, BM_GETCHECK, 0, 0) != 0;
  g_resourceManager.NvRmDfsSetState(g_state.rmHandle, checked ? kDfsStateStopped : kDfsStateRunning);
  ShowTargetControls(page, checked ? SW_SHOW : SW_HIDE);
}

static void OnSetClicked(HWND page) {
  if (!DfsControlsAvailable()) return;
  const LRESULT index = SendMessageW(GetDlgItem(page, IDC_DOMAIN_LIST), CB_GETCURSEL, 0, 0);
  // Text that is not an unsigned number reads as 0, sent as it is.
  const uint32_t mhz = GetDlgItemInt(page, IDC_TARGET_MHZ, NULL, FALSE);
  uint32_t targets[kTargetListCount];
  if (!BuildTargetList(static_cast<int32_t>(index), mhz, targets)) return;
  if (g_resourceManager.NvRmDfsSetTarget(g_state.rmHandle, kTargetListCount, targets) != 0) return;
  // A target the library took is an event of the next cycle.
  const uint32_t domain = static_cast<uint32_t>(index) + 1;
  const TargetNote note = {domain, targets[domain]};
  EnterStateLock(&g_stateLock);
  EventState* events = &g_state.events;
  if (events->noteCount < kTargetNoteCapacity) events->notes[events->noteCount++] = note;
  LeaveStateLock(&g_stateLock);
}

// The sampling thread draws into this page only while it is the active page.
static void OnNotify(HWND page, const NMHDR* header) {
  switch (header->code) {
    case PSN_SETACTIVE: StoreShared(&g_state.performancePage, page); break;
    case PSN_KILLACTIVE: StoreShared(&g_state.performancePage, NULL); break;
    default: break;
  }
}

INT_PTR CALLBACK PerformancePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnInitDialog(page); return TRUE;
    case WM_COMMAND:
      // The notification code (high word) is not examined.
      switch (LOWORD(wParam)) {
        case IDC_DISABLE_DFS: OnDisableDfsClicked(page); break;
        case IDC_SET_TARGET: OnSetClicked(page); break;
        default: break;
      }
      return 0;
    case WM_NOTIFY: OnNotify(page, reinterpret_cast<const NMHDR*>(lParam)); return 0;
    case kPageWorkMessage: RunPageWork(); return 0;
    case kPostedWorkMessage: RunPostedPageWork(); return 0;
    default: return AnswerStaticColours(page, message, wParam, lParam);
  }
}

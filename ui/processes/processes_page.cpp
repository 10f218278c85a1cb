#include "ui/processes/processes_page.h"

#include <windowsx.h>

#include "app/monitor_state.h"
#include "app/text_format.h"
#include "platform/kernel_extensions.h"
#include "platform/process_control.h"
#include "platform/ce_compat.h"
#include "platform/static_check.h"
#include "ui/page_work.h"

namespace {

struct Column {
  const wchar_t* title;
  int format;
};

}  // namespace

static const Column kProcessColumns[] = {
    {L"Name", LVCFMT_LEFT},      {L"ID", LVCFMT_RIGHT},        {L"PID", LVCFMT_LEFT},      {L"CPU", LVCFMT_RIGHT},
    {L"CPU Time", LVCFMT_RIGHT}, {L"Mem Usage", LVCFMT_RIGHT}, {L"Threads", LVCFMT_RIGHT}, {L"Affinity", LVCFMT_RIGHT},
};
static const Column kThreadColumns[] = {
    {L"TID", LVCFMT_LEFT}, {L"Priority", LVCFMT_LEFT}, {L"CPU", LVCFMT_RIGHT}, {L"Affinity", LVCFMT_RIGHT}};

// The sort mark a column title carries: text, which the device's header
// control shows (HDITEM has no sort arrow there:
// learn.microsoft.com/en-us/previous-versions/aa926288(v=msdn.10)).
// It leads the title, so that a narrow column's clipped title still shows it.
static const wchar_t* const kAscendingMark = L"^ ";
static const wchar_t* const kDescendingMark = L"v ";

// A width per column.
SELVANE_STATIC_CHECK(sizeof kProcessColumns / sizeof kProcessColumns[0] ==
                         sizeof kProcessColumnWidths / sizeof kProcessColumnWidths[0],
                     process_column_widths);
SELVANE_STATIC_CHECK(sizeof kThreadColumns / sizeof kThreadColumns[0] ==
                         sizeof kThreadColumnWidths / sizeof kThreadColumnWidths[0],
                     thread_column_widths);

// Inserts columns 0..count-1 of `columns`.
static void InsertColumns(HWND list, const Column* columns, const int* widths, int count) {
  for (int i = 0; i < count; ++i) {
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = columns[i].format;
    column.cx = widths[i];
    column.pszText = const_cast<wchar_t*>(columns[i].title);
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
}

static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
// The list view's own procedure, which the lists' subclass passes everything to.
static WNDPROC g_listViewProc = NULL;

static void OnInitDialog(HWND page) {
  HWND processList = GetDlgItem(page, IDC_PROCESS_LIST);
  SendMessageW(processList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  // The Affinity columns are last, and only a multi-processor system has them.
  const bool multi = g_state.processorCount > 1;
  InsertColumns(processList, kProcessColumns, kProcessColumnWidths, multi ? kColumnAffinity + 1 : kColumnAffinity);
  HWND threadList = GetDlgItem(page, IDC_THREAD_LIST);
  InsertColumns(threadList, kThreadColumns, kThreadColumnWidths,
                multi ? kThreadColumnAffinity + 1 : kThreadColumnAffinity);
  const WNDPROC previous = SetWindowProcedure(processList, ListProc);
  if (previous != ListProc) g_listViewProc = previous;
  SetWindowProcedure(threadList, ListProc);
  StoreShared(&g_state.processList, processList);
  StoreShared(&g_state.threadList, threadList);
  StoreShared(&g_state.listsPage, page);

  // Loaded for the life of the process; only the two pop-ups are kept.
  HMENU menu = LoadMenuW(g_state.instance, MAKEINTRESOURCEW(IDM_CONTEXT));
  g_state.contextMenu = GetSubMenu(menu, 0);
  g_state.priorityMenu = GetSubMenu(g_state.contextMenu, kMenuPositionPriority);
  if (g_state.processorCount == 1) {
    EnableMenuItem(g_state.contextMenu, kMenuPositionAffinity, MF_BYPOSITION | MF_GRAYED);
  }
  g_state.affinityMenu = GetSubMenu(g_state.contextMenu, kMenuPositionAffinity);
  if (g_state.processorCount < kMaxProcessors) {
    for (UINT position = kAffinityTwoProcessorLast + 1; position <= kMaxProcessors; ++position) {
      EnableMenuItem(g_state.affinityMenu, position, MF_BYPOSITION | MF_GRAYED);
    }
  }
}

// Each list keeps its left margin on the right and below. A sheet measures
// its pages in its own font, and makes a page narrower than its template
// where the page's font is the wider one (under Wine, "MS Sans Serif"
// against the sheet's): the lists' right edges, scroll bars and all, would
// lie outside the page.
static void FitListsToPage(HWND page) {
  static const int kLists[] = {IDC_PROCESS_LIST, IDC_THREAD_LIST};
  RECT client;
  GetClientRect(page, &client);
  for (size_t i = 0; i < sizeof kLists / sizeof kLists[0]; ++i) {
    HWND list = GetDlgItem(page, kLists[i]);
    RECT rect;
    if (list == NULL || !GetWindowRect(list, &rect)) continue;
    MapWindowPoints(NULL, page, reinterpret_cast<POINT*>(&rect), 2);
    const LONG margin = rect.left;
    const LONG right = client.right - margin;  // as far as the list may reach
    const LONG bottom = client.bottom - margin;
    if ((rect.right <= right && rect.bottom <= bottom) || right <= rect.left || bottom <= rect.top) continue;
    const LONG width = (rect.right < right ? rect.right : right) - rect.left;
    const LONG height = (rect.bottom < bottom ? rect.bottom : bottom) - rect.top;
    SetWindowPos(list, NULL, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// What list item `item` shows, found by the serial the item carries: the
// list can be a pass behind the table, or paused.
static ListedProcess CopyListedRow(HWND list, int item, ProcessEntry* row, wchar_t* name) {
  LVITEMW record = {};
  record.mask = LVIF_PARAM;
  record.iItem = item;
  if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&record))) return kListedUnknown;
  return CopyListedProcess(&g_stateLock, &g_state.processView, &g_state.processTable,
                           static_cast<uint32_t>(record.lParam), row, name);
}

// The radio mark of positions 0..last of `menu` on `mark`, or on none when
// `mark` stands for none of them.
static void MarkRadio(HMENU menu, UINT last, uint32_t mark) {
  if (mark <= last) {
    CheckMenuRadioItem(menu, 0, last, mark, MF_BYPOSITION);
    return;
  }
  for (UINT position = 0; position <= last; ++position) CheckMenuItem(menu, position, MF_BYPOSITION | MF_UNCHECKED);
}

// The commands that act on the process are greyed when it could not be
// opened; "Set Affinity" stays greyed on one processor.
static void EnableProcessCommands(bool opened) {
  const UINT state = MF_BYPOSITION | (opened ? MF_ENABLED : MF_GRAYED);
  EnableMenuItem(g_state.contextMenu, kMenuPositionKill, state);
  EnableMenuItem(g_state.contextMenu, kMenuPositionShowThreads, state);
  EnableMenuItem(g_state.contextMenu, kMenuPositionPriority, state);
  const bool affinity = opened && g_state.processorCount > 1;
  EnableMenuItem(g_state.contextMenu, kMenuPositionAffinity, MF_BYPOSITION | (affinity ? MF_ENABLED : MF_GRAYED));
}

// A box on the page saying that the platform refused `command`, in the
// platform's own words for `error`.
static void ShowRefusal(HWND page, const wchar_t* command, DWORD error) {
  wchar_t text[kRefusalChars];
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  if (error == ERROR_SUCCESS || FormatMessageW(flags, NULL, error, 0, text, kRefusalChars, NULL) == 0) {
    // A refusal the platform gave no reason for (the device's priority
    // levels when a thread is gone), or one it has no text for.
    FormatWide(text, kRefusalChars, L"The platform refused the command (error %u).", static_cast<unsigned>(error));
  }
  MessageBoxW(page, text, command, MB_OK | MB_ICONERROR);
}

// Hands `process` over to the sampling thread, whose thread list follows it
// from the next pass until it exits.
static void RequestThreads(HANDLE process, uint32_t processId) {
  EnterStateLock(&g_stateLock);
  HANDLE unclaimed = g_state.threadRequest.process;
  g_state.threadRequest.process = process;
  g_state.threadRequest.processId = processId;
  LeaveStateLock(&g_stateLock);
  if (unclaimed != NULL) CloseHandle(unclaimed);  // chosen again before a pass took it up
}

// Carries out a menu command on `process`, which was opened when the menu
// opened: whatever passes ran meanwhile, it is still the process named in
// `row`. True when the command kept the handle.
static bool RunCommand(HWND page, UINT command, const ProcessEntry& row, HANDLE process) {
  if (command == IDM_KILL_PROCESS) {
    if (MessageBoxW(page, row.name, L"Warning", MB_OKCANCEL | MB_ICONQUESTION) == IDOK &&
        !TerminateProcess(process, 0)) {
      ShowRefusal(page, L"Kill Process", GetLastError());
    }
  } else if (command == IDM_SHOW_THREADS) {
    RequestThreads(process, row.processId);
    return true;
  } else if (command >= IDM_PRIORITY_HIGH && command < IDM_PRIORITY_HIGH + kPriorityLevelCount) {
    SetLastError(ERROR_SUCCESS);
    uint32_t kept = 0;
    if (!SetProcessPriorityLevel(process, row.processId, command - IDM_PRIORITY_HIGH, &kept)) {
      ShowRefusal(page, L"Set Priority", GetLastError());
    } else if (kept > 0) {
      wchar_t text[kRefusalChars];
      FormatWide(text, kRefusalChars, L"%u thread(s) at a real-time priority kept their level.",
                 static_cast<unsigned>(kept));
      MessageBoxW(page, text, L"Set Priority", MB_OK | MB_ICONINFORMATION);
    }
  } else if (command >= IDM_AFFINITY_NONE && command <= IDM_AFFINITY_NONE + kMaxProcessors &&
             g_state.processorCount >= 2) {
    SetLastError(ERROR_SUCCESS);
    if (!g_kernel.CeSetProcessAffinity(process, command - IDM_AFFINITY_NONE)) {
      ShowRefusal(page, L"Set Affinity", GetLastError());
    } else {
      StoreShared(&g_state.affinitySet, row.processId);
    }
  }
  return false;
}

// Says that `name`'s process has ended and nothing was done: the row is
// still shown (paused, or marked ended), and its id may name another by now.
static void SayEnded(HWND page, const wchar_t* name) {
  wchar_t text[kRefusalChars];
  FormatWide(text, kRefusalChars, L"%ls has ended: nothing was done.", name);
  MessageBoxW(page, text, L"Process ended", MB_OK | MB_ICONINFORMATION);
}

// The context menu on list item `item`, at `point` (screen coordinates).
static void ShowContextMenu(HWND page, HWND list, int item, POINT point) {
  ProcessEntry row;
  wchar_t name[kProcessNameChars + 1];
  const ListedProcess listed = CopyListedRow(list, item, &row, name);
  if (listed == kListedUnknown) return;
  const bool live = listed == kListedLive;
  // Opened now, the handle keeps naming this process even if it exits and
  // its id is given to another before the command. A row whose process has
  // ended opens nothing.
  HANDLE process = live ? OpenProcess(kProcessCommandAccess, FALSE, row.processId) : NULL;
  EnableProcessCommands(process != NULL || !live);
  MarkRadio(g_state.affinityMenu, kMaxProcessors, live ? row.affinity : kMaxProcessors + 1);
  MarkRadio(g_state.priorityMenu, kPriorityLevelCount - 1,
            process != NULL ? ReadProcessPriorityLevel(process, row.processId) : kPriorityUnknown);
  const UINT command =
      static_cast<UINT>(TrackPopupMenuEx(g_state.contextMenu, TPM_RETURNCMD, point.x, point.y, list, NULL));
  if (!live && command != 0) SayEnded(page, name);
  if (process != NULL && !RunCommand(page, command, row, process)) CloseHandle(process);
}

// A right click or a tap and hold: the menu on the item under it, if any.
static void ShowContextMenuAtMessage(HWND page, HWND list) {
  const DWORD position = GetMessagePos();
  // Signed, as the desktop's screens left of or above the first one need.
  POINT point = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  ScreenToClient(list, &point);
  LVHITTESTINFO hit = {};
  hit.pt = point;
  SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  ClientToScreen(list, &point);
  if (hit.iItem >= 0) ShowContextMenu(page, list, hit.iItem, point);  // not on an item: no process to act on
}

// The item the keyboard acts on: the selected one that has the focus (the
// list takes several with Ctrl and Shift), else the first selected; -1 for none.
static int SelectedItem(HWND list) {
  const LRESULT focused = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED);
  if (focused >= 0) return static_cast<int>(focused);
  return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// The menu key or Shift+F10: the menu on the selected item, below its name.
static void ShowContextMenuForKeyboard(HWND page, HWND list) {
  const int item = SelectedItem(list);
  RECT rect = {};
  rect.left = LVIR_LABEL;
  if (item < 0 || !SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect))) {
    return;
  }
  POINT point = {rect.left, rect.bottom};
  ClientToScreen(list, &point);
  ShowContextMenu(page, list, item, point);
}

// A key's command on the selected item, as the menu carries it out: Delete's
// "Kill Process" (confirmed as from the menu), Enter's "Show Threads".
static void RunOnSelected(HWND page, HWND list, UINT command, const wchar_t* title) {
  const int item = SelectedItem(list);
  ProcessEntry row;
  wchar_t name[kProcessNameChars + 1];
  const ListedProcess listed = item >= 0 ? CopyListedRow(list, item, &row, name) : kListedUnknown;
  if (listed == kListedUnknown) return;
  if (listed != kListedLive) {
    SayEnded(page, name);
    return;
  }
  HANDLE process = OpenProcess(kProcessCommandAccess, FALSE, row.processId);
  if (process == NULL) {
    ShowRefusal(page, title, GetLastError());
    return;
  }
  if (!RunCommand(page, command, row, process)) CloseHandle(process);
}

// Shows the order's mark on its column's title, and no mark on `previous`'s.
static void MarkSortColumn(HWND list, uint32_t previous, uint32_t order) {
  const int columns = g_state.processorCount > 1 ? kColumnAffinity + 1 : kColumnAffinity;
  const int marked[] = {ListOrderColumn(previous), ListOrderColumn(order)};
  for (int k = 0; k < 2; ++k) {
    const int column = marked[k];
    if (column < 0 || column >= columns) continue;
    wchar_t title[kRefusalChars];
    const wchar_t* mark = k == 0 ? L"" : (order & kOrderDescending) ? kDescendingMark : kAscendingMark;
    FormatWide(title, kRefusalChars, L"%ls%ls", mark, kProcessColumns[column].title);
    LVCOLUMNW record = {};
    record.mask = LVCF_TEXT;
    record.pszText = title;
    SendMessageW(list, LVM_SETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&record));
  }
}

// Has the sampling thread show the list's new order or its resume now,
// rather than at the next second's pass.
static void WakeListRefresh() {
  const HANDLE wake = LoadShared(g_state.listsWake);
  if (wake != NULL) SetEvent(wake);
}

// A header click: that column sorts, or sorts the other way.
static void SortByColumn(HWND list, int column) {
  const uint32_t previous = LoadShared(g_state.listOrder);
  const uint32_t order = ClickedListOrder(previous, column);
  StoreShared(&g_state.listOrder, order);
  MarkSortColumn(list, previous, order);
  WakeListRefresh();
}

// The lists' subclass. Enter is the list's (in the process list "Show
// Threads", through LVN_KEYDOWN), not the dialog manager's, which would press
// the sheet's OK and close the monitor. Two clicks on the process list's
// header within the double-click time come as a click and a double click
// (HDN_ITEMDBLCLICK, learn.microsoft.com/en-us/previous-versions/windows/
// embedded/ee506239(v=winembedded.60)), which the list does not pass on: the
// second sorts too, so that every click on a header counts.
static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  const MSG* key = reinterpret_cast<const MSG*>(lParam);
  if (message == WM_GETDLGCODE && key != NULL && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) {
    return DLGC_WANTMESSAGE;
  }
  if (message == WM_NOTIFY) {
    const NMHEADERW* header = reinterpret_cast<const NMHEADERW*>(lParam);
    if (header->hdr.code == static_cast<UINT>(HDN_ITEMDBLCLICKW) && GetDlgCtrlID(list) == IDC_PROCESS_LIST &&
        header->hdr.hwndFrom == ListView_GetHeader(list)) {
      SortByColumn(list, header->iItem);
    }
  }
  return CallWindowProcW(g_listViewProc, list, message, wParam, lParam);
}

static void SetPaused(HWND page, bool paused) {
  StoreShared(&g_state.listsPaused, paused ? 1u : 0u);
  SendDlgItemMessageW(page, IDC_PAUSE_LISTS, BM_SETCHECK, paused ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!paused) WakeListRefresh();
}

// New and ended rows in their colours; the list draws the rest.
static LONG DrawListItem(NMLVCUSTOMDRAW* draw) {
  if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
  const uint32_t mark =
      ListedMark(&g_stateLock, &g_state.processView, static_cast<uint32_t>(draw->nmcd.lItemlParam));
  if (mark == kMarkNew) {
    draw->clrTextBk = RGB(kNewRowRed, kNewRowGreen, kNewRowBlue);
  } else if (mark == kMarkEnded) {
    draw->clrTextBk = RGB(kEndedRowRed, kEndedRowGreen, kEndedRowBlue);
  } else {
    return CDRF_DODEFAULT;
  }
  return CDRF_NEWFONT;
}

static void OnNotify(HWND page, NMHDR* header) {
  const WORD key = header->code == static_cast<UINT>(LVN_KEYDOWN) ? reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey : 0;
  if ((header->idFrom == IDC_PROCESS_LIST || header->idFrom == IDC_THREAD_LIST) && key == VK_SPACE) {
    SetPaused(page, LoadShared(g_state.listsPaused) == 0);
    return;
  }
  if (header->idFrom == IDC_PROCESS_LIST) {
    if (header->code == static_cast<UINT>(NM_RCLICK) || header->code == kGestureContextMenu) {
      ShowContextMenuAtMessage(page, header->hwndFrom);
    } else if (key == VK_DELETE) {
      RunOnSelected(page, header->hwndFrom, IDM_KILL_PROCESS, L"Kill Process");
    } else if (key == VK_RETURN) {
      RunOnSelected(page, header->hwndFrom, IDM_SHOW_THREADS, L"Show Threads");
    } else if (header->code == static_cast<UINT>(LVN_COLUMNCLICK)) {
      SortByColumn(header->hwndFrom, reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
    } else if (header->code == static_cast<UINT>(NM_CUSTOMDRAW)) {
      SetDialogResult(page, DrawListItem(reinterpret_cast<NMLVCUSTOMDRAW*>(header)));
    }
    return;
  }
  // Notifications from the sheet steer the sampling thread: a process pass
  // runs each second while this page is active.
  switch (header->code) {
    case PSN_SETACTIVE: StoreShared(&g_state.processesPage, page); break;
    case PSN_KILLACTIVE: StoreShared(&g_state.processesPage, NULL); break;
    default: break;
  }
}

INT_PTR CALLBACK ProcessesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnInitDialog(page); return TRUE;
    case WM_NOTIFY:
      OnNotify(page, reinterpret_cast<NMHDR*>(lParam));
      // The process list's custom drawing answers through the dialog's result.
      return reinterpret_cast<NMHDR*>(lParam)->idFrom == IDC_PROCESS_LIST &&
                     reinterpret_cast<NMHDR*>(lParam)->code == static_cast<UINT>(NM_CUSTOMDRAW)
                 ? TRUE
                 : 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_PAUSE_LISTS && HIWORD(wParam) == BN_CLICKED) {
        SetPaused(page, SendDlgItemMessageW(page, IDC_PAUSE_LISTS, BM_GETCHECK, 0, 0) == BST_CHECKED);
      }
      return 0;
    case WM_CONTEXTMENU:
      // From the keyboard (no position); a click's menu came with NM_RCLICK.
      if (GET_X_LPARAM(lParam) == kKeyboardMenuPosition && GET_Y_LPARAM(lParam) == kKeyboardMenuPosition &&
          GetDlgCtrlID(reinterpret_cast<HWND>(wParam)) == IDC_PROCESS_LIST) {
        ShowContextMenuForKeyboard(page, reinterpret_cast<HWND>(wParam));
      }
      return 0;
    case WM_SIZE: FitListsToPage(page); return 0;
    case kPageWorkMessage: RunPageWork(); return 0;
    case WM_DESTROY:
      // The lists go with the page: the sampling thread stops sending to them.
      StoreShared(&g_state.listsPage, NULL);
      StoreShared(&g_state.processList, NULL);
      StoreShared(&g_state.threadList, NULL);
      return 0;
    default: return 0;
  }
}

#include "ui/processes/list_view_ops.h"

// What of an item's state moves with it.
static const UINT kMovedState = LVIS_SELECTED | LVIS_FOCUSED;

static void InsertItem(void* context, uint32_t item, const wchar_t* text, uint32_t id, uint32_t state) {
  LVITEMW record = {};
  // The item carries what names its row (a process's serial, a thread's id),
  // so the page's menu and drawing find the row it shows.
  record.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
  record.iItem = static_cast<int>(item);
  record.pszText = const_cast<wchar_t*>(text);
  record.lParam = static_cast<LPARAM>(id);
  record.state = state & kMovedState;
  record.stateMask = kMovedState;
  SendMessageW(static_cast<HWND>(context), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&record));
}

static void SetItemText(void* context, uint32_t item, uint32_t subItem, const wchar_t* text) {
  LVITEMW record = {};
  record.mask = LVIF_TEXT;
  record.iItem = static_cast<int>(item);
  record.iSubItem = static_cast<int>(subItem);
  record.pszText = const_cast<wchar_t*>(text);
  SendMessageW(static_cast<HWND>(context), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&record));
}

static uint32_t DeleteItem(void* context, uint32_t item, bool moves) {
  HWND list = static_cast<HWND>(context);
  const uint32_t state = static_cast<uint32_t>(SendMessageW(list, LVM_GETITEMSTATE, item, kMovedState));
  // A list hands a deleted item's focus to the item after it, which would
  // carry it along if it moved too: a moving item's focus goes with it alone.
  if (moves && (state & LVIS_FOCUSED) != 0) {
    LVITEMW record = {};
    record.stateMask = LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&record));
  }
  SendMessageW(list, LVM_DELETEITEM, item, 0);
  return state;
}

// learn.microsoft.com/en-us/previous-versions/windows/embedded/ee502588(v=winembedded.80):
// drawn again at the list's next paint.
static void RedrawItem(void* context, uint32_t item, bool ended) {
  HWND list = static_cast<HWND>(context);
  if (ended) {
    LVITEMW record = {};
    record.stateMask = LVIS_SELECTED;  // the focus stays, so the keys go on from it
    SendMessageW(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&record));
  }
  SendMessageW(list, LVM_REDRAWITEMS, item, item);
}

ListOps ListViewOps(HWND list) {
  const ListOps ops = {list, InsertItem, SetItemText, DeleteItem, RedrawItem};
  return ops;
}

#include "ui/processes/process_pass.h"

#include <cwchar>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"

namespace {

struct ToolhelpWalk {
  HANDLE snapshot;
  bool started;
  PROCESSENTRY32 record;
};

bool NextProcess(void* context, SnapshotEntry* entry) {
  ToolhelpWalk* walk = static_cast<ToolhelpWalk*>(context);
  const BOOL delivered =
      walk->started ? Process32Next(walk->snapshot, &walk->record) : Process32First(walk->snapshot, &walk->record);
  walk->started = true;
  if (!delivered) return false;
  entry->processId = walk->record.th32ProcessID;
  entry->threadCount = walk->record.cntThreads;
  constexpr size_t kChars = sizeof walk->record.szExeFile / sizeof walk->record.szExeFile[0];
  static_assert(kChars == kSnapshotNameChars, "the snapshot's name field");
  wcsncpy(entry->name, walk->record.szExeFile, kChars);
  entry->name[kChars - 1] = L'\0';
  return true;
}

uint32_t ReadAffinityOf(void*, uint32_t processId) { return ReadProcessAffinity(processId); }

void InsertItem(void* context, uint32_t item, const wchar_t* name, uint32_t processId) {
  LVITEMW record = {};
  // The item carries its process id, so the page's menu finds the row it shows.
  record.mask = LVIF_TEXT | LVIF_PARAM;
  record.iItem = static_cast<int>(item);
  record.pszText = const_cast<wchar_t*>(name);
  record.lParam = static_cast<LPARAM>(processId);
  SendMessageW(static_cast<HWND>(context), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&record));
}

void SetItemText(void* context, uint32_t item, uint32_t subItem, const wchar_t* text) {
  LVITEMW record = {};
  record.mask = LVIF_TEXT;
  record.iItem = static_cast<int>(item);
  record.iSubItem = static_cast<int>(subItem);
  record.pszText = const_cast<wchar_t*>(text);
  SendMessageW(static_cast<HWND>(context), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&record));
}

void DeleteItem(void* context, uint32_t item) {
  SendMessageW(static_cast<HWND>(context), LVM_DELETEITEM, item, 0);
}

}  // namespace

uint32_t ReadProcessAffinity(uint32_t processId) {
  HANDLE process = OpenProcess(kProcessQueryAccess, FALSE, processId);
  if (process == nullptr) return 0;
  DWORD value = 0;
  if (!g_kernel.CeGetProcessAffinity(process, &value)) value = 0;
  CloseHandle(process);
  return value;
}

void RunProcessPass() {
  // The list is held for the life of the page, so a page left during the
  // pass still gets every change the table makes.
  HWND list = g_state.processList.load(std::memory_order_relaxed);
  if (list == nullptr) return;
  HANDLE snapshot = CreateToolhelp32Snapshot(kSnapshotFlags, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;

  ToolhelpWalk walk = {};
  walk.snapshot = snapshot;
  walk.record.dwSize = sizeof walk.record;
  const SnapshotWalk source = {&walk, NextProcess};
  const AffinityReader reader = {nullptr, ReadAffinityOf};
  EnterCriticalSection(&g_state.processLock);
  UpdateProcessTable(&g_state.processTable, &source, g_state.processorCount, &reader);
  LeaveCriticalSection(&g_state.processLock);

  // Outside the lock: the main thread handles these messages while this
  // thread waits, and may itself be waiting for the lock to copy a row.
  const ProcessListOps ops = {list, InsertItem, SetItemText, DeleteItem};
  SyncProcessList(&g_state.processTable, &ops, g_state.reportBuffer, kReportBufferChars);
  CloseToolhelp32Snapshot(snapshot);
}

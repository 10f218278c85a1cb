#include "tests/wine/process_support.h"

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "ui/processes/processes_page.h"

std::wstring Hex8(DWORD value) {
  wchar_t text[16];
  swprintf(text, 16, L"%08X", static_cast<unsigned>(value));
  return text;
}

bool HelperProcess::Start(const std::wstring& exe, const std::wstring& arguments) {
  static int started = 0;
  tag_ = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++started);
  const std::wstring prefix = L"Local\\selvane-helper-" + tag_;
  ready_ = CreateEventW(nullptr, FALSE, FALSE, (prefix + L"-ready").c_str());
  more_ = CreateEventW(nullptr, FALSE, FALSE, (prefix + L"-more").c_str());
  exit_ = CreateEventW(nullptr, TRUE, FALSE, (prefix + L"-exit").c_str());
  const std::wstring command = L"\"" + exe + L"\" " + tag_ + L" " + arguments;
  return StartChild(command, nullptr, &child_) && WaitForSingleObject(ready_, kWaitMs) == WAIT_OBJECT_0;
}

HelperProcess::~HelperProcess() {
  EndChild(&child_);
  for (HANDLE event : {ready_, more_, exit_}) {
    if (event != nullptr) CloseHandle(event);
  }
}

bool HelperProcess::More() { return SetEvent(more_) && WaitForSingleObject(ready_, kWaitMs) == WAIT_OBJECT_0; }

std::string HelperProcess::ReadLine() {
  std::string line;
  char c;
  DWORD count = 0;
  while (ReadFile(child_.output, &c, 1, &count, nullptr) && count == 1 && c != '\n') {
    if (c != '\r') line += c;
  }
  return line;
}

DWORD HelperProcess::Exit() {
  SetEvent(exit_);
  return WaitChild(&child_, kWaitMs);
}

DWORD HelperProcess::ExitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(child_.process, &code);
  return code;
}

bool PageThread::Start() {
  ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
  return thread_ != nullptr && WaitForSingleObject(ready_, kWaitMs) == WAIT_OBJECT_0 && page_ != nullptr;
}

PageThread::~PageThread() {
  if (thread_ == nullptr) return;
  PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
  WaitForSingleObject(thread_, kWaitMs);
  CloseHandle(thread_);
  CloseHandle(ready_);
}

DWORD WINAPI PageThread::Run(LPVOID parameter) {
  PageThread* self = static_cast<PageThread*>(parameter);
  self->page_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROCESSES), nullptr,
                                   ProcessesPageProc, 0);
  ShowWindow(self->page_, SW_SHOW);
  SetEvent(self->ready_);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(self->page_, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  DestroyWindow(self->page_);
  return 0;
}

void BindProcessors(const wchar_t* variant) {
  ResetMonitorState();
  g_state.instance = GetModuleHandleW(nullptr);
  BindKernelExtensionsFrom(BinPath(variant).c_str());
}

std::wstring ItemText(HWND list, int item, int subItem) {
  wchar_t text[300] = {};
  LVITEMW record = {};
  record.iSubItem = subItem;
  record.pszText = text;
  record.cchTextMax = 300;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&record));
  return text;
}

int ItemCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

int FindItem(HWND list, DWORD processId) {
  for (int i = 0; i < ItemCount(list); ++i) {
    if (ItemText(list, i, kColumnPid) == Hex8(processId)) return i;
  }
  return -1;
}

HWND VisibleMenu() {
  HWND menu = FindWindowW(L"#32768", nullptr);
  return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

HWND WaitForMenu(DWORD ms) {
  WaitUntil([] { return VisibleMenu() != nullptr; }, ms);
  return VisibleMenu();
}

bool WaitForMenuClosed() {
  return WaitUntil([] { return VisibleMenu() == nullptr; });
}

POINT ItemCentre(HWND list, int item) {
  RECT rect = {};
  rect.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect));
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void RightClick(HWND list, POINT point) {
  POINT screen = point;
  ClientToScreen(list, &screen);
  SetCursorPos(screen.x, screen.y);
  PostMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(point.x, point.y));
  PostMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(point.x, point.y));
}

HWND OpenMenuOn(HWND list, int item) {
  RightClick(list, ItemCentre(list, item));
  return WaitForMenu();
}

void Keys(HWND menu, std::initializer_list<WPARAM> keys) {
  for (WPARAM key : keys) PostMessageW(menu, WM_KEYDOWN, key, 0);
}

bool Greyed(HMENU menu, UINT position) { return (GetMenuState(menu, position, MF_BYPOSITION) & MF_GRAYED) != 0; }

bool Checked(HMENU menu, UINT position) { return (GetMenuState(menu, position, MF_BYPOSITION) & MF_CHECKED) != 0; }

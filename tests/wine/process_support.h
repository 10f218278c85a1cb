// Shared helpers of the Processes page's tests: helper processes, the page on
// a thread of its own, list reading and menu driving.
#ifndef SELVANE_TESTS_WINE_PROCESS_SUPPORT_H
#define SELVANE_TESTS_WINE_PROCESS_SUPPORT_H

#include <initializer_list>
#include <string>

#include "platform/win32.h"
#include "tests/wine/wine_support.h"

constexpr DWORD kWaitMs = 5000;
constexpr DWORD kHelperExitCode = 7;  // what sleeper.exe and worker.exe exit with when told to

std::wstring Hex8(DWORD value);

// A helper process from tests/helpers, driven through the events
// "Local\selvane-helper-TAG-ready", "-more" and "-exit".
class HelperProcess {
 public:
  HelperProcess() = default;
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;
  ~HelperProcess();
  // Starts `exe TAG arguments` and waits for its first "ready".
  bool Start(const std::wstring& exe, const std::wstring& arguments);
  DWORD Id() const { return child_.processId; }
  HANDLE Process() const { return child_.process; }
  const std::wstring& Tag() const { return tag_; }
  // Sets "more" and waits for the next "ready".
  bool More();
  // One line of the helper's standard output, without its line end.
  std::string ReadLine();
  DWORD Exit();  // its exit code
  DWORD ExitCode() const;

 private:
  std::wstring tag_;
  ChildProcess child_;
  HANDLE ready_ = nullptr, more_ = nullptr, exit_ = nullptr;
};

// The Processes page on its own thread, as the sheet runs it.
class PageThread {
 public:
  bool Start();
  ~PageThread();
  HWND Page() const { return page_; }
  HWND List() const { return GetDlgItem(page_, IDC_PROCESS_LIST); }
  HWND ThreadList() const { return GetDlgItem(page_, IDC_THREAD_LIST); }

 private:
  static DWORD WINAPI Run(LPVOID parameter);
  HANDLE thread_ = nullptr, ready_ = nullptr;
  DWORD threadId_ = 0;
  HWND page_ = nullptr;
};

// Fresh state with the kernel extension set of a stand-in variant.
void BindProcessors(const wchar_t* variant);

std::wstring ItemText(HWND list, int item, int subItem);
int ItemCount(HWND list);
// The process list's item of `processId`, or -1.
int FindItem(HWND list, DWORD processId);

// Polls `done` every 10 ms for up to `ms`.
template <typename Condition>
bool WaitUntil(Condition done, DWORD ms = kWaitMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    Sleep(10);
  }
  return true;
}

HWND VisibleMenu();
HWND WaitForMenu(DWORD ms = kWaitMs);
bool WaitForMenuClosed();
POINT ItemCentre(HWND list, int item);
// A right press on `point` (the list's client coordinates), with the cursor
// there too: the menu takes its position from the message.
void RightClick(HWND list, POINT point);
HWND OpenMenuOn(HWND list, int item);
void Keys(HWND menu, std::initializer_list<WPARAM> keys);
bool Greyed(HMENU menu, UINT position);
bool Checked(HMENU menu, UINT position);

#endif

#include "platform/ce_compat.h"

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "app/constants.h"
#include "ui/performance/status_lines.h"

#ifndef _WIN32_WCE

static uint64_t FileTimeToU64(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

DWORD GetIdleTime() {
  FILETIME idle, kernel, user;
  if (!GetSystemTimes(&idle, &kernel, &user)) return 0;
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const uint64_t processors = info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
  // 100 ns units to ms; the truncation to 32 bits wraps like the tick count.
  return static_cast<DWORD>(FileTimeToU64(idle) / 10000u / processors);
}

void NKDbgPrintfW(const wchar_t* format, ...) {
  wchar_t text[256];
  va_list args;
  va_start(args, format);
  const int length = vswprintf(text, sizeof text / sizeof text[0], format, args);
  va_end(args);
  if (length < 0) return;
  OutputDebugStringW(text);
  fputws(text, stderr);
  fflush(stderr);
}

BOOL CloseToolhelp32Snapshot(HANDLE snapshot) { return CloseHandle(snapshot); }

FARPROC GetProcAddressW(HMODULE module, const wchar_t* name) {
  char narrow[128];
  size_t i = 0;
  for (; name[i] != L'\0'; ++i) {
    if (i + 1 >= sizeof narrow || name[i] > 0x7F) return nullptr;  // entry names are ASCII
    narrow[i] = static_cast<char>(name[i]);
  }
  narrow[i] = '\0';
  return GetProcAddress(module, narrow);
}

#endif

#ifndef _WIN32_WCE
// Loads by bare name ("coredll.dll", "libnvrm.dll") search the working
// directory too on the desktop, so a library planted there would run inside
// the monitor. Only the program's folder and the system folders are searched.
static void RestrictLibrarySearch() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
  const DWORD kSearchDefaultDirs = 0x00001000;  // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const SetDefaultDllDirectoriesFunction setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault == nullptr || !setDefault(kSearchDefaultDirs)) SetDllDirectoryW(L"");
}
#endif

void InitPlatform() {
#ifndef _WIN32_WCE
  RestrictLibrarySearch();
  // Diagnostics end in "\r\n" and the echo in "\n\r": no text-mode translation.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

void WriteDiagnostic(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
  fflush(stdout);
}

void ReadMemoryStatus(MemoryFigures* figures) {
#ifdef _WIN32_WCE
  MEMORYSTATUS status;
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  figures->loadPercent = status.dwMemoryLoad;
  figures->totalPhysical = status.dwTotalPhys;
  figures->availPhysical = status.dwAvailPhys;
#else
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return;  // leaves the previous figures
  figures->loadPercent = status.dwMemoryLoad;
  figures->totalPhysical = status.ullTotalPhys;
  figures->availPhysical = status.ullAvailPhys;
#endif
}

#ifndef _WIN32_WCE
// The status field keeps the block's exact text; on the desktop it is drawn
// with the device's line breaks (see StatusDisplayText), like the static
// control draws it otherwise: the page's colours, the field's font, word wrap.
static void PaintStatusField(HWND field) {
  wchar_t text[kReportBufferChars];
  wchar_t lines[kReportBufferChars];
  GetWindowTextW(field, text, kReportBufferChars);
  StatusDisplayText(text, lines, kReportBufferChars);

  PAINTSTRUCT paint;
  HDC dc = BeginPaint(field, &paint);
  if (dc == nullptr) return;
  RECT client;
  GetClientRect(field, &client);
  HBRUSH brush = reinterpret_cast<HBRUSH>(
      SendMessageW(GetParent(field), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(field)));
  FillRect(dc, &client, brush != nullptr ? brush : GetSysColorBrush(COLOR_BTNFACE));
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(field, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
  DrawTextW(dc, lines, -1, &client, DT_LEFT | DT_WORDBREAK);
  if (previous != nullptr) SelectObject(dc, previous);
  EndPaint(field, &paint);
}

static LRESULT CALLBACK StatusFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR) {
  switch (message) {
    case WM_SETTEXT:
      // Stores the text without the control's own drawing, then repaints.
      DefWindowProcW(field, message, wParam, lParam);
      InvalidateRect(field, nullptr, FALSE);
      return TRUE;
    case WM_PAINT: PaintStatusField(field); return 0;
    case WM_NCDESTROY: RemoveWindowSubclass(field, StatusFieldProc, 0); break;
    default: break;
  }
  return DefSubclassProc(field, message, wParam, lParam);
}
#endif

void AdaptStatusField(HWND field) {
#ifndef _WIN32_WCE
  SetWindowSubclass(field, StatusFieldProc, 0, 0);
#else
  (void)field;  // the device's static control wraps the block itself
#endif
}

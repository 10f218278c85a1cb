#include "platform/ce_compat.h"

#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "app/constants.h"
#include "app/text_format.h"
#include "platform/file_time.h"

DWORD GetIdleTime() {
  FILETIME idle, kernel, user;
  if (!GetSystemTimes(&idle, &kernel, &user)) return 0;
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const uint64_t processors = info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
  // 100 ns units to ms; the truncation to 32 bits wraps like the tick count.
  return static_cast<DWORD>(FileTimeTicks(idle) / kTicksPerMs / processors);
}

void NKDbgPrintfW(const wchar_t* format, ...) {
  wchar_t text[kDebugPrintChars];
  va_list args;
  va_start(args, format);
  const int length = FormatWideList(text, kDebugPrintChars, format, args);
  va_end(args);
  if (length < 0) return;
  OutputDebugStringW(text);
  // Standard error is a byte stream in binary mode (fputws would write the
  // 16-bit characters as they are): the text goes as UTF-8, line ends as written.
  char bytes[sizeof text];
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, bytes, sizeof bytes, NULL, NULL);
  if (size <= 0) return;
  fwrite(bytes, 1, static_cast<size_t>(size), stderr);
  fflush(stderr);
}

FARPROC GetProcAddressW(HMODULE module, const wchar_t* name) {
  char narrow[kEntryNameChars];
  size_t i = 0;
  for (; name[i] != L'\0'; ++i) {
    if (i + 1 >= sizeof narrow || name[i] > 0x7F) return NULL;  // entry names are ASCII
    narrow[i] = static_cast<char>(name[i]);
  }
  narrow[i] = '\0';
  return GetProcAddress(module, narrow);
}

void SetWindowUserData(HWND window, LONG value) { SetWindowLongPtrW(window, GWLP_USERDATA, value); }

void SetDialogResult(HWND dialog, LONG result) { SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result); }

WNDPROC SetWindowProcedure(HWND window, WNDPROC procedure) {
  return reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

// Loads by bare name ("coredll.dll", "libnvrm.dll") search the working
// directory too on the desktop, so a library planted there would run inside
// the monitor. Only the program's folder and the system folders are searched.
static void RestrictLibrarySearch() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const SetDefaultDllDirectoriesFunction setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault == NULL || !setDefault(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)) SetDllDirectoryW(L"");
}

void WriteDiagnostic(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
  fflush(stdout);
}

void InitPlatform() {
  RestrictLibrarySearch();
  // Diagnostics end in "\r\n" and the echo in "\n\r": no text-mode translation.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

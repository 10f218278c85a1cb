// The compatibility module: the device's own calls that the desktop lacks,
// the start-up work each platform needs, and the diagnostic writer. The rest
// of the program is written once against the device's API.
#ifndef SELVANE_PLATFORM_CE_COMPAT_H
#define SELVANE_PLATFORM_CE_COMPAT_H

#include <windows.h>

#ifdef SELVANE_DEVICE
#include <dbgapi.h>  // NKDbgPrintfW; winbase.h declares GetIdleTime and GetProcAddressW
#else
// Milliseconds one processor has been idle since start. The desktop gives the
// idle time summed over every processor; the single-processor sampling path
// expects one processor's, so the sum is divided by the processor count. That
// makes a multi-core machine read as the average of its processors.
DWORD GetIdleTime();

// The device's wide debug print (its serial port). On desktop: the debugger,
// and standard error for a user without one.
void NKDbgPrintfW(const wchar_t* format, ...);

// Entry-point lookup by wide name, as the device offers it.
FARPROC GetProcAddressW(HMODULE module, const wchar_t* name);
#endif

// Window data by the names each platform has: the device documents
// SetWindowLong with GWL_USERDATA and GWL_WNDPROC and has no ...LongPtr
// forms, which the 64-bit desktop needs.
void SetWindowUserData(HWND window, LONG value);
// Subclasses `window`; returns the window procedure it had.
WNDPROC SetWindowProcedure(HWND window, WNDPROC procedure);
// A dialog procedure's answer to a notification that wants one (custom
// drawing): DWL_MSGRESULT on the device, DWLP_MSGRESULT on the desktop.
void SetDialogResult(HWND dialog, LONG result);

// Start-up work the platform needs before anything else. On desktop: library
// loads by bare name search only the program's and the system's folders, and
// standard output and error are byte streams, so that diagnostics reach them
// byte for byte.
void InitPlatform();

// Writes one diagnostic line with the 8-bit printf and flushes it at once, so
// that a pipe sees it while the program still runs.
void WriteDiagnostic(const char* format, ...);

#endif

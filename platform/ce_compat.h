// The compatibility module: the device's own calls, supplied on desktop Windows.
// Everything that differs between the device and the desktop lives here, so the
// rest of the program is written once against the device's API.
#ifndef SELVANE_PLATFORM_CE_COMPAT_H
#define SELVANE_PLATFORM_CE_COMPAT_H

#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>

#include "platform/memory_figures.h"

#ifndef _WIN32_WCE
// Milliseconds one processor has been idle since start. The desktop gives the
// idle time summed over every processor; the single-processor sampling path
// expects one processor's, so the sum is divided by the processor count. That
// makes a multi-core machine read as the average of its processors.
DWORD GetIdleTime();

// The device's wide debug print (its serial port). On desktop: the debugger,
// and standard error for a user without one.
void NKDbgPrintfW(const wchar_t* format, ...);

BOOL CloseToolhelp32Snapshot(HANDLE snapshot);

// Entry-point lookup by wide name, as the device offers it.
FARPROC GetProcAddressW(HMODULE module, const wchar_t* name);
#endif

// Access rights a process handle asks for: the device takes none, the
// desktop grants only what is asked.
#ifdef _WIN32_WCE
constexpr DWORD kProcessQueryAccess = 0;
constexpr DWORD kProcessCommandAccess = 0;
#else
constexpr DWORD kProcessQueryAccess = PROCESS_QUERY_INFORMATION;
constexpr DWORD kProcessCommandAccess = PROCESS_TERMINATE | PROCESS_SET_INFORMATION | PROCESS_QUERY_INFORMATION;
#endif

// Start-up work the platform needs before anything else: standard output in
// binary mode, so that diagnostics reach it byte for byte.
void InitPlatform();

// Writes one diagnostic line with the 8-bit printf and flushes it at once, so
// that a pipe sees it while the program still runs.
void WriteDiagnostic(const char* format, ...);

// The status field shows a block whose groups the device's static control
// starts on new lines by word wrap; the desktop's does not wrap after a tab,
// so there the field is drawn with those line breaks. The text stays as set.
void AdaptStatusField(HWND field);

// Physical memory and its load. The desktop's counts exceed 32 bits; the
// device's always fit.
void ReadMemoryStatus(MemoryFigures* figures);

#endif

#include "platform/ce_compat.h"

#include <stdarg.h>
#include <stdio.h>

// The device's standard output takes the diagnostics as they are, and its
// loader searches no working directory: nothing to prepare.
void InitPlatform() {}

// learn.microsoft.com/en-us/previous-versions/windows/embedded/aa926164(v=msdn.10)
void SetWindowUserData(HWND window, LONG value) { SetWindowLongW(window, GWL_USERDATA, value); }

WNDPROC SetWindowProcedure(HWND window, WNDPROC procedure) {
  return reinterpret_cast<WNDPROC>(SetWindowLongW(window, GWL_WNDPROC, reinterpret_cast<LONG>(procedure)));
}

void WriteDiagnostic(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
  // Every output stream: no name for standard output is needed, which the
  // device's headers spell as a call of their own.
  fflush(NULL);
}

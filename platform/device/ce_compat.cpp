#include "platform/ce_compat.h"

#include <stdarg.h>
#include <stdio.h>

#include "app/constants.h"
#include "platform/static_check.h"

SELVANE_STATIC_CHECK(kDiagnosticChars > kRecordLineChars, a_record_line_is_one_diagnostic);

// The device's standard output takes the diagnostics as they are, and its
// loader searches no working directory: nothing to prepare.
void InitPlatform() {}

#ifndef _WIN64
// learn.microsoft.com/en-us/previous-versions/windows/embedded/aa926164(v=msdn.10)
void SetWindowUserData(HWND window, LONG value) { SetWindowLongW(window, GWL_USERDATA, value); }

WNDPROC SetWindowProcedure(HWND window, WNDPROC procedure) {
  return reinterpret_cast<WNDPROC>(SetWindowLongW(window, GWL_WNDPROC, reinterpret_cast<LONG>(procedure)));
}
#else
// The device's branch built for the 64-bit desktop, to run under Wine: a
// window procedure is wider than a LONG there.
void SetWindowUserData(HWND window, LONG value) { SetWindowLongPtrW(window, GWLP_USERDATA, value); }

WNDPROC SetWindowProcedure(HWND window, WNDPROC procedure) {
  return reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}
#endif

// The line on the debug output too, in pieces the debug print takes whole:
// Compact 2013 has no standard output at all, and on Compact 7 it reaches a
// console only where the image has one, while a bring-up bench always has
// the debug serial port.
static void EchoToDebugOutput(const char* text, size_t length) {
  wchar_t piece[kDebugPieceChars + 1];
  for (size_t start = 0; start < length; start += kDebugPieceChars) {
    size_t count = 0;
    for (; count < kDebugPieceChars && start + count < length; ++count) {
      piece[count] = static_cast<wchar_t>(static_cast<unsigned char>(text[start + count]));
    }
    piece[count] = L'\0';
    NKDbgPrintfW(L"%ls", piece);
  }
}

void WriteDiagnostic(const char* format, ...) {
  char text[kDiagnosticChars];
  va_list args;
  va_start(args, format);
  const int written = _vsnprintf(text, kDiagnosticChars - 1, format, args);
  va_end(args);
  // _vsnprintf leaves a text that fills the buffer unterminated: such a line is cut.
  const size_t length = written < 0 ? kDiagnosticChars - 1 : static_cast<size_t>(written);
  text[length] = '\0';
#if !defined(_WIN32_WCE) || _WIN32_WCE < 0x800
  // Written as bytes, not through the printf family (whose mingw-w64 form a
  // desktop build would link), and flushed on every output stream: no name
  // for standard output is needed, which the device's headers spell as a
  // call of their own.
  fwrite(text, 1, length, stdout);
  fflush(NULL);
#endif
  // Compact 2013 "does not support input or output to a console"
  // (dn197916): there the debug output is the only one.
  EchoToDebugOutput(text, length);
}

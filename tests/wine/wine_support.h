// Shared helpers of the tests that run under Wine.
#ifndef SELVANE_TESTS_WINE_SUPPORT_H
#define SELVANE_TESTS_WINE_SUPPORT_H

#include <string>

#include "platform/win32.h"
#include "resources/resource_ids.h"

#include <tlhelp32.h>

// The folder of the test program, where the program and the stand-ins are built.
std::wstring BinPath(const wchar_t* name);

// Captures what the process writes to standard output (the C run-time's
// descriptor 1), or to standard error (2), between construction and Text().
class StdoutCapture {
 public:
  explicit StdoutCapture(int descriptor = 1);
  ~StdoutCapture();
  std::string Text();

 private:
  int descriptor_;
  int savedDescriptor_;
  std::wstring path_;
  bool done_;
};

// A program started with its standard output (and, when asked, its standard
// error) on a pipe.
struct ChildProcess {
  HANDLE process = nullptr;
  DWORD processId = 0;
  HANDLE output = nullptr;  // read end of the standard-output pipe
};

// Starts `commandLine` in `directory` (null: the current one).
bool StartChild(const std::wstring& commandLine, const wchar_t* directory, ChildProcess* child,
                bool errorToo = false);
// Waits for the child to end; returns its exit code (or STILL_ACTIVE on timeout).
DWORD WaitChild(ChildProcess* child, DWORD timeoutMs);
// Everything the child wrote, once it has ended; closes the pipe.
std::string ReadChildOutput(ChildProcess* child);
void EndChild(ChildProcess* child);

// The first visible top-level window of `processId` whose caption is `caption`.
HWND WaitForWindow(DWORD processId, const wchar_t* caption, DWORD timeoutMs);

// Pumps this thread's messages for `ms` milliseconds.
void PumpFor(DWORD ms);

// The monitor's whole program run on a thread of the test process, so that
// tests can look inside while the real sheet is up.
struct InProcessMonitor {
  HANDLE thread = nullptr;
  DWORD threadId = 0;
  HWND sheet = nullptr;
  wchar_t commandLine[64] = {};
};
bool StartInProcess(InProcessMonitor* monitor, const wchar_t* options);
// Closes the sheet and returns what the program returned.
DWORD CloseInProcess(InProcessMonitor* monitor);

// Text of a window (another process's too).
std::wstring WindowText(HWND window);

#endif

#include "tests/wine/wine_support.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "app/constants.h"
#include "app/monitor.h"

std::wstring BinPath(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  folder.resize(folder.find_last_of(L"\\/") + 1);
  return folder + name;
}

StdoutCapture::StdoutCapture(int descriptor) : descriptor_(descriptor), savedDescriptor_(-1), done_(false) {
  wchar_t folder[MAX_PATH], file[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"out", 0, file);
  path_ = file;
  fflush(nullptr);
  savedDescriptor_ = _dup(descriptor_);
  // Standard output is binary in the program; standard error stays a text stream.
  const int capture = _wopen(file, _O_WRONLY | _O_TRUNC | (descriptor_ == 1 ? _O_BINARY : _O_TEXT));
  _dup2(capture, descriptor_);
  _close(capture);
}

std::string StdoutCapture::Text() {
  if (!done_) {
    fflush(nullptr);
    _dup2(savedDescriptor_, descriptor_);
    _close(savedDescriptor_);
    done_ = true;
  }
  std::string text;
  FILE* file = _wfopen(path_.c_str(), L"rb");
  if (file != nullptr) {
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
    fclose(file);
  }
  return text;
}

StdoutCapture::~StdoutCapture() {
  Text();
  DeleteFileW(path_.c_str());
}

bool StartChild(const std::wstring& commandLine, const wchar_t* directory, ChildProcess* child, bool errorToo) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16)) return false;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = errorToo ? writeEnd : GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION info = {};
  std::wstring line = commandLine;
  const BOOL started =
      CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, directory, &startup, &info);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    return false;
  }
  CloseHandle(info.hThread);
  child->process = info.hProcess;
  child->processId = info.dwProcessId;
  child->output = readEnd;
  return true;
}

DWORD WaitChild(ChildProcess* child, DWORD timeoutMs) {
  if (WaitForSingleObject(child->process, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(child->process, &code);
  return code;
}

std::string ReadChildOutput(ChildProcess* child) {
  std::string text;
  if (child->output == nullptr) return text;
  char buffer[4096];
  DWORD count;
  while (ReadFile(child->output, buffer, sizeof buffer, &count, nullptr) && count > 0) {
    text.append(buffer, count);
  }
  CloseHandle(child->output);
  child->output = nullptr;
  return text;
}

void EndChild(ChildProcess* child) {
  if (child->process != nullptr) {
    if (WaitForSingleObject(child->process, 0) == WAIT_TIMEOUT) TerminateProcess(child->process, 1);
    CloseHandle(child->process);
    child->process = nullptr;
  }
  if (child->output != nullptr) {
    CloseHandle(child->output);
    child->output = nullptr;
  }
}

struct WindowSearch {
  DWORD processId;
  const wchar_t* caption;
  HWND found;
};

static BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if (WindowText(window) != search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

HWND WaitForWindow(DWORD processId, const wchar_t* caption, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  do {
    WindowSearch search = {processId, caption, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    PumpFor(50);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

void PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (GetTickCount() - start < ms);
}

static DWORD WINAPI MonitorThread(LPVOID parameter) {
  InProcessMonitor* monitor = static_cast<InProcessMonitor*>(parameter);
  return static_cast<DWORD>(RunMonitor(GetModuleHandleW(nullptr), monitor->commandLine));
}

bool StartInProcess(InProcessMonitor* monitor, const wchar_t* options) {
  wcsncpy(monitor->commandLine, options, 63);
  monitor->thread = CreateThread(nullptr, 0, MonitorThread, monitor, 0, &monitor->threadId);
  if (monitor->thread == nullptr) return false;
  monitor->sheet = WaitForWindow(GetCurrentProcessId(), SELVANE_CAPTION, 10000);
  return monitor->sheet != nullptr;
}

DWORD CloseInProcess(InProcessMonitor* monitor) {
  if (monitor->sheet != nullptr) PostMessageW(monitor->sheet, WM_CLOSE, 0, 0);
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(monitor->thread, 10000) == WAIT_OBJECT_0) {
    GetExitCodeThread(monitor->thread, &code);
  }
  CloseHandle(monitor->thread);
  monitor->thread = nullptr;
  return code;
}

std::wstring WindowText(HWND window) {
  wchar_t text[512];
  const int length = GetWindowTextW(window, text, 512);
  return std::wstring(text, length > 0 ? length : 0);
}

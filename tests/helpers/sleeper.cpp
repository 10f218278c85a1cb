// A process for the tests to list, drive and end: it sleeps with a known
// number of threads.
//   sleeper TAG THREADS
// It starts THREADS - 1 threads besides its main one, then sets the event
// "Local\selvane-helper-TAG-ready". Each time "...-more" is set it starts two
// more threads and sets "...-ready" again; when "...-exit" is set it exits
// with code 7.
#include <windows.h>

#include <cwchar>
#include <string>

static HANDLE g_exit;

static DWORD WINAPI Sleeper(LPVOID) {
  WaitForSingleObject(g_exit, INFINITE);
  return 0;
}

static void StartThreads(int count) {
  for (int i = 0; i < count; ++i) {
    HANDLE thread = CreateThread(nullptr, 0, Sleeper, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
  }
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 1;
  const std::wstring prefix = std::wstring(L"Local\\selvane-helper-") + argv[1];
  g_exit = CreateEventW(nullptr, TRUE, FALSE, (prefix + L"-exit").c_str());
  HANDLE more = CreateEventW(nullptr, FALSE, FALSE, (prefix + L"-more").c_str());
  HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, (prefix + L"-ready").c_str());
  StartThreads(_wtoi(argv[2]) - 1);
  SetEvent(ready);
  HANDLE events[] = {g_exit, more};
  while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    StartThreads(2);
    SetEvent(ready);
  }
  return 7;
}

// A process whose CPU time, memory and threads the tests know.
//   worker TAG threads N   runs N threads (its main one included), writes their
//                          ids as one line, sets "Local\selvane-helper-TAG-ready".
//                          Each "...-more" ends the last of them still running,
//                          then sets ready again.
//   worker TAG burn        binds itself to the first processor, sets ready and
//                          keeps that processor busy for 3 s; then writes its
//                          own CPU time in 100 ns units as a line.
//   worker TAG touch MB    commits MB megabytes, writes to every page, sets ready.
// In every mode it exits with code 7 once "...-exit" is set.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

static constexpr DWORD kBurnMs = 3000;
static constexpr SIZE_T kMegabyte = 1 << 20;
static constexpr SIZE_T kPage = 4096;
static constexpr int kExitCode = 7;

static DWORD WINAPI WaitForEnd(LPVOID event) {
  WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
  return 0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 1;
  const std::wstring prefix = std::wstring(L"Local\\selvane-helper-") + argv[1];
  HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, (prefix + L"-exit").c_str());
  HANDLE more = CreateEventW(nullptr, FALSE, FALSE, (prefix + L"-more").c_str());
  HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, (prefix + L"-ready").c_str());
  const std::wstring mode = argv[2];
  const int count = argc > 3 ? _wtoi(argv[3]) : 0;
  std::vector<HANDLE> ends, threads;

  if (mode == L"burn") {
    SetProcessAffinityMask(GetCurrentProcess(), 1);
    SetEvent(ready);
    const DWORD start = GetTickCount();
    volatile unsigned spin = 0;
    while (GetTickCount() - start < kBurnMs) ++spin;
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](FILETIME t) { return ULARGE_INTEGER{{t.dwLowDateTime, t.dwHighDateTime}}.QuadPart; };
    printf("%llu\n", ticks(kernel) + ticks(user));
  } else if (mode == L"touch") {
    const SIZE_T bytes = static_cast<SIZE_T>(count) * kMegabyte;
    volatile char* memory = static_cast<char*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
    if (memory == nullptr) return 1;
    for (SIZE_T offset = 0; offset < bytes; offset += kPage) memory[offset] = 1;
    SetEvent(ready);
  } else if (mode == L"threads") {
    std::string ids = std::to_string(GetCurrentThreadId());
    for (int i = 1; i < count; ++i) {
      DWORD id = 0;
      ends.push_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));
      threads.push_back(CreateThread(nullptr, 0, WaitForEnd, ends.back(), 0, &id));
      ids += " " + std::to_string(id);
    }
    printf("%s\n", ids.c_str());
    SetEvent(ready);
  } else {
    return 1;
  }
  fflush(stdout);
  HANDLE events[] = {quit, more};
  while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    if (!threads.empty()) {
      SetEvent(ends.back());
      WaitForSingleObject(threads.back(), INFINITE);
      ends.pop_back();
      threads.pop_back();
    }
    SetEvent(ready);
  }
  return kExitCode;
}

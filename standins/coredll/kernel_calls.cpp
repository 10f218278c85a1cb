// The device's kernel calls that a desktop build of the device's branch
// imports from coredll.dll, as the device's reference documents them, over
// the desktop's kernel.
//
// The device's own names (GetIdleTime, NKDbgPrintfW, GetProcAddressW,
// CeGetThreadPriority, CeSetThreadPriority) are exported as they are. The
// names the desktop's kernel32 shares (OpenProcess, OpenThread, CloseHandle,
// GetThreadTimes, GetThreadPriority, SetThreadPriority) are defined here as
// Standin* and exported under the device's names by the module definition
// CMake writes, so that this file still calls kernel32's own; a program that
// links this library's import library ahead of kernel32 gets these.
//
// Kept here: the handles this library opened, with the rights asked for
// (counted, and checked with `thread-rights`), and, shared by every process
// that loads the library, each thread's device level where the desktop has
// none (0-247, and 254).
#include "standins/coredll/kernel_calls.h"

#include <fcntl.h>
#include <io.h>
#include <winternl.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <cstring>
#include <string>
#include <type_traits>

#include "standins/ce_levels.h"
#include "standins/standin_counts.h"
#include "standins/standin_settings.h"

#define STANDIN_EXPORT extern "C" __declspec(dllexport)
#define STANDIN_RENAMED extern "C"

static constexpr uint32_t kTrackedHandles = 1024;
static constexpr uint32_t kKeptLevels = 256;
static constexpr uint32_t kLevelWaitTries = 100000;
static const wchar_t kLevelTableName[] = L"Local\\selvane-standin-thread-levels";
static constexpr int kRealtimeLevel = 100;       // what `realtime-thread=TID` reads: a driver's level
static constexpr size_t kDebugPrintChars = 128;  // the device's output "must be smaller than ... 128 Unicode characters"
static constexpr size_t kEntryNameChars = 256;
static constexpr size_t kDirectiveChars = 16;  // one conversion: '%', flags, width, size, letter
static constexpr int kUnknownConversion = -2;
static constexpr int kWidthDigits = 2;        // a width of up to 99
static constexpr size_t kProcessRecordWords = (4u << 20) / sizeof(uint64_t);  // the system's process records

namespace {

struct TrackedHandle {
  HANDLE handle;  // null while free
  DWORD access;   // what the caller asked for
};

struct KeptLevel {
  DWORD threadId;  // 0 while free
  uint64_t created;  // the thread's creation time, so that a reused id is not taken for it
  int level;
};

static CRITICAL_SECTION g_lock;
static TrackedHandle g_handles[kTrackedHandles];
static uint32_t g_handlesUsed;  // slots below this may be in use
// The levels kept, in memory shared by every process that loads this
// library, as the device's kernel holds them: a level one process sets
// (a test's helper thread at a real-time level), another reads (the monitor).
struct LevelTable {
  volatile LONG busy;  // 1 while a process reads or writes it
  uint32_t next;       // the slot a new thread's level replaces when all are taken
  KeptLevel levels[kKeptLevels];
};
static LevelTable g_ownLevels;  // where no shared table could be made
static LevelTable* g_levels = &g_ownLevels;
static StandinCounts g_counts;

struct Locked {
  Locked() { EnterCriticalSection(&g_lock); }
  ~Locked() { LeaveCriticalSection(&g_lock); }
};

// Holds the level table across processes. Each holder only scans or writes
// the table, so the wait is short; one that ended while holding it (killed)
// is waited for kLevelWaitTries yields, then overruled.
struct LevelsLocked {
  LevelsLocked() {
    for (uint32_t i = 0; i < kLevelWaitTries && InterlockedCompareExchange(&g_levels->busy, 1, 0) != 0; ++i) Sleep(0);
  }
  ~LevelsLocked() { InterlockedExchange(&g_levels->busy, 0); }
};

}  // namespace

// ---- Handles ----

static TrackedHandle* FindHandle(HANDLE handle) {
  for (uint32_t i = 0; i < g_handlesUsed; ++i) {
    if (g_handles[i].handle == handle) return &g_handles[i];
  }
  return nullptr;
}

// Records `handle`; false when the table is full.
static bool Track(HANDLE handle, DWORD access) {
  Locked lock;
  TrackedHandle* slot = FindHandle(nullptr);
  if (slot == nullptr && g_handlesUsed < kTrackedHandles) slot = &g_handles[g_handlesUsed++];
  if (slot == nullptr) return false;
  *slot = TrackedHandle{handle, access};
  return true;
}

bool ThreadHandleAllows(HANDLE thread, DWORD right) {
  if (!StandinSetting("thread-rights")) return true;
  DWORD access = right;
  if (thread != nullptr) {  // a null handle would find a free slot
    Locked lock;
    const TrackedHandle* tracked = FindHandle(thread);
    if (tracked != nullptr) access = tracked->access;
  }
  if ((access & right) == right) return true;
  SetLastError(ERROR_ACCESS_DENIED);
  return false;
}

// Keeps `handle` (null: the open failed) with the rights it was asked for,
// and counts it in `*opened`; null when the table of handles is full.
static HANDLE Opened(HANDLE handle, DWORD access, uint32_t* opened) {
  if (handle == nullptr) return nullptr;
  if (!Track(handle, access)) {
    CloseHandle(handle);
    SetLastError(ERROR_NO_SYSTEM_RESOURCES);
    return nullptr;
  }
  Locked lock;
  ++*opened;
  return handle;
}

// OpenProcess: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488418(v=winembedded.80)
// The access is "not supported; set to zero": the handle may do everything.
STANDIN_RENAMED HANDLE WINAPI StandinOpenProcess(DWORD, BOOL inherit, DWORD processId) {
  return Opened(OpenProcess(PROCESS_ALL_ACCESS, inherit, processId), PROCESS_ALL_ACCESS, &g_counts.processHandles);
}

// OpenThread: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488755(v=winembedded.60)
// "Granted access ... only to the extent it was specified": kept, and
// enforced with `thread-rights`. The desktop handle may do everything, so
// that the stand-in's own reads work.
STANDIN_RENAMED HANDLE WINAPI StandinOpenThread(DWORD access, BOOL inherit, DWORD threadId) {
  return Opened(OpenThread(THREAD_ALL_ACCESS, inherit, threadId), access, &g_counts.threadHandles);
}

// CloseHandle: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488755(v=winembedded.60)
// (OpenThread's page: "close it by using the CloseHandle function").
STANDIN_RENAMED BOOL WINAPI StandinCloseHandle(HANDLE handle) {
  {
    Locked lock;
    TrackedHandle* tracked = handle != nullptr ? FindHandle(handle) : nullptr;
    if (tracked != nullptr) {
      tracked->handle = nullptr;
      ++g_counts.handlesClosed;
    }
  }
  return CloseHandle(handle);
}

// GetThreadTimes: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee487997(v=winembedded.80)
// It needs THREAD_QUERY_INFORMATION.
STANDIN_RENAMED BOOL WINAPI StandinGetThreadTimes(HANDLE thread, FILETIME* created, FILETIME* exited,
                                                  FILETIME* kernel, FILETIME* user) {
  if (!ThreadHandleAllows(thread, THREAD_QUERY_INFORMATION)) return FALSE;
  return GetThreadTimes(thread, created, exited, kernel, user);
}

STANDIN_EXPORT void WINAPI StandinTakeCounts(StandinCounts* counts) {
  Locked lock;
  counts->processHandles += g_counts.processHandles;
  counts->threadHandles += g_counts.threadHandles;
  counts->handlesClosed += g_counts.handlesClosed;
  counts->badFormats += g_counts.badFormats;
  g_counts = StandinCounts{};
}

// ---- Thread levels ----

static uint64_t CreationOf(HANDLE thread) {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
  return (uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

// The level kept for the thread, or -1.
static int KeptLevelOf(DWORD threadId, uint64_t created) {
  LevelsLocked lock;
  const KeptLevel* levels = g_levels->levels;
  const KeptLevel* kept = std::find_if(levels, levels + kKeptLevels, [&](const KeptLevel& level) {
    return level.threadId == threadId && level.created == created;
  });
  return kept != levels + kKeptLevels ? kept->level : -1;
}

// The thread's level: kept, or `realtime-thread=TID`'s, or its desktop priority's; -1 on failure.
static int LevelOf(HANDLE thread) {
  const DWORD threadId = GetThreadId(thread);
  if (threadId == 0) return -1;
  const int kept = KeptLevelOf(threadId, CreationOf(thread));
  if (kept >= 0) return kept;
  unsigned long realtime = 0;
  if (StandinSetting("realtime-thread", &realtime) && realtime == threadId) return kRealtimeLevel;
  const int priority = GetThreadPriority(thread);
  return priority == THREAD_PRIORITY_ERROR_RETURN ? -1 : LevelForDesktopPriority(priority);
}

// Runs the thread at the desktop priority nearest `level` and keeps the level.
static bool SetLevel(HANDLE thread, int level) {
  const DWORD threadId = GetThreadId(thread);
  if (threadId == 0 || !SetThreadPriority(thread, DesktopPriorityForLevel(level))) return false;
  const uint64_t created = CreationOf(thread);
  LevelsLocked lock;
  KeptLevel* levels = g_levels->levels;
  KeptLevel* slot = std::find_if(levels, levels + kKeptLevels,
                                 [&](const KeptLevel& kept) { return kept.threadId == threadId; });
  if (slot == levels + kKeptLevels) slot = &levels[g_levels->next++ % kKeptLevels];
  *slot = KeptLevel{threadId, created, level};
  return true;
}

// For the toolhelp stand-in's thread records: the level kept for a thread, or
// `realtime-thread`'s; -1 when the desktop priority tells.
STANDIN_EXPORT int WINAPI StandinThreadLevel(DWORD threadId) {
  bool known = false;
  {
    LevelsLocked lock;
    const KeptLevel* levels = g_levels->levels;
    known = std::any_of(levels, levels + kKeptLevels, [&](const KeptLevel& kept) { return kept.threadId == threadId; });
  }
  if (known) {
    HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, threadId);
    const uint64_t created = thread != nullptr ? CreationOf(thread) : 0;
    if (thread != nullptr) CloseHandle(thread);
    const int kept = KeptLevelOf(threadId, created);
    if (kept >= 0) return kept;
  }
  unsigned long realtime = 0;
  return StandinSetting("realtime-thread", &realtime) && realtime == threadId ? kRealtimeLevel : -1;
}

// CeGetThreadPriority: https://learn.microsoft.com/en-us/previous-versions/bb202770(v=msdn.10)
STANDIN_EXPORT int WINAPI CeGetThreadPriority(HANDLE thread) {
  if (!ThreadHandleAllows(thread, THREAD_QUERY_INFORMATION)) return THREAD_PRIORITY_ERROR_RETURN;
  const int level = LevelOf(thread);
  return level >= 0 ? level : THREAD_PRIORITY_ERROR_RETURN;
}

// CeSetThreadPriority: https://learn.microsoft.com/en-us/previous-versions/bb202731(v=msdn.10)
// 0 through 255; the legacy names "must not be used" here (they are levels to it).
STANDIN_EXPORT BOOL WINAPI CeSetThreadPriority(HANDLE thread, int level) {
  if (!ThreadHandleAllows(thread, THREAD_SET_INFORMATION)) return FALSE;
  if (level < 0 || level >= kCeLevelCount) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return SetLevel(thread, level);
}

// GetThreadPriority: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488168(v=winembedded.60)
// The legacy call sees only the eight application levels: a real-time
// thread reads as the highest of them. The names are the desktop headers'.
STANDIN_RENAMED int WINAPI StandinGetThreadPriority(HANDLE thread) {
  if (!ThreadHandleAllows(thread, THREAD_QUERY_INFORMATION)) return THREAD_PRIORITY_ERROR_RETURN;
  const int level = LevelOf(thread);
  if (level < 0) return THREAD_PRIORITY_ERROR_RETURN;
  return level < kCeLegacyFirst ? THREAD_PRIORITY_TIME_CRITICAL : kDesktopForLegacy[level - kCeLegacyFirst];
}

// SetThreadPriority: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488350(v=winembedded.60)
// It reaches only levels 248-255, so a real-time thread it is given leaves its level.
STANDIN_RENAMED BOOL WINAPI StandinSetThreadPriority(HANDLE thread, int priority) {
  if (!ThreadHandleAllows(thread, THREAD_SET_INFORMATION)) return FALSE;
  if (std::find(std::begin(kDesktopForLegacy), std::end(kDesktopForLegacy), priority) == std::end(kDesktopForLegacy)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return SetLevel(thread, LevelForDesktopPriority(priority));
}

// ---- Idle time, debug print, entry points ----

// GetIdleTime: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488013(v=winembedded.60)
// MAXDWORD where the platform keeps no idle count (`no-idle-time`); on a
// multi-processor kernel it is the first processor's count, not a mean.
STANDIN_EXPORT DWORD WINAPI GetIdleTime() {
  DWORD idleMs = 0;
  if (StandinSetting("no-idle-time") || !FirstProcessorIdle(&idleMs)) return MAXDWORD;
  return idleMs;
}

// GetProcessTimes: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/gg155707(v=winembedded.80)
// Compact 2013's kernel keeps a process's whole time, its exited threads'
// included. Wine's own call answers for another process with the caller's
// times, so the kernel and user times come from the system's record of the
// process (Linux's count for the whole process). Hidden from GetProcAddressW
// with `no-process-times`, as on Compact 7, which lacks it.
STANDIN_RENAMED BOOL WINAPI StandinGetProcessTimes(HANDLE process, FILETIME* created, FILETIME* exited,
                                                   FILETIME* kernel, FILETIME* user) {
  const DWORD processId = GetProcessId(process);
  FILETIME ownKernel, ownUser;
  if (processId == 0 || !GetProcessTimes(process, created, exited, &ownKernel, &ownUser)) return FALSE;
  // A fixed buffer: a cycle allocates nothing, the stand-ins included.
  static uint64_t records[kProcessRecordWords];
  Locked lock;
  ULONG length = 0;
  if (NtQuerySystemInformation(SystemProcessInformation, records, sizeof records, &length) != 0) return FALSE;
  const unsigned char* at = reinterpret_cast<const unsigned char*>(records);
  for (;;) {
    const SYSTEM_PROCESS_INFORMATION* record = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(at);
    if (static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(record->UniqueProcessId)) == processId) {
      kernel->dwLowDateTime = record->KernelTime.LowPart;
      kernel->dwHighDateTime = static_cast<DWORD>(record->KernelTime.HighPart);
      user->dwLowDateTime = record->UserTime.LowPart;
      user->dwHighDateTime = static_cast<DWORD>(record->UserTime.HighPart);
      return TRUE;
    }
    if (record->NextEntryOffset == 0) break;
    at += record->NextEntryOffset;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

// The kernel's formatter (ee488771): d i u x X p c s, each with l, h or I64,
// flags '-' and '0' and a width; no floating point and no precision.
// Anything else is an unsupported conversion: false, and the message is not
// written.
static bool KernelFormat(wchar_t* out, size_t capacity, const wchar_t* format, va_list args) {
  size_t length = 0;
  auto put = [&](wchar_t c) {
    if (length + 1 < capacity) out[length++] = c;
  };
  for (const wchar_t* at = format; *at != L'\0'; ++at) {
    if (*at != L'%') {
      put(*at);
      continue;
    }
    ++at;
    if (*at == L'%') {
      put(L'%');
      continue;
    }
    // The conversion again for the desktop's formatter: flags, width, size, letter.
    wchar_t directive[kDirectiveChars] = L"%";
    size_t directiveLength = 1;
    auto add = [&](wchar_t c) {
      if (directiveLength + 1 < kDirectiveChars) directive[directiveLength++] = c;
    };
    while (*at == L'-' || *at == L'0') add(*at++);
    for (int digits = 0; *at >= L'0' && *at <= L'9'; ++digits) {
      if (digits >= kWidthDigits) return false;
      add(*at++);
    }
    enum { kInt, kLong, kShort, kWide64 } size = kInt;
    if (*at == L'l') {
      size = kLong;
      ++at;
    } else if (*at == L'h') {
      size = kShort;
      ++at;
    } else if (at[0] == L'I' && at[1] == L'6' && at[2] == L'4') {
      size = kWide64;
      at += 3;
    }
    const wchar_t conversion = *at;
    wchar_t piece[kDebugPrintChars];
    int written = kUnknownConversion;
    if (conversion != L'\0' && std::wcschr(L"diuxX", conversion) != nullptr) {
      if (size == kWide64) {
        add(L'l');
        add(L'l');
        add(conversion);
        written = _snwprintf(piece, kDebugPrintChars - 1, directive, va_arg(args, long long));
      } else {
        add(conversion);
        int value = va_arg(args, int);
        if (size == kShort) {
          value = conversion == L'd' || conversion == L'i' ? static_cast<short>(value)
                                                           : static_cast<unsigned short>(value);
        }
        written = _snwprintf(piece, kDebugPrintChars - 1, directive, value);
      }
    } else if (conversion == L'p' && size == kInt) {
      add(L'p');
      written = _snwprintf(piece, kDebugPrintChars - 1, directive, va_arg(args, void*));
    } else if (conversion == L'c' && size != kWide64) {
      add(L'c');
      written = _snwprintf(piece, kDebugPrintChars - 1, directive, static_cast<wchar_t>(va_arg(args, int)));
    } else if (conversion == L's' && size != kWide64) {
      // The wide print's strings are wide; h makes one 8-bit.
      add(size == kShort ? L'h' : L'l');
      add(L's');
      written = _snwprintf(piece, kDebugPrintChars - 1, directive, va_arg(args, void*));
    }
    if (written == kUnknownConversion) return false;
    // A piece longer than a message is cut with it.
    piece[written < 0 || written >= static_cast<int>(kDebugPrintChars) - 1 ? kDebugPrintChars - 1 : written] = L'\0';
    for (const wchar_t* c = piece; *c != L'\0'; ++c) put(*c);
  }
  out[length] = L'\0';
  return true;
}

// NKDbgPrintfW: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488771(v=winembedded.80)
// The debug port is the debugger output and standard error (as UTF-8,
// written as is). A message is cut at 127 characters, the device's limit.
// A conversion the kernel does not know is counted (StandinTakeCounts) and
// written as a marker line in its place, so that it shows under Wine.
STANDIN_EXPORT void NKDbgPrintfW(const wchar_t* format, ...) {
  wchar_t text[kDebugPrintChars];
  va_list args;
  va_start(args, format);
  const bool formatted = KernelFormat(text, kDebugPrintChars, format, args);
  va_end(args);
  if (!formatted) {
    {
      Locked lock;
      ++g_counts.badFormats;
    }
    _snwprintf(text, kDebugPrintChars - 1, L"%ls%.80ls\r\n", kBadFormatMarker, format);
    text[kDebugPrintChars - 1] = L'\0';
  }
  const size_t length = wcslen(text);
  OutputDebugStringW(text);
  char bytes[kDebugPrintChars * 3];  // at most three UTF-8 bytes a 16-bit character
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), bytes, sizeof bytes, nullptr, nullptr);
  DWORD written = 0;
  if (size > 0) WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes, static_cast<DWORD>(size), &written, nullptr);
}

// GetProcAddress (wide): https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488623(v=winembedded.80)
STANDIN_EXPORT FARPROC WINAPI GetProcAddressW(HMODULE module, const wchar_t* name) {
  if (IS_INTRESOURCE(name)) return GetProcAddress(module, reinterpret_cast<const char*>(name));  // an ordinal
  char narrow[kEntryNameChars];
  size_t i = 0;
  for (; name[i] != L'\0'; ++i) {
    if (i + 1 >= kEntryNameChars || name[i] > 0x7F) {  // entry names are ASCII
      SetLastError(ERROR_PROC_NOT_FOUND);
      return nullptr;
    }
    narrow[i] = static_cast<char>(name[i]);
  }
  narrow[i] = '\0';
  if (StandinSetting("no-process-times") && std::strcmp(narrow, "GetProcessTimes") == 0) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return GetProcAddress(module, narrow);
}

// ---- Load ----

// `no-stdout`: Compact 2013 has no standard output. Writes to it fail from
// the load on and reach no one; the debug port (standard error) stays.
static void RemoveStandardOutput() {
  fflush(stdout);
  const int refusing = _open("NUL", _O_RDONLY);
  if (refusing >= 0) {
    _dup2(refusing, _fileno(stdout));
    _close(refusing);
  }
  SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
}

// Maps the level table every process shares; a new one is zeroed, all free.
static void ShareLevelTable() {
  HANDLE mapping =
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LevelTable), kLevelTableName);
  if (mapping == nullptr) return;
  // The handle stays open for the life of the process: Wine forgets a
  // section's name with its last handle, though views of it remain.
  void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LevelTable));
  if (view != nullptr) g_levels = static_cast<LevelTable*>(view);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    InitializeCriticalSection(&g_lock);
    ShareLevelTable();
    if (StandinSetting("no-stdout")) RemoveStandardOutput();
  }
  // At process exit other threads may still hold the lock: leave it be.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) DeleteCriticalSection(&g_lock);
  return TRUE;
}

// The renamed exports keep the desktop's call shapes, which the device's share.
#define STANDIN_SAME_SHAPE(standin, desktop) \
  static_assert(std::is_same<decltype(&standin), decltype(&desktop)>::value, #desktop " call shape")
STANDIN_SAME_SHAPE(StandinOpenProcess, OpenProcess);
STANDIN_SAME_SHAPE(StandinOpenThread, OpenThread);
STANDIN_SAME_SHAPE(StandinCloseHandle, CloseHandle);
STANDIN_SAME_SHAPE(StandinGetThreadTimes, GetThreadTimes);
STANDIN_SAME_SHAPE(StandinGetProcessTimes, GetProcessTimes);
STANDIN_SAME_SHAPE(StandinGetThreadPriority, GetThreadPriority);
STANDIN_SAME_SHAPE(StandinSetThreadPriority, SetThreadPriority);
static_assert(std::is_same<decltype(&StandinTakeCounts), StandinTakeCountsFunction>::value, "call shape");

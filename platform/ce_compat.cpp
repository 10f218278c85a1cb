#include "platform/ce_compat.h"

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#ifndef _WIN32_WCE
#include <winternl.h>
#endif

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "app/constants.h"
#include "ui/performance/status_lines.h"

#ifndef _WIN32_WCE

static uint64_t FileTimeToU64(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

DWORD GetIdleTime() {
  FILETIME idle, kernel, user;
  if (!GetSystemTimes(&idle, &kernel, &user)) return 0;
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const uint64_t processors = info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
  // 100 ns units to ms; the truncation to 32 bits wraps like the tick count.
  return static_cast<DWORD>(FileTimeToU64(idle) / 10000u / processors);
}

void NKDbgPrintfW(const wchar_t* format, ...) {
  wchar_t text[256];
  va_list args;
  va_start(args, format);
  const int length = vswprintf(text, sizeof text / sizeof text[0], format, args);
  va_end(args);
  if (length < 0) return;
  OutputDebugStringW(text);
  // Standard error is a byte stream in binary mode (fputws would write the
  // 16-bit characters as they are): the text goes as UTF-8, line ends as written.
  char bytes[sizeof text];
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, bytes, sizeof bytes, nullptr, nullptr);
  if (size <= 0) return;
  fwrite(bytes, 1, static_cast<size_t>(size), stderr);
  fflush(stderr);
}

BOOL CloseToolhelp32Snapshot(HANDLE snapshot) { return CloseHandle(snapshot); }

FARPROC GetProcAddressW(HMODULE module, const wchar_t* name) {
  char narrow[128];
  size_t i = 0;
  for (; name[i] != L'\0'; ++i) {
    if (i + 1 >= sizeof narrow || name[i] > 0x7F) return nullptr;  // entry names are ASCII
    narrow[i] = static_cast<char>(name[i]);
  }
  narrow[i] = '\0';
  return GetProcAddress(module, narrow);
}

#endif

#ifndef _WIN32_WCE
// Loads by bare name ("coredll.dll", "libnvrm.dll") search the working
// directory too on the desktop, so a library planted there would run inside
// the monitor. Only the program's folder and the system folders are searched.
static void RestrictLibrarySearch() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
  const DWORD kSearchDefaultDirs = 0x00001000;  // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const SetDefaultDllDirectoriesFunction setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault == nullptr || !setDefault(kSearchDefaultDirs)) SetDllDirectoryW(L"");
}
#endif

void InitPlatform() {
#ifndef _WIN32_WCE
  RestrictLibrarySearch();
  // Diagnostics end in "\r\n" and the echo in "\n\r": no text-mode translation.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

void WriteDiagnostic(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
  fflush(stdout);
}

void ReadMemoryStatus(MemoryFigures* figures) {
#ifdef _WIN32_WCE
  MEMORYSTATUS status;
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  figures->loadPercent = status.dwMemoryLoad;
  figures->totalPhysical = status.dwTotalPhys;
  figures->availPhysical = status.dwAvailPhys;
#else
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return;  // leaves the previous figures
  figures->loadPercent = status.dwMemoryLoad;
  figures->totalPhysical = status.ullTotalPhys;
  figures->availPhysical = status.ullAvailPhys;
#endif
}

#ifndef _WIN32_WCE
// The status field keeps the block's exact text; on the desktop it is drawn
// with the device's line breaks (see StatusDisplayText), like the static
// control draws it otherwise: the page's colours, the field's font, word wrap.
static void PaintStatusField(HWND field) {
  wchar_t text[kReportBufferChars];
  wchar_t lines[kReportBufferChars];
  GetWindowTextW(field, text, kReportBufferChars);
  StatusDisplayText(text, lines, kReportBufferChars);

  PAINTSTRUCT paint;
  HDC dc = BeginPaint(field, &paint);
  if (dc == nullptr) return;
  RECT client;
  GetClientRect(field, &client);
  HBRUSH brush = reinterpret_cast<HBRUSH>(
      SendMessageW(GetParent(field), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(field)));
  FillRect(dc, &client, brush != nullptr ? brush : GetSysColorBrush(COLOR_BTNFACE));
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(field, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
  DrawTextW(dc, lines, -1, &client, DT_LEFT | DT_WORDBREAK);
  if (previous != nullptr) SelectObject(dc, previous);
  EndPaint(field, &paint);
}

static LRESULT CALLBACK StatusFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR) {
  switch (message) {
    case WM_SETTEXT:
      // Stores the text without the control's own drawing, then repaints.
      DefWindowProcW(field, message, wParam, lParam);
      InvalidateRect(field, nullptr, FALSE);
      return TRUE;
    case WM_PAINT: PaintStatusField(field); return 0;
    case WM_NCDESTROY: RemoveWindowSubclass(field, StatusFieldProc, 0); break;
    default: break;
  }
  return DefSubclassProc(field, message, wParam, lParam);
}
#endif

void AdaptStatusField(HWND field) {
#ifndef _WIN32_WCE
  SetWindowSubclass(field, StatusFieldProc, 0, 0);
#else
  (void)field;  // the device's static control wraps the block itself
#endif
}

#ifdef _WIN32_WCE

bool ProcessTimesFromThreads() { return true; }

bool TakeProcessSnapshot(ProcessSnapshot* snapshot) {
  HANDLE handle = CreateToolhelp32Snapshot(kSnapshotFlags, 0);
  if (handle == INVALID_HANDLE_VALUE) return false;
  *snapshot = ProcessSnapshot{};
  snapshot->handle = handle;
  snapshot->process.dwSize = sizeof snapshot->process;
  snapshot->thread.dwSize = sizeof snapshot->thread;
  return true;
}

bool NextSnapshotProcess(ProcessSnapshot* snapshot, SnapshotEntry* entry) {
  PROCESSENTRY32* record = &snapshot->process;
  const BOOL delivered = snapshot->processesStarted ? Process32Next(snapshot->handle, record)
                                                    : Process32First(snapshot->handle, record);
  snapshot->processesStarted = true;
  if (!delivered) return false;
  entry->processId = record->th32ProcessID;
  entry->threadCount = record->cntThreads;
  constexpr size_t kChars = sizeof record->szExeFile / sizeof record->szExeFile[0];
  static_assert(kChars == kSnapshotNameChars, "the snapshot's name field");
  wcsncpy(entry->name, record->szExeFile, kChars);
  entry->name[kChars - 1] = L'\0';
  return true;
}

bool NextSnapshotThread(ProcessSnapshot* snapshot, SnapshotThread* thread) {
  THREADENTRY32* record = &snapshot->thread;
  const BOOL delivered = snapshot->threadsStarted ? Thread32Next(snapshot->handle, record)
                                                  : Thread32First(snapshot->handle, record);
  snapshot->threadsStarted = true;
  if (!delivered) return false;
  thread->threadId = record->th32ThreadID;
  thread->ownerId = record->th32OwnerProcessID;
  return true;
}

void CloseProcessSnapshot(ProcessSnapshot* snapshot) { CloseToolhelp32Snapshot(snapshot->handle); }

bool FindProcessCpuTime(uint32_t, uint64_t*) { return false; }

bool FindProcessWorkingSet(uint32_t, uint64_t*) { return false; }

// The device's levels for "High", "Normal" and "Low", by menu position.
static const int kThreadLevels[kPriorityLevelCount] = {THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_NORMAL,
                                                       THREAD_PRIORITY_IDLE};

// Calls `visit` with each thread of `processId` in a fresh snapshot, while
// it returns true. False when the process has exited (the handle the command
// holds tells, since its id may name another process by now) or no snapshot.
static bool ForEachThreadOf(HANDLE process, uint32_t processId, bool (*visit)(HANDLE thread, void* context),
                            void* context) {
  if (WaitForSingleObject(process, 0) != WAIT_TIMEOUT) return false;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  THREADENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != processId) continue;
    HANDLE thread = OpenThread(kThreadQueryAccess, FALSE, entry.th32ThreadID);
    const bool goOn = visit(thread, context);
    if (thread != nullptr) CloseHandle(thread);
    if (!goOn) break;
  }
  CloseToolhelp32Snapshot(snapshot);
  return true;
}

struct LevelSetting {
  int level;
  uint32_t threads;
  BOOL all;
};

static bool SetThreadLevel(HANDLE thread, void* context) {
  LevelSetting* setting = static_cast<LevelSetting*>(context);
  ++setting->threads;
  if (thread == nullptr || !SetThreadPriority(thread, setting->level)) setting->all = FALSE;
  return true;
}

BOOL SetProcessPriorityLevel(HANDLE process, uint32_t processId, uint32_t level) {
  if (level >= kPriorityLevelCount) return FALSE;
  LevelSetting setting = {kThreadLevels[level], 0, TRUE};
  if (!ForEachThreadOf(process, processId, SetThreadLevel, &setting)) return FALSE;
  return setting.all && setting.threads > 0;
}

struct LevelReading {
  uint32_t threads;
  int level;
  bool same;
};

static bool ReadThreadLevel(HANDLE thread, void* context) {
  LevelReading* reading = static_cast<LevelReading*>(context);
  const int level = thread != nullptr ? GetThreadPriority(thread) : THREAD_PRIORITY_ERROR_RETURN;
  if (level == THREAD_PRIORITY_ERROR_RETURN || (reading->threads > 0 && level != reading->level)) {
    reading->same = false;
    return false;
  }
  reading->level = level;
  ++reading->threads;
  return true;
}

// The level every thread runs at; threads at different levels have none.
uint32_t ReadProcessPriorityLevel(HANDLE process, uint32_t processId) {
  LevelReading reading = {0, 0, true};
  if (!ForEachThreadOf(process, processId, ReadThreadLevel, &reading) || !reading.same || reading.threads == 0) {
    return kPriorityUnknown;
  }
  for (uint32_t level = 0; level < kPriorityLevelCount; ++level) {
    if (kThreadLevels[level] == reading.level) return level;
  }
  return kPriorityUnknown;
}

#else

bool ProcessTimesFromThreads() { return false; }

// The system's process records of the last snapshot, as
// NtQuerySystemInformation lays them out: room for about 20,000 threads
// besides the table's 1,024 processes. Only the part the system writes is
// ever touched.
constexpr ULONG kProcessRecordBytes = 2u << 20;
alignas(8) static unsigned char g_processRecords[kProcessRecordBytes];
static ULONG g_processRecordsLength;
static ULONG g_processCursor;  // the last record found: the walk goes in the same order
// Toolhelp's name for the record of id 0, which the system leaves unnamed.
static const wchar_t kIdleProcessName[] = L"[System Process]";

static uint32_t IdOf(HANDLE id) { return static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(id)); }

static const SYSTEM_THREAD_INFORMATION* ThreadsOf(const SYSTEM_PROCESS_INFORMATION* record) {
  return reinterpret_cast<const SYSTEM_THREAD_INFORMATION*>(record + 1);
}

// The record at `offset`, or nullptr where no whole record (with its
// threads) stands there.
static const SYSTEM_PROCESS_INFORMATION* RecordAt(ULONG offset) {
  if (offset > g_processRecordsLength || g_processRecordsLength - offset < sizeof(SYSTEM_PROCESS_INFORMATION)) {
    return nullptr;
  }
  const auto* record = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(g_processRecords + offset);
  const uint64_t threadBytes = uint64_t{record->NumberOfThreads} * sizeof(SYSTEM_THREAD_INFORMATION);
  if (threadBytes > g_processRecordsLength - offset - sizeof(SYSTEM_PROCESS_INFORMATION)) return nullptr;
  return record;
}

// The offset of the record after the one at `offset` (a whole record), or 0
// after the last.
static ULONG NextRecord(ULONG offset) {
  const ULONG step = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(g_processRecords + offset)->NextEntryOffset;
  return step == 0 || step > g_processRecordsLength - offset ? 0 : offset + step;
}

bool TakeProcessSnapshot(ProcessSnapshot* snapshot) {
  ULONG length = 0;
  const NTSTATUS status =
      NtQuerySystemInformation(SystemProcessInformation, g_processRecords, sizeof g_processRecords, &length);
  if (status != 0) {
    g_processRecordsLength = 0;
    return false;
  }
  g_processRecordsLength = length < sizeof g_processRecords ? length : sizeof g_processRecords;
  g_processCursor = 0;
  *snapshot = ProcessSnapshot{};
  return true;
}

bool NextSnapshotProcess(ProcessSnapshot* snapshot, SnapshotEntry* entry) {
  const SYSTEM_PROCESS_INFORMATION* record = snapshot->processesDone ? nullptr : RecordAt(snapshot->process);
  if (record == nullptr) return false;
  entry->processId = IdOf(record->UniqueProcessId);
  entry->threadCount = record->NumberOfThreads;
  const wchar_t* name = record->ImageName.Buffer;
  size_t chars = name != nullptr ? record->ImageName.Length / sizeof(wchar_t) : 0;
  if (chars == 0 && entry->processId == 0) {
    name = kIdleProcessName;
    chars = sizeof kIdleProcessName / sizeof kIdleProcessName[0] - 1;
  }
  if (chars > kSnapshotNameChars - 1) chars = kSnapshotNameChars - 1;
  if (chars > 0) wmemcpy(entry->name, name, chars);
  entry->name[chars] = L'\0';
  snapshot->process = NextRecord(snapshot->process);
  snapshot->processesDone = snapshot->process == 0;
  return true;
}

bool NextSnapshotThread(ProcessSnapshot* snapshot, SnapshotThread* thread) {
  while (!snapshot->threadsDone) {
    const SYSTEM_PROCESS_INFORMATION* record = RecordAt(snapshot->threadRecord);
    if (record == nullptr) break;
    if (snapshot->threadIndex < record->NumberOfThreads) {
      thread->threadId = IdOf(ThreadsOf(record)[snapshot->threadIndex++].ClientId.UniqueThread);
      thread->ownerId = IdOf(record->UniqueProcessId);
      return true;
    }
    snapshot->threadRecord = NextRecord(snapshot->threadRecord);
    snapshot->threadIndex = 0;
    snapshot->threadsDone = snapshot->threadRecord == 0;
  }
  snapshot->threadsDone = true;
  return false;
}

void CloseProcessSnapshot(ProcessSnapshot*) {}

// Searches from the last record found round to it again, so that a walk in
// the system's order costs one or two records a process.
static const SYSTEM_PROCESS_INFORMATION* FindProcessRecord(uint32_t processId) {
  ULONG offset = g_processCursor;
  do {
    const SYSTEM_PROCESS_INFORMATION* record = RecordAt(offset);
    if (record == nullptr) return nullptr;
    if (IdOf(record->UniqueProcessId) == processId) {
      g_processCursor = offset;
      return record;
    }
    offset = NextRecord(offset);
  } while (offset != g_processCursor);
  return nullptr;
}

bool FindProcessCpuTime(uint32_t processId, uint64_t* cpuTime) {
  const SYSTEM_PROCESS_INFORMATION* record = FindProcessRecord(processId);
  if (record == nullptr) return false;
  *cpuTime = static_cast<uint64_t>(record->KernelTime.QuadPart) + static_cast<uint64_t>(record->UserTime.QuadPart);
  return true;
}

bool FindProcessWorkingSet(uint32_t processId, uint64_t* bytes) {
  const SYSTEM_PROCESS_INFORMATION* record = FindProcessRecord(processId);
  if (record == nullptr) return false;
  *bytes = record->VirtualMemoryCounters.WorkingSetSize;
  return true;
}

// The classes for "High", "Normal" and "Low", by menu position.
static const DWORD kPriorityClasses[kPriorityLevelCount] = {HIGH_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS,
                                                            IDLE_PRIORITY_CLASS};

BOOL SetProcessPriorityLevel(HANDLE process, uint32_t, uint32_t level) {
  return level < kPriorityLevelCount && SetPriorityClass(process, kPriorityClasses[level]);
}

uint32_t ReadProcessPriorityLevel(HANDLE process, uint32_t) {
  const DWORD current = GetPriorityClass(process);
  for (uint32_t level = 0; level < kPriorityLevelCount; ++level) {
    if (kPriorityClasses[level] == current) return level;
  }
  return kPriorityUnknown;
}

#endif

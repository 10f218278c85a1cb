#include "platform/process_control.h"

#include <tlhelp32.h>

#include "app/constants.h"

namespace {

struct LevelSetting {
  int level;
  uint32_t threads;
  BOOL all;
};

struct LevelReading {
  uint32_t threads;
  int level;
  bool same;
};

}  // namespace

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
    if (thread != NULL) CloseHandle(thread);
    if (!goOn) break;
  }
  CloseToolhelp32Snapshot(snapshot);
  return true;
}

static bool SetThreadLevel(HANDLE thread, void* context) {
  LevelSetting* setting = static_cast<LevelSetting*>(context);
  ++setting->threads;
  if (thread == NULL || !SetThreadPriority(thread, setting->level)) setting->all = FALSE;
  return true;
}

static bool ReadThreadLevel(HANDLE thread, void* context) {
  LevelReading* reading = static_cast<LevelReading*>(context);
  const int level = thread != NULL ? GetThreadPriority(thread) : THREAD_PRIORITY_ERROR_RETURN;
  if (level == THREAD_PRIORITY_ERROR_RETURN || (reading->threads > 0 && level != reading->level)) {
    reading->same = false;
    return false;
  }
  reading->level = level;
  ++reading->threads;
  return true;
}

BOOL SetProcessPriorityLevel(HANDLE process, uint32_t processId, uint32_t level) {
  if (level >= kPriorityLevelCount) return FALSE;
  LevelSetting setting = {kThreadLevels[level], 0, TRUE};
  if (!ForEachThreadOf(process, processId, SetThreadLevel, &setting)) return FALSE;
  return setting.all && setting.threads > 0;
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

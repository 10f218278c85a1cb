#include "platform/process_control.h"

#include <tlhelp32.h>

#include "app/constants.h"

namespace {

struct LevelSetting {
  int level;
  uint32_t moved;
  uint32_t kept;  // at a real-time or driver level: left where they are
  BOOL all;
};

struct LevelReading {
  uint32_t threads;
  int level;
  bool same;
};

}  // namespace

// The device's levels (0-255) for "High", "Normal" and "Low", by menu
// position: THREAD_PRIORITY_HIGHEST, _NORMAL and _IDLE as the legacy calls
// map them (ms923856).
static const int kThreadLevels[kPriorityLevelCount] = {kCeLevelHighest, kCeLevelNormal, kCeLevelIdle};

// An application's level, one of the legacy eight; the rest belong to
// real-time threads and drivers, which "Set Priority" leaves alone.
static bool ApplicationLevel(int level) { return level >= kCeLevelApplicationFirst && level <= kCeLevelIdle; }

// Calls `visit` with each thread of `processId` in a fresh snapshot, opened
// with `access`, while it returns true. False when the process has exited
// (the handle the command holds tells, since its id may name another process
// by now) or no snapshot.
static bool ForEachThreadOf(HANDLE process, uint32_t processId, DWORD access,
                            bool (*visit)(HANDLE thread, void* context), void* context) {
  if (WaitForSingleObject(process, 0) != WAIT_TIMEOUT) return false;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  THREADENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != processId) continue;
    HANDLE thread = OpenThread(access, FALSE, entry.th32ThreadID);
    const bool goOn = visit(thread, context);
    if (thread != NULL) CloseHandle(thread);
    if (!goOn) break;
  }
  CloseToolhelp32Snapshot(snapshot);
  return true;
}

bool ReadThreadPriority(HANDLE thread, int32_t* priority) {
  // The full 0-255 level: the legacy GetThreadPriority sees only the eight
  // application levels (bb202731).
  const int level = CeGetThreadPriority(thread);
  if (level == THREAD_PRIORITY_ERROR_RETURN) return false;
  *priority = level;
  return true;
}

// The level of a thread that could be opened; false when there is none to read.
static bool OpenedThreadLevel(HANDLE thread, int32_t* level) {
  return thread != NULL && ReadThreadPriority(thread, level);
}

static bool SetThreadLevel(HANDLE thread, void* context) {
  LevelSetting* setting = static_cast<LevelSetting*>(context);
  int32_t level = 0;
  if (!OpenedThreadLevel(thread, &level)) {
    setting->all = FALSE;
  } else if (!ApplicationLevel(level)) {
    ++setting->kept;
  } else if (CeSetThreadPriority(thread, setting->level)) {
    ++setting->moved;
  } else {
    setting->all = FALSE;
  }
  return true;
}

static bool ReadThreadLevel(HANDLE thread, void* context) {
  LevelReading* reading = static_cast<LevelReading*>(context);
  int32_t level = 0;
  const bool read = OpenedThreadLevel(thread, &level);
  if (read && !ApplicationLevel(level)) return true;  // a real-time thread says nothing of the process's level
  if (!read || (reading->threads > 0 && level != reading->level)) {
    reading->same = false;
    return false;
  }
  reading->level = level;
  ++reading->threads;
  return true;
}

BOOL SetProcessPriorityLevel(HANDLE process, uint32_t processId, uint32_t level, uint32_t* kept) {
  if (level >= kPriorityLevelCount) return FALSE;
  LevelSetting setting = {kThreadLevels[level], 0, 0, TRUE};
  if (!ForEachThreadOf(process, processId, kThreadSetAccess, SetThreadLevel, &setting)) return FALSE;
  *kept = setting.kept;
  return setting.all && setting.moved + setting.kept > 0;
}

// The level every application thread runs at; threads at different levels
// have none.
uint32_t ReadProcessPriorityLevel(HANDLE process, uint32_t processId) {
  LevelReading reading = {0, 0, true};
  if (!ForEachThreadOf(process, processId, kThreadQueryAccess, ReadThreadLevel, &reading) || !reading.same ||
      reading.threads == 0) {
    return kPriorityUnknown;
  }
  for (uint32_t level = 0; level < kPriorityLevelCount; ++level) {
    if (kThreadLevels[level] == reading.level) return level;
  }
  return kPriorityUnknown;
}

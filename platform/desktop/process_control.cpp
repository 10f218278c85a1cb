#include "platform/process_control.h"

#include "app/constants.h"

// The classes for "High", "Normal" and "Low", by menu position.
static const DWORD kPriorityClasses[kPriorityLevelCount] = {HIGH_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS,
                                                            IDLE_PRIORITY_CLASS};

BOOL SetProcessPriorityLevel(HANDLE process, uint32_t, uint32_t level, uint32_t* kept) {
  if (level >= kPriorityLevelCount || !SetPriorityClass(process, kPriorityClasses[level])) return FALSE;
  *kept = 0;  // a class moves every thread
  return TRUE;
}

bool ReadThreadPriority(HANDLE thread, int32_t* priority) {
  const int level = GetThreadPriority(thread);
  if (level == THREAD_PRIORITY_ERROR_RETURN) return false;
  *priority = level;
  return true;
}

uint32_t ReadProcessPriorityLevel(HANDLE process, uint32_t) {
  const DWORD current = GetPriorityClass(process);
  for (uint32_t level = 0; level < kPriorityLevelCount; ++level) {
    if (kPriorityClasses[level] == current) return level;
  }
  return kPriorityUnknown;
}

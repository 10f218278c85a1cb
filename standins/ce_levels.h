// The device's 256 thread levels (0 highest, 255 lowest) over the desktop's
// relative thread priorities. 248-255 are the eight application levels of
// the legacy SetThreadPriority, THREAD_PRIORITY_TIME_CRITICAL at 248, NORMAL
// at 251, IDLE at 255; 0-247 are real-time and driver levels (Priority
// Levels, https://learn.microsoft.com/en-us/previous-versions/ms923856(v=msdn.10)).
// The desktop has seven relative priorities for those eight levels and none
// above TIME_CRITICAL, so a level that must read back exactly is kept in
// coredll's per-thread table; these maps are for threads outside it.
#ifndef SELVANE_STANDINS_CE_LEVELS_H
#define SELVANE_STANDINS_CE_LEVELS_H

#include <windows.h>

constexpr int kCeLevelCount = 256;
constexpr int kCeLegacyFirst = 248;  // THREAD_PRIORITY_TIME_CRITICAL
constexpr int kCeLegacyNormal = 251;
constexpr int kCeLegacyCount = 8;

// The desktop priority each legacy level runs at, 248 first. The desktop
// has no ABOVE_IDLE: 254 runs at LOWEST.
constexpr int kDesktopForLegacy[kCeLegacyCount] = {
    THREAD_PRIORITY_TIME_CRITICAL, THREAD_PRIORITY_HIGHEST,      THREAD_PRIORITY_ABOVE_NORMAL,
    THREAD_PRIORITY_NORMAL,        THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_LOWEST,
    THREAD_PRIORITY_LOWEST,        THREAD_PRIORITY_IDLE};

// What a thread at `level` runs at on the desktop: real-time levels at its highest.
inline int DesktopPriorityForLevel(int level) {
  return level < kCeLegacyFirst ? THREAD_PRIORITY_TIME_CRITICAL : kDesktopForLegacy[level - kCeLegacyFirst];
}

// The legacy level a desktop priority stands for.
inline int LevelForDesktopPriority(int priority) {
  if (priority >= THREAD_PRIORITY_TIME_CRITICAL) return kCeLegacyFirst;
  if (priority <= THREAD_PRIORITY_IDLE) return kCeLegacyFirst + kCeLegacyCount - 1;
  if (priority > THREAD_PRIORITY_HIGHEST) priority = THREAD_PRIORITY_HIGHEST;
  if (priority < THREAD_PRIORITY_LOWEST) priority = THREAD_PRIORITY_LOWEST;
  return kCeLegacyNormal - priority;
}

#endif
